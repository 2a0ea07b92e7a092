#include "rmw_fastdds/request_reply.hpp"

#include <fastrtps/rtps/common/WriteParams.h>

#include <cstring>

#include "rmw_fastdds/writer.hpp"

namespace rmw_fastdds
{

using eprosima::fastrtps::rtps::GUID_t;
using eprosima::fastrtps::rtps::GuidPrefix_t;
using eprosima::fastrtps::rtps::EntityId_t;
using eprosima::fastrtps::rtps::SequenceNumber_t;

namespace
{

// RTPS entity kinds of readers have this bit set, those of writers do not.
constexpr uint8_t entity_kind_reader_bit = 0x04;

void to_bytes(const GUID_t & guid, int8_t (&bytes)[16])
{
  std::memcpy(bytes, guid.guidPrefix.value, GuidPrefix_t::size);
  std::memcpy(bytes + GuidPrefix_t::size, guid.entityId.value, EntityId_t::size);
}

GUID_t from_bytes(const int8_t (&bytes)[16])
{
  GUID_t guid;
  std::memcpy(guid.guidPrefix.value, bytes, GuidPrefix_t::size);
  std::memcpy(guid.entityId.value, bytes + GuidPrefix_t::size, EntityId_t::size);
  return guid;
}

}  // namespace

int64_t to_sequence_id(const SequenceNumber_t & sequence)
{
  return (static_cast<int64_t>(sequence.high) << 32) | sequence.low;
}

bool send_request(
  Writer & writer, const GUID_t & reply_reader, const MessageOps & ops, const void * msg,
  int64_t & sequence_id)
{
  eprosima::fastrtps::rtps::WriteParams params;
  params.related_sample_identity().writer_guid() = reply_reader;
  if (!writer.write(ops, msg, params)) {
    return false;
  }
  sequence_id = to_sequence_id(params.sample_identity().sequence_number());
  return true;
}

rmw_request_id_t request_id(const SampleMeta & request)
{
  // Clients that name their reply reader are answered under its GUID;
  // others under their request writer's.
  GUID_t guid = request.related_sample_identity.writer_guid();
  if (guid == GUID_t::unknown()) {
    guid = request.sample_identity.writer_guid();
  }
  rmw_request_id_t id{};
  to_bytes(guid, id.writer_guid);
  id.sequence_number = to_sequence_id(request.sample_identity.sequence_number());
  return id;
}

ReplyResult send_reply(
  Writer & writer, const Reader & request_reader, const rmw_request_id_t & request_id,
  const MessageOps & ops, const void * msg)
{
  eprosima::fastrtps::rtps::WriteParams params;
  const GUID_t client = from_bytes(request_id.writer_guid);
  params.related_sample_identity().writer_guid() = client;
  params.related_sample_identity().sequence_number() = SequenceNumber_t(
    static_cast<int32_t>(request_id.sequence_number >> 32),
    static_cast<uint32_t>(request_id.sequence_number & 0xFFFFFFFF));
  if ((client.entityId.value[3] & entity_kind_reader_bit) != 0 && !writer.is_matched(client)) {
    if (!request_reader.has_matched_writer_of(client.guidPrefix)) {
      return ReplyResult::client_gone;
    }
    if (!writer.wait_for_match(client, reply_match_timeout)) {
      return ReplyResult::client_not_matched;
    }
  }
  return writer.write(ops, msg, params) ? ReplyResult::sent : ReplyResult::refused;
}

bool is_reply_for(
  const SampleMeta & reply, const GUID_t & reply_reader, const GUID_t & request_writer,
  int64_t & sequence_id)
{
  const GUID_t & addressee = reply.related_sample_identity.writer_guid();
  if (addressee != reply_reader && addressee != request_writer) {
    return false;
  }
  sequence_id = to_sequence_id(reply.related_sample_identity.sequence_number());
  return true;
}

}  // namespace rmw_fastdds
