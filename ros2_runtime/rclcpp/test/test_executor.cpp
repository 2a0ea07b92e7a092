// The single-threaded executor runs every callback on the spinning thread,
// one at a time, and returns when asked to.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <atomic>
#include <cstdlib>
#include <chrono>
#include <functional>
#include <future>
#include <thread>
#include <vector>

#include "context_fixture.hpp"
#include "rclcpp/rclcpp.hpp"
#include "std_msgs/msg/string.hpp"

using namespace std::chrono_literals;
using std_msgs::msg::String;

namespace
{

class Executor : public ::testing::Test
{
protected:
  Executor()
  : context(make_context()),
    node(std::make_shared<rclcpp::Node>("exec", options_for(context))),
    executor(rclcpp::ExecutorOptions{context}) {}

  ~Executor() override {context->shutdown("test over");}

  std::shared_ptr<rclcpp::Context> context;
  std::shared_ptr<rclcpp::Node> node;
  rclcpp::executors::SingleThreadedExecutor executor;
};

class Recorder
{
public:
  void on_message(const String::ConstSharedPtr & msg) {got.push_back("bind " + msg->data);}
  std::vector<std::string> got;
};

TEST_F(Executor, DeliversToEveryCallbackFormOnTheSpinningThread)
{
  Recorder recorder;
  std::vector<std::string> got;
  std::vector<std::thread::id> threads;
  auto note = [&](const std::string & what) {
      got.push_back(what);
      threads.push_back(std::this_thread::get_id());
    };
  auto s1 = node->create_subscription<String>(
    "/t", 10, [&](String::ConstSharedPtr m) {note("const_shared " + m->data);});
  auto s2 = node->create_subscription<String>(
    "/t", 10, [&](String::SharedPtr m) {note("shared " + m->data);});
  auto s3 = node->create_subscription<String>(
    "/t", 10, [&](const String & m) {note("ref " + m.data);});
  auto s4 = node->create_subscription<String>(
    "/t", 10, [&](std::unique_ptr<String> m) {note("unique " + m->data);});
  auto s5 = node->create_subscription<String>(
    "/t", 10, std::bind(&Recorder::on_message, &recorder, std::placeholders::_1));
  auto publisher = node->create_publisher<String>("/t", 10);
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (publisher->get_subscription_count() < 5 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(10ms);
  }
  String msg;
  msg.data = "x";
  publisher->publish(msg);

  executor.add_node(node);
  while ((got.size() < 4 || recorder.got.empty()) && std::chrono::steady_clock::now() < deadline) {
    executor.spin_some();
    std::this_thread::sleep_for(5ms);
  }
  std::sort(got.begin(), got.end());
  EXPECT_EQ(
    got, (std::vector<std::string>{"const_shared x", "ref x", "shared x", "unique x"}));
  EXPECT_EQ(recorder.got, (std::vector<std::string>{"bind x"}));
  for (const auto & id : threads) {
    EXPECT_EQ(id, std::this_thread::get_id());
  }
}

TEST_F(Executor, RunsTimersAndStopsWhenTheFutureCompletes)
{
  std::promise<void> done;
  int ticks = 0;
  auto timer = node->create_wall_timer(
    20ms, [&]() {
      if (++ticks == 5) {
        done.set_value();
      }
    });
  executor.add_node(node);
  auto future = done.get_future();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(executor.spin_until_future_complete(future, 5s), rclcpp::FutureReturnCode::SUCCESS);
  EXPECT_EQ(ticks, 5);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 100ms);

  std::promise<void> never;
  auto never_future = never.get_future();
  EXPECT_EQ(
    executor.spin_until_future_complete(never_future, 100ms), rclcpp::FutureReturnCode::TIMEOUT);
}

TEST_F(Executor, CallbacksNeverOverlap)
{
  std::atomic<int> running{0};
  std::atomic<bool> overlapped{false};
  int calls = 0;
  auto work = [&]() {
      if (running.fetch_add(1) != 0) {
        overlapped = true;
      }
      std::this_thread::sleep_for(5ms);
      ++calls;
      running.fetch_sub(1);
    };
  auto t1 = node->create_wall_timer(1ms, work);
  auto t2 = node->create_wall_timer(1ms, work);
  executor.add_node(node);
  const auto deadline = std::chrono::steady_clock::now() + 200ms;
  while (std::chrono::steady_clock::now() < deadline) {
    executor.spin_once(10ms);
  }
  EXPECT_GT(calls, 10);
  EXPECT_FALSE(overlapped);
}

TEST_F(Executor, SpinReturnsOnShutdownAndOnCancel)
{
  executor.add_node(node);
  std::thread canceller([&]() {
      std::this_thread::sleep_for(100ms);
      executor.cancel();
    });
  executor.spin();
  canceller.join();

  std::thread stopper([&]() {
      std::this_thread::sleep_for(100ms);
      context->shutdown("signal handler");
    });
  const auto start = std::chrono::steady_clock::now();
  executor.spin();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
  stopper.join();
}

TEST(Rate, PacesALoopAndReportsAMissedPeriod)
{
  rclcpp::WallRate rate(std::chrono::milliseconds(20));
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 5; ++i) {
    EXPECT_TRUE(rate.sleep());
  }
  EXPECT_GE(std::chrono::steady_clock::now() - start, 100ms);
  std::this_thread::sleep_for(30ms);
  EXPECT_FALSE(rate.sleep());
}

TEST_F(Executor, RefusesANodeThatAlreadyHasAnExecutor)
{
  executor.add_node(node);
  rclcpp::executors::SingleThreadedExecutor other(rclcpp::ExecutorOptions{context});
  try {
    other.add_node(node);
    FAIL() << "expected std::runtime_error";
  } catch (const std::runtime_error & e) {
    EXPECT_STREQ(e.what(), "Node '/exec' has already been added to an executor.");
  }
}

}  // namespace

namespace
{

TEST(ExecutorAtExit, ExitWhileAnotherThreadSpinsEndsWithTheGivenStatus)
{
  for (int run = 0; run < 3; ++run) {
    const int status = std::system(EXIT_WHILE_SPINNING " > /dev/null 2>&1");
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3);
  }
}

}  // namespace
