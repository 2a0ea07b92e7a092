// Serializing and deserializing a 16UC1 depth image against a memcpy of its
// pixel bytes, at the camera resolutions the node sees.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "sensor_msgs/msg/image.hpp"

namespace
{

using TS = rosidl_runtime_cpp::TypeSupport<sensor_msgs::msg::Image>;

sensor_msgs::msg::Image depth_image(uint32_t width, uint32_t height)
{
  sensor_msgs::msg::Image image;
  image.header.frame_id = "camera_depth_optical_frame";
  image.width = width;
  image.height = height;
  image.encoding = "16UC1";
  image.step = 2 * width;
  image.data.resize(static_cast<std::size_t>(image.step) * height);
  for (std::size_t i = 0; i < image.data.size(); ++i) {
    image.data[i] = static_cast<uint8_t>(i * 31);
  }
  return image;
}

void set_bytes(benchmark::State & state, std::size_t bytes)
{
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

void memcpy_pixels(benchmark::State & state)
{
  const auto image = depth_image(state.range(0), state.range(1));
  std::vector<uint8_t> out(image.data.size());
  for (auto _ : state) {
    std::memcpy(out.data(), image.data.data(), image.data.size());
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  set_bytes(state, image.data.size());
}

void serialize(benchmark::State & state)
{
  const auto image = depth_image(state.range(0), state.range(1));
  std::vector<uint8_t> out(TS::serialized_size(image));
  for (auto _ : state) {
    out.resize(TS::serialized_size(image));
    TS::serialize(image, out.data());
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  set_bytes(state, image.data.size());
}

void deserialize_into_reused(benchmark::State & state)
{
  const auto image = depth_image(state.range(0), state.range(1));
  std::vector<uint8_t> wire(TS::serialized_size(image));
  TS::serialize(image, wire.data());
  sensor_msgs::msg::Image back;
  for (auto _ : state) {
    benchmark::DoNotOptimize(TS::deserialize(wire.data(), wire.size(), back));
    benchmark::ClobberMemory();
  }
  set_bytes(state, image.data.size());
}

void deserialize_into_new(benchmark::State & state)
{
  const auto image = depth_image(state.range(0), state.range(1));
  std::vector<uint8_t> wire(TS::serialized_size(image));
  TS::serialize(image, wire.data());
  for (auto _ : state) {
    sensor_msgs::msg::Image back;
    benchmark::DoNotOptimize(TS::deserialize(wire.data(), wire.size(), back));
    benchmark::ClobberMemory();
  }
  set_bytes(state, image.data.size());
}

#define RESOLUTIONS Args({640, 480})->Args({1280, 720})->Unit(benchmark::kMicrosecond)
BENCHMARK(memcpy_pixels)->RESOLUTIONS;
BENCHMARK(serialize)->RESOLUTIONS;
BENCHMARK(deserialize_into_reused)->RESOLUTIONS;
BENCHMARK(deserialize_into_new)->RESOLUTIONS;

}  // namespace

BENCHMARK_MAIN();
