// bathroom_camera: a simulated depth camera looking at the bathroom scene.
// Publishes 16UC1 depth images (millimetres, 0 without return), their
// CameraInfo and the camera's TF, at a fixed rate. With realistic set it
// looks at the whole room through a structured-light sensor; clutter names
// what stands in the room besides (bucket, towel, arm).

#include <chrono>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include <geometry_msgs/msg/transform_stamped.hpp>
#include <rclcpp/rclcpp.hpp>
#include <sensor_msgs/msg/camera_info.hpp>
#include <sensor_msgs/msg/image.hpp>
#include <tf2_ros/transform_broadcaster.h>

#include "bathroom_sim/bathroom_scene.hpp"
#include "bathroom_sim/camera_offset.hpp"
#include "bathroom_sim/depth_camera.hpp"
#include "bathroom_sim/fidelity.hpp"

namespace
{

Eigen::Vector3d vector3(const std::vector<double> & v, const std::string & name)
{
  if (v.size() != 3) {
    throw std::invalid_argument(name + " needs 3 values, got " + std::to_string(v.size()));
  }
  return Eigen::Vector3d(v[0], v[1], v[2]);
}

class BathroomCamera : public rclcpp::Node
{
public:
  BathroomCamera()
  : rclcpp::Node("bathroom_camera")
  {
    stateName_ = declare_parameter<std::string>("state", "all_close");
    fidelity_ = declare_parameter<bool>("realistic", false) ?
      bathroom_sim::Fidelity::Realistic : bathroom_sim::Fidelity::Clean;
    const auto clutter = bathroom_sim::parseClutter(
      declare_parameter<std::vector<std::string>>("clutter", std::vector<std::string>{}));
    const double rate = declare_parameter<double>("rate", 5.0);
    camera_ = {
      static_cast<int>(declare_parameter<int64_t>("width", 640)),
      static_cast<int>(declare_parameter<int64_t>("height", 480)),
      declare_parameter<double>("fx", 525.0), declare_parameter<double>("fy", 525.0),
      declare_parameter<double>("cx", 319.5), declare_parameter<double>("cy", 239.5)};
    const Eigen::Vector3d eye = vector3(
      declare_parameter<std::vector<double>>("camera_position", {1.25, 0.25, 1.05}),
      "camera_position");
    const Eigen::Vector3d target = vector3(
      declare_parameter<std::vector<double>>("look_at", {0.35, 0.0, 0.35}), "look_at");
    const Eigen::Isometry3d offset = bathroom_sim::offsetTransform(
      declare_parameter<std::vector<double>>("tf_offset", {0, 0, 0, 0, 0, 0}));
    baseFrame_ = declare_parameter<std::string>("base_frame", "arm_base_link");
    cameraFrame_ = declare_parameter<std::string>("camera_frame", "camera_depth_optical_frame");
    rng_.seed(static_cast<std::uint32_t>(declare_parameter<int64_t>("seed", 1)));

    const auto state = bathroom_sim::parseSceneState(stateName_);
    if (!state) {
      throw std::invalid_argument(
              "state '" + stateName_ + "' is none of all_close, all_open, cover_open");
    }
    if (camera_.width <= 0 || camera_.height <= 0) {
      throw std::invalid_argument("the image size must be positive");
    }
    if (!(rate > 0)) {
      throw std::invalid_argument("rate must be positive");
    }
    if (!clutter) {
      throw std::invalid_argument("clutter may name only bucket, towel and arm");
    }
    if ((target - eye).norm() < 1e-6) {
      throw std::invalid_argument("look_at must differ from camera_position");
    }
    const Eigen::Isometry3d pose = bathroom_sim::lookAt(eye, target);
    const bathroom_sim::Scene scene = bathroom_sim::cameraScene(fidelity_, *state, *clutter, pose);
    if (scene.contains(eye)) {
      throw std::invalid_argument("the camera position lies inside the scene's geometry");
    }

    view_ = bathroom_sim::renderView(scene, camera_, pose);
    publishedPose_ = offset * pose;

    imagePub_ = create_publisher<sensor_msgs::msg::Image>(
      declare_parameter<std::string>("depth_topic", "/camera/depth/image_raw"), rclcpp::QoS(1));
    infoPub_ = create_publisher<sensor_msgs::msg::CameraInfo>(
      declare_parameter<std::string>("info_topic", "/camera/depth/camera_info"), rclcpp::QoS(1));
    tfBroadcaster_ = std::make_shared<tf2_ros::TransformBroadcaster>(*this);
    timer_ = create_wall_timer(
      std::chrono::duration<double>(1.0 / rate), [this]() {publish();});
  }

private:
  void publish()
  {
    const rclcpp::Time stamp = now();
    const cv::Mat depth = bathroom_sim::sensorFrame(fidelity_, view_, camera_, rng_);

    sensor_msgs::msg::Image image;
    image.header.stamp = stamp;
    image.header.frame_id = cameraFrame_;
    image.height = static_cast<std::uint32_t>(camera_.height);
    image.width = static_cast<std::uint32_t>(camera_.width);
    image.encoding = "16UC1";
    image.is_bigendian = 0;
    image.step = image.width * 2;
    image.data.resize(static_cast<std::size_t>(image.step) * image.height);
    for (int v = 0; v < depth.rows; ++v) {
      std::memcpy(&image.data[static_cast<std::size_t>(v) * image.step], depth.ptr(v), image.step);
    }

    sensor_msgs::msg::CameraInfo info;
    info.header = image.header;
    info.height = image.height;
    info.width = image.width;
    info.distortion_model = "plumb_bob";
    info.d = {0, 0, 0, 0, 0};
    info.k = {camera_.fx, 0, camera_.cx, 0, camera_.fy, camera_.cy, 0, 0, 1};
    info.r = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    info.p = {camera_.fx, 0, camera_.cx, 0, 0, camera_.fy, camera_.cy, 0, 0, 0, 1, 0};

    geometry_msgs::msg::TransformStamped tf;
    tf.header.stamp = stamp;
    tf.header.frame_id = baseFrame_;
    tf.child_frame_id = cameraFrame_;
    const Eigen::Quaterniond q(publishedPose_.linear());
    tf.transform.translation.x = publishedPose_.translation().x();
    tf.transform.translation.y = publishedPose_.translation().y();
    tf.transform.translation.z = publishedPose_.translation().z();
    tf.transform.rotation.x = q.x();
    tf.transform.rotation.y = q.y();
    tf.transform.rotation.z = q.z();
    tf.transform.rotation.w = q.w();

    tfBroadcaster_->sendTransform(tf);
    infoPub_->publish(info);
    imagePub_->publish(image);
    // Announced once someone listens to both the images and the TF, so a
    // caller knows that what follows reaches them.
    if (!announced_ && imagePub_->get_subscription_count() > 0 && count_subscribers("/tf") > 0) {
      std::cout << "publishing " << stateName_ << std::endl;
      announced_ = true;
    }
  }

  bathroom_sim::PinholeCamera camera_{};
  bathroom_sim::Fidelity fidelity_;
  bathroom_sim::DepthView view_;
  Eigen::Isometry3d publishedPose_;
  std::string stateName_;
  bool announced_ = false;
  std::string baseFrame_;
  std::string cameraFrame_;
  std::mt19937 rng_;
  rclcpp::Publisher<sensor_msgs::msg::Image>::SharedPtr imagePub_;
  rclcpp::Publisher<sensor_msgs::msg::CameraInfo>::SharedPtr infoPub_;
  std::shared_ptr<tf2_ros::TransformBroadcaster> tfBroadcaster_;
  rclcpp::TimerBase::SharedPtr timer_;
};

}  // namespace

int main(int argc, char ** argv)
{
  rclcpp::init(argc, argv);
  int status = 0;
  try {
    rclcpp::spin(std::make_shared<BathroomCamera>());
  } catch (const std::exception & e) {
    std::cerr << "bathroom_camera: " << e.what() << std::endl;
    status = 1;
  }
  rclcpp::shutdown();
  return status;
}
