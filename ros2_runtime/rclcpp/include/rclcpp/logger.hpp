// Named loggers: a node's logger is named after the node, children add
// ".suffix".
#ifndef RCLCPP__LOGGER_HPP_
#define RCLCPP__LOGGER_HPP_

#include <memory>
#include <string>

namespace rclcpp
{

class Logger
{
public:
  enum class Level
  {
    Unset = 0,
    Debug = 10,
    Info = 20,
    Warn = 30,
    Error = 40,
    Fatal = 50,
  };

  const char * get_name() const {return name_->c_str();}
  Logger get_child(const std::string & suffix) const
  {
    return Logger(*name_ + "." + suffix);
  }
  void set_level(Level level);

private:
  friend Logger get_logger(const std::string & name);
  explicit Logger(const std::string & name)
  : name_(std::make_shared<const std::string>(name)) {}

  std::shared_ptr<const std::string> name_;
};

Logger get_logger(const std::string & name);

}  // namespace rclcpp

#endif  // RCLCPP__LOGGER_HPP_
