// arm_location_node as a process over DDS, the way it runs on the robot: this
// test is its camera (CameraInfo and depth images rendered from the bathroom
// scene at a known pose), its TF and its service client.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <random>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include <linux/capability.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <geometry_msgs/msg/transform_stamped.hpp>
#include <rcl_interfaces/msg/log.hpp>
#include <rcl_interfaces/srv/get_parameters.hpp>
#include <pcl/io/pcd_io.h>
#include <pcl_conversions/pcl_conversions.h>
#include <rclcpp/rclcpp.hpp>
#include <sensor_msgs/msg/camera_info.hpp>
#include <sensor_msgs/msg/image.hpp>
#include <sensor_msgs/msg/point_cloud2.hpp>
#include <tf2_ros/static_transform_broadcaster.h>
#include <tf2_msgs/msg/tf_message.hpp>
#include <tf2_ros/qos.hpp>
#include <tf2_ros/transform_broadcaster.h>

#include "bathroom_sim/bathroom_scene.hpp"
#include "bathroom_sim/camera_offset.hpp"
#include "bathroom_sim/depth_camera.hpp"
#include "bathroom_sim/scene_map.hpp"
#include "brisvane_protocol/srv/arm_location.hpp"
#include "camera_messages.hpp"
#include "child_process.hpp"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using ArmLocation = brisvane_protocol::srv::ArmLocation;

namespace
{

const bathroom_sim::PinholeCamera kCamera{640, 480, 525.0, 525.0, 319.5, 239.5};
using camera_messages::kBase;
using camera_messages::kOptical;

Eigen::Isometry3d truePose()
{
  return bathroom_sim::lookAt({1.25, 0.25, 1.05}, {0.35, 0.0, 0.35});
}

fs::path mapDirectoryPath()
{
  return fs::temp_directory_path() / ("arm_location_maps_" + std::to_string(getpid()));
}

// The maps of the three states, written once for all tests and removed
// after them; or those in the directory ARM_LOCATION_TEST_MAPS names, as
// bathroom_maps writes them: the sanitized runs take them from an
// uninstrumented build, where writing them takes a second, not a minute.
const fs::path & mapDirectory()
{
  static const fs::path dir = [] {
      if (const char * given = std::getenv("ARM_LOCATION_TEST_MAPS")) {
        return fs::path(given);
      }
      fs::path d = mapDirectoryPath();
      fs::create_directories(d);
      std::string problem;
      if (!bathroom_sim::writeMaps(d.string(), problem)) {
        throw std::runtime_error(problem);
      }
      return d;
    }();
  return dir;
}

sensor_msgs::msg::Image renderedImage(bathroom_sim::SceneState state, std::uint32_t seed = 1)
{
  std::mt19937 rng(seed);
  return camera_messages::depthImage(bathroom_sim::sensorDepth(
      bathroom_sim::renderView(bathroom_sim::Scene(state), kCamera, truePose()), rng));
}

class ArmLocationNode : public ::testing::Test
{
protected:
  static void SetUpTestSuite() {rclcpp::init(0, nullptr);}
  static void TearDownTestSuite()
  {
    rclcpp::shutdown();
    fs::remove_all(mapDirectoryPath());
  }

  void SetUp() override
  {
    peer = rclcpp::Node::make_shared("arm_location_test_peer");
    infoPub = peer->create_publisher<sensor_msgs::msg::CameraInfo>("/camera/depth/camera_info", 1);
    depthPub = peer->create_publisher<sensor_msgs::msg::Image>("/camera/depth/image_raw", 1);
    client = peer->create_client<ArmLocation>("/arm/location");
    tf = std::make_shared<tf2_ros::StaticTransformBroadcaster>(peer);
    tfMatch = peer->create_publisher<tf2_msgs::msg::TFMessage>(
      "/tf_static", tf2_ros::StaticBroadcasterQoS());
  }

  std::vector<std::string> nodeArguments(const std::vector<std::string> & overrides) const
  {
    std::vector<std::string> argv = {std::getenv("ARM_LOCATION_NODE"), "--ros-args"};
    for (const std::string & p : overrides) {
      argv.push_back("-p");
      argv.push_back(p);
    }
    return argv;
  }

  // Starts the node with the test's frames and maps and hands it the
  // intrinsics; extra overrides come after, so they win.
  std::unique_ptr<ChildProcess> startServing(std::vector<std::string> overrides = {})
  {
    overrides.insert(overrides.begin(), {"pcd:=" + mapDirectory().string() + "/",
        std::string("target_frame:=") + kBase, std::string("origin_frame:=") + kOptical});
    auto node = std::make_unique<ChildProcess>(nodeArguments(overrides));
    handIntrinsics(*node);
    return node;
  }

  // Publishes CameraInfo until the node has taken it, then waits for its service.
  void handIntrinsics(ChildProcess & node)
  {
    sensor_msgs::msg::CameraInfo info;
    info.k = {kCamera.fx, 0, kCamera.cx, 0, kCamera.fy, kCamera.cy, 0, 0, 1};
    for (int i = 0; i < 100 && !node.waitForOutput("get intrinsic parameters:", 100ms); ++i) {
      infoPub->publish(info);
    }
    EXPECT_TRUE(node.waitForOutput("msg.k[8] = 1\n", 1s)) << node.out() << node.err();
    EXPECT_TRUE(client->wait_for_service(10s));
  }

  void publishTf(const Eigen::Isometry3d & pose) {tf->sendTransform(camera_messages::cameraTransform(pose));}

  // Publishes one frame and gives the node time to take it in. The static
  // TF reaches the node's listener once it has found this process's writers
  // of /tf_static, which on a loaded machine can come after its depth
  // subscription; tfMatch, which never publishes, tells when it has.
  void publishDepth(const sensor_msgs::msg::Image & image)
  {
    for (int i = 0; i < 100 &&
      (depthPub->get_subscription_count() == 0 || tfMatch->get_subscription_count() == 0); ++i)
    {
      rclcpp::sleep_for(50ms);
    }
    depthPub->publish(image);
    rclcpp::sleep_for(400ms);
  }

