// Asks /add_two_ints for a + b and prints "sum <n>"; exits 1 when the
// service does not appear or answer within five seconds.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "rclcpp/rclcpp.hpp"
#include "rclcpp_test_srvs/srv/add_two_ints.hpp"

using AddTwoInts = rclcpp_test_srvs::srv::AddTwoInts;

int main(int argc, char ** argv)
{
  rclcpp::init(argc, argv);
  if (argc < 3) {
    std::fprintf(stderr, "usage: add_client a b\n");
    return 2;
  }
  auto node = std::make_shared<rclcpp::Node>("add_client");
  auto client = node->create_client<AddTwoInts>("add_two_ints");
  if (!client->wait_for_service(std::chrono::seconds(5))) {
    std::printf("no service\n");
    return 1;
  }
  auto request = std::make_shared<AddTwoInts::Request>();
  request->a = std::atoll(argv[1]);
  request->b = std::atoll(argv[2]);
  auto result = client->async_send_request(request);
  if (rclcpp::spin_until_future_complete(node, result, std::chrono::seconds(5)) !=
    rclcpp::FutureReturnCode::SUCCESS)
  {
    std::printf("no answer\n");
    return 1;
  }
  std::printf("sum %lld\n", static_cast<long long>(result.get()->sum));
  rclcpp::shutdown();
  return 0;
}
