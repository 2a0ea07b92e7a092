// ROS command line arguments: what init accepts, what it refuses with rcl's
// texts, and what remove_ros_arguments leaves to the program.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "context_fixture.hpp"
#include "rclcpp/rclcpp.hpp"

namespace
{

std::string init_error(const std::vector<std::string> & args)
{
  try {
    make_context(args);
  } catch (const std::exception & e) {
    return e.what();
  }
  return "";
}

TEST(RosArguments, UnknownRosArgumentsAreRefused)
{
  EXPECT_EQ(
    init_error({"--ros-args", "--foo", "bar"}), "found unknown ROS arguments: '--foo', 'bar'");
  EXPECT_THROW(make_context({"--ros-args", "--foo"}), rclcpp::exceptions::UnknownROSArgsError);
}

TEST(RosArguments, MalformedRosArgumentsAreRefusedWithRclsText)
{
  EXPECT_EQ(
    init_error({"--ros-args", "-p"}),
    "failed to initialize rcl: Couldn't parse trailing -p flag. No parameter override rule "
    "found.");
  EXPECT_EQ(
    init_error({"--ros-args", "-r"}),
    "failed to initialize rcl: Couldn't parse trailing -r flag. No remap rule found.");
  EXPECT_EQ(
    init_error({"--ros-args", "--params-file"}),
    "failed to initialize rcl: Couldn't parse trailing --params-file flag. No file path "
    "provided.");
  EXPECT_EQ(
    init_error({"--ros-args", "--log-level"}),
    "failed to initialize rcl: Couldn't parse trailing log level flag: '--log-level'. No log "
    "level provided.");
  EXPECT_EQ(
    init_error({"--ros-args", "--log-level", "loud"}),
    "failed to initialize rcl: Couldn't parse log level: '--log-level loud'. Error: Argument "
    "does not use a valid severity level: 'loud'");
  EXPECT_EQ(
    init_error({"--ros-args", "-p", "novalue"}).rfind(
      "failed to initialize rcl: Couldn't parse parameter override rule: '-p novalue'. Error: ",
      0), 0u);
  EXPECT_EQ(
    init_error({"--ros-args", "-r", "a:=b c"}).rfind(
      "failed to initialize rcl: Couldn't parse remap rule: '-r a:=b c'. Error: ", 0), 0u);
  EXPECT_THROW(
    make_context({"--ros-args", "--params-file", "/nonexistent.yaml"}),
    rclcpp::exceptions::RCLInvalidROSArgsError);
}

TEST(RosArguments, RemoveRosArgumentsKeepsTheProgramsOwn)
{
  const char * argv[] = {
    "prog", "input.pcd", "--ros-args", "-p", "x:=1", "-r", "a:=b", "--", "out/", "--ros-args",
    "--log-level", "debug"};
  EXPECT_EQ(
    rclcpp::remove_ros_arguments(12, argv),
    (std::vector<std::string>{"prog", "input.pcd", "out/"}));
}

TEST(RosArguments, ContextInitializesOnceAndShutsDownOnce)
{
  auto context = make_context();
  EXPECT_TRUE(rclcpp::ok(context));
  const char * argv[] = {"prog"};
  EXPECT_THROW(context->init(1, argv), rclcpp::ContextAlreadyInitialized);
  bool called = false;
  context->add_on_shutdown_callback([&called]() {called = true;});
  EXPECT_TRUE(rclcpp::shutdown(context, "done"));
  EXPECT_TRUE(called);
  EXPECT_FALSE(rclcpp::ok(context));
  EXPECT_EQ(context->shutdown_reason(), "done");
  EXPECT_FALSE(rclcpp::shutdown(context));
}

}  // namespace