  ArmLocation::Response call(const std::string & pcdType, const std::string & reserved = "")
  {
    auto request = std::make_shared<ArmLocation::Request>();
    request->pcd_type = pcdType;
    request->reserved = reserved;
    auto future = client->async_send_request(request);
    EXPECT_EQ(rclcpp::spin_until_future_complete(peer, future, 60s), rclcpp::FutureReturnCode::SUCCESS);
    return *future.get();
  }

  static Eigen::Isometry3d answered(const ArmLocation::Response & response)
  {
    const auto & p = response.pose.pose.pose;
    Eigen::Isometry3d pose = Eigen::Isometry3d::Identity();
    pose.linear() = Eigen::Quaterniond(
      p.orientation.w, p.orientation.x, p.orientation.y, p.orientation.z).toRotationMatrix();
    pose.translation() << p.position.x, p.position.y, p.position.z;
    return pose;
  }

  static void expectDefaultPose(const ArmLocation::Response & response)
  {
    const auto & p = response.pose.pose.pose;
    EXPECT_EQ(p.position.x, 0);
    EXPECT_EQ(p.position.y, 0);
    EXPECT_EQ(p.position.z, 0);
    EXPECT_EQ(p.orientation.x, 0);
    EXPECT_EQ(p.orientation.w, 1);
  }

  static std::size_t count(const std::string & text, const std::string & what)
  {
    std::size_t n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
      ++n;
    }
    return n;
  }

  rclcpp::Node::SharedPtr peer;
  rclcpp::Publisher<sensor_msgs::msg::CameraInfo>::SharedPtr infoPub;
  rclcpp::Publisher<sensor_msgs::msg::Image>::SharedPtr depthPub;
  rclcpp::Client<ArmLocation>::SharedPtr client;
  std::shared_ptr<tf2_ros::StaticTransformBroadcaster> tf;
  rclcpp::Publisher<tf2_msgs::msg::TFMessage>::SharedPtr tfMatch;
};

TEST_F(ArmLocationNode, LocatesTheCameraWithinTwoMillimetresFromOffsetTf)
{
  auto node = startServing();
  const std::vector<std::vector<double>> offsets = {
    {0, 0, 0, 0, 0, 0}, {0.03, -0.02, 0.01, 2, -1, 3}, {-0.05, 0.0, 0.0, 0, 0, -5},
    {0.0, 0.05, -0.02, 5, 0, 0}, {0.02, 0.02, 0.02, -3, 4, 2}};
  std::uint32_t seed = 1;
  for (const auto & offset : offsets) {
    SCOPED_TRACE(::testing::PrintToString(offset));
    const Eigen::Isometry3d o = bathroom_sim::offsetTransform(offset);
    publishTf(o * truePose());
    publishDepth(renderedImage(bathroom_sim::SceneState::AllClose, seed++));
    node->clear();
    const ArmLocation::Response response = call("all_close");
    ASSERT_EQ(response.status, 0) << node->out() << node->err();
    EXPECT_EQ(response.message, "Success");
    const Eigen::Isometry3d error = o * answered(response);  // identity when exact
    EXPECT_LT(error.translation().norm(), 0.002);
    EXPECT_LT(Eigen::AngleAxisd(error.linear()).angle() * 180 / M_PI, 0.2);
    // The reply leaves header and covariance alone.
    EXPECT_EQ(response.pose.header.frame_id, "");
    EXPECT_EQ(response.pose.header.stamp.sec, 0);
    EXPECT_EQ(response.pose.pose.covariance[0], 0);
  }
}

TEST_F(ArmLocationNode, PrintsAndLogsTheLinesOfACompletedRequest)
{
  auto node = startServing();
  publishTf(truePose());
  publishDepth(renderedImage(bathroom_sim::SceneState::AllOpen));
  node->clear();
  ASSERT_EQ(call("all_open").status, 0);
  ASSERT_TRUE(node->waitForOutput("Nano ICP alignment score: ", 2s, true)) << node->err();
  // the reply can come before the last printed line is read
  EXPECT_TRUE(node->waitForOutput("t_z = ", 2s)) << node->out();
  const std::string path = mapDirectory().string() + "/toilet_mapping_2floor_test_all_open.pcd";
  const std::regex printed(
    "current_pcd_file = " + std::regex_replace(path, std::regex("[.]"), "\\.") + "\n"
    "begin to load new pcd file\n"
    "loc server depth data reeady = 1\n"
    "gicp loc cost = [0-9]+ ms\n"
    "---------> t_c1_2_c0_Q = [-0-9.e]+i \\+ [-0-9.e]+j \\+ [-0-9.e]+k \\+ [-0-9.e]+\n"
    "---------> t_c1_2_c0_\\.x = [-0-9.e]+\n---------> t_c1_2_c0_\\.y = [-0-9.e]+\n"
    "---------> t_c1_2_c0_\\.z = [-0-9.e]+\n"
    "Q = [-0-9.e]+i \\+ [-0-9.e]+j \\+ [-0-9.e]+k \\+ [-0-9.e]+\n"
    "x = [-0-9.e]+\ny = [-0-9.e]+\nz = [-0-9.e]+\nw = [-0-9.e]+\n"
    "t_x = [-0-9.e]+\nt_y = [-0-9.e]+\nt_z = [-0-9.e]+\n");
  EXPECT_TRUE(std::regex_match(node->out(), printed)) << node->out();
  EXPECT_TRUE(std::regex_search(node->err(), std::regex(
      "\\[INFO\\] \\[[0-9.]+\\] \\[brisvane_arm_gicp_location\\]: Nano ICP alignment score: "
      "[0-9.e-]+ ,hasConverged: 1\n"))) << node->err();
}

