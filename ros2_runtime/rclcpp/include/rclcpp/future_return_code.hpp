#ifndef RCLCPP__FUTURE_RETURN_CODE_HPP_
#define RCLCPP__FUTURE_RETURN_CODE_HPP_

#include <string>

namespace rclcpp
{

enum class FutureReturnCode {SUCCESS, INTERRUPTED, TIMEOUT};

std::string to_string(const FutureReturnCode & future_return_code);

}  // namespace rclcpp

#endif  // RCLCPP__FUTURE_RETURN_CODE_HPP_
