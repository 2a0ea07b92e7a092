// The simulated camera refuses settings it cannot honour, each with one line
// and a non-zero exit status.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace
{

struct Refusal
{
  std::string overrides;
  std::string line;
};

TEST(BathroomCamera, RefusesImpossibleSettingsWithOneLine)
{
  const std::vector<Refusal> cases = {
    {"-p 'camera_position:=[0.1, 0.0, 0.6]'",
      "bathroom_camera: the camera position lies inside the scene's geometry\n"},
    {"-p width:=0", "bathroom_camera: the image size must be positive\n"},
    {"-p height:=-4", "bathroom_camera: the image size must be positive\n"},
    {"-p rate:=0.0", "bathroom_camera: rate must be positive\n"},
    {"-p state:=half_open",
      "bathroom_camera: state 'half_open' is none of all_close, all_open, cover_open\n"},
    {"-p 'tf_offset:=[0.1, 0.2]'",
      "bathroom_camera: a camera offset has 6 values: x y z roll pitch yaw\n"},
    {"-p 'clutter:=[bucket, mop]'",
      "bathroom_camera: clutter may name only bucket, towel and arm\n"},
    {"-p realistic:=true -p 'camera_position:=[0.3, 1.2, 0.5]'",
      "bathroom_camera: the camera position lies inside the scene's geometry\n"},
  };
  for (const Refusal & c : cases) {
    SCOPED_TRACE(c.overrides);
    const std::string command = std::string(std::getenv("BATHROOM_CAMERA")) + " --ros-args " +
      c.overrides + " 2>&1";
    FILE * pipe = popen(command.c_str(), "r");
    std::string out;
    char buffer[1024];
    for (std::size_t n; (n = fread(buffer, 1, sizeof(buffer), pipe)) > 0; ) {
      out.append(buffer, n);
    }
    const int status = pclose(pipe);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 0);
    EXPECT_EQ(out, c.line);
  }
}

}  // namespace