TEST_F(ArmLocationNode, AnswersEachFailureRowWithItsStatusAndText)
{
  auto node = startServing();
  // Not in the catalogue: no path is composed.
  const std::vector<std::string> uncatalogued = {"All_close", " all_close", "all_close ", ""};
  for (const std::string & type : uncatalogued) {
    node->clear();
    const ArmLocation::Response r = call(type);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.message, "pcd type unsupport");
    expectDefaultPose(r);
    const std::string printed = "request pcd type(" + type +
      ") error, legal input should be all_close, all_open or cover_open\n";
    EXPECT_TRUE(node->waitForOutput(printed, 1s));
    EXPECT_EQ(node->out(), printed);
  }

  // No TF for the configured frames yet: status 4 and both ERROR lines.
  node->clear();
  ArmLocation::Response r = call("all_close");
  EXPECT_EQ(r.status, 4);
  EXPECT_EQ(r.message, "get transform failed");
  expectDefaultPose(r);
  EXPECT_TRUE(node->waitForOutput(
      "get transform from camera_depth_optical_frame to arm_base_link failed", 1s, true));
  EXPECT_TRUE(node->waitForOutput(
      "get trasform failed in locationServer, target_frame: arm_base_link, "
      "origin_frame:camera_depth_optical_frame", 1s, true)) << node->err();
  EXPECT_TRUE(node->waitForOutput("begin to load new pcd file", 1s));
  EXPECT_EQ(count(node->out(), "begin to load new pcd file"), 1u);

  // The map loaded by the failed request stays; no depth frame yet.
  publishTf(truePose());
  node->clear();
  r = call("all_close", "anything");
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.message, "camera depth data is not ready!");
  expectDefaultPose(r);
  EXPECT_TRUE(node->waitForOutput("loc server depth data reeady = 0\n", 1s)) << node->out();
  EXPECT_EQ(count(node->out(), "begin to load new pcd file"), 0u);

  // One frame serves one location.
  publishDepth(renderedImage(bathroom_sim::SceneState::AllClose));
  EXPECT_EQ(call("all_close").status, 0);
  r = call("all_close");
  EXPECT_EQ(r.status, 3);
  expectDefaultPose(r);
}

TEST_F(ArmLocationNode, RefusesHostileStateNamesAndUnusableTransformsAndGoesOnServing)
{
  auto node = startServing();
  publishDepth(renderedImage(bathroom_sim::SceneState::AllClose));
  const std::vector<std::string> hostile = {
    std::string(1 << 20, 'a'), "\xff\xfe\xc3(", std::string("all_close\0x", 11),
    std::string("\0", 1)};
  for (const std::string & type : hostile) {
    node->clear();
    const ArmLocation::Response r = call(type);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.message, "pcd type unsupport");
    const std::string printed = "request pcd type(" + type + ") error";
    EXPECT_TRUE(node->waitForOutput(printed, 2s)) << type.size();
  }

  // A TF with a NaN or a quaternion of length zero is not taken: no TF yet.
  auto nan = camera_messages::cameraTransform(truePose());
  nan.transform.translation.y = std::numeric_limits<double>::quiet_NaN();
  auto zero = camera_messages::cameraTransform(truePose());
  zero.transform.rotation.x = zero.transform.rotation.y = 0;
  zero.transform.rotation.z = zero.transform.rotation.w = 0;
  for (const auto & unusable : {nan, zero}) {
    tf->sendTransform(unusable);
    rclcpp::sleep_for(200ms);
    EXPECT_EQ(call("all_close").status, 4);
  }

  // Once a usable one comes, the camera is located again.
  publishTf(truePose());
  const ArmLocation::Response r = call("all_close");
  ASSERT_EQ(r.status, 0) << node->err();
  EXPECT_LT(answered(r).translation().norm(), 0.002);
  EXPECT_FALSE(node->wait(0ms));
}

TEST_F(ArmLocationNode, AnswersEachRequestOfEightClientsOnceWhileTheCameraStreams)
{
  auto node = startServing();
  publishTf(truePose());
  const sensor_msgs::msg::Image frame = renderedImage(bathroom_sim::SceneState::AllClose);
  std::atomic<bool> streaming{true};
  // A frame a second: most requests find it used up and are answered 3 at
  // once, a few are located.
  std::thread camera([&] {
      while (streaming) {
        depthPub->publish(frame);
        for (int i = 0; i < 10 && streaming; ++i) {
          std::this_thread::sleep_for(100ms);
        }
      }
    });

  // Each client a participant of its own, as separate processes are. Half
  // name a state and half one the node refuses, so a reply that reached the
  // wrong client shows in its status.
  constexpr int kClients = 8;
  constexpr int kRequests = 50;
  std::vector<std::vector<int>> statuses(kClients);
  std::vector<std::thread> clients;
  for (int c = 0; c < kClients; ++c) {
    clients.emplace_back([&statuses, c] {
        auto context = std::make_shared<rclcpp::Context>();
        context->init(0, nullptr);
        auto self = std::make_shared<rclcpp::Node>(
          "load_client_" + std::to_string(c), rclcpp::NodeOptions().context(context));
        auto client = self->create_client<ArmLocation>("/arm/location");
        rclcpp::ExecutorOptions options;
        options.context = context;
        rclcpp::executors::SingleThreadedExecutor executor(options);
        executor.add_node(self);
        if (client->wait_for_service(10s)) {
          for (int r = 0; r < kRequests; ++r) {
            auto request = std::make_shared<ArmLocation::Request>();
            request->pcd_type = c % 2 ? "all_close" : "no_such_state";
            auto future = client->async_send_request(request);
            statuses[c].push_back(
              executor.spin_until_future_complete(future, 60s) == rclcpp::FutureReturnCode::SUCCESS ?
              future.get()->status : -1);
          }
        }
        context->shutdown("done");
      });
  }
  for (auto & client : clients) {
    client.join();
  }
  streaming = false;
  camera.join();

  int located = 0;
  for (int c = 0; c < kClients; ++c) {
    SCOPED_TRACE(c);
    ASSERT_EQ(statuses[c].size(), static_cast<std::size_t>(kRequests));
    for (const int status : statuses[c]) {
      if (c % 2) {
        EXPECT_TRUE(status == 0 || status == 3) << status;  // located, or no fresh frame
        located += status == 0;
      } else {
        EXPECT_EQ(status, 1);
      }
    }
  }
  EXPECT_GT(located, 0);
  EXPECT_FALSE(node->wait(0ms));  // still serving
}

