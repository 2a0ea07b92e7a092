// static_transform_publisher: sends one static transform given on the
// command line, with tf2_ros's options, texts and exit codes; the old
// positional form "x y z yaw pitch roll frame child" (or "x y z qx qy qz qw
// frame child") is still read, with a deprecation warning.
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "rclcpp/rclcpp.hpp"
#include "tf2_ros/static_transform_broadcaster_node.hpp"

namespace
{

struct Arguments
{
  bool help = false;
  double translation[3] = {0.0, 0.0, 0.0};
  double rotation[4] = {0.0, 0.0, 0.0, 1.0};  // x, y, z, w
  std::string frame_id;
  std::string child_frame_id;
};

// tf2's Quaternion::setRPY: fixed axes roll about x, then pitch about y,
// then yaw about z.
void set_rpy(double roll, double pitch, double yaw, double (&q)[4])
{
  const double cr = std::cos(roll / 2), sr = std::sin(roll / 2);
  const double cp = std::cos(pitch / 2), sp = std::sin(pitch / 2);
  const double cy = std::cos(yaw / 2), sy = std::sin(yaw / 2);
  q[0] = sr * cp * cy - cr * sp * sy;
  q[1] = cr * sp * cy + sr * cp * sy;
  q[2] = cr * cp * sy - sr * sp * cy;
  q[3] = cr * cp * cy + sr * sp * sy;
}

// Empty on success, else the reason.
std::string parse_double(const std::string & name, const std::string & text, double & out)
{
  try {
    out = std::stod(text);
  } catch (const std::logic_error &) {
    return "Failed to parse " + name + " argument as float";
  }
  return "";
}

// Empty on success, else the reason, in tf2_ros's words.
std::string parse_args(const std::vector<std::string> & args, Arguments & parsed)
{
  if (args.empty()) {
    return "Not enough arguments to parse";
  }
  double rpy[3] = {0.0, 0.0, 0.0};
  bool saw_frame = false, saw_quat = false, saw_rpy = false, saw_trans = false;
  const std::map<std::string, std::pair<double *, bool *>> numbers = {
    {"--x", {&parsed.translation[0], &saw_trans}}, {"--y", {&parsed.translation[1], &saw_trans}},
    {"--z", {&parsed.translation[2], &saw_trans}}, {"--qx", {&parsed.rotation[0], &saw_quat}},
    {"--qy", {&parsed.rotation[1], &saw_quat}}, {"--qz", {&parsed.rotation[2], &saw_quat}},
    {"--qw", {&parsed.rotation[3], &saw_quat}}, {"--roll", {&rpy[0], &saw_rpy}},
    {"--pitch", {&rpy[1], &saw_rpy}}, {"--yaw", {&rpy[2], &saw_rpy}}};
  const std::map<std::string, std::string *> strings = {
    {"--frame-id", &parsed.frame_id}, {"--child-frame-id", &parsed.child_frame_id}};

  std::vector<std::string> positional;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string & name = args[i];
    if (name == "--help" || name == "-h") {
      parsed.help = true;
      continue;
    }
    const bool is_number = numbers.count(name) > 0;
    if (!is_number && strings.count(name) == 0) {
      positional.push_back(name);
      continue;
    }
    if (i + 1 == args.size()) {
      return "Not enough arguments for " + name;
    }
    const std::string & value = args[++i];
    if (is_number) {
      const auto & target = numbers.at(name);
      if (auto error = parse_double(name, value, *target.first); !error.empty()) {
        return error;
      }
      *target.second = true;
    } else {
      *strings.at(name) = value;
      saw_frame = true;
    }
  }
  if (parsed.help) {
    return "";
  }
  if (saw_rpy && saw_quat) {
    return "Cannot specify both quaternion and Euler rotations";
  } else if (saw_rpy) {
    set_rpy(rpy[0], rpy[1], rpy[2], parsed.rotation);
  }

