// libFuzzer target: any bytes as the service's request, decoded as the node
// takes a request off the wire, and as its reply, decoded as a client takes
// it. A decoder fault shows as a sanitizer report; bytes that decode must
// encode to bytes that decode and encode to the same bytes again.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "brisvane_protocol/srv/arm_location.hpp"

namespace
{

template<typename MessageT>
void roundTrip(const std::uint8_t * data, std::size_t size)
{
  using TypeSupport = rosidl_runtime_cpp::TypeSupport<MessageT>;
  // An exactly sized copy, so that reading one byte too far is reported.
  const std::vector<std::uint8_t> wire(data, data + size);
  MessageT message;
  if (!TypeSupport::deserialize(wire.data(), wire.size(), message)) {
    return;
  }
  auto encode = [](const MessageT & m) {
      std::vector<std::uint8_t> bytes(TypeSupport::serialized_size(m));
      TypeSupport::serialize(m, bytes.data());
      return bytes;
    };
  const std::vector<std::uint8_t> encoded = encode(message);
  MessageT again;
  if (!TypeSupport::deserialize(encoded.data(), encoded.size(), again) || encode(again) != encoded) {
    __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t * data, std::size_t size)
{
  roundTrip<brisvane_protocol::srv::ArmLocation::Request>(data, size);
  roundTrip<brisvane_protocol::srv::ArmLocation::Response>(data, size);
  return 0;
}