TEST_F(ArmLocationNode, FailsTheLookupWhileAFrameIsNotConfigured)
{
  // Both frames empty, their defaults: tf2 alone would answer identity.
  auto node = startServing({"target_frame:=''", "origin_frame:=''"});
  publishDepth(renderedImage(bathroom_sim::SceneState::AllClose));
  node->clear();
  const ArmLocation::Response r = call("all_close");
  EXPECT_EQ(r.status, 4);
  EXPECT_EQ(r.message, "get transform failed");
  EXPECT_TRUE(node->waitForOutput("get transform from  to  failed", 1s, true)) << node->err();
  EXPECT_TRUE(node->waitForOutput(
      "get trasform failed in locationServer, target_frame: , origin_frame:", 1s, true));
  EXPECT_EQ(node->out().find("loc server depth data reeady"), std::string::npos);
}

TEST_F(ArmLocationNode, RefusesMapFilesItCannotUse)
{
  const fs::path dir = fs::temp_directory_path() / ("arm_location_bad_maps_" + std::to_string(getpid()));
  fs::create_directories(dir);
  fs::copy_file(mapDirectory() / "toilet_mapping_2floor_test_all_close.pcd",
    dir / "toilet_mapping_2floor_test_all_close.pcd", fs::copy_options::overwrite_existing);
  std::ofstream(dir / "toilet_mapping_2floor_test_all_open.pcd") << "hello world\nnot a map\n";
  std::ofstream(dir / "toilet_mapping_2floor_test_cover_open.pcd") <<
    "VERSION .7\nFIELDS x y z\nSIZE 4 4 4\nTYPE F F F\nCOUNT 1 1 1\nWIDTH 0\nHEIGHT 1\n"
    "VIEWPOINT 0 0 0 1 0 0 0\nPOINTS 0\nDATA ascii\n";
  auto node = startServing({"pcd:=" + dir.string() + "/"});
  publishTf(truePose());
  publishDepth(renderedImage(bathroom_sim::SceneState::AllClose));

  ASSERT_EQ(call("all_close").status, 0);
  node->clear();
  ArmLocation::Response r = call("all_open");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.message, "could not read pcd file");
  EXPECT_TRUE(node->waitForOutput("Could not read PCD file from " + dir.string() +
    "/toilet_mapping_2floor_test_all_open.pcd", 1s, true));
  r = call("cover_open");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.message, "pcd cloud empty");
  EXPECT_TRUE(node->waitForOutput("pcd cloud is empty", 1s, true));

  // The failed loads kept the map in memory: no reload, and it still locates.
  node->clear();
  publishDepth(renderedImage(bathroom_sim::SceneState::AllClose, 2));
  EXPECT_EQ(call("all_close").status, 0);
  EXPECT_EQ(count(node->out(), "begin to load new pcd file"), 0u);

  // A map deleted after loading is absent, although it is in memory.
  fs::remove(dir / "toilet_mapping_2floor_test_all_close.pcd");
  node->clear();
  r = call("all_close");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.message, "pcd file is not exist");
  EXPECT_TRUE(node->waitForOutput("pcd file{" + dir.string() +
    "/toilet_mapping_2floor_test_all_close.pcd} is not exist", 1s, true));

  // A directory named like a map passes the presence test but is no map.
  fs::remove(dir / "toilet_mapping_2floor_test_cover_open.pcd");
  fs::create_directory(dir / "toilet_mapping_2floor_test_cover_open.pcd");
  r = call("cover_open");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.message, "could not read pcd file");
  fs::remove_all(dir);
}

TEST_F(ArmLocationNode, RefusesAMapFileItMayNotRead)
{
  // Root reads any file whatever its permissions; without the capabilities
  // that allow it, the nodes this process starts from now on read as any
  // user does (files this process writes stay readable by their owner).
  if (geteuid() == 0 &&
    (prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE, 0, 0, 0) != 0 ||
    prctl(PR_CAPBSET_DROP, CAP_DAC_READ_SEARCH, 0, 0, 0) != 0))
  {
    GTEST_SKIP() << "root that may not give up reading every file: " << std::strerror(errno);
  }
  const fs::path dir = fs::temp_directory_path() / ("arm_location_locked_" + std::to_string(getpid()));
  fs::create_directories(dir);
  const fs::path map = dir / "toilet_mapping_2floor_test_all_close.pcd";
  fs::copy_file(mapDirectory() / map.filename(), map, fs::copy_options::overwrite_existing);
  fs::permissions(map, fs::perms::none);
  auto node = startServing({"pcd:=" + dir.string() + "/"});
  publishTf(truePose());
  publishDepth(renderedImage(bathroom_sim::SceneState::AllClose));
  ArmLocation::Response r = call("all_close");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.message, "could not read pcd file");
  expectDefaultPose(r);
  EXPECT_TRUE(node->waitForOutput("[ERROR]", 1s, true)) << node->err();

  // readable again: read and located
  fs::permissions(map, fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(call("all_close").status, 0);
  fs::remove_all(dir);
}

TEST_F(ArmLocationNode, SurvivesAMapDirectoryWhoseStatusCannotBeRead)
{
  const fs::path dir = fs::temp_directory_path() / ("arm_location_loop_" + std::to_string(getpid()));
  fs::create_directories(dir);
  fs::create_symlink(dir / "loop", dir / "loop");
  auto node = startServing({"pcd:=" + (dir / "loop").string() + "/"});
  const ArmLocation::Response r = call("all_close");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.message, "could not read pcd file");
  EXPECT_TRUE(node->waitForOutput("[ERROR]", 1s, true));
  EXPECT_FALSE(node->wait(100ms));  // still serving
  fs::remove_all(dir);
}

