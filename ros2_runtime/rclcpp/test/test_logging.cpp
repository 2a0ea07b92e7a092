// Console logging as rcutils does it: format, stream, levels; and the
// records each node publishes on /rosout, as rcl does.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "child_process.hpp"
#include "context_fixture.hpp"
#include "rcl_interfaces/msg/log.hpp"
#include "rclcpp/rclcpp.hpp"

using namespace std::chrono_literals;

namespace
{

struct LoggerRun
{
  int status;
  std::string out;
  std::string err;
};

LoggerRun run_logger(const std::vector<std::string> & args, const char * env = nullptr)
{
  if (env != nullptr) {
    putenv(const_cast<char *>(env));
  }
  std::vector<std::string> argv{LOG_RECORDS};
  argv.insert(argv.end(), args.begin(), args.end());
  ChildProcess child(argv);
  LoggerRun run{child.wait(10s), child.out(), child.err()};
  unsetenv("RCUTILS_CONSOLE_OUTPUT_FORMAT");
  unsetenv("RCUTILS_LOGGING_USE_STDOUT");
  return run;
}

TEST(ConsoleLogging, DefaultFormatOnStderrFromInfoUp)
{
  const LoggerRun run = run_logger({});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");
  const std::regex line(R"(\[(\w+)\] \[\d+\.\d{9}\] \[talker\]: (\w+ \d)\n)");
  std::vector<std::string> records;
  for (std::sregex_iterator it(run.err.begin(), run.err.end(), line), end; it != end; ++it) {
    records.push_back((*it)[1].str() + " " + (*it)[2].str());
  }
  EXPECT_EQ(
    records,
    (std::vector<std::string>{"INFO info 2", "WARN warn 3", "ERROR error 4", "FATAL fatal 5",
      "INFO once 0", "INFO throttled 0", "INFO expression 2"}))
    << run.err;
}

TEST(ConsoleLogging, LogLevelArgumentSetsTheDefaultOrOneLogger)
{
  const LoggerRun debug = run_logger({"--ros-args", "--log-level", "DEBUG"});
  EXPECT_NE(debug.err.find("[DEBUG]"), std::string::npos) << debug.err;
  const LoggerRun error = run_logger({"--ros-args", "--log-level", "talker:=error"});
  EXPECT_EQ(error.err.find("[WARN]"), std::string::npos) << error.err;
  EXPECT_NE(error.err.find("[ERROR]"), std::string::npos) << error.err;
  EXPECT_NE(error.err.find("[FATAL]"), std::string::npos) << error.err;
}

TEST(ConsoleLogging, OutputFormatCarriesTheCallSite)
{
  const LoggerRun run = run_logger(
    {}, "RCUTILS_CONSOLE_OUTPUT_FORMAT={severity}|{name}|{function_name}|{file_name}|"
    "{line_number}|{time_as_nanoseconds}|{message}|{unknown}");
  const std::regex warn(R"(WARN\|talker\|main\|[^|]*log_records\.cpp\|\d+\|\d{19}\|warn 3\|\{unknown\}\n)");
  EXPECT_TRUE(std::regex_search(run.err, warn)) << run.err;
}

TEST(ConsoleLogging, StdoutOnRequest)
{
  const LoggerRun run = run_logger({}, "RCUTILS_LOGGING_USE_STDOUT=1");
  EXPECT_EQ(run.err, "");
  EXPECT_NE(run.out.find("[ERROR]"), std::string::npos) << run.out;
}

// A /rosout reader in a context of its own, as rqt_console is: reliable and
// transient local, so it also gets what was logged before it joined.
class RosoutReader
{
public:
  RosoutReader()
  : context_(make_context()),
    node_(std::make_shared<rclcpp::Node>("rosout_reader", options_for(context_))),
    executor_(rclcpp::ExecutorOptions{context_})
  {
    subscription_ = node_->create_subscription<rcl_interfaces::msg::Log>(
      "/rosout", rclcpp::QoS(rclcpp::KeepLast(1000)).reliable().transient_local(),
      [this](rcl_interfaces::msg::Log::ConstSharedPtr record) {records.push_back(*record);});
    executor_.add_node(node_);
  }
  ~RosoutReader() {context_->shutdown("test over");}

