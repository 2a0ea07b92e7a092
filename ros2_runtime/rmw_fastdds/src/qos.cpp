#include "rmw_fastdds/qos.hpp"

#include <fastdds/dds/publisher/qos/PublisherQos.hpp>

namespace rmw_fastdds
{
namespace
{

namespace dds = eprosima::fastdds::dds;

bool is_unspecified(const rmw_time_t & t)
{
  return t.sec == 0 && t.nsec == 0;
}

eprosima::fastrtps::Duration_t to_duration(const rmw_time_t & t)
{
  constexpr uint64_t infinite_sec = 9223372036ULL;
  if (t.sec >= infinite_sec) {
    return eprosima::fastrtps::c_TimeInfinite;
  }
  return eprosima::fastrtps::Duration_t(static_cast<int32_t>(t.sec), static_cast<uint32_t>(t.nsec));
}

template<typename EntityQos>
void fill(const rmw_qos_profile_t & profile, EntityQos & qos)
{
  switch (profile.history) {
    case RMW_QOS_POLICY_HISTORY_KEEP_LAST:
      qos.history().kind = dds::KEEP_LAST_HISTORY_QOS;
      break;
    case RMW_QOS_POLICY_HISTORY_KEEP_ALL:
      qos.history().kind = dds::KEEP_ALL_HISTORY_QOS;
      break;
    default:
      break;
  }
  if (profile.depth != RMW_QOS_POLICY_DEPTH_SYSTEM_DEFAULT) {
    qos.history().depth = static_cast<int32_t>(profile.depth);
  }
  switch (profile.reliability) {
    case RMW_QOS_POLICY_RELIABILITY_RELIABLE:
      qos.reliability().kind = dds::RELIABLE_RELIABILITY_QOS;
      break;
    case RMW_QOS_POLICY_RELIABILITY_BEST_EFFORT:
      qos.reliability().kind = dds::BEST_EFFORT_RELIABILITY_QOS;
      break;
    default:
      break;
  }
  switch (profile.durability) {
    case RMW_QOS_POLICY_DURABILITY_TRANSIENT_LOCAL:
      qos.durability().kind = dds::TRANSIENT_LOCAL_DURABILITY_QOS;
      break;
    case RMW_QOS_POLICY_DURABILITY_VOLATILE:
      qos.durability().kind = dds::VOLATILE_DURABILITY_QOS;
      break;
    default:
      break;
  }
  if (!is_unspecified(profile.deadline)) {
    qos.deadline().period = to_duration(profile.deadline);
  }
  switch (profile.liveliness) {
    case RMW_QOS_POLICY_LIVELINESS_AUTOMATIC:
      qos.liveliness().kind = dds::AUTOMATIC_LIVELINESS_QOS;
      break;
    case RMW_QOS_POLICY_LIVELINESS_MANUAL_BY_TOPIC:
      qos.liveliness().kind = dds::MANUAL_BY_TOPIC_LIVELINESS_QOS;
      break;
    default:
      break;
  }
  if (!is_unspecified(profile.liveliness_lease_duration)) {
    qos.liveliness().lease_duration = to_duration(profile.liveliness_lease_duration);
  }
  // The history must hold what the profile asks for even where Fast DDS's
  // own resource limits are smaller.
  if (qos.history().kind == dds::KEEP_LAST_HISTORY_QOS) {
    const int32_t depth = qos.history().depth;
    if (qos.resource_limits().max_samples_per_instance < depth) {
      qos.resource_limits().max_samples_per_instance = depth;
    }
    if (qos.resource_limits().max_samples > 0 && qos.resource_limits().max_samples < depth) {
      qos.resource_limits().max_samples = depth;
    }
  }
  // Payloads of unbounded types are sized per sample.
  qos.endpoint().history_memory_policy =
    eprosima::fastrtps::rtps::PREALLOCATED_WITH_REALLOC_MEMORY_MODE;
  qos.data_sharing().off();
}

}  // namespace

dds::DataWriterQos writer_qos(const rmw_qos_profile_t & profile)
{
  dds::DataWriterQos qos = dds::DATAWRITER_QOS_DEFAULT;
  fill(profile, qos);
  if (!is_unspecified(profile.lifespan)) {
    qos.lifespan().duration = to_duration(profile.lifespan);
  }
  // Humble's default publication mode: the sample leaves within write().
  qos.publish_mode().kind = dds::SYNCHRONOUS_PUBLISH_MODE;
  return qos;
}

dds::DataReaderQos reader_qos(const rmw_qos_profile_t & profile)
{
  dds::DataReaderQos qos = dds::DATAREADER_QOS_DEFAULT;
  fill(profile, qos);
  if (!is_unspecified(profile.lifespan)) {
    qos.lifespan().duration = to_duration(profile.lifespan);
  }
  return qos;
}

}  // namespace rmw_fastdds
