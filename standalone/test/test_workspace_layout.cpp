// The repository cloned into a ROS 2 workspace's src/ is seen by colcon as
// exactly our ament_cmake packages: never the repository root, never the
// ROS 2 stand-in or a build tree.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace
{

TEST(WorkspaceLayout, ColconListsExactlyThePackages)
{
  const fs::path root = std::getenv("WORKSPACE_ROOT");
  const fs::path ws = fs::temp_directory_path() / ("colcon_ws_" + std::to_string(getpid()));
  fs::create_directories(ws / "src");
  fs::create_directory_symlink(root, ws / "src" / "brisvane");

  const std::string command = "cd '" + ws.string() + "' && colcon --log-base /dev/null list 2>&1";
  FILE * pipe = popen(command.c_str(), "r");
  std::string out;
  char buffer[4096];
  for (std::size_t n; (n = fread(buffer, 1, sizeof(buffer), pipe)) > 0; ) {
    out.append(buffer, n);
  }
  const int status = pclose(pipe);
  fs::remove_all(ws);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << out;

  std::set<std::string> listed;
  std::istringstream lines(out);
  for (std::string name, path, type; lines >> name >> path >> type; ) {
    EXPECT_EQ(type, "(ros.ament_cmake)") << name;
    EXPECT_EQ(path, "src/brisvane/" + name);
    listed.insert(name);
  }
  EXPECT_EQ(
    listed, (std::set<std::string>{"arm_location", "brisvane_protocol", "nano_gicp"})) << out;
}

}  // namespace
