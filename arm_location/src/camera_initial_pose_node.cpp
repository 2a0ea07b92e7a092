#include "arm_location/camera_initial_pose_node.hpp"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <functional>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <Eigen/Geometry>
#include <cv_bridge/cv_bridge.h>
#include <geometry_msgs/msg/transform_stamped.hpp>
#include <pcl/common/transforms.h>
#include <pcl/io/pcd_io.h>
#include <pcl_conversions/pcl_conversions.h>
#include <pcl_ros/transforms.hpp>
#include <rclcpp/wait_for_message.hpp>
#include <sensor_msgs/msg/camera_info.hpp>
#include <tf2/exceptions.h>

#include "arm_location/depth_frame_check.hpp"
#include "arm_location/pcd_file_check.hpp"

namespace
{

const std::vector<std::string> kPcdTypes = {"all_open", "all_close", "cover_open"};
const char kPcdPrefix[] = "toilet_mapping_2floor_test_";
const char kDebugFrame[] = "arm_base_link";

// Beyond the documented replies: a frame that cannot give a pose, a
// transform that cannot be looked up, and a registration whose result fails
// the opt-in limits.
constexpr int kStatusTransformFailed = 4;
constexpr int kStatusDepthInvalid = 5;
constexpr int kStatusUnreliable = 6;

// A source point counts as on the map within three voxels of it.
constexpr double kInlierDistance = 3 * kVoxelLeaf;

void reply(ArmLocation::Response & response, int status, const std::string & message)
{
  response.status = status;
  response.message = message;
}

}  // namespace

CameraInitialPoseNode::CameraInitialPoseNode()
: rclcpp::Node(
    "brisvane_arm_gicp_location",
    rclcpp::NodeOptions().automatically_declare_parameters_from_overrides(true))
{
  readParameter<std::string>("camera_depth_topic", cameraDepthTopic, "/camera/depth/image_raw");
  readParameter<std::string>("camera_info_topic", cameraInfoTopic, "/camera/depth/camera_info");
  readParameter<std::string>("pcd", pcdDir, "/opt/brisvane/data/3d/");
  readParameter<std::string>("target_frame", targetFrame, "");
  readParameter<std::string>("origin_frame", originFrame, "");
  readParameter<int>("debug", debugFlag, 0);
  readParameter<int>("nano_correspondences_number", correspondencesNumber, 10);
  readParameter<int>("nano_max_iterator", maxIterator, 100);
  readParameter<int>("nano_ransac_max_iterator", ransacMaxIterator, 100);
  readParameter<double>("reject_fitness_score", rejectFitnessScore, 0.0);
  readParameter<double>("reject_inlier_fraction", rejectInlierFraction, 0.0);
  readParameter<int>("tf_at_image_stamp", tfAtImageStamp, 0);
  readParameter<double>("max_depth_age", maxDepthAge, 0.0);

  nanoGicp.setNumThreads(numThreads);
  nanoGicp.setRegularizationMethod(static_cast<nano_gicp::RegularizationMethod>(0));
  nanoGicp.setCorrespondenceRandomness(correspondencesNumber);
  nanoGicp.setMaximumIterations(maxIterator);
  nanoGicp.setRANSACIterations(ransacMaxIterator);
  nanoGicp.setMaxCorrespondenceDistance(maxCorrespondenceDistance);
  nanoGicp.setTransformationEpsilon(transformationEpsilon);
  nanoGicp.setEuclideanFitnessEpsilon(euclideanFitnessEpsilon);
  nanoGicp.setRANSACOutlierRejectionThreshold(ransacOutlierThreshold);

  sourceCloud = std::make_shared<pcl::PointCloud<pcl::PointXYZI>>();
  targetCloud = std::make_shared<pcl::PointCloud<pcl::PointXYZI>>();
  alignedCloud = std::make_shared<pcl::PointCloud<pcl::PointXYZI>>();
  mapCloud = std::make_shared<pcl::PointCloud<pcl::PointXYZI>>();

  if (debugFlag != 0) {
    mapCloudPub = create_publisher<sensor_msgs::msg::PointCloud2>("map_poindcloud", rclcpp::QoS(10));
    imgCloudPub = create_publisher<sensor_msgs::msg::PointCloud2>("img_pointcloud", rclcpp::QoS(10));
    alignCloudPub =
      create_publisher<sensor_msgs::msg::PointCloud2>("align_pointcloud", rclcpp::QoS(10));
  }

  depthSub = create_subscription<sensor_msgs::msg::Image>(
    cameraDepthTopic, rclcpp::QoS(1),
    std::bind(&CameraInitialPoseNode::depthCallback, this, std::placeholders::_1));

  locationService = create_service<ArmLocation>(
    "/arm/location",
    std::bind(
      &CameraInitialPoseNode::locationServer, this, std::placeholders::_1, std::placeholders::_2));

  tfBuffer = std::make_shared<tf2_ros::Buffer>(get_clock(), tf2::durationFromSec(10.0));
  tfListener = std::make_shared<tf2_ros::TransformListener>(*tfBuffer, true);
}

