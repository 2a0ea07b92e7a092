// One Fast DDS type per DDS type name. Writing, it serializes the message
// straight into the payload; reading, it hands over the payload's bytes
// unchanged, so decoding (which may reject the sample) happens on the
// executor's thread and never inside Fast DDS.
#ifndef RMW_FASTDDS__PAYLOAD_TYPE_HPP_
#define RMW_FASTDDS__PAYLOAD_TYPE_HPP_

#include <fastdds/dds/topic/TopicDataType.hpp>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "rmw_fastdds/message_ops.hpp"

namespace rmw_fastdds
{

// What a writer passes to DataWriter::write.
struct OutgoingSample
{
  const MessageOps * ops;
  const void * msg;
};

// What a reader takes: the payload including its encapsulation header.
using IncomingSample = std::vector<uint8_t>;

class PayloadType : public eprosima::fastdds::dds::TopicDataType
{
public:
  explicit PayloadType(const std::string & dds_type_name);

  bool serialize(void * data, eprosima::fastrtps::rtps::SerializedPayload_t * payload) override;
  bool deserialize(eprosima::fastrtps::rtps::SerializedPayload_t * payload, void * data) override;
  std::function<uint32_t()> getSerializedSizeProvider(void * data) override;
  void * createData() override;
  void deleteData(void * data) override;
  bool getKey(
    void * data, eprosima::fastrtps::rtps::InstanceHandle_t * handle,
    bool force_md5) override;
};

}  // namespace rmw_fastdds

#endif  // RMW_FASTDDS__PAYLOAD_TYPE_HPP_
