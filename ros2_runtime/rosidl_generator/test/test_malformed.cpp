// The decoder never trusts a payload: whatever the bytes, it returns false
// or a message, never reads past the end, and never allocates more than
// the payload could describe.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <vector>

#include "rmw_dds_common/msg/participant_entities_info.hpp"
#include "sensor_msgs/msg/image.hpp"
#include "sensor_msgs/msg/region_of_interest.hpp"
#include "std_msgs/msg/string.hpp"
#include "tf2_msgs/msg/tf_message.hpp"

namespace
{
std::atomic<std::size_t> largest_allocation{0};
}  // namespace

void * operator new(std::size_t size)
{
  std::size_t seen = largest_allocation.load();
  while (size > seen && !largest_allocation.compare_exchange_weak(seen, size)) {
  }
  if (void * p = std::malloc(size == 0 ? 1 : size)) {
    return p;
  }
  throw std::bad_alloc();
}

void operator delete(void * p) noexcept {std::free(p);}
void operator delete(void * p, std::size_t) noexcept {std::free(p);}

namespace
{

using Bytes = std::vector<uint8_t>;

template<typename T>
Bytes wire(const T & msg)
{
  using TS = rosidl_runtime_cpp::TypeSupport<T>;
  Bytes out(TS::serialized_size(msg));
  TS::serialize(msg, out.data());
  return out;
}

// Decodes from an exactly sized heap copy, so that reading one byte too far
// is caught by the sanitizers when they are on.
template<typename T>
bool decode(const Bytes & bytes, T & msg)
{
  std::vector<uint8_t> copy(bytes);
  return rosidl_runtime_cpp::TypeSupport<T>::deserialize(copy.data(), copy.size(), msg);
}

template<typename T>
bool decodes(const Bytes & bytes)
{
  T msg;
  return decode(bytes, msg);
}

void set_u32(Bytes & b, std::size_t at, uint32_t v)
{
  for (int i = 0; i < 4; ++i) {
    b[at + i] = static_cast<uint8_t>(v >> (8 * i));
  }
}

sensor_msgs::msg::Image small_image()
{
  sensor_msgs::msg::Image image;
  image.header.frame_id = "camera";
  image.height = 2;
  image.width = 2;
  image.encoding = "16UC1";
  image.step = 4;
  image.data.assign(8, 0x5a);
  return image;
}

TEST(MalformedPayload, RefusesEveryTruncation)
{
  const Bytes full = wire(small_image());
  for (std::size_t n = 0; n < full.size(); ++n) {
    EXPECT_FALSE(decodes<sensor_msgs::msg::Image>(Bytes(full.begin(), full.begin() + n))) << n;
  }
  EXPECT_TRUE(decodes<sensor_msgs::msg::Image>(full));
}

TEST(MalformedPayload, RefusesHugeCountsWithoutAllocatingThem)
{
  Bytes bytes = wire(small_image());
  const std::size_t data_count_at = bytes.size() - 8 - 4;
  for (uint32_t count : {0xffffffffu, 0x80000000u, 9u}) {
    set_u32(bytes, data_count_at, count);
    largest_allocation = 0;
    EXPECT_FALSE(decodes<sensor_msgs::msg::Image>(bytes)) << count;
    EXPECT_LT(largest_allocation.load(), 4096u) << count;
  }

  tf2_msgs::msg::TFMessage tf;
  Bytes tf_bytes = wire(tf);
  set_u32(tf_bytes, 4, 0x10000000u);
  largest_allocation = 0;
  EXPECT_FALSE(decodes<tf2_msgs::msg::TFMessage>(tf_bytes));
  EXPECT_LT(largest_allocation.load(), 4096u);
}

TEST(MalformedPayload, RefusesStringsWithoutNulOrPastTheEnd)
{
  std_msgs::msg::String s;
  s.data = "hi";
  Bytes bytes = wire(s);
  bytes.back() = 'x';
  EXPECT_FALSE(decodes<std_msgs::msg::String>(bytes));

  bytes = wire(s);
  set_u32(bytes, 4, 4);
  EXPECT_FALSE(decodes<std_msgs::msg::String>(bytes));
  set_u32(bytes, 4, 0xffffffffu);
  largest_allocation = 0;
  EXPECT_FALSE(decodes<std_msgs::msg::String>(bytes));
  EXPECT_LT(largest_allocation.load(), 4096u);
}

TEST(MalformedPayload, RefusesBoolsOtherThanZeroOrOne)
{
  sensor_msgs::msg::RegionOfInterest roi;
  roi.do_rectify = true;
  Bytes bytes = wire(roi);
  bytes.back() = 2;
  EXPECT_FALSE(decodes<sensor_msgs::msg::RegionOfInterest>(bytes));
}

TEST(MalformedPayload, RefusesStringsLongerThanTheirBound)
{
  rmw_dds_common::msg::NodeEntitiesInfo node;
  node.node_name = std::string(257, 'n');
  EXPECT_FALSE(decodes<rmw_dds_common::msg::NodeEntitiesInfo>(wire(node)));
  node.node_name.resize(256);
  EXPECT_TRUE(decodes<rmw_dds_common::msg::NodeEntitiesInfo>(wire(node)));
}

TEST(MalformedPayload, RefusesForeignEncapsulations)
{
  std_msgs::msg::String s;
  s.data = "hi";
  const Bytes good = wire(s);
  Bytes parameter_list = good;
  parameter_list[1] = 0x03;
  EXPECT_FALSE(decodes<std_msgs::msg::String>(parameter_list));
  Bytes not_dds = good;
  not_dds[0] = 0x01;
  EXPECT_FALSE(decodes<std_msgs::msg::String>(not_dds));
  EXPECT_FALSE(decodes<std_msgs::msg::String>(Bytes{0, 1, 0}));
}

TEST(MalformedPayload, AcceptsTrailingPadding)
{
  Bytes bytes = wire(small_image());
  bytes.insert(bytes.end(), 3, 0);
  sensor_msgs::msg::Image back;
  ASSERT_TRUE(decode(bytes, back));
  EXPECT_EQ(back, small_image());
}

}  // namespace