// get_parameter_or with a type check that names the parameter.
template<typename T>
void CameraInitialPoseNode::readParameter(
  const std::string & name, T & member, const T & alternative)
{
  rclcpp::Parameter parameter;
  if (!get_parameter(name, parameter)) {
    member = alternative;
    return;
  }
  const rclcpp::ParameterType expected = rclcpp::ParameterValue(alternative).get_type();
  if (parameter.get_type() != expected) {
    throw rclcpp::exceptions::InvalidParameterTypeException(
            name, "expected [" + rclcpp::to_string(expected) + "] got [" +
            rclcpp::to_string(parameter.get_type()) + "]");
  }
  member = parameter.get_value<T>();
}

bool CameraInitialPoseNode::initIntrinsicParameters()
{
  if (cameraInfoTopic.empty()) {
    RCLCPP_ERROR(get_logger(), "camera info topic empty");
    return false;
  }
  // A CameraInfo whose K cannot back-project is passed over, its reason said
  // once, and the next one waited for within the same start-up window.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  sensor_msgs::msg::CameraInfo msg;
  std::string refused;
  while (true) {
    const auto left = deadline - std::chrono::steady_clock::now();
    if (left <= left.zero() ||
      !rclcpp::wait_for_message(msg, shared_from_this(), cameraInfoTopic, left))
    {
      RCLCPP_ERROR(get_logger(), "init intrinsic parameters failed");
      return false;
    }
    const std::string problem = intrinsicsProblem(msg.k);
    if (problem.empty()) {
      break;
    }
    if (problem != refused) {
      RCLCPP_ERROR(get_logger(), "camera info not usable, waiting for another: %s", problem.c_str());
      refused = problem;
    }
  }
  std::cout << "get intrinsic parameters:" << std::endl;
  for (std::size_t i = 0; i < msg.k.size(); ++i) {
    std::cout << "msg.k[" << i << "] = " << msg.k[i] << std::endl;
  }
  cameraMatrix = (cv::Mat_<double>(3, 3) << msg.k[0], msg.k[1], msg.k[2], msg.k[3], msg.k[4],
    msg.k[5], msg.k[6], msg.k[7], msg.k[8]);
  return true;
}

void CameraInitialPoseNode::depthCallback(const sensor_msgs::msg::Image::ConstSharedPtr & msg)
{
  if (!msg) {
    RCLCPP_ERROR(get_logger(), "depth image empty");
    return;
  }
  std::lock_guard<std::mutex> lock(depthMutex);
  depthImage = *msg;
  depthReceived = true;
}

