// The ROS graph identifies an entity by its RTPS GUID padded with zeros to
// rmw's 24-byte gid.
#ifndef RMW_FASTDDS__GID_HPP_
#define RMW_FASTDDS__GID_HPP_

#include <fastdds/rtps/common/Guid.h>

#include <array>
#include <cstdint>
#include <cstring>

namespace rmw_fastdds
{

using Gid = std::array<uint8_t, 24>;

inline Gid to_gid(const eprosima::fastrtps::rtps::GUID_t & guid)
{
  Gid gid{};
  std::memcpy(gid.data(), guid.guidPrefix.value, eprosima::fastrtps::rtps::GuidPrefix_t::size);
  std::memcpy(
    gid.data() + eprosima::fastrtps::rtps::GuidPrefix_t::size, guid.entityId.value,
    eprosima::fastrtps::rtps::EntityId_t::size);
  return gid;
}

}  // namespace rmw_fastdds

#endif  // RMW_FASTDDS__GID_HPP_