TEST_F(ArmLocationNode, ReadsEachMapOnceUntilItsFileChanges)
{
  const fs::path dir = fs::temp_directory_path() / ("arm_location_changing_" + std::to_string(getpid()));
  fs::create_directories(dir);
  for (const char * type : {"all_open", "cover_open", "all_close"}) {
    const std::string name = std::string("toilet_mapping_2floor_test_") + type + ".pcd";
    fs::copy_file(mapDirectory() / name, dir / name, fs::copy_options::overwrite_existing);
  }
  auto node = startServing({"pcd:=" + dir.string() + "/"});
  publishTf(truePose());
  node->clear();
  for (const char * type : {"all_open", "all_open", "cover_open", "all_open"}) {
    call(type);  // no depth frame: each ends after the map stage and TF
  }
  EXPECT_TRUE(node->waitForOutput("loc server depth data reeady = 0\n", 2s, false, 4));
  const std::string load = "begin to load new pcd file\n";
  const std::regex sequence(
    "(?:.|\n)*all_open\\.pcd\n" + load + "(?:.|\n)*all_open\\.pcd\nloc(?:.|\n)*cover_open\\.pcd\n" +
    load + "(?:.|\n)*all_open\\.pcd\nloc(?:.|\n)*");
  EXPECT_EQ(count(node->out(), load), 2u);
  EXPECT_TRUE(std::regex_match(node->out(), sequence)) << node->out();

  // A map replaced on disk after it was read is read again, not served from
  // memory: moved 5 cm along x, the answer moves with it.
  const fs::path closed = dir / "toilet_mapping_2floor_test_all_close.pcd";
  publishDepth(renderedImage(bathroom_sim::SceneState::AllClose));
  const ArmLocation::Response before = call("all_close");
  ASSERT_EQ(before.status, 0);
  pcl::PointCloud<pcl::PointXYZI> moved;
  ASSERT_EQ(pcl::io::loadPCDFile(closed.string(), moved), 0);
  for (auto & p : moved) {
    p.x += 0.05f;
  }
  ASSERT_EQ(pcl::io::savePCDFileBinary(closed.string(), moved), 0);
  node->clear();
  publishDepth(renderedImage(bathroom_sim::SceneState::AllClose, 2));
  const ArmLocation::Response after = call("all_close");
  ASSERT_EQ(after.status, 0);
  EXPECT_TRUE(node->waitForOutput(load, 2s)) << node->out();
  EXPECT_EQ(count(node->out(), load), 1u);
  const Eigen::Vector3d shift =
    answered(after).translation() - answered(before).translation();
  EXPECT_NEAR(shift.x(), 0.05, 0.002);
  EXPECT_NEAR(shift.y(), 0.0, 0.002);
  EXPECT_NEAR(shift.z(), 0.0, 0.002);
  fs::remove_all(dir);
}

TEST_F(ArmLocationNode, RefusesAndConsumesDepthFramesThatCannotGiveAPose)
{
  auto node = startServing();
  publishTf(truePose());
  const sensor_msgs::msg::Image good = renderedImage(bathroom_sim::SceneState::AllClose);

  std::vector<std::pair<std::string, sensor_msgs::msg::Image>> bad;
  sensor_msgs::msg::Image colour = good;
  colour.encoding = "bgr8";
  bad.emplace_back("colour encoding", colour);
  sensor_msgs::msg::Image shortData = good;
  shortData.data.resize(shortData.data.size() / 2);
  bad.emplace_back("data shorter than step x height", shortData);
  sensor_msgs::msg::Image narrowStep = good;
  narrowStep.step = narrowStep.width;
  bad.emplace_back("step too small for the width", narrowStep);
  sensor_msgs::msg::Image zeros = good;
  std::fill(zeros.data.begin(), zeros.data.end(), 0);
  bad.emplace_back("no depth in any pixel", zeros);

  for (const auto & [what, image] : bad) {
    SCOPED_TRACE(what);
    publishDepth(image);
    node->clear();
    ArmLocation::Response r = call("all_close");
    EXPECT_EQ(r.status, 5);
    EXPECT_EQ(r.message, "camera depth data is invalid");
    expectDefaultPose(r);
    EXPECT_TRUE(node->waitForOutput("[ERROR]", 1s, true));
    // The frame is used up.
    EXPECT_EQ(call("all_close").status, 3);
  }

  // Metres as 32FC1 locate as well as millimetres.
  cv::Mat millimetres(static_cast<int>(good.height), static_cast<int>(good.width), CV_16UC1,
    const_cast<std::uint8_t *>(good.data.data()));
  cv::Mat metres;
  millimetres.convertTo(metres, CV_32FC1, 0.001);
  sensor_msgs::msg::Image floatImage = good;
  floatImage.encoding = "32FC1";
  floatImage.step = floatImage.width * 4;
  floatImage.data.assign(metres.datastart, metres.dataend);
  publishDepth(floatImage);
  const ArmLocation::Response r = call("all_close");
  EXPECT_EQ(r.status, 0);
  EXPECT_LT(answered(r).translation().norm(), 0.002);
}

TEST_F(ArmLocationNode, PublishesTheThreeDebugCloudsOnlyWithDebugSet)
{
  {
    auto node = startServing();
    EXPECT_EQ(peer->count_publishers("/map_poindcloud"), 0u);
    EXPECT_EQ(peer->count_publishers("/img_pointcloud"), 0u);
    EXPECT_EQ(peer->count_publishers("/align_pointcloud"), 0u);
  }
  std::vector<std::string> order;
  std::vector<sensor_msgs::msg::PointCloud2> clouds;
  std::vector<rclcpp::Subscription<sensor_msgs::msg::PointCloud2>::SharedPtr> subscriptions;
  for (const char * topic : {"map_poindcloud", "img_pointcloud", "align_pointcloud"}) {
    subscriptions.push_back(peer->create_subscription<sensor_msgs::msg::PointCloud2>(
        topic, 10, [&, topic](const sensor_msgs::msg::PointCloud2 & msg) {
          order.push_back(topic);
          clouds.push_back(msg);
        }));
  }
  auto node = startServing({"debug:=-1", "target_frame:=arm_base_link"});
  for (const auto & s : subscriptions) {
    for (int i = 0; i < 100 && s->get_publisher_count() == 0; ++i) {
      rclcpp::sleep_for(50ms);
    }
  }
  publishTf(truePose());
  publishDepth(renderedImage(bathroom_sim::SceneState::AllClose));
  ASSERT_EQ(call("all_close").status, 0);
  for (int i = 0; i < 50 && clouds.size() < 3; ++i) {
    rclcpp::spin_some(peer);
    rclcpp::sleep_for(20ms);
  }
  // Topics arrive in any order; the stamps tell the order of publishing.
  ASSERT_EQ(clouds.size(), 3u);
  auto stampOf = [&](const std::string & topic) {
      const auto & c = clouds[std::find(order.begin(), order.end(), topic) - order.begin()];
      return rclcpp::Time(c.header.stamp);
    };
  EXPECT_LE(stampOf("map_poindcloud"), stampOf("img_pointcloud"));
  EXPECT_LE(stampOf("img_pointcloud"), stampOf("align_pointcloud"));
  for (const auto & cloud : clouds) {
    EXPECT_EQ(cloud.header.frame_id, "arm_base_link");
    EXPECT_GT(cloud.width * cloud.height, 1000u);
  }
}

