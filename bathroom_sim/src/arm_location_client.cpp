// arm_location_client <pcd_type> [--report FILE.png] [--tf-offset x y z roll pitch yaw]
//
// Calls "/arm/location" and prints the reply. With --tf-offset (the error the
// simulated camera put into its TF) it also prints the pose a perfect answer
// gives and the error; with --report it writes a picture of the map, the
// camera cloud as TF placed it and the aligned cloud, from the node's debug
// topics.

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <iomanip>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <opencv2/imgcodecs.hpp>
#include <pcl_conversions/pcl_conversions.h>
#include <rclcpp/rclcpp.hpp>
#include <sensor_msgs/msg/point_cloud2.hpp>

#include "bathroom_sim/camera_offset.hpp"
#include "bathroom_sim/location_report.hpp"
#include "brisvane_protocol/srv/arm_location.hpp"

using ArmLocation = brisvane_protocol::srv::ArmLocation;
using Cloud = pcl::PointCloud<pcl::PointXYZI>;
using namespace std::chrono_literals;

namespace
{

struct Options
{
  std::string pcdType;
  std::string report;
  std::optional<Eigen::Isometry3d> expected;
};

std::optional<Options> parse(const std::vector<std::string> & args)
{
  Options options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--report" && i + 1 < args.size()) {
      options.report = args[++i];
    } else if (args[i] == "--tf-offset" && i + 6 < args.size()) {
      std::vector<double> offset;
      for (int k = 0; k < 6; ++k) {
        offset.push_back(std::stod(args[++i]));
      }
      options.expected = bathroom_sim::offsetTransform(offset).inverse();
    } else if (options.pcdType.empty() && args[i].rfind("--", 0) != 0) {
      options.pcdType = args[i];
    } else {
      return std::nullopt;
    }
  }
  if (options.pcdType.empty()) {
    return std::nullopt;
  }
  return options;
}

Eigen::Isometry3d answeredPose(const ArmLocation::Response & response)
{
  const auto & p = response.pose.pose.pose;
  Eigen::Isometry3d pose = Eigen::Isometry3d::Identity();
  pose.linear() = Eigen::Quaterniond(
    p.orientation.w, p.orientation.x, p.orientation.y, p.orientation.z).normalized().toRotationMatrix();
  pose.translation() = Eigen::Vector3d(p.position.x, p.position.y, p.position.z);
  return pose;
}

std::string poseText(const std::string & label, const Eigen::Isometry3d & pose)
{
  const Eigen::Quaterniond q(pose.linear());
  std::ostringstream s;
  s << std::fixed << std::setprecision(5) << label << "position " << pose.translation().x() << " " <<
    pose.translation().y() << " " << pose.translation().z() << "  orientation " << q.x() << " " <<
    q.y() << " " << q.z() << " " << q.w();
  return s.str();
}

}  // namespace

int main(int argc, char ** argv)
{
  rclcpp::init(argc, argv);
  std::vector<std::string> args = rclcpp::remove_ros_arguments(argc, argv);
  args.erase(args.begin());  // the program's name
  const auto options = parse(args);
  if (!options) {
    std::cerr << "usage: arm_location_client <pcd_type> [--report FILE.png] "
      "[--tf-offset x y z roll pitch yaw]" << std::endl;
    rclcpp::shutdown();
    return 2;
  }
  auto node = rclcpp::Node::make_shared("arm_location_client");
  auto client = node->create_client<ArmLocation>("/arm/location");

  // Subscribed before the request: the node publishes while it answers.
  std::array<Cloud::Ptr, 3> clouds;
  std::vector<rclcpp::Subscription<sensor_msgs::msg::PointCloud2>::SharedPtr> subscriptions;
  if (!options->report.empty()) {
    const char * topics[] = {"map_poindcloud", "img_pointcloud", "align_pointcloud"};
    for (std::size_t i = 0; i < clouds.size(); ++i) {
      subscriptions.push_back(node->create_subscription<sensor_msgs::msg::PointCloud2>(
          topics[i], rclcpp::QoS(10), [&cloud = clouds[i]](const sensor_msgs::msg::PointCloud2 & msg) {
            cloud = std::make_shared<Cloud>();
            pcl::fromROSMsg(msg, *cloud);
          }));
    }
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    for (const auto & subscription : subscriptions) {
      while (subscription->get_publisher_count() == 0 && std::chrono::steady_clock::now() < deadline) {
        rclcpp::spin_some(node);
        rclcpp::sleep_for(50ms);
      }
    }
  }

  if (!client->wait_for_service(10s)) {
    std::cerr << "arm_location_client: service /arm/location is not available" << std::endl;
    rclcpp::shutdown();
    return 1;
  }
  auto request = std::make_shared<ArmLocation::Request>();
  request->pcd_type = options->pcdType;
  auto future = client->async_send_request(request);
  if (rclcpp::spin_until_future_complete(node, future, 60s) != rclcpp::FutureReturnCode::SUCCESS) {
    std::cerr << "arm_location_client: no reply within 60 s" << std::endl;
    rclcpp::shutdown();
    return 1;
  }
  const ArmLocation::Response response = *future.get();

  std::vector<std::string> lines;
  lines.push_back("pcd_type " + options->pcdType + ": status " + std::to_string(response.status) +
    ", " + response.message);
  if (response.status == 0) {
    const Eigen::Isometry3d answered = answeredPose(response);
    lines.push_back(poseText("answered ", answered));
    if (options->expected) {
      lines.push_back(poseText("true     ", *options->expected));
      const Eigen::Isometry3d error = options->expected->inverse() * answered;
      std::ostringstream s;
      s << std::fixed << std::setprecision(2) << "error " <<
        (answered.translation() - options->expected->translation()).norm() * 1000.0 << " mm, " <<
        Eigen::AngleAxisd(error.linear()).angle() * 180.0 / M_PI << " deg";
      lines.push_back(s.str());
    }
  }
  for (const std::string & line : lines) {
    std::cout << line << std::endl;
  }

  int status = response.status == 0 ? 0 : 1;
  if (!options->report.empty()) {
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    auto complete = [&]() {
        return std::all_of(clouds.begin(), clouds.end(), [](const Cloud::Ptr & c) {return c != nullptr;});
      };
    while (!complete() && std::chrono::steady_clock::now() < deadline) {
      rclcpp::spin_some(node);
      rclcpp::sleep_for(20ms);
    }
    if (!complete()) {
      std::cerr << "arm_location_client: the node's debug clouds did not arrive "
        "(is its debug parameter set?)" << std::endl;
      status = 1;
    } else if (!cv::imwrite(options->report,
      bathroom_sim::locationReport(*clouds[0], *clouds[1], *clouds[2], lines)))
    {
      std::cerr << "arm_location_client: cannot write " << options->report << std::endl;
      status = 1;
    }
  }
  rclcpp::shutdown();
  return status;
}
