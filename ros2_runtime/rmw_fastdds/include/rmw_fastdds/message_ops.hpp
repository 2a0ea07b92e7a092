// The writer's view of a message type: its DDS name and how to put one
// message into a payload, reached through the generated TypeSupport.
#ifndef RMW_FASTDDS__MESSAGE_OPS_HPP_
#define RMW_FASTDDS__MESSAGE_OPS_HPP_

#include <cstddef>
#include <cstdint>

#include "rosidl_runtime_cpp/type_support.hpp"

namespace rmw_fastdds
{

struct MessageOps
{
  const char * dds_type_name;
  size_t (* serialized_size)(const void * msg);
  void (* serialize)(const void * msg, uint8_t * out);
};

template<typename T>
const MessageOps & message_ops()
{
  using Support = rosidl_runtime_cpp::TypeSupport<T>;
  static const MessageOps ops{
    Support::dds_type_name,
    [](const void * msg) {return Support::serialized_size(*static_cast<const T *>(msg));},
    [](const void * msg, uint8_t * out) {Support::serialize(*static_cast<const T *>(msg), out);}
  };
  return ops;
}

}  // namespace rmw_fastdds

#endif  // RMW_FASTDDS__MESSAGE_OPS_HPP_