bool CameraInitialPoseNode::locationServer(
  const std::shared_ptr<ArmLocation::Request> & request,
  const std::shared_ptr<ArmLocation::Response> & response)
{
  reply(*response, 0, "Success");
  const std::string pcdType = request->pcd_type;

  if (!prepareMap(pcdType, *response)) {
    return false;
  }

  Eigen::Matrix4f tfMatrix = Eigen::Matrix4f::Identity();
  if (!getTransForm(targetFrame, originFrame, transformStamp(), tfMatrix)) {
    RCLCPP_ERROR(
      get_logger(), "get trasform failed in locationServer, target_frame: %s, origin_frame:%s",
      targetFrame.c_str(), originFrame.c_str());
    reply(*response, kStatusTransformFailed, "get transform failed");
    return false;
  }

  std::lock_guard<std::mutex> lock(depthMutex);
  std::cout << "loc server depth data reeady = " << depthReceived.load() << std::endl;
  if (!depthReceived.load() || depthFrameTooOld()) {
    reply(*response, 3, "camera depth data is not ready!");
    return false;
  }

  // A frame that cannot give a pose is used up like one that did.
  std::string problem;
  pcl::PointCloud<pcl::PointXYZI>::Ptr cameraCloud = depthToCloud(problem);
  if (cameraCloud) {
    voxelFilter(cameraCloud);
    if (cameraCloud->empty()) {
      problem = "no valid depth point in the frame";
    }
  }
  if (!problem.empty()) {
    RCLCPP_ERROR(get_logger(), "camera depth data is invalid: %s", problem.c_str());
    depthReceived = false;
    reply(*response, kStatusDepthInvalid, "camera depth data is invalid");
    return false;
  }
  voxelFilter(mapCloud);
  alignToMap(cameraCloud, tfMatrix, *response);
  return true;
}

// Selects the map of the scene state, reading its file unless it was read
// before and has not changed since. A failed load keeps the previous map.
bool CameraInitialPoseNode::prepareMap(const std::string & pcdType, ArmLocation::Response & response)
{
  if (std::find(kPcdTypes.begin(), kPcdTypes.end(), pcdType) == kPcdTypes.end()) {
    std::cout << "request pcd type(" << pcdType <<
      ") error, legal input should be all_close, all_open or cover_open" << std::endl;
    reply(response, 1, "pcd type unsupport");
    return false;
  }
  const std::string path = pcdDir + kPcdPrefix + pcdType + ".pcd";
  std::cout << "current_pcd_file = " << path << std::endl;

  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(path, ec);
  if (ec && status.type() != std::filesystem::file_type::not_found) {
    RCLCPP_ERROR(get_logger(), "cannot query pcd file{%s}: %s", path.c_str(), ec.message().c_str());
    reply(response, 1, "could not read pcd file");
    return false;
  }
  if (!std::filesystem::exists(status)) {
    RCLCPP_ERROR(get_logger(), "pcd file{%s} is not exist", path.c_str());
    reply(response, 1, "pcd file is not exist");
    return false;
  }
  // Taken before the read, so a file replaced during it is read again.
  StoredMap file;
  std::error_code sizeError, timeError;
  file.size = std::filesystem::file_size(path, sizeError);
  file.modified = std::filesystem::last_write_time(path, timeError);
  const auto stored = storedMaps.find(path);
  if (stored != storedMaps.end() && !sizeError && !timeError &&
    stored->second.size == file.size && stored->second.modified == file.modified)
  {
    mapCloud = stored->second.cloud;
    return true;
  }
  // Changed on disk since it was read: what memory holds of it is no answer.
  if (stored != storedMaps.end()) {
    storedMaps.erase(stored);
  }

  std::cout << "begin to load new pcd file" << std::endl;
  file.cloud = std::make_shared<pcl::PointCloud<pcl::PointXYZI>>();
  std::optional<std::string> problem = arm_location::pcdFileProblem(path);
  try {
    if (!problem && pcl::io::loadPCDFile<pcl::PointXYZI>(path, *file.cloud) == -1) {
      problem = "the PCD reader failed";
    }
  } catch (const std::exception & e) {
    problem = e.what();
  }
  if (problem) {
    RCLCPP_ERROR(get_logger(), "Could not read PCD file from %s", path.c_str());
    RCLCPP_ERROR(get_logger(), "%s: %s", path.c_str(), problem->c_str());
    reply(response, 1, "could not read pcd file");
    return false;
  }
  if (file.cloud->empty()) {
    RCLCPP_ERROR(get_logger(), "pcd cloud is empty");
    reply(response, 2, "pcd cloud empty");
    return false;
  }
  mapCloud = file.cloud;
  if (!sizeError && !timeError) {
    storedMaps[path] = file;
  }
  return true;
}

