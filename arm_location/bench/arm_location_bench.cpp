// Times a location request of arm_location_node for frames rendered from the
// bathroom scene at the demo's camera pose against maps of three sizes: each
// stage in-process with the library calls the node makes, and one request end
// to end against the node as a process over DDS. Prints per stage the median
// over the requests beside a lower bound estimated for it.
//
//   arm_location_bench [--load | --soak SECONDS [--check]] [path/to/arm_location_node]
//
// Without a path the node is looked for beside the benchmark. With --load it
// times only the requests of the goal case, the node on one core and on all,
// alone on the machine and beside a CPU-bound process on the last core. With
// --soak it sends requests back to back for that long while the camera
// streams, and reports what was answered and what the node holds; --check
// then exits 1 unless the node held up.

#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <numeric>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <cv_bridge/cv_bridge.h>
#include <geometry_msgs/msg/transform_stamped.hpp>
#include <pcl/common/transforms.h>
#include <pcl/io/pcd_io.h>
#include <pcl_ros/transforms.hpp>
#include <rclcpp/rclcpp.hpp>
#include <sensor_msgs/msg/camera_info.hpp>
#include <sensor_msgs/msg/image.hpp>
#include <tf2_ros/buffer.h>
#include <tf2_ros/static_transform_broadcaster.h>

#include "arm_location/depth_cloud.hpp"
#include "bathroom_sim/bathroom_scene.hpp"
#include "bathroom_sim/camera_offset.hpp"
#include "bathroom_sim/depth_camera.hpp"
#include "bathroom_sim/scene_map.hpp"
#include "brisvane_protocol/srv/arm_location.hpp"
#include "busy_process.hpp"
#include "camera_messages.hpp"
#include "child_process.hpp"
#include "nano_gicp/covariances.hpp"
#include "nano_gicp/kdtree.hpp"
#include "nano_gicp/nano_gicp.hpp"
#include "nano_gicp/regularization.hpp"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using ArmLocation = brisvane_protocol::srv::ArmLocation;
using Cloud = pcl::PointCloud<pcl::PointXYZI>;

