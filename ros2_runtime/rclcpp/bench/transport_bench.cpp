// Depth images between two processes over our rclcpp and Fast DDS on
// loopback, and the cost of their wire form against a plain memcpy.
// Prints one table. The receiving side is this program again, started with
// "--listen", which reports what it measured on its stdout.
//   transport_bench [frames_at_30hz] [frames_flat_out]
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "rclcpp/rclcpp.hpp"
#include "sensor_msgs/msg/image.hpp"

using sensor_msgs::msg::Image;
using Support = rosidl_runtime_cpp::TypeSupport<Image>;
using Clock = std::chrono::steady_clock;

namespace
{

constexpr const char * topic = "/bench/depth/image_raw";

Image depth_image(uint32_t width, uint32_t height)
{
  Image image;
  image.header.frame_id = "camera_depth_optical_frame";
  image.width = width;
  image.height = height;
  image.encoding = "16UC1";
  image.step = width * 2;
  image.data.resize(static_cast<size_t>(image.step) * height);
  for (size_t i = 0; i < image.data.size(); ++i) {
    image.data[i] = static_cast<uint8_t>(i * 31);
  }
  return image;
}

double median(std::vector<double> v)
{
  std::sort(v.begin(), v.end());
  return v.empty() ? 0.0 : v[v.size() / 2];
}

double percentile(std::vector<double> v, double p)
{
  std::sort(v.begin(), v.end());
  return v.empty() ? 0.0 : v[std::min(v.size() - 1, static_cast<size_t>(p * v.size()))];
}

template<typename F>
double median_ms(int repeats, F f)
{
  std::vector<double> times;
  for (int i = 0; i < repeats; ++i) {
    const auto start = Clock::now();
    f();
    times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  return median(times);
}

// The receiving process: latency of each image from its stamp (both
// processes read the same system clock), until `count` arrived or the
// images stopped for two seconds.
int listen(size_t count)
{
  auto node = std::make_shared<rclcpp::Node>("bench_listener");
  std::vector<double> latencies_ms;
  Clock::time_point first, last;
  auto subscription = node->create_subscription<Image>(
    topic, rclcpp::QoS(10), [&](Image::ConstSharedPtr image) {
      const auto now = node->now();
      latencies_ms.push_back((now - rclcpp::Time(image->header.stamp, RCL_ROS_TIME)).seconds() * 1e3);
      last = Clock::now();
      if (latencies_ms.size() == 1) {
        first = last;
      }
    });
  std::cout << "ready" << std::endl;
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node);
  auto quiet_since = Clock::now();
  size_t seen = 0;
  while (rclcpp::ok() && latencies_ms.size() < count) {
    executor.spin_once(std::chrono::milliseconds(100));
    if (latencies_ms.size() != seen) {
      seen = latencies_ms.size();
      quiet_since = Clock::now();
    } else if (Clock::now() - quiet_since > std::chrono::seconds(2)) {
      break;
    }
  }
  const double span_s = std::chrono::duration<double>(last - first).count();
  const double rate = latencies_ms.size() > 1 ? (latencies_ms.size() - 1) / span_s : 0.0;
  std::cout << latencies_ms.size() << " " << median(latencies_ms) << " " <<
    percentile(latencies_ms, 0.99) << " " << rate << std::endl;
  return 0;
}

struct Transfer
{
  double sent_hz = 0;
  size_t received = 0;
  double median_ms = 0;
  double p99_ms = 0;
  double rate_hz = 0;
};

// Starts the listener, publishes `count` images at `rate_hz` (0: as fast as
// publish returns) once it is matched, and collects its report.
Transfer transfer(const char * self, const Image & prototype, int count, double rate_hz)
{
  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) {
    throw std::runtime_error("pipe failed");
  }
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(pipe_fds[1], STDOUT_FILENO);
    close(pipe_fds[0]);
    const std::string n = std::to_string(count);
    execl(self, self, "--listen", n.c_str(), static_cast<char *>(nullptr));
    _exit(127);
  }
  close(pipe_fds[1]);
  FILE * from_listener = fdopen(pipe_fds[0], "r");
  char line[256];
  if (!std::fgets(line, sizeof(line), from_listener)) {
    throw std::runtime_error("listener did not start");
  }

  auto node = std::make_shared<rclcpp::Node>("bench_talker");
  auto publisher = node->create_publisher<Image>(topic, rclcpp::QoS(10));
  while (publisher->get_subscription_count() == 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  Image image = prototype;
  const auto period = rate_hz > 0 ? std::chrono::nanoseconds(static_cast<int64_t>(1e9 / rate_hz)) :
    std::chrono::nanoseconds(0);
  const auto start = Clock::now();
  auto next = start;
  for (int i = 0; i < count; ++i) {
    image.header.stamp = node->now();
    publisher->publish(image);
    next += period;
    std::this_thread::sleep_until(next);
  }

  Transfer result;
  result.sent_hz = count / std::chrono::duration<double>(Clock::now() - start).count();
  if (std::fgets(line, sizeof(line), from_listener)) {
    std::sscanf(line, "%zu %lf %lf %lf", &result.received, &result.median_ms, &result.p99_ms,
      &result.rate_hz);
  }
  std::fclose(from_listener);
  waitpid(pid, nullptr, 0);
  return result;
}

}  // namespace