// When the TF is to be taken: the depth image's capture with
// tf_at_image_stamp set (the arm may have moved since), else the latest.
tf2::TimePoint CameraInitialPoseNode::transformStamp()
{
  if (tfAtImageStamp == 0) {
    return tf2::TimePointZero;
  }
  std::lock_guard<std::mutex> lock(depthMutex);
  if (!depthReceived.load()) {
    return tf2::TimePointZero;  // refused for want of a frame right after
  }
  return tf2_ros::fromRclcpp(rclcpp::Time(depthImage.header.stamp));
}

// With max_depth_age set, a frame captured longer ago than that is not used.
// The caller holds depthMutex.
bool CameraInitialPoseNode::depthFrameTooOld()
{
  if (maxDepthAge <= 0.0) {
    return false;
  }
  const double age = (now() - rclcpp::Time(depthImage.header.stamp)).seconds();
  if (age <= maxDepthAge) {
    return false;
  }
  RCLCPP_ERROR(
    get_logger(), "camera depth data is %.3f s old, more than max_depth_age %.3f s", age,
    maxDepthAge);
  return true;
}

bool CameraInitialPoseNode::getTransForm(
  const std::string & targetFrame, const std::string & originFrame, const tf2::TimePoint & stamp,
  Eigen::Matrix4f & transform)
{
  // tf2 answers identity for two equal names, empty ones too; a frame that
  // is not configured must not pass for the camera's pose.
  bool found = !targetFrame.empty() && !originFrame.empty();
  geometry_msgs::msg::TransformStamped stamped;
  if (found) {
    try {
      stamped = tfBuffer->lookupTransform(
        targetFrame, originFrame, stamp, tf2::durationFromSec(0.2));
    } catch (const tf2::TransformException &) {
      found = false;
    }
  }
  if (!found) {
    RCLCPP_ERROR(
      get_logger(), "get transform from %s to %s failed", originFrame.c_str(), targetFrame.c_str());
    return false;
  }
  pcl_ros::transformAsMatrix(stamped, transform);
  return true;
}

// The stored frame as a camera cloud, or null with the reason it cannot be
// used. Checked before conversion so no byte outside the buffer is read.
pcl::PointCloud<pcl::PointXYZI>::Ptr CameraInitialPoseNode::depthToCloud(std::string & problem)
{
  problem = depthFrameProblem(depthImage);
  if (!problem.empty()) {
    return nullptr;
  }
  try {
    return backProject(cv_bridge::toCvCopy(depthImage, depthImage.encoding)->image, cameraMatrix);
  } catch (const std::exception & e) {
    problem = e.what();
    return nullptr;
  }
}