namespace
{

constexpr int kRequests = 20;
// Between requests, in-process as end to end: a request after a pause finds
// its data out of the caches and the engine's threads asleep, as on a robot
// that asks now and then.
constexpr auto kPause = 300ms;
using camera_messages::kBase;
using camera_messages::kOptical;
const char kDomain[] = "150";

// The node's engine settings.
constexpr int kNeighbours = 10;
constexpr auto kRegularization = static_cast<nano_gicp::RegularizationMethod>(0);
constexpr int kMaxIterations = 100;

struct Frame
{
  const char * name;
  bathroom_sim::PinholeCamera camera;
};

// The wide frame keeps the demo camera's vertical field of view.
const Frame kFrames[] = {
  {"640x480", {640, 480, 525.0, 525.0, 319.5, 239.5}},
  {"1280x720", {1280, 720, 787.5, 787.5, 639.5, 359.5}},
};
// Map sizes asked for; at the 2.3 mm leaf the largest asks, the mapping views
// hold about 1.3M points.
const std::size_t kMapSizes[] = {100000, 400000, 1600000};

Eigen::Isometry3d demoPose()
{
  return bathroom_sim::lookAt({1.25, 0.25, 1.05}, {0.35, 0.0, 0.35});
}

// The TF error the demo's camera publishes in the all_close state: the
// registration then has centimetres and degrees to correct, not noise alone.
const std::vector<double> kDemoTfOffset = {0.03, -0.02, 0.01, 2.0, -1.0, 3.0};

double seconds(const std::function<void()> & f)
{
  const auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> v)
{
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

double medianOf(int runs, const std::function<void()> & f)
{
  std::vector<double> t;
  for (int i = 0; i < runs; ++i) {
    t.push_back(seconds(f));
  }
  return median(t);
}

// Seconds a copy takes that reads and writes bytes in all (half each), the
// buffers warmed first so that a working set the caches hold is timed in them.
double trafficTime(double bytes)
{
  const std::size_t n = std::max<std::size_t>(64, static_cast<std::size_t>(bytes / 2));
  std::vector<char> a(n, 1), b(n, 2);
  return medianOf(9, [&] {std::memcpy(b.data(), a.data(), n); a[0] = b[n / 2];});
}

// The engine takes as many of these as other programs leave idle.
int machineCores()
{
  return std::max(1u, std::thread::hardware_concurrency());
}

// Seconds of one k-nearest search on a tree over tree points for queries,
// on one thread.
double searchCost(const Cloud::ConstPtr & tree, const Cloud & queries, std::size_t k)
{
  const nano_gicp::KdTree<pcl::PointXYZI> index(tree);
  std::vector<std::uint32_t> indices(k);
  std::vector<float> distances(k);
  const double t = medianOf(5, [&] {
        for (const pcl::PointXYZI & p : queries) {
          index.knn(p.data, k, indices.data(), distances.data());
        }
      });
  return t / static_cast<double>(queries.size());
}

// Seconds per point of conditioning its neighbourhood covariance, on one
// thread: what any estimate of the covariances does once the neighbours are
// known, however it finds them.
double regularizationCost(const Cloud::ConstPtr & cloud)
{
  const auto raw = nano_gicp::estimate_covariances<pcl::PointXYZI>(
    cloud, nano_gicp::NeighbourGrid<pcl::PointXYZI>(*cloud, kNeighbours, 1), kNeighbours,
    nano_gicp::RegularizationMethod::NONE, 1);
  std::vector<Eigen::Matrix3f> conditioned(raw.size());
  const double t = medianOf(5, [&] {
        for (std::size_t i = 0; i < raw.size(); ++i) {
          conditioned[i] = nano_gicp::regularize(
            raw[i].cast<double>(), kRegularization).cast<float>();
        }
      });
  return t / static_cast<double>(raw.size());
}

// One sensor frame per request, noise drawn afresh each time.
std::vector<sensor_msgs::msg::Image> sensorFrames(const bathroom_sim::PinholeCamera & camera)
{
  const bathroom_sim::DepthView view = bathroom_sim::renderView(
    bathroom_sim::Scene(bathroom_sim::SceneState::AllClose), camera, demoPose());
  std::vector<sensor_msgs::msg::Image> frames;
  for (int i = 0; i <= kRequests; ++i) {
    std::mt19937 rng(static_cast<std::uint32_t>(i + 1));
    frames.push_back(camera_messages::depthImage(bathroom_sim::sensorDepth(view, rng)));
  }
  return frames;
}

cv::Mat cameraMatrix(const bathroom_sim::PinholeCamera & c)
{
  return (cv::Mat_<double>(3, 3) << c.fx, 0, c.cx, 0, c.fy, c.cy, 0, 0, 1);
}

struct Stage
{
  const char * name;
  std::vector<double> times;
  double bound = 0;  // seconds
};

enum StageIndex {kMap, kTf, kBackProject, kCameraThin, kMove, kMapThin, kCovariances, kAlign,
  kScore, kStageCount};

struct Row
{
  std::string frame;
  std::size_t mapPoints;
  std::size_t thinnedMapPoints;
  std::size_t cameraPoints;
  int iterations;
  std::vector<Stage> stages;
  std::vector<double> endToEnd;
};

// A map as the node holds it after its first request, with its file.
struct Map
{
  std::size_t storedPoints;
  fs::path directory;
  Cloud::Ptr cloud;
};

// The requests of one frame size against one map, in-process, each stage
// with the calls the node makes for it.
Row timeStages(
  const Frame & frame, const std::vector<sensor_msgs::msg::Image> & images, const Map & map,
  const Eigen::Isometry3d & tfPose, rclcpp::Clock::SharedPtr clock)
{
  Row row{frame.name, map.storedPoints, 0, 0, 0, {}, {}};
  row.stages = {{"map stage", {}}, {"TF lookup", {}}, {"back-projection", {}},
    {"camera thinning", {}}, {"move by TF", {}}, {"map thinning", {}}, {"covariances", {}},
    {"alignment", {}}, {"fitness score", {}}};

  tf2_ros::Buffer buffer(clock);
  buffer.setTransform(camera_messages::cameraTransform(tfPose), "bench", true);
  buffer.setUsingDedicatedThread(true);  // as the node's listener declares
  const std::string path = (map.directory /
    bathroom_sim::mapFileName(bathroom_sim::SceneState::AllClose)).string();
  const auto storedSize = fs::file_size(path);
  const auto storedTime = fs::last_write_time(path);
  const cv::Mat k = cameraMatrix(frame.camera);

  Cloud::Ptr mapCloud = std::make_shared<Cloud>(*map.cloud);
  nano_gicp::NanoGICP<pcl::PointXYZI, pcl::PointXYZI> gicp;
  gicp.setNumThreads(0);
  gicp.setRegularizationMethod(kRegularization);
  gicp.setCorrespondenceRandomness(kNeighbours);
  gicp.setMaximumIterations(kMaxIterations);
  gicp.setRANSACIterations(100);
  gicp.setMaxCorrespondenceDistance(1.2);
  gicp.setTransformationEpsilon(1e-8);
  gicp.setEuclideanFitnessEpsilon(1e-8);
  gicp.setRANSACOutlierRejectionThreshold(0.05);
  Cloud aligned;
  Cloud::Ptr camera;
  std::vector<int> iterations;

  // Request 0 prepares the target and is not counted, as the node's first
  // request on a map is not.
  for (int r = 0; r <= kRequests; ++r) {
    const sensor_msgs::msg::Image & image = images[static_cast<std::size_t>(r)];
    rclcpp::sleep_for(kPause);
    double t[kStageCount];
    bool present = false;
    t[kMap] = seconds([&] {
          std::error_code ec, sizeError, timeError;
          const fs::file_status status = fs::status(path, ec);
          const auto size = fs::file_size(path, sizeError);
          const auto modified = fs::last_write_time(path, timeError);
          present = fs::exists(status) && size == storedSize && modified == storedTime;
        });
    Eigen::Matrix4f tfMatrix;
    t[kTf] = seconds([&] {
          const geometry_msgs::msg::TransformStamped stamped = buffer.lookupTransform(
            kBase, kOptical, tf2::TimePointZero, tf2::durationFromSec(0.2));
          pcl_ros::transformAsMatrix(stamped, tfMatrix);
        });
    t[kBackProject] = seconds([&] {
          camera = backProject(cv_bridge::toCvCopy(image, image.encoding)->image, k);
        });
    t[kCameraThin] = seconds([&] {voxelFilter(camera);});
    t[kMove] = seconds([&] {pcl::transformPointCloud(*camera, *camera, tfMatrix, true);});
    t[kMapThin] = seconds([&] {voxelFilter(mapCloud);});
    t[kCovariances] = seconds([&] {
          gicp.setInputSource(camera);
          gicp.calculateSourceCovariances();
          gicp.setInputTarget(mapCloud);
          gicp.calculateTargetCovariances();
        });
    t[kAlign] = seconds([&] {gicp.align(aligned, Eigen::Matrix4f::Identity());});
    double score = 0;
    t[kScore] = seconds([&] {score = gicp.getFitnessScore();});
    if (!present || !gicp.hasConverged() || !(score >= 0)) {
      std::fprintf(stderr, "arm_location_bench: request %d did not locate\n", r);
    }
    if (r == 0) {
      continue;
    }
    for (int s = 0; s < kStageCount; ++s) {
      row.stages[static_cast<std::size_t>(s)].times.push_back(t[s]);
    }
    iterations.push_back(gicp.getIterations());
  }
  row.thinnedMapPoints = mapCloud->size();
  row.cameraPoints = camera->size();
  std::sort(iterations.begin(), iterations.end());
  row.iterations = iterations[iterations.size() / 2];

  // Lower bounds. A stat syscall and a lookup without the waiting machinery
  // are the least the map check and TF can be, timed as the stages are: the
  // first calls after the pause, when the caches and the kernel's paths
  // have gone cold.
  std::vector<double> statTimes, lookupTimes;
  for (int r = 0; r < kRequests; ++r) {
    rclcpp::sleep_for(kPause);
    statTimes.push_back(seconds([&] {
        struct stat st;
        ::stat(path.c_str(), &st);
      }));
    lookupTimes.push_back(seconds([&] {
        buffer.tf2::BufferCore::lookupTransform(kBase, kOptical, tf2::TimePointZero);
      }));
  }
  row.stages[kMap].bound = median(statTimes);
  row.stages[kTf].bound = median(lookupTimes);
  const std::size_t pixels = static_cast<std::size_t>(frame.camera.width) * frame.camera.height;
  const double source = static_cast<double>(row.cameraPoints);
  const double target = static_cast<double>(row.thinnedMapPoints);
  const double point = sizeof(pcl::PointXYZI);
  // The frame read and copied once, the copy read, every pixel's point written.
  row.stages[kBackProject].bound = trafficTime(static_cast<double>(pixels) * (2 + 2 + 2 + point));
  // Every input point read once, every centroid written once.
  row.stages[kCameraThin].bound = trafficTime((static_cast<double>(pixels) + source) * point);
  row.stages[kMove].bound = trafficTime(2 * source * point);
  row.stages[kMapThin].bound = trafficTime(2 * target * point);
  // The source's covariances conditioned on all threads; the cached target read once.
  row.stages[kCovariances].bound =
    regularizationCost(camera) * source / machineCores() + trafficTime(target * point);
  // Every source point matched once, at the final pose.
  Cloud moved;
  pcl::transformPointCloud(*camera, moved, gicp.getFinalTransformation());
  row.stages[kAlign].bound = source * searchCost(mapCloud, moved, 1) / machineCores();
  // The distances of the last matches read once.
  row.stages[kScore].bound = trafficTime(source * sizeof(float));
  return row;
}

// A map's first request before the registration: PCL's reader, the 5 mm
// thinning and the engine's target preparation (neighbourhoods and
// covariances), for each encoding the node reads.
void printMapStages(const Map & map)
{
  Cloud stored;
  pcl::io::loadPCDFile((map.directory /
    bathroom_sim::mapFileName(bathroom_sim::SceneState::AllClose)).string(), stored);
  const double ms = 1e3;
  for (const char * encoding : {"ascii", "binary", "binary_compressed"}) {
    const fs::path file = map.directory / (std::string("stages_") + encoding + ".pcd");
    pcl::PCDWriter writer;
    if (std::string(encoding) == "ascii") {
      writer.writeASCII(file.string(), stored);
    } else if (std::string(encoding) == "binary") {
      writer.writeBinary(file.string(), stored);
    } else {
      writer.writeBinaryCompressed(file.string(), stored);
    }
    std::vector<double> read, thin, prepare;
    std::size_t thinned = 0;
    for (int run = 0; run < 3; ++run) {
      auto cloud = std::make_shared<Cloud>();
      read.push_back(seconds([&] {pcl::io::loadPCDFile<pcl::PointXYZI>(file.string(), *cloud);}));
      thin.push_back(seconds([&] {voxelFilter(cloud);}));
      thinned = cloud->size();
      nano_gicp::NanoGICP<pcl::PointXYZI, pcl::PointXYZI> gicp;  // nothing prepared yet
      gicp.setNumThreads(0);
      gicp.setRegularizationMethod(kRegularization);
      gicp.setCorrespondenceRandomness(kNeighbours);
      prepare.push_back(seconds([&] {
          gicp.setInputTarget(cloud);
          gicp.calculateTargetCovariances();
        }));
    }
    const double total = median(read) + median(thin) + median(prepare);
    std::printf("  %9zu %9zu  %-17s %8.1f %10.1f %10.1f %10.1f %10.1f\n", stored.size(), thinned,
      encoding, static_cast<double>(fs::file_size(file)) / 1e6, median(read) * ms,
      median(thin) * ms, median(prepare) * ms, total * ms);
    std::fflush(stdout);
    fs::remove(file);
  }
}

fs::path nodeBeside(const char * argv0)
{
  std::error_code ec;
  fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (ec) {
    self = argv0;
  }
  return self.parent_path() / "arm_location_node";
}

// The node as a process serving the maps in directory, beside the camera,
// TF and client it talks to. With nodeCpus it runs on that many cores only
// (its engine then takes one thread per core).
struct ServedNode
{
  ServedNode(
    const fs::path & nodePath, const Frame & frame, const fs::path & directory,
    const Eigen::Isometry3d & tfPose, int nodeCpus)
  : peer(rclcpp::Node::make_shared("arm_location_bench")),
    depthPub(peer->create_publisher<sensor_msgs::msg::Image>("/camera/depth/image_raw", 1)),
    client(peer->create_client<ArmLocation>("/arm/location")),
    tf(peer)
  {
    auto infoPub = peer->create_publisher<sensor_msgs::msg::CameraInfo>("/camera/depth/camera_info", 1);
    tf.sendTransform(camera_messages::cameraTransform(tfPose));
    // The node inherits the mask of the thread that starts it.
    cpu_set_t all, first;
    sched_getaffinity(0, sizeof(all), &all);
    if (nodeCpus > 0) {
      CPU_ZERO(&first);
      for (int c = 0; c < nodeCpus; ++c) {
        CPU_SET(c, &first);
      }
      sched_setaffinity(0, sizeof(first), &first);
    }
    process = std::make_unique<ChildProcess>(std::vector<std::string>{nodePath.string(),
        "--ros-args", "-p", "pcd:=" + directory.string() + "/",
        "-p", std::string("target_frame:=") + kBase, "-p", std::string("origin_frame:=") + kOptical});
    sched_setaffinity(0, sizeof(all), &all);
    sensor_msgs::msg::CameraInfo info;
    info.width = static_cast<std::uint32_t>(frame.camera.width);
    info.height = static_cast<std::uint32_t>(frame.camera.height);
    info.k = {frame.camera.fx, 0, frame.camera.cx, 0, frame.camera.fy, frame.camera.cy, 0, 0, 1};
    for (int i = 0; i < 100 && !process->waitForOutput("get intrinsic parameters:", 100ms); ++i) {
      infoPub->publish(info);
    }
    serving = client->wait_for_service(10s);
    if (!serving) {
      std::fprintf(stderr, "arm_location_bench: no service from %s\n%s", nodePath.c_str(),
        process->err().c_str());
    }
    for (int i = 0; i < 100 && depthPub->get_subscription_count() == 0; ++i) {
      rclcpp::sleep_for(50ms);
    }
  }

  // The reply, or nothing when none came within the timeout.
  std::optional<ArmLocation::Response> call(const std::string & state, std::chrono::seconds timeout)
  {
    auto request = std::make_shared<ArmLocation::Request>();
    request->pcd_type = state;
    auto future = client->async_send_request(request);
    if (rclcpp::spin_until_future_complete(peer, future, timeout) !=
      rclcpp::FutureReturnCode::SUCCESS)
    {
      return std::nullopt;
    }
    return *future.get();
  }

  rclcpp::Node::SharedPtr peer;
  rclcpp::Publisher<sensor_msgs::msg::Image>::SharedPtr depthPub;
  rclcpp::Client<ArmLocation>::SharedPtr client;
  tf2_ros::StaticTransformBroadcaster tf;
  std::unique_ptr<ChildProcess> process;
  bool serving = false;
};

// Requests of one frame size end to end against the node as a process,
// serving the maps in directory, request r asking for states[r % size]: a
// fresh frame is published before each call, and the time is from the call
// to the reply. Empty when a request fails. With busy, that process's
// progress during the requests is counted.
std::vector<double> timeEndToEnd(
  const fs::path & nodePath, const Frame & frame, const std::vector<sensor_msgs::msg::Image> & images,
  const fs::path & directory, const Eigen::Isometry3d & tfPose,
  const std::vector<std::string> & states, int requests, int nodeCpus = 0,
  BusyProcess * busy = nullptr)
{
  ServedNode node(nodePath, frame, directory, tfPose, nodeCpus);
  if (!node.serving) {
    return {};
  }
  std::vector<double> times;
  for (int r = 0; r < requests; ++r) {
    node.depthPub->publish(images[static_cast<std::size_t>(r) % images.size()]);
    rclcpp::sleep_for(kPause);
    const std::uint64_t turns = busy ? busy->turns() : 0;
    const auto start = std::chrono::steady_clock::now();
    const auto reply = node.call(states[static_cast<std::size_t>(r) % states.size()], 60s);
    if (!reply || reply->status != 0) {
      std::fprintf(stderr, "arm_location_bench: request %d failed\n%s", r,
        node.process->err().c_str());
      return {};
    }
    times.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    if (busy && r > 0) {
      busy->turnsInRequests += busy->turns() - turns;
    }
  }
  return times;
}

// Requests for the all_close state; the first, which loads the map, is not
// counted.
std::vector<double> timeEndToEnd(
  const fs::path & nodePath, const Frame & frame, const std::vector<sensor_msgs::msg::Image> & images,
  const Map & map, const Eigen::Isometry3d & tfPose, int nodeCpus = 0, BusyProcess * busy = nullptr)
{
  std::vector<double> times = timeEndToEnd(
    nodePath, frame, images, map.directory, tfPose, {"all_close"}, kRequests + 1, nodeCpus, busy);
  if (!times.empty()) {
    times.erase(times.begin());
  }
  return times;
}

// Requests that switch between the three states in turn, end to end against
// the node as a process, each state's map an ASCII file as pcd_frame_tool
// writes them: the first round reads and prepares each map, later rounds
// find them in memory.
void printSwitching(const fs::path & nodePath, const fs::path & directory, float leaf)
{
  const bathroom_sim::SceneState states[] = {bathroom_sim::SceneState::AllClose,
    bathroom_sim::SceneState::AllOpen, bathroom_sim::SceneState::CoverOpen};
  std::size_t points = 0;
  fs::create_directories(directory);
  for (const auto state : states) {
    const Cloud::Ptr cloud = bathroom_sim::buildMap(bathroom_sim::Scene(state), leaf);
    points += cloud->size();
    pcl::io::savePCDFileASCII((directory / bathroom_sim::mapFileName(state)).string(), *cloud);
  }
  const Frame & frame = kFrames[0];
  constexpr int kRounds = 4;
  const std::vector<double> times = timeEndToEnd(nodePath, frame, sensorFrames(frame.camera),
    directory, demoPose(), {"all_close", "all_open", "cover_open"}, 3 * kRounds);
  if (times.empty()) {
    std::printf("  switching: a request failed\n");
    return;
  }
  const std::vector<double> first(times.begin(), times.begin() + 3);
  const std::vector<double> later(times.begin() + 3, times.end());
  std::printf("\nswitching between the three states in turn, ASCII maps of %zu points in all "
    "(640x480 frame, end to end)\n", points);
  std::printf("  first request of each state: median %.1f ms, max %.1f ms\n",
    median(first) * 1e3, *std::max_element(first.begin(), first.end()) * 1e3);
  std::printf("  each later switch (%d):       median %.1f ms, max %.1f ms\n",
    static_cast<int>(later.size()), median(later) * 1e3,
    *std::max_element(later.begin(), later.end()) * 1e3);
}

void printRow(const Row & row)
{
  const double ms = 1e3;
  std::printf("\n%s frame, map %zu points stored, %zu after 5 mm thinning; %zu camera points, "
    "%d iterations\n", row.frame.c_str(), row.mapPoints, row.thinnedMapPoints, row.cameraPoints,
    row.iterations);
  std::printf("  %-18s %12s %12s %8s\n", "stage", "median ms", "bound ms", "ratio");
  double sum = 0, boundSum = 0;
  for (const Stage & s : row.stages) {
    const double m = median(s.times);
    sum += m;
    boundSum += s.bound;
    std::printf("  %-18s %12.3f %12.3f %8.1f\n", s.name, m * ms, s.bound * ms, m / s.bound);
  }
  std::printf("  %-18s %12.3f %12.3f %8.1f\n", "sum of stages", sum * ms, boundSum * ms,
    sum / boundSum);
  if (row.endToEnd.empty()) {
    std::printf("  %-18s %12s\n", "end to end", "failed");
  } else {
    std::printf("  %-18s %12.3f %12.3f %8.1f\n", "end to end", median(row.endToEnd) * ms,
      boundSum * ms, median(row.endToEnd) / boundSum);
  }
}

}  // namespace

// The goal's request, the node on one core and on all, each alone on the
// machine and beside a busy process on the last core; and how much of that
// process's core the requests took.
void printLoad(const fs::path & nodePath, const Map & map, const Eigen::Isometry3d & tfPose)
{
  const Frame & frame = kFrames[0];
  const std::vector<sensor_msgs::msg::Image> images = sensorFrames(frame.camera);
  std::printf("\n%s frame against %zu map points, TF off by 3, -2, 1 cm and 2, -1, 3 deg, end to "
    "end; the busy process on core %d\n", frame.name, map.cloud->size(), machineCores() - 1);
  std::printf("  %10s %-8s %10s %10s %18s %22s\n", "node cores", "busy", "median ms", "max ms",
    "busy's core kept", "busy's core-ms lost/req");
  for (const int cores : {1, machineCores()}) {
    for (const bool loaded : {false, true}) {
      std::unique_ptr<BusyProcess> busy;
      double alone = 0;
      if (loaded) {
        busy = std::make_unique<BusyProcess>();
        alone = busy->rate(1000ms);
      }
      const std::vector<double> t =
        timeEndToEnd(nodePath, frame, images, map, tfPose, cores, busy.get());
      if (t.empty()) {
        std::printf("  %10d %-8s a request failed\n", cores, loaded ? "yes" : "no");
        continue;
      }
      const double inRequests = std::accumulate(t.begin(), t.end(), 0.0);
      std::printf("  %10d %-8s %10.1f %10.1f", cores, loaded ? "yes" : "no", 1e3 * median(t),
        1e3 * *std::max_element(t.begin(), t.end()));
      if (loaded) {
        const double kept = static_cast<double>(busy->turnsInRequests) / inRequests / alone;
        std::printf(" %17.0f%% %22.1f", 100 * kept, 1e3 * (1 - kept) * inRequests / t.size());
      }
      std::printf("\n");
      std::fflush(stdout);
    }
  }
}

// What a long-running process holds.
struct Holdings
{
  long rssKb = 0;
  int threads = 0;
  int fds = 0;
};

Holdings holdings(pid_t pid)
{
  Holdings h;
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) {
      h.rssKb = std::stol(line.substr(6));
    } else if (line.rfind("Threads:", 0) == 0) {
      h.threads = std::stoi(line.substr(8));
    }
  }
  std::error_code ec;
  for (auto it = fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec);
    !ec && it != fs::directory_iterator(); it.increment(ec))
  {
    ++h.fds;
  }
  return h;
}

