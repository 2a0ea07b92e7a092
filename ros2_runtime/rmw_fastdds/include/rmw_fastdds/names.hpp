// DDS topic names for ROS names: plain concatenations of rmw_fastrtps's
// prefixes and suffixes, no separator added.
#ifndef RMW_FASTDDS__NAMES_HPP_
#define RMW_FASTDDS__NAMES_HPP_

#include <string>

namespace rmw_fastdds
{

inline std::string topic_name(const std::string & fully_qualified_name)
{
  return "rt" + fully_qualified_name;
}

// Entities that opt out of ROS conventions use the name unchanged.
inline std::string topic_name(
  const std::string & fully_qualified_name, bool avoid_ros_namespace_conventions)
{
  return avoid_ros_namespace_conventions ? fully_qualified_name : topic_name(fully_qualified_name);
}

inline std::string request_topic_name(const std::string & service_name)
{
  return "rq" + service_name + "Request";
}

inline std::string reply_topic_name(const std::string & service_name)
{
  return "rr" + service_name + "Reply";
}

}  // namespace rmw_fastdds

#endif  // RMW_FASTDDS__NAMES_HPP_
