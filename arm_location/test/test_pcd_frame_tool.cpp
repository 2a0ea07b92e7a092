// pcd_frame_tool run as a user runs it: the built binary as a process, on
// files written here.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <Eigen/Dense>
#include <pcl/io/pcd_io.h>
#include <pcl/point_types.h>

namespace fs = std::filesystem;

namespace
{

struct ToolRun
{
  int status;
  std::string out;
};

ToolRun runTool(const std::vector<std::string> & args)
{
  std::string command = std::getenv("PCD_FRAME_TOOL");
  for (const auto & arg : args) {
    command += " '" + arg + "'";
  }
  command += " 2>/dev/null";
  FILE * pipe = popen(command.c_str(), "r");
  std::string out;
  char buffer[4096];
  for (std::size_t n; (n = fread(buffer, 1, sizeof(buffer), pipe)) > 0; ) {
    out.append(buffer, n);
  }
  const int raw = pclose(pipe);
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw), out};
}

std::string readText(const fs::path & path)
{
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<fs::path> filesIn(const fs::path & dir)
{
  std::vector<fs::path> files;
  for (const auto & entry : fs::directory_iterator(dir)) {
    files.push_back(entry.path());
  }
  return files;
}

// T = T2 * T1 with each stage's rotation Rx(a) Ry(b) Rz(c), written out from
// the rotation matrices rather than through Eigen's angle-axis.
Eigen::Matrix4d expectedTransform()
{
  auto rx = [](double a) {
      Eigen::Matrix3d r;
      r << 1, 0, 0, 0, std::cos(a), -std::sin(a), 0, std::sin(a), std::cos(a);
      return r;
    };
  auto ry = [](double b) {
      Eigen::Matrix3d r;
      r << std::cos(b), 0, std::sin(b), 0, 1, 0, -std::sin(b), 0, std::cos(b);
      return r;
    };
  auto rz = [](double c) {
      Eigen::Matrix3d r;
      r << std::cos(c), -std::sin(c), 0, std::sin(c), std::cos(c), 0, 0, 0, 1;
      return r;
    };
  auto stage = [&](double a, double b, double c, Eigen::Vector3d t) {
      Eigen::Matrix4d m = Eigen::Matrix4d::Identity();
      m.topLeftCorner<3, 3>() = rx(a) * ry(b) * rz(c);
      m.topRightCorner<3, 1>() = t;
      return m;
    };
  return stage(-1.4574, -0.8666, 1.6623, {0.00296, 0.02344, 0.47392}) *
         stage(0, 0, -1.58, {-0.053, 0, 0.035});
}

class PcdFrameTool : public ::testing::Test
{
protected:
  void SetUp() override
  {
    dir = fs::temp_directory_path() /
      ("pcd_frame_tool_" + std::to_string(getpid()) + "_" +
      ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    out = dir / "out";
  }
  void TearDown() override {fs::remove_all(dir);}

  pcl::PointCloud<pcl::PointXYZRGBA> colouredCloud() const
  {
    pcl::PointCloud<pcl::PointXYZRGBA> cloud;
    const float coords[][3] = {{0, 0, 0}, {1, 0, 0}, {0, 2, 0}, {0.25f, -0.5f, 3}, {-1, 1, -1}, {5, 6, 7}};
    std::uint32_t rgba = 0x80102030;
    for (const auto & c : coords) {
      pcl::PointXYZRGBA p;
      p.x = c[0];
      p.y = c[1];
      p.z = c[2];
      p.rgba = rgba;
      rgba += 0x00010203;
      cloud.push_back(p);
    }
    cloud.width = 3;
    cloud.height = 2;
    cloud.sensor_origin_ = Eigen::Vector4f(0.5f, -1.5f, 2.25f, 0);
    cloud.sensor_orientation_ = Eigen::Quaternionf(0.5f, 0.5f, -0.5f, 0.5f);
    return cloud;
  }

  // The single output file of a successful run, parsed back.
  fs::path onlyOutput() const
  {
    std::vector<fs::path> files = filesIn(out);
    EXPECT_EQ(files.size(), 1u);
    return files.empty() ? fs::path() : files.front();
  }

  fs::path dir;
  fs::path out;
};

TEST_F(PcdFrameTool, PrintsOnlyTheUsageWithFewerThanTwoArguments)
{
  for (const auto & args : std::vector<std::vector<std::string>>{{}, {(dir / "in.pcd").string()}}) {
    ToolRun run = runTool(args);
    EXPECT_EQ(run.status, 255);
    EXPECT_EQ(run.out, "please supply pcd file and save path\n");
  }
  EXPECT_FALSE(fs::exists(out));
}

TEST_F(PcdFrameTool, RefusesAMissingInputBeforeCreatingTheOutputDirectory)
{
  ToolRun run = runTool({(dir / "missing.pcd").string(), out.string()});
  EXPECT_EQ(run.status, 255);
  EXPECT_EQ(run.out, "pcd_file = " + (dir / "missing.pcd").string() + "\nsave_path = " +
    out.string() + "\nthe pcd file you supply is not exists!\n");
  EXPECT_FALSE(fs::exists(out));
}

TEST_F(PcdFrameTool, AnswersFilesThatAreNotReadablePcdWithReadFailed)
{
  const std::string header =
    "VERSION .7\nFIELDS x y z\nSIZE 4 4 4\nTYPE F F F\nCOUNT 1 1 1\n";
  const std::vector<std::string> bodies = {
    "hello world\nthis is not a pcd\n",
    "",
    header + "WIDTH 100\nHEIGHT 1\nPOINTS 100\nDATA binary\nabc",
    header + "WIDTH 1000000000\nHEIGHT 1000000000\nPOINTS 1000000000000000000\nDATA ascii\n1 2 3\n",
    header + "WIDTH 4000000000\nHEIGHT 1\nPOINTS 4000000000\nDATA ascii\n1 2 3\n",
    header + "WIDTH 1\nHEIGHT 1\nPOINTS 1\nDATA binary_compressed\n\x08\x00\x00\x00\xff\xff\xff\x7f" "abcdefgh",
    header + "WIDTH 2\nHEIGHT 2\nPOINTS 3\nDATA ascii\n1 2 3\n1 2 3\n1 2 3\n",
    "FIELDS x y z\nSIZE 4 4\nTYPE F F F\nWIDTH 1\nPOINTS 1\nDATA ascii\n1 2 3\n",
    // Found by the map file fuzzer. PCL's reader stops at a header line it
    // does not know and then reads through a null pointer; it goes on taking
    // lines as header after DATA, so data that begin like one change the
    // layout it reads them with (here, no fields: it aborts on a length error).
    "VERSnan .7\nFIELDS x y z\nSIZE 4 4 4\nTYPE F F F\nCOUNT 1 1 1\nWIDTH 1\nHEIGHT 1\n"
    "POINTS 1\nDATA binary\nabcdefghijkl",
    header + "WIDTH 1\n \nHEIGHT 1\nPOINTS 1\nDATA binary\nabcdefghijkl",
    header + "WIDTH 1\nHEIGHT 1\nPOINTS 1\nDATA binary\nCOLUMNS\nabcdefghijkl",
  };
  for (std::size_t i = 0; i < bodies.size(); ++i) {
    SCOPED_TRACE(i);
    const fs::path in = dir / ("bad" + std::to_string(i) + ".pcd");
    std::ofstream(in, std::ios::binary) << bodies[i];
    ToolRun run = runTool({in.string(), out.string()});
    EXPECT_EQ(run.status, 255);
    EXPECT_EQ(run.out, "pcd_file = " + in.string() + "\nsave_path = " + out.string() +
      "\nread pcd file failed\n");
    // The output directory is made before the read and stays.
    EXPECT_TRUE(fs::is_directory(out));
    EXPECT_TRUE(filesIn(out).empty());
  }
}

TEST_F(PcdFrameTool, MovesEveryPointByTheMountTransformForEachEncoding)
{
  const Eigen::Matrix4d t = expectedTransform();
  // The published table, to six decimals.
  EXPECT_NEAR(t(0, 0), 0.645230, 1e-6);
  EXPECT_NEAR(t(1, 2), 0.643263, 1e-6);
  EXPECT_NEAR(t(2, 1), -0.997304, 1e-6);
  const pcl::PointCloud<pcl::PointXYZRGBA> cloud = colouredCloud();

  for (int encoding = 0; encoding < 3; ++encoding) {
    SCOPED_TRACE(encoding);
    const fs::path in = dir / "in.pcd";
    pcl::PCDWriter writer;
    if (encoding == 0) {
      writer.writeASCII(in.string(), cloud);
    } else if (encoding == 1) {
      writer.writeBinary(in.string(), cloud);
    } else {
      writer.writeBinaryCompressed(in.string(), cloud);
    }
    fs::remove_all(out);
    ToolRun run = runTool({in.string(), out.string()});
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(run.out, "pcd_file = " + in.string() + "\nsave_path = " + out.string() + "\n");

    const fs::path written = onlyOutput();
    ASSERT_TRUE(std::regex_match(written.filename().string(),
      std::regex("pcd_base_link_([1-9][0-9]{0,2}|1000)\\.pcd")));
    const std::string text = readText(written);
    EXPECT_NE(text.find("\nFIELDS x y z rgba\nSIZE 4 4 4 4\nTYPE F F F U\nCOUNT 1 1 1 1\n"
      "WIDTH 3\nHEIGHT 2\nVIEWPOINT 0.5 -1.5 2.25 0.5 0.5 -0.5 0.5\nPOINTS 6\nDATA ascii\n"),
      std::string::npos) << text;

    pcl::PointCloud<pcl::PointXYZRGBA> result;
    ASSERT_EQ(pcl::io::loadPCDFile(written.string(), result), 0);
    ASSERT_EQ(result.size(), cloud.size());
    for (std::size_t i = 0; i < cloud.size(); ++i) {
      const Eigen::Vector4d p(cloud[i].x, cloud[i].y, cloud[i].z, 1);
      const Eigen::Vector4d q = t * p;
      EXPECT_NEAR(result[i].x, q.x(), 1e-5);
      EXPECT_NEAR(result[i].y, q.y(), 1e-5);
      EXPECT_NEAR(result[i].z, q.z(), 1e-5);
      EXPECT_EQ(result[i].rgba, cloud[i].rgba);
    }
    // The origin lands on the translation column.
    EXPECT_NEAR(result[0].x, -0.020579, 1e-6);
    EXPECT_NEAR(result[0].y, 0.043649, 1e-6);
    EXPECT_NEAR(result[0].z, 0.529341, 1e-6);
  }
}

TEST_F(PcdFrameTool, ReadsBinaryDataThatBeginWithAnEmptyOrCommentLine)
{
  // x = 0x3f00230a: a newline, then '#', as PCL's reader skips header lines.
  const fs::path in = dir / "in.pcd";
  const std::uint8_t body[] = {0x0a, 0x23, 0x00, 0x3f, 0, 0, 0x80, 0x3f, 0, 0, 0, 0x40};
  std::ofstream(in, std::ios::binary) << "VERSION .7\nFIELDS x y z\nSIZE 4 4 4\nTYPE F F F\n"
    "COUNT 1 1 1\nWIDTH 1\nHEIGHT 1\nPOINTS 1\nDATA binary\n" <<
    std::string(reinterpret_cast<const char *>(body), sizeof(body));
  const ToolRun run = runTool({in.string(), out.string()});
  ASSERT_EQ(run.status, 0) << run.out;
  ASSERT_EQ(filesIn(out).size(), 1u);
  pcl::PointCloud<pcl::PointXYZ> written;
  ASSERT_EQ(pcl::io::loadPCDFile(filesIn(out)[0].string(), written), 0);
  EXPECT_EQ(written.size(), 1u);
}

TEST_F(PcdFrameTool, WritesAFloatRgbFieldAsRgbaWithTheSamePackedColour)
{
  const fs::path in = dir / "rgb.pcd";
  std::ofstream(in) << "VERSION .7\nFIELDS x y z rgb\nSIZE 4 4 4 4\nTYPE F F F F\nCOUNT 1 1 1 1\n"
    "WIDTH 1\nHEIGHT 1\nVIEWPOINT 0 0 0 1 0 0 0\nPOINTS 1\nDATA ascii\n0 0 0 4.2108547e-08\n";
  ASSERT_EQ(runTool({in.string(), out.string()}).status, 0);
  const std::string text = readText(onlyOutput());
  float packed = 4.2108547e-08f;
  std::uint32_t rgba;
  std::memcpy(&rgba, &packed, sizeof(rgba));
  EXPECT_NE(text.find("FIELDS x y z rgba\n"), std::string::npos);
  EXPECT_NE(text.find(" " + std::to_string(rgba) + "\n"), std::string::npos) << text;
}

TEST_F(PcdFrameTool, KeepsNanPointsOfANonDenseCloud)
{
  pcl::PointCloud<pcl::PointXYZRGBA> cloud = colouredCloud();
  cloud[2].x = cloud[2].y = cloud[2].z = std::numeric_limits<float>::quiet_NaN();
  cloud.is_dense = false;
  const fs::path in = dir / "nan.pcd";
  pcl::PCDWriter().writeBinary(in.string(), cloud);
  ASSERT_EQ(runTool({in.string(), out.string()}).status, 0);
  const std::string text = readText(onlyOutput());
  EXPECT_NE(text.find("\nnan nan nan " + std::to_string(cloud[2].rgba) + "\n"), std::string::npos)
    << text;
  EXPECT_NE(text.find("POINTS 6\n"), std::string::npos);
}

TEST_F(PcdFrameTool, NeverOverwritesAnEarlierOutput)
{
  const fs::path in = dir / "in.pcd";
  pcl::PCDWriter().writeBinary(in.string(), colouredCloud());
  fs::create_directory(out);
  for (int n = 1; n <= 1000; ++n) {
    if (n != 617) {
      std::ofstream(out / ("pcd_base_link_" + std::to_string(n) + ".pcd")) << "earlier";
    }
  }
  ASSERT_EQ(runTool({in.string(), out.string()}).status, 0);
  EXPECT_NE(readText(out / "pcd_base_link_617.pcd").find("DATA ascii"), std::string::npos);
  for (int n = 1; n <= 1000; ++n) {
    if (n != 617) {
      ASSERT_EQ(readText(out / ("pcd_base_link_" + std::to_string(n) + ".pcd")), "earlier");
    }
  }

  ToolRun full = runTool({in.string(), out.string()});
  EXPECT_EQ(full.status, 255);
  EXPECT_EQ(full.out, "pcd_file = " + in.string() + "\nsave_path = " + out.string() +
    "\nno free output name in " + out.string() +
    ": pcd_base_link_1.pcd to pcd_base_link_1000.pcd all exist\n");
  EXPECT_EQ(filesIn(out).size(), 1000u);
}

TEST_F(PcdFrameTool, LeavesNoFileWhenTheCloudCannotBeWritten)
{
  // A cloud of no points.
  const fs::path empty = dir / "empty.pcd";
  std::ofstream(empty) << "VERSION .7\nFIELDS x y z rgba\nSIZE 4 4 4 4\nTYPE F F F U\n"
    "COUNT 1 1 1 1\nWIDTH 0\nHEIGHT 1\nVIEWPOINT 0 0 0 1 0 0 0\nPOINTS 0\nDATA ascii\n";
  ToolRun run = runTool({empty.string(), out.string()});
  EXPECT_EQ(run.status, 255);
  EXPECT_TRUE(std::regex_search(run.out, std::regex("\ncannot write " + out.string() +
    "/pcd_base_link_[0-9]+\\.pcd: the cloud has no points\n$"))) << run.out;
  EXPECT_TRUE(filesIn(out).empty());
}

TEST_F(PcdFrameTool, ReportsAnOutputDirectoryItCannotCreateOrUse)
{
  const fs::path in = dir / "in.pcd";
  pcl::PCDWriter().writeBinary(in.string(), colouredCloud());

  const fs::path deep = dir / "no" / "such" / "dir";
  ToolRun run = runTool({in.string(), deep.string()});
  EXPECT_EQ(run.status, 255);
  EXPECT_EQ(run.out.substr(run.out.find("cannot")),
    "cannot create output directory " + deep.string() + ": No such file or directory\n");

  const fs::path file = dir / "a_file";
  std::ofstream(file) << "x";
  run = runTool({in.string(), file.string()});
  EXPECT_EQ(run.status, 255);
  EXPECT_EQ(run.out.substr(run.out.find("cannot")),
    "cannot write output in " + file.string() + ": Not a directory\n");
  EXPECT_EQ(readText(file), "x");
}

}  // namespace
