// rclcpp::spin and friends: a single-threaded executor for one node.
#ifndef RCLCPP__EXECUTORS_HPP_
#define RCLCPP__EXECUTORS_HPP_

#include <chrono>
#include <memory>

#include "rclcpp/executor.hpp"
#include "rclcpp/executors/single_threaded_executor.hpp"
#include "rclcpp/node.hpp"

namespace rclcpp
{

void spin(std::shared_ptr<Node> node_ptr);
void spin_some(std::shared_ptr<Node> node_ptr);

template<typename FutureT, typename TimeRepT = int64_t, typename TimeT = std::milli>
FutureReturnCode spin_until_future_complete(
  std::shared_ptr<Node> node_ptr, const FutureT & future,
  std::chrono::duration<TimeRepT, TimeT> timeout = std::chrono::duration<TimeRepT, TimeT>(-1))
{
  executors::SingleThreadedExecutor executor;
  executor.add_node(node_ptr);
  const FutureReturnCode code = executor.spin_until_future_complete(future, timeout);
  executor.remove_node(node_ptr);
  return code;
}

}  // namespace rclcpp

#endif  // RCLCPP__EXECUTORS_HPP_
