// rmw QoS profiles onto Fast DDS entity QoS, as rmw_fastrtps maps them.
#ifndef RMW_FASTDDS__QOS_HPP_
#define RMW_FASTDDS__QOS_HPP_

#include <fastdds/dds/publisher/qos/DataWriterQos.hpp>
#include <fastdds/dds/subscriber/qos/DataReaderQos.hpp>

#include "rmw/types.h"

namespace rmw_fastdds
{

eprosima::fastdds::dds::DataWriterQos writer_qos(const rmw_qos_profile_t & profile);
eprosima::fastdds::dds::DataReaderQos reader_qos(const rmw_qos_profile_t & profile);

}  // namespace rmw_fastdds

#endif  // RMW_FASTDDS__QOS_HPP_