// As a robot engineer runs it: settings from the package's parameter file,
// seen and logged through what ros2 param and rqt_console use.
TEST_F(ArmLocationNode, TakesItsSettingsFromTheParameterFileAndShowsThemToRosTools)
{
  const fs::path maps = fs::temp_directory_path() / ("arm_location_params_" + std::to_string(getpid()));
  fs::create_directories(maps);
  std::vector<rcl_interfaces::msg::Log> records;
  auto rosout = peer->create_subscription<rcl_interfaces::msg::Log>(
    "/rosout", rclcpp::QoS(rclcpp::KeepLast(1000)).reliable().transient_local(),
    [&records](rcl_interfaces::msg::Log::ConstSharedPtr record) {records.push_back(*record);});

  // The frames come from the file; only the map directory is the test's.
  ChildProcess node({std::getenv("ARM_LOCATION_NODE"), "--ros-args", "--params-file",
      std::getenv("ARM_LOCATION_PARAMS"), "-p", "pcd:=" + maps.string() + "/"});
  handIntrinsics(node);
  EXPECT_EQ(call("all_close").message, "pcd file is not exist");
  const std::string map = bathroom_sim::mapFileName(bathroom_sim::SceneState::AllClose);
  fs::copy_file(mapDirectory() / map, maps / map);
  publishTf(truePose());
  publishDepth(renderedImage(bathroom_sim::SceneState::AllClose));
  EXPECT_EQ(call("all_close").status, 0) << node.out() << node.err();

  auto parameters = peer->create_client<rcl_interfaces::srv::GetParameters>(
    "/brisvane_arm_gicp_location/get_parameters");
  ASSERT_TRUE(parameters->wait_for_service(10s));
  auto request = std::make_shared<rcl_interfaces::srv::GetParameters::Request>();
  request->names = {"target_frame", "origin_frame", "debug", "nano_max_iterator", "pcd"};
  auto future = parameters->async_send_request(request);
  ASSERT_EQ(rclcpp::spin_until_future_complete(peer, future, 10s), rclcpp::FutureReturnCode::SUCCESS);
  const auto values = future.get()->values;
  ASSERT_EQ(values.size(), 5u);
  EXPECT_EQ(values[0].string_value, kBase);
  EXPECT_EQ(values[1].string_value, kOptical);
  EXPECT_EQ(values[2].integer_value, 0);
  EXPECT_EQ(values[3].integer_value, 100);
  EXPECT_EQ(values[4].string_value, maps.string() + "/");

  auto logged = [&records](std::uint8_t level, const std::string & start) {
      return std::find_if(records.begin(), records.end(), [&](const auto & r) {
                 return r.level == level && r.msg.rfind(start, 0) == 0;
               });
    };
  for (int i = 0; i < 100 && logged(rcl_interfaces::msg::Log::INFO, "Nano ICP") == records.end();
    ++i)
  {
    rclcpp::spin_some(peer);
    rclcpp::sleep_for(50ms);
  }
  const auto error = logged(rcl_interfaces::msg::Log::ERROR, "pcd file{" + maps.string());
  ASSERT_NE(error, records.end());
  EXPECT_EQ(error->name, "brisvane_arm_gicp_location");
  EXPECT_EQ(error->function, "prepareMap");
  EXPECT_EQ(fs::path(error->file).filename(), "camera_initial_pose_node.cpp");
  EXPECT_GT(error->line, 0u);
  const auto info = logged(rcl_interfaces::msg::Log::INFO, "Nano ICP alignment score: ");
  ASSERT_NE(info, records.end());
  EXPECT_EQ(info->name, "brisvane_arm_gicp_location");
  fs::remove_all(maps);
}

TEST_F(ArmLocationNode, AnswersUnreliableOnlyPastTheLimitsItWasGiven)
{
  publishTf(bathroom_sim::offsetTransform({0.02, -0.01, 0.0, 1, 0, 2}) * truePose());
  struct Case
  {
    std::vector<std::string> limits;
    int status;
  };
  // A good registration of the clean scene scores about 1e-5 m^2 with every
  // point on the map; the last two limits no result can meet.
  const std::vector<Case> cases = {
    {{}, 0},
    {{"reject_fitness_score:=1e-4", "reject_inlier_fraction:=0.5"}, 0},
    {{"reject_fitness_score:=1e-12"}, 6},
    {{"reject_inlier_fraction:=1.1"}, 6},
  };
  for (const auto & c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.limits));
    auto node = startServing(c.limits);
    publishDepth(renderedImage(bathroom_sim::SceneState::AllClose));
    const ArmLocation::Response response = call("all_close");
    ASSERT_EQ(response.status, c.status) << node->err();
    EXPECT_EQ(response.message, c.status == 0 ? "Success" : "registration unreliable");
    // the pose is answered either way
    EXPECT_LT(
      (bathroom_sim::offsetTransform({0.02, -0.01, 0.0, 1, 0, 2}) * answered(response))
      .translation().norm(), 0.002);
    ASSERT_TRUE(node->waitForOutput("Nano ICP alignment score: ", 2s, true));
    EXPECT_EQ(
      node->waitForOutput("registration unreliable: fitness score ", 1s, true), c.status == 6)
      << node->err();
    // the frame is used up like any other completed one
    EXPECT_EQ(call("all_close").status, 3);
  }
}