void CameraInitialPoseNode::alignToMap(
  const pcl::PointCloud<pcl::PointXYZI>::Ptr & cameraCloud, const Eigen::Matrix4f & tfMatrix,
  ArmLocation::Response & response)
{
  pcl::transformPointCloud(*cameraCloud, *cameraCloud, tfMatrix, true);
  if (debugFlag != 0) {
    publishCloud(mapCloudPub, *mapCloud);
    publishCloud(imgCloudPub, *cameraCloud);
  }

  const auto t0 = std::chrono::system_clock::now();
  sourceCloud = cameraCloud;
  targetCloud = mapCloud;
  nanoGicp.setInputSource(sourceCloud);
  nanoGicp.calculateSourceCovariances();
  nanoGicp.setInputTarget(targetCloud);
  nanoGicp.calculateTargetCovariances();
  nanoGicp.align(*alignedCloud, Eigen::Matrix4f::Identity());
  const auto t1 = std::chrono::system_clock::now();
  std::cout << "gicp loc cost = " <<
    std::chrono::duration_cast<std::chrono::milliseconds>(t1 - t0).count() << " ms" << std::endl;

  const Eigen::Matrix4d t = nanoGicp.getFinalTransformation().cast<double>();
  Eigen::Quaterniond q(t.block<3, 3>(0, 0));
  std::cout << "---------> t_c1_2_c0_Q = " << q.x() << "i + " << q.y() << "j + " << q.z() << "k" <<
    " + " << q.w() << std::endl;
  std::cout << "---------> t_c1_2_c0_.x = " << t(0, 3) << std::endl;
  std::cout << "---------> t_c1_2_c0_.y = " << t(1, 3) << std::endl;
  std::cout << "---------> t_c1_2_c0_.z = " << t(2, 3) << std::endl;

  q = Eigen::Quaterniond(t.block<3, 3>(0, 0));
  std::cout << "Q = " << q.x() << "i + " << q.y() << "j + " << q.z() << "k" << " + " << q.w() <<
    std::endl;
  std::cout << "x = " << q.x() << std::endl;
  std::cout << "y = " << q.y() << std::endl;
  std::cout << "z = " << q.z() << std::endl;
  std::cout << "w = " << q.w() << std::endl;
  std::cout << "t_x = " << t(0, 3) << std::endl;
  std::cout << "t_y = " << t(1, 3) << std::endl;
  std::cout << "t_z = " << t(2, 3) << std::endl;

  response.pose.pose.pose.position.x = t(0, 3);
  response.pose.pose.pose.position.y = t(1, 3);
  response.pose.pose.pose.position.z = t(2, 3);
  response.pose.pose.pose.orientation.x = q.x();
  response.pose.pose.pose.orientation.y = q.y();
  response.pose.pose.pose.orientation.z = q.z();
  response.pose.pose.pose.orientation.w = q.w();

  depthReceived = false;

  const double score = nanoGicp.getFitnessScore();
  std::stringstream line;
  line << "Nano ICP alignment score: " << score << " ,hasConverged: " << nanoGicp.hasConverged();
  RCLCPP_INFO(get_logger(), "%s", line.str().c_str());
  judgeRegistration(score, response);

  if (debugFlag != 0) {
    publishCloud(alignCloudPub, *alignedCloud);
  }
}

// With reject_fitness_score or reject_inlier_fraction set, a result past
// either is answered as unreliable, its pose still written.
void CameraInitialPoseNode::judgeRegistration(double score, ArmLocation::Response & response)
{
  if (rejectFitnessScore <= 0.0 && rejectInlierFraction <= 0.0) {
    return;
  }
  const double inliers = nanoGicp.getInlierFraction(kInlierDistance);
  if ((rejectFitnessScore > 0.0 && !(score <= rejectFitnessScore)) ||
    (rejectInlierFraction > 0.0 && !(inliers >= rejectInlierFraction)))
  {
    RCLCPP_ERROR(
      get_logger(),
      "registration unreliable: fitness score %g (reject_fitness_score %g), inlier fraction %.3f "
      "(reject_inlier_fraction %.3f)", score, rejectFitnessScore, inliers, rejectInlierFraction);
    reply(response, kStatusUnreliable, "registration unreliable");
  }
}

void CameraInitialPoseNode::publishCloud(
  const rclcpp::Publisher<sensor_msgs::msg::PointCloud2>::SharedPtr & publisher,
  const pcl::PointCloud<pcl::PointXYZI> & cloud)
{
  sensor_msgs::msg::PointCloud2 msg;
  pcl::toROSMsg(cloud, msg);
  msg.header.frame_id = kDebugFrame;
  msg.header.stamp = now();
  publisher->publish(msg);
}

int main(int argc, char ** argv)
{
  // By default the engine's OpenMP workers spin while they wait at a barrier,
  // and a spinning worker takes the core the robot's other programs need:
  // beside a busy core, a request on all cores took longer than on one.
  // libgomp reads its wait policy once, as it loads, so unless the user chose
  // one the node starts itself again with the passive policy.
  if (std::getenv("OMP_WAIT_POLICY") == nullptr) {
    setenv("OMP_WAIT_POLICY", "passive", 1);
    execv("/proc/self/exe", argv);  // where that fails, go on as started
  }
  try {
    rclcpp::init(argc, argv);
    auto node = std::make_shared<CameraInitialPoseNode>();
    if (!node->initIntrinsicParameters()) {
      std::cout << "init camera intrinsic info failed" << std::endl;
      exit(-1);
    }
    rclcpp::spin(node);
  } catch (const std::exception & e) {
    std::cerr << e.what() << std::endl;
    rclcpp::shutdown();
    return 1;
  }
  rclcpp::shutdown();
  return 0;
}