int main(int argc, char ** argv)
{
  // Unless told otherwise, stay off the robot's network and domain.
  setenv("ROS_DOMAIN_ID", "140", 0);
  setenv("ROS_LOCALHOST_ONLY", "1", 0);
  rclcpp::init(argc, argv);
  const auto args = rclcpp::remove_ros_arguments(argc, argv);
  if (args.size() == 3 && args[1] == "--listen") {
    const int status = listen(std::stoul(args[2]));
    rclcpp::shutdown();
    return status;
  }
  const int paced_frames = args.size() > 1 ? std::stoi(args[1]) : 150;
  const int flat_frames = args.size() > 2 ? std::stoi(args[2]) : 300;
  char self[4096];
  const ssize_t length = readlink("/proc/self/exe", self, sizeof(self) - 1);
  self[length > 0 ? length : 0] = '\0';

  std::printf(
    "| image | wire bytes | serialize ms | deserialize ms | memcpy ms | ser/memcpy | "
    "deser/memcpy | mode | sent | sent Hz | received | received Hz | median latency ms | "
    "p99 latency ms |\n");
  std::printf("|---|---|---|---|---|---|---|---|---|---|---|---|---|---|\n");
  for (const auto & size : std::vector<std::pair<uint32_t, uint32_t>>{{640, 480}, {1280, 720}}) {
    const Image image = depth_image(size.first, size.second);
    const size_t bytes = Support::serialized_size(image);
    std::vector<uint8_t> wire(bytes), copy(bytes);
    Image decoded;
    const double ser = median_ms(200, [&]() {Support::serialize(image, wire.data());});
    const double deser = median_ms(
      200, [&]() {Support::deserialize(wire.data(), wire.size(), decoded);});
    const double memcpy_ms = median_ms(200, [&]() {std::memcpy(copy.data(), wire.data(), bytes);});

    for (const auto & mode : std::vector<std::pair<const char *, double>>{{"30 Hz", 30.0},
      {"flat out", 0.0}})
    {
      const int frames = mode.second > 0 ? paced_frames : flat_frames;
      const Transfer t = transfer(self, image, frames, mode.second);
      std::printf(
        "| %ux%u 16UC1 | %zu | %.3f | %.3f | %.3f | %.2f | %.2f | %s | %d | %.1f | %zu | %.1f | "
        "%.2f | %.2f |\n", size.first, size.second, bytes, ser, deser, memcpy_ms,
        ser / memcpy_ms, deser / memcpy_ms, mode.first, frames, t.sent_hz, t.received, t.rate_hz,
        t.median_ms, t.p99_ms);
      std::fflush(stdout);
    }
  }
  rclcpp::shutdown();
  return 0;
}
