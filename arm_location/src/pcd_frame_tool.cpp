// pcd_frame_tool <pcd_file> <save_path>
//
// Moves a coloured map cloud by the fixed two-stage transform of the arm's
// camera mount and writes it as save_path/pcd_base_link_<n>.pcd (ASCII), with
// n drawn from 1..1000 among the names still free in save_path.

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include <Eigen/Geometry>
#include <pcl/common/transforms.h>
#include <pcl/io/pcd_io.h>
#include <pcl/point_types.h>

#include "arm_location/pcd_file_check.hpp"

namespace fs = std::filesystem;

namespace
{

constexpr int kFirstNumber = 1;
constexpr int kLastNumber = 1000;
constexpr int kPrecision = 8;
// "# .PCD v0.7" and VERSION .. DATA: the lines PCL writes before the points.
constexpr std::size_t kAsciiHeaderLines = 11;

[[noreturn]] void fail(const std::string & line)
{
  std::cout << line << std::endl;
  std::exit(-1);
}

Eigen::Matrix4d stage(double a, double b, double c, const Eigen::Vector3d & translation)
{
  Eigen::Affine3d t = Eigen::Affine3d::Identity();
  t.rotate(
    Eigen::Quaterniond(
      Eigen::AngleAxisd(a, Eigen::Vector3d::UnitX()) *
      Eigen::AngleAxisd(b, Eigen::Vector3d::UnitY()) *
      Eigen::AngleAxisd(c, Eigen::Vector3d::UnitZ())).toRotationMatrix());
  t.translation() = translation;
  return t.matrix();
}

std::string outputPath(const std::string & dir, int n)
{
  return dir + "/pcd_base_link_" + std::to_string(n) + ".pcd";
}

// The drawn number, or, when its file exists, one drawn among the free ones.
int drawFreeNumber(const std::string & dir, std::mt19937 & rng)
{
  const int drawn = std::uniform_int_distribution<int>(kFirstNumber, kLastNumber)(rng);
  std::error_code ec;
  if (!fs::exists(outputPath(dir, drawn), ec)) {
    return drawn;
  }
  std::vector<int> free;
  for (int n = kFirstNumber; n <= kLastNumber; ++n) {
    if (!fs::exists(outputPath(dir, n), ec)) {
      free.push_back(n);
    }
  }
  if (free.empty()) {
    fail("no free output name in " + dir + ": pcd_base_link_1.pcd to pcd_base_link_1000.pcd all exist");
  }
  return free[std::uniform_int_distribution<std::size_t>(0, free.size() - 1)(rng)];
}

std::size_t countLines(const std::string & path)
{
  std::ifstream in(path, std::ios::binary);
  std::size_t lines = 0;
  std::vector<char> chunk(1 << 16);
  while (in.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) || in.gcount() > 0) {
    for (std::streamsize i = 0; i < in.gcount(); ++i) {
      lines += chunk[static_cast<std::size_t>(i)] == '\n';
    }
  }
  return lines;
}

// Writes the cloud to a temporary file beside the final name and returns its
// path; the final name only ever holds a complete file.
std::string writeTemporary(
  const std::string & dir, int n, const pcl::PointCloud<pcl::PointXYZRGBA> & cloud)
{
  const std::string tmp = dir + "/.pcd_base_link_" + std::to_string(n) + ".pcd." +
    std::to_string(getpid()) + ".tmp";
  const int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
  if (fd < 0) {
    fail("cannot write output in " + dir + ": " + std::strerror(errno));
  }
  close(fd);

  auto abandon = [&](const std::string & reason) {
      std::remove(tmp.c_str());
      fail("cannot write " + outputPath(dir, n) + ": " + reason);
    };
  if (cloud.empty()) {
    abandon("the cloud has no points");
  }
  try {
    if (pcl::PCDWriter().writeASCII(tmp, cloud, kPrecision) != 0) {
      abandon("the PCD writer failed");
    }
  } catch (const pcl::IOException & e) {
    abandon(e.what());
  }
  // The writer does not report failed writes (a full disk): flush to the
  // device and count what arrived.
  const int sync = open(tmp.c_str(), O_RDONLY);
  const bool synced = sync >= 0 && fsync(sync) == 0;
  if (sync >= 0) {
    close(sync);
  }
  if (!synced || countLines(tmp) != kAsciiHeaderLines + cloud.size()) {
    abandon("the file was not written completely");
  }
  return tmp;
}

}  // namespace

int main(int argc, char ** argv)
{
  if (argc < 3) {
    fail("please supply pcd file and save path");
  }
  const std::string pcdFile = argv[1];
  const std::string savePath = argv[2];
  std::cout << "pcd_file = " << pcdFile << std::endl;
  std::cout << "save_path = " << savePath << std::endl;

  std::error_code ec;
  if (!fs::exists(pcdFile, ec)) {
    if (ec) {
      fail("cannot access " + pcdFile + ": " + ec.message());
    }
    fail("the pcd file you supply is not exists!");
  }
  if (!fs::exists(savePath, ec)) {
    if (ec || !fs::create_directory(savePath, ec)) {
      fail("cannot create output directory " + savePath + ": " + ec.message());
    }
  }

  auto cloud = std::make_shared<pcl::PointCloud<pcl::PointXYZRGBA>>();
  if (auto problem = arm_location::pcdFileProblem(pcdFile)) {
    std::cerr << pcdFile << ": not a readable PCD file: " << *problem << std::endl;
    fail("read pcd file failed");
  }
  if (pcl::io::loadPCDFile(pcdFile, *cloud) == -1) {
    fail("read pcd file failed");
  }

  std::mt19937 rng(std::random_device{}());
  const Eigen::Matrix4d t1 = stage(0, 0, -1.58, {-0.053, 0, 0.035});
  const Eigen::Matrix4d t2 = stage(-1.4574, -0.8666, 1.6623, {0.00296, 0.02344, 0.47392});
  pcl::transformPointCloud(*cloud, *cloud, Eigen::Matrix4d(t2 * t1));

  // A name taken between the draw and the rename is drawn again.
  for (;;) {
    const int n = drawFreeNumber(savePath, rng);
    const std::string tmp = writeTemporary(savePath, n, *cloud);
    const std::string path = outputPath(savePath, n);
    if (renameat2(AT_FDCWD, tmp.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0) {
      return 0;
    }
    const int error = errno;
    std::remove(tmp.c_str());
    if (error != EEXIST) {
      fail("cannot write " + path + ": " + std::strerror(error));
    }
  }
}
