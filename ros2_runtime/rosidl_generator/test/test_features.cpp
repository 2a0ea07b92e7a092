// Every form of field and constant a .msg file can hold comes out with
// rosidl's C++ type, initial value and wire form.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

#include "rosidl_generator_test_msgs/msg/features.hpp"

namespace
{

using rosidl_generator_test_msgs::msg::Features;

template<typename A, typename B>
constexpr bool same = std::is_same_v<A, B>;

static_assert(same<decltype(Features::flag), bool>);
static_assert(same<decltype(Features::octet), unsigned char>);
static_assert(same<decltype(Features::letter), uint8_t>);
static_assert(same<decltype(Features::small), int8_t>);
static_assert(same<decltype(Features::widest), uint64_t>);
static_assert(same<decltype(Features::single), float>);
static_assert(same<decltype(Features::short_text), std::string>);
static_assert(same<decltype(Features::wide), std::u16string>);
static_assert(same<decltype(Features::fixed_ints), std::array<int32_t, 3>>);
static_assert(same<decltype(Features::fixed_strings), std::array<std::string, 2>>);
static_assert(same<decltype(Features::few_bytes), rosidl_runtime_cpp::BoundedVector<uint8_t, 4>>);
static_assert(same<decltype(Features::flags), std::vector<bool>>);
static_assert(same<decltype(Features::headers), std::array<std_msgs::msg::Header, 2>>);
static_assert(same<decltype(Features::short_pair), std::array<std::string, 2>>);
static_assert(same<decltype(Features::few_short_words),
  rosidl_runtime_cpp::BoundedVector<std::string, 2>>);
static_assert(same<decltype(Features::empties),
  rosidl_runtime_cpp::BoundedVector<std_msgs::msg::Empty, 3>>);

static_assert(Features::RED == 1);
static_assert(Features::LOWEST == INT64_MIN);
static_assert(Features::HALF == 0.5);
static_assert(Features::FLAG);

TEST(Features, ConstantsKeepTheirValues)
{
  EXPECT_EQ(Features::GREETING, "hello # not a comment");
}

TEST(Features, DefaultsComeFromTheDefinition)
{
  const Features f;
  EXPECT_TRUE(f.flag);
  EXPECT_EQ(f.octet, 255);
  EXPECT_EQ(f.letter, 'A');
  EXPECT_EQ(f.small, -8);
  EXPECT_EQ(f.medium, 16);
  EXPECT_EQ(f.signed_word, -32);
  EXPECT_EQ(f.widest, UINT64_MAX);
  EXPECT_EQ(f.single, 1.5f);
  EXPECT_EQ(f.twice, -2.5);
  EXPECT_EQ(f.text, "quoted, with comma");
  EXPECT_EQ(f.short_text, "abc");
  EXPECT_TRUE(f.wide.empty());
  EXPECT_EQ(f.fixed_ints, (std::array<int32_t, 3>{1, 2, 3}));
  EXPECT_EQ(f.fixed_strings, (std::array<std::string, 2>{"a", "b"}));
  EXPECT_EQ(f.doubles, (std::vector<double>{0.5, 1.5}));
  EXPECT_TRUE(f.few_bytes.empty());
}

TEST(Features, ZeroInitializationIgnoresTheDefaults)
{
  const Features f(rosidl_runtime_cpp::MessageInitialization::ZERO);
  EXPECT_FALSE(f.flag);
  EXPECT_EQ(f.octet, 0);
  EXPECT_EQ(f.widest, 0u);
  EXPECT_EQ(f.twice, 0.0);
  EXPECT_EQ(f.text, "");
  EXPECT_EQ(f.fixed_ints, (std::array<int32_t, 3>{0, 0, 0}));
  EXPECT_EQ(f.fixed_strings, (std::array<std::string, 2>{"", ""}));
  EXPECT_TRUE(f.doubles.empty());
}

std::vector<uint8_t> wire(const Features & f)
{
  using TS = rosidl_runtime_cpp::TypeSupport<Features>;
  std::vector<uint8_t> out(TS::serialized_size(f));
  TS::serialize(f, out.data());
  return out;
}

bool decode(const std::vector<uint8_t> & bytes, Features & f)
{
  return rosidl_runtime_cpp::TypeSupport<Features>::deserialize(bytes.data(), bytes.size(), f);
}

TEST(Features, EveryFieldRoundTrips)
{
  Features f;
  f.wide = u"\u00e9t\u00e9";
  f.few_bytes = {1, 2, 3, 4};
  f.flags = {true, false, true};
  f.headers[1].frame_id = "second";
  f.empties.resize(2);
  Features back(rosidl_runtime_cpp::MessageInitialization::ZERO);
  ASSERT_TRUE(decode(wire(f), back));
  EXPECT_EQ(back, f);
}

TEST(Features, RefusesBoundedFieldsOverTheirBound)
{
  // few_bytes is the only field holding the value 0xab; grow its count past 4.
  Features f;
  f.few_bytes = {0xab, 0xab, 0xab, 0xab};
  std::vector<uint8_t> bytes = wire(f);
  std::size_t at = 0;
  while (bytes[at] != 0xab) {
    ++at;
  }
  ASSERT_EQ(bytes[at - 4], 4);
  bytes[at - 4] = 5;
  bytes.insert(bytes.begin() + at, 0xab);
  Features back;
  EXPECT_FALSE(decode(bytes, back));

  f.few_bytes.clear();
  f.short_text = "abcdef";
  EXPECT_FALSE(decode(wire(f), back));
  f.short_text.clear();
  ASSERT_TRUE(decode(wire(f), back));

  for (auto lengthen : {
      +[](Features & m) {m.short_pair[1] = "abcd";},
      +[](Features & m) {m.short_words = {"abc", "abcd"};},
      +[](Features & m) {m.few_short_words = {"abcd"};}})
  {
    Features longer = f;
    lengthen(longer);
    EXPECT_FALSE(decode(wire(longer), back));
  }
}

}  // namespace
