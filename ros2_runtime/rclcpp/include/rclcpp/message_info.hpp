// Where and when a taken message was written.
#ifndef RCLCPP__MESSAGE_INFO_HPP_
#define RCLCPP__MESSAGE_INFO_HPP_

#include <cstdint>

#include "rmw/types.h"

namespace rclcpp
{

class MessageInfo
{
public:
  MessageInfo() = default;
  explicit MessageInfo(const rmw_message_info_t & info) : info_(info) {}

  const rmw_message_info_t & get_rmw_message_info() const {return info_;}
  rmw_message_info_t & get_rmw_message_info() {return info_;}

private:
  rmw_message_info_t info_{};
};

}  // namespace rclcpp

#endif  // RCLCPP__MESSAGE_INFO_HPP_
