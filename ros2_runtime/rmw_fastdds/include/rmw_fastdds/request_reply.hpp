// How requests and replies find each other on the wire, as
// rmw_fastrtps_cpp does it: a request carries, as the writer of its related
// sample identity, the GUID of the client's reply reader; the reply carries
// the request's identity (with that GUID) as its related sample identity.
#ifndef RMW_FASTDDS__REQUEST_REPLY_HPP_
#define RMW_FASTDDS__REQUEST_REPLY_HPP_

#include <fastdds/rtps/common/Guid.h>
#include <fastrtps/rtps/common/SampleIdentity.h>

#include <chrono>
#include <cstdint>

#include "rmw/types.h"
#include "rmw_fastdds/message_ops.hpp"
#include "rmw_fastdds/reader.hpp"

namespace rmw_fastdds
{

class Writer;

// How long a reply waits for the client's reply reader to be matched.
constexpr std::chrono::milliseconds reply_match_timeout{100};

int64_t to_sequence_id(const eprosima::fastrtps::rtps::SequenceNumber_t & sequence);

// Writes a request; `sequence_id` is the written sample's own sequence
// number. False when the writer refused it.
bool send_request(
  Writer & writer, const eprosima::fastrtps::rtps::GUID_t & reply_reader,
  const MessageOps & ops, const void * msg, int64_t & sequence_id);

// The identity a server answers a taken request under.
rmw_request_id_t request_id(const SampleMeta & request);

enum class ReplyResult {sent, refused, client_gone, client_not_matched};

// Writes a reply to the request `request_id` names. When that names a
// reader, waits (bounded) until the reply writer is matched with it, so the
// reply is not lost to a client still being discovered; a client none of
// whose writers is matched with `request_reader` any more has left and is
// not waited for.
ReplyResult send_reply(
  Writer & writer, const Reader & request_reader, const rmw_request_id_t & request_id,
  const MessageOps & ops, const void * msg);

// Whether a taken reply answers a request of the client owning these
// endpoints; `sequence_id` is then the request's sequence number.
bool is_reply_for(
  const SampleMeta & reply, const eprosima::fastrtps::rtps::GUID_t & reply_reader,
  const eprosima::fastrtps::rtps::GUID_t & request_writer, int64_t & sequence_id);

}  // namespace rmw_fastdds

#endif  // RMW_FASTDDS__REQUEST_REPLY_HPP_
