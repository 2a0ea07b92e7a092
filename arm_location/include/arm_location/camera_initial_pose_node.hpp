#ifndef ARM_LOCATION__CAMERA_INITIAL_POSE_NODE_HPP_
#define ARM_LOCATION__CAMERA_INITIAL_POSE_NODE_HPP_

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include <Eigen/Core>
#include <opencv2/core.hpp>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>
#include <rclcpp/rclcpp.hpp>
#include <sensor_msgs/msg/image.hpp>
#include <sensor_msgs/msg/point_cloud2.hpp>
#include <tf2/time.h>
#include <tf2_ros/buffer.h>
#include <tf2_ros/transform_listener.h>

#include "arm_location/depth_cloud.hpp"
#include "brisvane_protocol/srv/arm_location.hpp"
#include "nano_gicp/nano_gicp.hpp"

using ArmLocation = brisvane_protocol::srv::ArmLocation;

// Locates the arm's depth camera: on each "/arm/location" request the latest
// depth image is back-projected, moved by TF and registered onto the map of the
// requested scene state.
class CameraInitialPoseNode : public rclcpp::Node
{
public:
  CameraInitialPoseNode();

  // Waits up to 10 s for a CameraInfo whose K can back-project and keeps K.
  bool initIntrinsicParameters();

  void depthCallback(const sensor_msgs::msg::Image::ConstSharedPtr & msg);

  bool locationServer(
    const std::shared_ptr<ArmLocation::Request> & request,
    const std::shared_ptr<ArmLocation::Response> & response);

  // Transform carrying points from originFrame into targetFrame at `stamp`
  // (tf2::TimePointZero: the latest).
  bool getTransForm(
    const std::string & targetFrame, const std::string & originFrame,
    const tf2::TimePoint & stamp, Eigen::Matrix4f & transform);

private:
  template<typename T>
  void readParameter(const std::string & name, T & member, const T & alternative);

  bool prepareMap(const std::string & pcdType, ArmLocation::Response & response);
  tf2::TimePoint transformStamp();
  bool depthFrameTooOld();
  pcl::PointCloud<pcl::PointXYZI>::Ptr depthToCloud(std::string & problem);
  void alignToMap(
    const pcl::PointCloud<pcl::PointXYZI>::Ptr & cameraCloud, const Eigen::Matrix4f & tfMatrix,
    ArmLocation::Response & response);
  void judgeRegistration(double score, ArmLocation::Response & response);
  void publishCloud(
    const rclcpp::Publisher<sensor_msgs::msg::PointCloud2>::SharedPtr & publisher,
    const pcl::PointCloud<pcl::PointXYZI> & cloud);

  rclcpp::Publisher<sensor_msgs::msg::PointCloud2>::SharedPtr imgCloudPub;
  rclcpp::Publisher<sensor_msgs::msg::PointCloud2>::SharedPtr mapCloudPub;
  rclcpp::Publisher<sensor_msgs::msg::PointCloud2>::SharedPtr alignCloudPub;
  rclcpp::Subscription<sensor_msgs::msg::Image>::SharedPtr depthSub;
  rclcpp::Service<ArmLocation>::SharedPtr locationService;

  cv::Mat cameraMatrix;

  nano_gicp::NanoGICP<pcl::PointXYZI, pcl::PointXYZI> nanoGicp;
  int numThreads = 0;
  int correspondencesNumber = 0;
  int maxIterator = 0;
  int ransacMaxIterator = 0;
  double maxCorrespondenceDistance = 1.2;
  double transformationEpsilon = 1e-8;
  double euclideanFitnessEpsilon = 1e-8;
  double ransacOutlierThreshold = 0.05;

  pcl::PointCloud<pcl::PointXYZI>::Ptr sourceCloud;
  pcl::PointCloud<pcl::PointXYZI>::Ptr targetCloud;
  pcl::PointCloud<pcl::PointXYZI>::Ptr alignedCloud;

  std::string cameraDepthTopic;
  std::string cameraInfoTopic;
  std::string pcdDir;
  pcl::PointCloud<pcl::PointXYZI>::Ptr mapCloud;

  // A map read from its file, with the file's size and modification time as
  // they were before the read.
  struct StoredMap
  {
    pcl::PointCloud<pcl::PointXYZI>::Ptr cloud;
    std::uintmax_t size = 0;
    std::filesystem::file_time_type modified;
  };
  // The maps of the states requested so far, by path: a state asked for
  // again is served from memory while its file is unchanged.
  std::map<std::string, StoredMap> storedMaps;

  std::atomic<bool> depthReceived{false};
  std::mutex depthMutex;
  sensor_msgs::msg::Image depthImage;

  std::string targetFrame;
  std::string originFrame;
  int debugFlag = 0;

  // Opt-in checks, all off at 0: a result past either limit is answered as
  // unreliable; the TF is looked up at the depth image's stamp; an older
  // frame than the age limit is not used.
  double rejectFitnessScore = 0.0;
  double rejectInlierFraction = 0.0;
  int tfAtImageStamp = 0;
  double maxDepthAge = 0.0;

  std::shared_ptr<tf2_ros::Buffer> tfBuffer;
  std::shared_ptr<tf2_ros::TransformListener> tfListener;
};

#endif  // ARM_LOCATION__CAMERA_INITIAL_POSE_NODE_HPP_