  // Records of `logger` until one says `last`; empty when it never comes.
  std::vector<rcl_interfaces::msg::Log> until(const std::string & logger, const std::string & last)
  {
    for (int i = 0; i < 1000; ++i) {
      executor_.spin_some();
      std::vector<rcl_interfaces::msg::Log> of_logger;
      for (const auto & record : records) {
        if (record.name == logger) {
          of_logger.push_back(record);
          if (record.msg == last) {
            return of_logger;
          }
        }
      }
      std::this_thread::sleep_for(10ms);
    }
    return {};
  }

  size_t rosout_writers() const {return node_->count_publishers("/rosout");}

  std::vector<rcl_interfaces::msg::Log> records;

private:
  std::shared_ptr<rclcpp::Context> context_;
  std::shared_ptr<rclcpp::Node> node_;
  rclcpp::executors::SingleThreadedExecutor executor_;
  rclcpp::Subscription<rcl_interfaces::msg::Log>::SharedPtr subscription_;
};

TEST(Rosout, RecordsCarryTheNodesLoggerAndTheCallSite)
{
  auto context = make_context();
  auto node = std::make_shared<rclcpp::Node>("camera", "robot", options_for(context));
  const int info_line = __LINE__ + 1;
  RCLCPP_INFO(node->get_logger(), "located in %d ms", 95);
  const int error_line = __LINE__ + 1;
  RCLCPP_ERROR_STREAM(node->get_logger(), "pcd file is not exist");

  RosoutReader reader;  // joins late
  const auto records = reader.until("robot.camera", "pcd file is not exist");
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].level, rcl_interfaces::msg::Log::INFO);
  EXPECT_EQ(records[0].msg, "located in 95 ms");
  EXPECT_EQ(records[0].line, static_cast<uint32_t>(info_line));
  EXPECT_EQ(records[1].level, rcl_interfaces::msg::Log::ERROR);
  EXPECT_EQ(records[1].line, static_cast<uint32_t>(error_line));
  for (const auto & record : records) {
    EXPECT_NE(record.file.find("test_logging.cpp"), std::string::npos) << record.file;
    EXPECT_EQ(record.function, "TestBody");
    EXPECT_GT(record.stamp.sec, 0);
  }
  context->shutdown("test over");
}

TEST(Rosout, OnlyRecordsThatPassTheLevelOfTheNodesOwnLogger)
{
  auto context = make_context({"--ros-args", "--log-level", "warn"});
  auto node = std::make_shared<rclcpp::Node>("camera", options_for(context));
  RCLCPP_INFO(node->get_logger(), "below the level");
  RCLCPP_ERROR(node->get_logger().get_child("grid"), "a child's record");
  RCLCPP_ERROR(rclcpp::get_logger("rclcpp"), "not a node's record");
  RCLCPP_WARN(node->get_logger(), "last");

  RosoutReader reader;
  const auto records = reader.until("camera", "last");
  ASSERT_EQ(records.size(), 1u);
  for (const auto & record : reader.records) {
    EXPECT_TRUE(record.name == "camera" || record.name == "rosout_reader") << record.name;
  }
  context->shutdown("test over");
  // Levels belong to the process, not the context.
  rclcpp::logging::set_logger_level("", rclcpp::Logger::Level::Info);
}

TEST(Rosout, DisabledFromTheCommandLine)
{
  auto context = make_context({"--ros-args", "--disable-rosout-logs"});
  auto node = std::make_shared<rclcpp::Node>("camera", options_for(context));
  RosoutReader reader;
  auto witness_context = make_context();
  auto witness = std::make_shared<rclcpp::Node>("witness", options_for(witness_context));
  // The reader's own writer and the witness's, never the camera's.
  for (int i = 0; i < 300 && reader.rosout_writers() < 2; ++i) {
    std::this_thread::sleep_for(10ms);
  }
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(reader.rosout_writers(), 2u);
  witness_context->shutdown("test over");
  context->shutdown("test over");
}

}  // namespace
