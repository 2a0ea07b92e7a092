// libFuzzer target: any bytes as a map file, read the way the node reads a
// map (the header check, then PCL's reader into x, y, z, intensity) and the
// way pcd_frame_tool reads its input (into x, y, z, rgba). A fault shows as a
// sanitizer report or a crash; a file the check lets through must read
// without one.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <string>

#include <pcl/io/pcd_io.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include "arm_location/pcd_file_check.hpp"

namespace
{

template<typename PointT>
void readAsPcl(const std::string & path)
{
  pcl::PointCloud<PointT> cloud;
  try {
    pcl::io::loadPCDFile<PointT>(path, cloud);
  } catch (const std::exception &) {
    // the node answers a throwing reader like a failing one
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t * data, std::size_t size)
{
  static const std::string path = "/tmp/map_file_fuzzer_" + std::to_string(getpid()) + ".pcd";
  std::FILE * file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    return 0;
  }
  std::fwrite(data, 1, size, file);
  std::fclose(file);
  if (!arm_location::pcdFileProblem(path)) {
    readAsPcl<pcl::PointXYZI>(path);
    readAsPcl<pcl::PointXYZRGBA>(path);
  }
  return 0;
}