  if (positional.size() == 8 || positional.size() == 9) {
    RCLCPP_WARN(
      rclcpp::get_logger(""), "Old-style arguments are deprecated; see --help for new-style arguments");
    if (saw_frame || saw_trans || saw_quat) {
      return "Cannot specify both new-style (flags) and old-style (arguments)";
    }
    const bool euler = positional.size() == 8;
    const std::vector<std::string> names = euler ?
      std::vector<std::string>{"x", "y", "z", "yaw", "pitch", "roll"} :
      std::vector<std::string>{"x", "y", "z", "qx", "qy", "qz", "qw"};
    double values[7];
    for (size_t k = 0; k < names.size(); ++k) {
      if (auto error = parse_double(names[k], positional[k], values[k]); !error.empty()) {
        return error;
      }
    }
    for (size_t k = 0; k < 3; ++k) {
      parsed.translation[k] = values[k];
    }
    if (euler) {
      set_rpy(values[5], values[4], values[3], parsed.rotation);
    } else {
      for (size_t k = 0; k < 4; ++k) {
        parsed.rotation[k] = values[3 + k];
      }
    }
    parsed.frame_id = positional[names.size()];
    parsed.child_frame_id = positional[names.size() + 1];
  } else if (!positional.empty()) {
    return "Extra unparsed arguments on command-line";
  }

  if (parsed.frame_id.empty()) {
    return "Frame id must not be empty";
  }
  if (parsed.child_frame_id.empty()) {
    return "Child frame id must not be empty";
  }
  return "";
}

void print_usage()
{
  std::printf(
    "%s\n",
    "usage: static_transform_publisher [--x X] [--y Y] [--z Z] [--qx QX] [--qy QY] "
    "[--qz QZ] [--qw QW] [--roll ROLL] [--pitch PITCH] [--yaw YAW] --frame-id FRAME_ID "
    "--child-frame-id CHILD_FRAME_ID\n\n"
    "A command line utility for manually sending a static transform.\n\n"
    "If no translation or orientation is provided, the identity transform will be published.\n\n"
    "The translation offsets are in meters.\n\n"
    "The rotation may be provided with roll, pitch, yaw euler angles in radians, "
    "or as a quaternion.\n\n"
    "required arguments:\n"
    "  --frame-id FRAME_ID parent frame\n"
    "  --child-frame-id CHILD_FRAME_ID child frame id\n\n"
    "optional arguments:\n"
    "  --x X                 x component of translation\n"
    "  --y Y                 y component of translation\n"
    "  --z Z                 z component of translation\n"
    "  --qx QX               x component of quaternion rotation\n"
    "  --qy QY               y component of quaternion rotation\n"
    "  --qz QZ               z component of quaternion rotation\n"
    "  --qw QW               w component of quaternion rotation\n"
    "  --roll ROLL           roll component Euler rotation\n"
    "  --pitch PITCH         pitch component Euler rotation\n"
    "  --yaw YAW             yaw component Euler rotation");
}

}  // namespace

int main(int argc, char ** argv)
{
  const std::vector<std::string> args = rclcpp::init_and_remove_ros_arguments(argc, argv);
  Arguments parsed;
  const std::string error = parse_args(args, parsed);
  if (!error.empty()) {
    RCLCPP_ERROR(
      rclcpp::get_logger(""), "error parsing command line arguments: %s", error.c_str());
    print_usage();
    return 1;
  }
  if (parsed.help) {
    print_usage();
    return 0;
  }

  rclcpp::NodeOptions options;
  options.parameter_overrides(
  {
    {"translation.x", parsed.translation[0]},
    {"translation.y", parsed.translation[1]},
    {"translation.z", parsed.translation[2]},
    {"rotation.x", parsed.rotation[0]},
    {"rotation.y", parsed.rotation[1]},
    {"rotation.z", parsed.rotation[2]},
    {"rotation.w", parsed.rotation[3]},
    {"frame_id", parsed.frame_id},
    {"child_frame_id", parsed.child_frame_id},
  });
  auto node = std::make_shared<tf2_ros::StaticTransformBroadcasterNode>(options);
  RCLCPP_INFO(
    node->get_logger(),
    "Spinning until stopped - publishing transform\ntranslation: ('%lf', '%lf', '%lf')\n"
    "rotation: ('%lf', '%lf', '%lf', '%lf')\nfrom '%s' to '%s'",
    parsed.translation[0], parsed.translation[1], parsed.translation[2],
    parsed.rotation[0], parsed.rotation[1], parsed.rotation[2], parsed.rotation[3],
    parsed.frame_id.c_str(), parsed.child_frame_id.c_str());
  rclcpp::spin(node);
  rclcpp::shutdown();
  return 0;
}