// Requests back to back for the given time while the camera streams 1280x720
// frames at 30 Hz: what was answered how, how long it took, and what the node
// holds after a warm-up and at the end. True when it held up: the node still
// runs, every request was answered (located, or no fresh frame), and neither
// memory (by more than 1 MB), descriptors nor threads grew after the warm-up.
bool printSoak(
  const fs::path & nodePath, const Map & map, const Eigen::Isometry3d & tfPose,
  std::chrono::seconds duration)
{
  const Frame & frame = kFrames[1];
  const std::vector<sensor_msgs::msg::Image> images = sensorFrames(frame.camera);
  ServedNode node(nodePath, frame, map.directory, tfPose, 0);
  if (!node.serving) {
    return false;
  }
  std::atomic<bool> streaming{true};
  std::thread camera([&] {
      auto next = std::chrono::steady_clock::now();
      for (std::size_t i = 0; streaming; ++i) {
        sensor_msgs::msg::Image image = images[i % images.size()];
        image.header.stamp = node.peer->now();
        node.depthPub->publish(image);
        // After a stall the camera goes on at its rate, without a burst.
        next = std::max(next + std::chrono::microseconds(33333), std::chrono::steady_clock::now());
        std::this_thread::sleep_until(next);
      }
    });

  const pid_t pid = node.process->pid();
  const Holdings atStart = holdings(pid);
  // Read at each reply after the warm-up; a single reading can catch a block
  // a request still holds.
  std::vector<Holdings> readings;
  bool warmedUp = false;
  std::map<int, int> statuses;
  int lost = 0;
  std::vector<double> latencies;
  std::vector<long> rssTrace;  // MB, every 10 s
  const auto begin = std::chrono::steady_clock::now();
  while (std::chrono::steady_clock::now() - begin < duration && !node.process->wait(0ms)) {
    if (std::chrono::steady_clock::now() - begin >= rssTrace.size() * 10s) {
      rssTrace.push_back(holdings(pid).rssKb / 1024);
    }
    const auto start = std::chrono::steady_clock::now();
    const auto reply = node.call("all_close", 30s);
    if (!reply) {
      ++lost;
      continue;
    }
    ++statuses[reply->status];
    latencies.push_back(
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    warmedUp = warmedUp ||
      (latencies.size() >= 10 && std::chrono::steady_clock::now() - begin >= 10s);
    if (warmedUp) {
      readings.push_back(holdings(pid));
    }
  }
  const bool running = !node.process->wait(0ms);
  streaming = false;
  camera.join();
  warmedUp = readings.size() >= 2;
  // The medians of the first and the second half of the readings.
  auto medianOf = [](std::vector<Holdings> half) {
      Holdings m;
      if (half.empty()) {
        return m;
      }
      auto mid = [&half](auto field) {
          std::sort(half.begin(), half.end(), [field](const Holdings & a, const Holdings & b) {
              return a.*field < b.*field;
            });
          return half[half.size() / 2].*field;
        };
      m.rssKb = mid(&Holdings::rssKb);
      m.threads = mid(&Holdings::threads);
      m.fds = mid(&Holdings::fds);
      return m;
    };
  const auto halfway = readings.begin() + static_cast<std::ptrdiff_t>(readings.size() / 2);
  const Holdings warm = medianOf({readings.begin(), halfway});
  const Holdings atEnd = medianOf({halfway, readings.end()});

  std::sort(latencies.begin(), latencies.end());
  auto quantile = [&latencies](double q) {
      return latencies.empty() ? 0.0 :
             1e3 * latencies[static_cast<std::size_t>(q * static_cast<double>(latencies.size() - 1))];
    };
  int others = 0;
  for (const auto & [status, n] : statuses) {
    others += status != 0 && status != 3 ? n : 0;
  }
  std::printf("\nsoak: %s frames at 30 Hz against %zu map points, requests back to back for "
    "%lld s\n", frame.name, map.cloud->size(), static_cast<long long>(duration.count()));
  std::printf("  requests answered %zu, lost %d; located (0) %d, no fresh frame (3) %d, "
    "other statuses %d\n", latencies.size(), lost, statuses[0], statuses[3], others);
  std::printf("  latency ms: p50 %.1f, p99 %.1f, max %.1f\n", quantile(0.5), quantile(0.99),
    quantile(1.0));
  std::printf("  %-16s %10s %10s %10s   (after warm-up: medians of the first and last half)\n",
    "node", "start", "warmed up", "end");
  std::printf("  %-16s %10.1f %10.1f %10.1f\n", "resident MB", atStart.rssKb / 1024.0,
    warm.rssKb / 1024.0, atEnd.rssKb / 1024.0);
  std::printf("  %-16s %10d %10d %10d\n", "descriptors", atStart.fds, warm.fds, atEnd.fds);
  std::printf("  %-16s %10d %10d %10d\n", "threads", atStart.threads, warm.threads,
    atEnd.threads);
  std::printf("  resident MB every 10 s:");
  for (const long mb : rssTrace) {
    std::printf(" %ld", mb);
  }
  std::printf("\n  growth after warm-up: %ld kB; node %s\n", atEnd.rssKb - warm.rssKb,
    running ? "still running" : "EXITED");
  return running && warmedUp && lost == 0 && others == 0 && atEnd.rssKb - warm.rssKb <= 1024 &&
         atEnd.fds <= warm.fds && atEnd.threads <= warm.threads;
}

int main(int argc, char ** argv)
{
  bool loadMode = false, check = false;
  long soakSeconds = 0;
  fs::path nodePath = nodeBeside(argv[0]);
  for (int a = 1; a < argc; ++a) {
    const std::string arg = argv[a];
    if (arg == "--load") {
      loadMode = true;
    } else if (arg == "--soak" && a + 1 < argc) {
      soakSeconds = std::atol(argv[++a]);
    } else if (arg == "--check") {
      check = true;
    } else {
      nodePath = arg;
    }
  }
  if (!fs::exists(nodePath) || (check && soakSeconds <= 0)) {
    std::fprintf(stderr, "usage: arm_location_bench [--load | --soak SECONDS [--check]] "
      "[path/to/arm_location_node]\n");
    return 2;
  }
  setenv("ROS_DOMAIN_ID", kDomain, 1);
  setenv("ROS_LOCALHOST_ONLY", "1", 1);
  rclcpp::init(argc, argv);

  std::printf("copy of 64 MiB: %.2f GB/s read + written, %d cores, median of %d "
    "requests\n", std::pow(2.0, 27) / trafficTime(std::pow(2.0, 27)) / 1e9, machineCores(),
    kRequests);
  // Other work on the machine shows in every number.
  std::ifstream loadavg("/proc/loadavg");
  std::string load;
  std::getline(loadavg, load);
  std::printf("load average at start: %s\n", load.c_str());

  // Leaf sizes from the default map's count: a surface map's count goes
  // with the inverse square of its leaf.
  const bathroom_sim::Scene scene(bathroom_sim::SceneState::AllClose);
  const double defaultPoints = static_cast<double>(bathroom_sim::buildMap(scene)->size());
  auto leafFor = [defaultPoints](std::size_t points) {
    return static_cast<float>(0.004 * std::sqrt(defaultPoints / static_cast<double>(points)));
  };
  const fs::path root = fs::temp_directory_path() / ("arm_location_bench_" + std::to_string(getpid()));
  const Eigen::Isometry3d offTf = bathroom_sim::offsetTransform(kDemoTfOffset) * demoPose();
  std::vector<Map> maps;
  for (std::size_t size : kMapSizes) {
    if ((loadMode || soakSeconds > 0) && size != kMapSizes[1]) {
      continue;
    }
    Map map{0, root / std::to_string(size), bathroom_sim::buildMap(scene, leafFor(size))};
    map.storedPoints = map.cloud->size();
    fs::create_directories(map.directory);
    pcl::io::savePCDFileBinary(
      (map.directory / bathroom_sim::mapFileName(bathroom_sim::SceneState::AllClose)).string(),
      *map.cloud);
    voxelFilter(map.cloud);
    maps.push_back(map);
  }
  if (loadMode || soakSeconds > 0) {
    const bool held = soakSeconds > 0 ?
      printSoak(nodePath, maps[0], offTf, std::chrono::seconds(soakSeconds)) :
      (printLoad(nodePath, maps[0], offTf), true);
    rclcpp::shutdown();
    fs::remove_all(root);
    return check && !held ? 1 : 0;
  }

  std::printf("\nmap stages of a first request (median of 3; the engine on the idle cores of %d)\n",
    machineCores());
  std::printf("  %9s %9s  %-17s %8s %10s %10s %10s %10s\n", "points", "thinned", "encoding",
    "file MB", "read ms", "thin ms", "prepare ms", "total ms");
  for (const Map & map : maps) {
    printMapStages(map);
  }
  printSwitching(nodePath, root / "switching", leafFor(kMapSizes[1]));

  auto clock = std::make_shared<rclcpp::Clock>();
  for (const Frame & frame : kFrames) {
    const std::vector<sensor_msgs::msg::Image> images = sensorFrames(frame.camera);
    for (const Map & map : maps) {
      Row row = timeStages(frame, images, map, demoPose(), clock);
      row.endToEnd = timeEndToEnd(nodePath, frame, images, map, demoPose());
      printRow(row);
      std::fflush(stdout);
    }
  }
  // The goal's case once more, with the TF off as a real arm's is.
  const Frame & frame = kFrames[0];
  const Map & map = maps[1];
  const std::vector<sensor_msgs::msg::Image> images = sensorFrames(frame.camera);
  Row row = timeStages(frame, images, map, offTf, clock);
  row.frame += " (TF off by 3, -2, 1 cm and 2, -1, 3 deg)";
  row.endToEnd = timeEndToEnd(nodePath, frame, images, map, offTf);
  printRow(row);
  rclcpp::shutdown();
  fs::remove_all(root);
  return 0;
}
