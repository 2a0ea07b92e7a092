#include "rmw_fastdds/payload_type.hpp"

#include <fastcdr/Cdr.h>

#include <cstring>

namespace rmw_fastdds
{

// Unbounded types: start payloads small and let the history grow them.
constexpr uint32_t initial_payload_size = 4096;

PayloadType::PayloadType(const std::string & dds_type_name)
{
  setName(dds_type_name.c_str());
  m_typeSize = initial_payload_size;
  m_isGetKeyDefined = false;
  auto_fill_type_object(false);
  auto_fill_type_information(false);
}

bool PayloadType::serialize(void * data, eprosima::fastrtps::rtps::SerializedPayload_t * payload)
{
  const auto * sample = static_cast<const OutgoingSample *>(data);
  const size_t size = sample->ops->serialized_size(sample->msg);
  if (size > payload->max_size) {
    return false;
  }
  sample->ops->serialize(sample->msg, payload->data);
  payload->length = static_cast<uint32_t>(size);
  payload->encapsulation =
    eprosima::fastcdr::Cdr::DEFAULT_ENDIAN == eprosima::fastcdr::Cdr::BIG_ENDIANNESS ?
    CDR_BE : CDR_LE;
  return true;
}

bool PayloadType::deserialize(
  eprosima::fastrtps::rtps::SerializedPayload_t * payload, void * data)
{
  auto * sample = static_cast<IncomingSample *>(data);
  sample->resize(payload->length);
  if (payload->length > 0) {
    std::memcpy(sample->data(), payload->data, payload->length);
  }
  return true;
}

std::function<uint32_t()> PayloadType::getSerializedSizeProvider(void * data)
{
  return [data]() {
           const auto * sample = static_cast<const OutgoingSample *>(data);
           return static_cast<uint32_t>(sample->ops->serialized_size(sample->msg));
         };
}

void * PayloadType::createData()
{
  return new IncomingSample();
}

void PayloadType::deleteData(void * data)
{
  delete static_cast<IncomingSample *>(data);
}

bool PayloadType::getKey(void *, eprosima::fastrtps::rtps::InstanceHandle_t *, bool)
{
  return false;
}

}  // namespace rmw_fastdds