// The arm moves 5 cm after the frame is taken: the TF of the frame's time
// gives the TF's own error, the latest TF that error plus the move.
TEST_F(ArmLocationNode, TakesTheTfAtTheImagesStampWhenAskedTo)
{
  tf2_ros::TransformBroadcaster moving(peer);
  const Eigen::Isometry3d moved = bathroom_sim::offsetTransform({0.05, 0, 0, 0, 0, 0});
  auto correction = [&](const std::vector<std::string> & overrides) {
      auto node = startServing(overrides);
      const rclcpp::Time taken = peer->now();
      auto at = [](const Eigen::Isometry3d & pose, const rclcpp::Time & stamp) {
          auto tf = camera_messages::cameraTransform(pose);
          tf.header.stamp = stamp;
          return tf;
        };
      moving.sendTransform(at(truePose(), taken));
      sensor_msgs::msg::Image image = renderedImage(bathroom_sim::SceneState::AllClose);
      image.header.stamp = taken;
      rclcpp::sleep_for(200ms);
      moving.sendTransform(at(moved * truePose(), peer->now()));
      publishDepth(image);
      const ArmLocation::Response response = call("all_close");
      EXPECT_EQ(response.status, 0) << node->err();
      return answered(response);
    };
  EXPECT_LT(correction({"tf_at_image_stamp:=1"}).translation().norm(), 0.002);
  EXPECT_NEAR(correction({}).translation().norm(), 0.05, 0.003);
}

TEST_F(ArmLocationNode, RefusesAFrameOlderThanTheAgeLimit)
{
  auto node = startServing({"max_depth_age:=0.5"});
  publishTf(truePose());
  sensor_msgs::msg::Image image = renderedImage(bathroom_sim::SceneState::AllClose);
  image.header.stamp = peer->now() - rclcpp::Duration::from_seconds(3.0);
  publishDepth(image);
  EXPECT_EQ(call("all_close").status, 3);
  // the reply can come in before the line does through the node's pipe
  EXPECT_TRUE(node->waitForOutput("more than max_depth_age 0.500 s", 2s, true)) << node->err();
  image.header.stamp = peer->now();
  publishDepth(image);
  EXPECT_EQ(call("all_close").status, 0) << node->err();
}

// A driver in a process of its own: a participant with one publisher, which
// can stop and start again while the node runs.
template<typename MessageT>
struct Driver
{
  Driver(const std::string & name, const std::string & topic, const rclcpp::QoS & qos)
  : context(std::make_shared<rclcpp::Context>())
  {
    context->init(0, nullptr);
    node = std::make_shared<rclcpp::Node>(name, rclcpp::NodeOptions().context(context));
    pub = node->create_publisher<MessageT>(topic, qos);
  }
  ~Driver() {context->shutdown("driver stopped");}

  // Publishes once the node hears this publisher, and gives it time to take
  // the message in.
  void publish(const MessageT & message)
  {
    for (int i = 0; i < 100 && pub->get_subscription_count() == 0; ++i) {
      rclcpp::sleep_for(50ms);
    }
    pub->publish(message);
    rclcpp::sleep_for(300ms);
  }

  std::shared_ptr<rclcpp::Context> context;
  rclcpp::Node::SharedPtr node;
  typename rclcpp::Publisher<MessageT>::SharedPtr pub;
};

using CameraDriver = Driver<sensor_msgs::msg::Image>;
using ArmDriver = Driver<tf2_msgs::msg::TFMessage>;

// The TF is looked up at each frame's stamp, so a TF that stopped coming is
// missed as it would be on a moving arm.
TEST_F(ArmLocationNode, LocatesAgainOnceARestartedCameraAndTfPublisherAreBack)
{
  auto node = startServing({"tf_at_image_stamp:=1"});
  EXPECT_EQ(call("all_close").status, 4);  // started before both

  auto startCamera = [] {
      return std::make_unique<CameraDriver>("camera_driver", "/camera/depth/image_raw", 1);
    };
  // What a TransformBroadcaster writes.
  auto startArm = [] {
      return std::make_unique<ArmDriver>("arm_driver", "/tf", tf2_ros::DynamicBroadcasterQoS());
    };
  sensor_msgs::msg::Image image = renderedImage(bathroom_sim::SceneState::AllClose);
  auto frameAt = [&image](CameraDriver & camera, const rclcpp::Time & stamp) {
      image.header.stamp = stamp;
      camera.publish(image);
    };
  auto tfAt = [](ArmDriver & arm, const rclcpp::Time & stamp) {
      tf2_msgs::msg::TFMessage message;
      message.transforms.push_back(camera_messages::cameraTransform(truePose()));
      message.transforms.back().header.stamp = stamp;
      arm.publish(message);
    };
  auto camera = startCamera();
  auto arm = startArm();
  rclcpp::Time now = peer->now();
  tfAt(*arm, now);
  frameAt(*camera, now);
  EXPECT_EQ(call("all_close").status, 0) << node->err();

  camera.reset();
  arm.reset();
  EXPECT_EQ(call("all_close").status, 3);  // the last frame is used up

  camera = startCamera();
  frameAt(*camera, peer->now());
  node->clear();
  EXPECT_EQ(call("all_close").status, 4);  // no TF at the new frame's time
  EXPECT_TRUE(node->waitForOutput("get transform from", 1s, true));

  arm = startArm();
  now = peer->now();
  tfAt(*arm, now);
  frameAt(*camera, now);
  const ArmLocation::Response r = call("all_close");
  ASSERT_EQ(r.status, 0) << node->err();
  EXPECT_LT(answered(r).translation().norm(), 0.002);
}

