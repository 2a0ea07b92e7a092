// What an executor runs besides timers: an entity with work waiting for it
// (a subscription with a sample; services and clients with requests and
// replies are entities of the same kind).
#ifndef RCLCPP__DETAIL__EXECUTABLE_HPP_
#define RCLCPP__DETAIL__EXECUTABLE_HPP_

namespace rclcpp
{
namespace detail
{

class Executable
{
public:
  virtual ~Executable() = default;

  virtual bool has_data() const = 0;
  // Takes one piece of waiting work and runs its callback; false when none waited.
  virtual bool execute_one() = 0;
};

}  // namespace detail
}  // namespace rclcpp

#endif  // RCLCPP__DETAIL__EXECUTABLE_HPP_
