// Callback groups as rclcpp names them. Every entity of a node runs on the
// thread that spins it, one callback at a time, so a group changes nothing
// here; it is accepted where rclcpp accepts one.
#ifndef RCLCPP__CALLBACK_GROUP_HPP_
#define RCLCPP__CALLBACK_GROUP_HPP_

#include "rclcpp/macros.hpp"

namespace rclcpp
{

enum class CallbackGroupType
{
  MutuallyExclusive,
  Reentrant
};

class CallbackGroup
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS(CallbackGroup)

  explicit CallbackGroup(
    CallbackGroupType group_type, bool automatically_add_to_executor_with_node = true)
  : type_(group_type), automatically_add_to_executor_with_node_(
      automatically_add_to_executor_with_node) {}

  const CallbackGroupType & type() const {return type_;}
  bool automatically_add_to_executor_with_node() const
  {
    return automatically_add_to_executor_with_node_;
  }

private:
  CallbackGroupType type_;
  bool automatically_add_to_executor_with_node_;
};

}  // namespace rclcpp

#endif  // RCLCPP__CALLBACK_GROUP_HPP_
