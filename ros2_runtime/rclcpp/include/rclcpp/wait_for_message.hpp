// rclcpp::wait_for_message: one message from a topic, taken by the caller's
// thread without spinning, through a temporary subscription of depth 1.
#ifndef RCLCPP__WAIT_FOR_MESSAGE_HPP_
#define RCLCPP__WAIT_FOR_MESSAGE_HPP_

#include <chrono>
#include <memory>
#include <string>

#include "rclcpp/context.hpp"
#include "rclcpp/node.hpp"
#include "rclcpp/subscription.hpp"

namespace rclcpp
{

// False when the time runs out (negative: wait forever), the context shuts
// down, or the waiting message cannot be taken.
template<class MsgT, class Rep = int64_t, class Period = std::milli>
bool wait_for_message(
  MsgT & out, std::shared_ptr<Subscription<MsgT>> subscription,
  std::shared_ptr<Context> context,
  std::chrono::duration<Rep, Period> time_to_wait = std::chrono::duration<Rep, Period>(-1))
{
  auto deadline = std::chrono::steady_clock::time_point::max();
  if (time_to_wait >= std::chrono::duration<Rep, Period>(0)) {
    deadline = std::chrono::steady_clock::now() +
      std::chrono::duration_cast<std::chrono::steady_clock::duration>(time_to_wait);
  }
  if (!subscription->wait_for_data(deadline) || !context->is_valid()) {
    return false;
  }
  MessageInfo info;
  return subscription->take(out, info);
}

template<class MsgT, class Rep = int64_t, class Period = std::milli>
bool wait_for_message(
  MsgT & out, std::shared_ptr<Node> node, const std::string & topic,
  std::chrono::duration<Rep, Period> time_to_wait = std::chrono::duration<Rep, Period>(-1))
{
  auto subscription = node->create_subscription<MsgT>(
    topic, 1, [](const std::shared_ptr<const MsgT>) {});
  return wait_for_message<MsgT, Rep, Period>(
    out, subscription, node->get_node_options().context(), time_to_wait);
}

}  // namespace rclcpp

#endif  // RCLCPP__WAIT_FOR_MESSAGE_HPP_