TEST_F(ArmLocationNode, LocatesWhenStartedAfterTheCameraStreams)
{
  publishTf(truePose());
  CameraDriver camera("camera_driver", "/camera/depth/image_raw", 1);
  const sensor_msgs::msg::Image image = renderedImage(bathroom_sim::SceneState::AllClose);
  std::atomic<bool> streaming{true};
  std::thread stream([&] {
      while (streaming) {
        camera.pub->publish(image);
        std::this_thread::sleep_for(100ms);
      }
    });
  auto node = startServing();
  // The node's subscription meets the stream once discovery matches them,
  // which a loaded machine may take seconds over: until its first frame
  // arrives, the node answers 3.
  ArmLocation::Response r = call("all_close");
  for (auto deadline = std::chrono::steady_clock::now() + 10s;
    r.status == 3 && std::chrono::steady_clock::now() < deadline; )
  {
    rclcpp::sleep_for(200ms);
    r = call("all_close");
  }
  streaming = false;
  stream.join();
  ASSERT_EQ(r.status, 0) << node->err();
  EXPECT_LT(answered(r).translation().norm(), 0.002);
}

// As a launch system or systemd stops it: idle, or while it reads a map and
// registers a frame.
TEST_F(ArmLocationNode, EndsWithStatusZeroOnSigintOrSigtermIdleOrInARequest)
{
  publishTf(truePose());
  const sensor_msgs::msg::Image image = renderedImage(bathroom_sim::SceneState::AllClose);
  for (const int sig : {SIGINT, SIGTERM}) {
    for (const bool inRequest : {false, true}) {
      SCOPED_TRACE(std::string(strsignal(sig)) + (inRequest ? " in a request" : " idle"));
      auto node = startServing();
      if (inRequest) {
        publishDepth(image);
        auto request = std::make_shared<ArmLocation::Request>();
        request->pcd_type = "all_close";
        client->async_send_request(request);  // its reply may never come
        ASSERT_TRUE(node->waitForOutput("current_pcd_file", 10s)) << node->out();
      }
      node->signal(sig);
      EXPECT_EQ(node->wait(10s), 0) << node->err();
    }
  }
}

TEST_F(ArmLocationNode, ExitsWith255WhenNoUsableCameraInfoArrives)
{
  // Both wait out the same start-up window: one hears nothing, the other
  // only the K of a camera without calibration.
  ChildProcess node(nodeArguments({"camera_info_topic:=/nobody/publishes/this"}));
  ChildProcess uncalibrated(nodeArguments({"camera_info_topic:=/uncalibrated/camera_info"}));
  auto zeroPub = peer->create_publisher<sensor_msgs::msg::CameraInfo>("/uncalibrated/camera_info", 1);
  sensor_msgs::msg::CameraInfo zero;  // K all zero
  for (int i = 0; i < 200 && !uncalibrated.wait(50ms); ++i) {
    zeroPub->publish(zero);
  }
  EXPECT_EQ(uncalibrated.wait(5s), 255);
  EXPECT_EQ(uncalibrated.out(), "init camera intrinsic info failed\n");
  EXPECT_EQ(count(uncalibrated.err(), "camera info not usable"), 1u) << uncalibrated.err();
  EXPECT_NE(uncalibrated.err().find("fx 0.000000 and fy 0.000000"), std::string::npos);

  EXPECT_EQ(node.wait(20s), 255);
  EXPECT_EQ(node.out(), "init camera intrinsic info failed\n");
  EXPECT_NE(node.err().find("init intrinsic parameters failed"), std::string::npos);

  ChildProcess empty(nodeArguments({"camera_info_topic:=''"}));
  EXPECT_EQ(empty.wait(5s), 255);
  EXPECT_NE(empty.err().find("camera info topic empty"), std::string::npos);
}

TEST_F(ArmLocationNode, PassesOverIntrinsicsItCannotUseAndTakesTheNextGoodOnes)
{
  ChildProcess node(nodeArguments({"pcd:=" + mapDirectory().string() + "/",
      std::string("target_frame:=") + kBase, std::string("origin_frame:=") + kOptical}));
  sensor_msgs::msg::CameraInfo bad;
  bad.k = {kCamera.fx, 0, kCamera.cx, 0, -kCamera.fy, kCamera.cy, 0, 0, 1};
  for (int i = 0; i < 100 && !node.waitForOutput("camera info not usable", 100ms, true); ++i) {
    infoPub->publish(bad);
  }
  bad.k[4] = std::numeric_limits<double>::quiet_NaN();
  for (int i = 0; i < 100 && !node.waitForOutput("non-finite", 100ms, true); ++i) {
    infoPub->publish(bad);
  }
  EXPECT_EQ(node.out().find("get intrinsic parameters:"), std::string::npos);
  EXPECT_EQ(count(node.err(), "camera info not usable"), 2u) << node.err();

  handIntrinsics(node);
  publishTf(truePose());
  publishDepth(renderedImage(bathroom_sim::SceneState::AllClose));
  const ArmLocation::Response r = call("all_close");
  EXPECT_EQ(r.status, 0);
  EXPECT_LT(answered(r).translation().norm(), 0.002);
}

TEST_F(ArmLocationNode, StopsWithTheReasonOnBadStartUpSettings)
{
  ChildProcess boolDebug(nodeArguments({"debug:=true"}));
  EXPECT_EQ(boolDebug.wait(5s), 1);
  EXPECT_NE(boolDebug.err().find(
      "parameter 'debug' has invalid type: expected [integer] got [bool]"), std::string::npos)
    << boolDebug.err();

  ChildProcess floatIterations(nodeArguments({"nano_max_iterator:=30.0"}));
  EXPECT_EQ(floatIterations.wait(5s), 1);
  EXPECT_NE(floatIterations.err().find(
      "parameter 'nano_max_iterator' has invalid type: expected [integer] got [double]"),
    std::string::npos);

  ChildProcess badTopic(nodeArguments({"camera_depth_topic:=not a topic"}));
  EXPECT_EQ(badTopic.wait(5s), 1);
  EXPECT_NE(badTopic.err().find("topic name"), std::string::npos) << badTopic.err();
}

}  // namespace
