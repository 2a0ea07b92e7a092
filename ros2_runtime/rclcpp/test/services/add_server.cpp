// Serves /add_two_ints until shut down, optionally taking --delay-ms per
// request; prints "serving" once the service exists and "handling <a>" as
// each request starts.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

#include "rclcpp/rclcpp.hpp"
#include "rclcpp_test_srvs/srv/add_two_ints.hpp"

using AddTwoInts = rclcpp_test_srvs::srv::AddTwoInts;

int main(int argc, char ** argv)
{
  rclcpp::init(argc, argv);
  int delay_ms = 0;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--delay-ms") == 0) {
      delay_ms = std::atoi(argv[i + 1]);
    }
  }
  auto node = std::make_shared<rclcpp::Node>("add_server");
  auto service = node->create_service<AddTwoInts>(
    "add_two_ints", [delay_ms](
      const std::shared_ptr<AddTwoInts::Request> request,
      std::shared_ptr<AddTwoInts::Response> response) {
      std::printf("handling %lld\n", static_cast<long long>(request->a));
      std::fflush(stdout);
      std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms));
      response->sum = request->a + request->b;
    });
  std::printf("serving\n");
  std::fflush(stdout);
  rclcpp::spin(node);
  rclcpp::shutdown();
  return 0;
}
