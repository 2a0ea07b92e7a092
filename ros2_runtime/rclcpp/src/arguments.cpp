#include "rclcpp/detail/arguments.hpp"

#include <algorithm>
#include <cctype>
#include <stdexcept>
#include <string>
#include <vector>

#include "rclcpp/detail/names.hpp"
#include "rclcpp/detail/parameter_yaml.hpp"
#include "rclcpp/exceptions.hpp"

namespace rclcpp
{
namespace detail
{
namespace
{

bool is_token(const std::string & s)
{
  return !s.empty() && std::all_of(
    s.begin(), s.end(), [](unsigned char c) {return std::isalnum(c) || c == '_';});
}

// "[node:]match:=replacement", match being __node, __ns or a topic name.
RemapRule parse_remap_rule(const std::string & arg)
{
  const auto separator = arg.find(":=");
  if (separator == std::string::npos) {
    throw std::runtime_error("Expected ':=' in the remap rule");
  }
  std::string match = arg.substr(0, separator);
  const std::string replacement = arg.substr(separator + 2);
  RemapRule rule{RemapRule::Kind::Name, "", "", replacement};
  const auto colon = match.find(':');
  if (colon != std::string::npos) {
    rule.node = match.substr(0, colon);
    match = match.substr(colon + 1);
    if (!is_token(rule.node)) {
      throw std::runtime_error("Invalid node name prefix '" + rule.node + "'");
    }
  }
  if (match.empty() || replacement.empty()) {
    throw std::runtime_error("Remap rule needs a name on both sides of ':='");
  }
  if (match == "__node" || match == "__name") {
    rule.kind = RemapRule::Kind::NodeName;
    if (!is_token(replacement)) {
      throw std::runtime_error("Invalid node name replacement '" + replacement + "'");
    }
  } else if (match == "__ns") {
    rule.kind = RemapRule::Kind::Namespace;
    if (replacement[0] != '/') {
      throw std::runtime_error("Namespace replacement must be absolute: '" + replacement + "'");
    }
    if (replacement.size() > 1) {
      validate_namespace(replacement);
    }
  } else {
    rule.match = match;
    for (const std::string & name : {match, replacement}) {
      if (const char * error = topic_name_error(name)) {
        throw std::runtime_error("'" + name + "': " + error);
      }
    }
  }
  return rule;
}

// "[node:]name:=value", the value typed as YAML.
ParameterRule parse_parameter_rule(const std::string & arg)
{
  const auto separator = arg.find(":=");
  if (separator == std::string::npos) {
    throw std::runtime_error("Expected ':=' in the parameter override rule");
  }
  std::string name = arg.substr(0, separator);
  ParameterRule rule{"/**", "", {}};
  const auto colon = name.find(':');
  if (colon != std::string::npos) {
    rule.node_pattern = name.substr(0, colon);
    name = name.substr(colon + 1);
  }
  if (name.empty()) {
    throw std::runtime_error("Parameter name is empty");
  }
  rule.name = name;
  rule.value = parse_parameter_value(arg.substr(separator + 2));
  return rule;
}

Logger::Level parse_severity(const std::string & text)
{
  std::string lower = text;
  std::transform(
    lower.begin(), lower.end(), lower.begin(), [](unsigned char c) {return std::tolower(c);});
  if (lower == "debug") {return Logger::Level::Debug;}
  if (lower == "info") {return Logger::Level::Info;}
  if (lower == "warn") {return Logger::Level::Warn;}
  if (lower == "error") {return Logger::Level::Error;}
  if (lower == "fatal") {return Logger::Level::Fatal;}
  if (lower == "unset") {return Logger::Level::Unset;}
  throw std::runtime_error("Argument does not use a valid severity level: '" + text + "'");
}

// "level" for the default logger, "name:=level" for one logger.
LogLevelRule parse_log_level_rule(const std::string & arg)
{
  const auto separator = arg.find(":=");
  if (separator == std::string::npos) {
    return LogLevelRule{"", parse_severity(arg)};
  }
  return LogLevelRule{arg.substr(0, separator), parse_severity(arg.substr(separator + 2))};
}

bool is_logging_switch(const std::string & arg)
{
  for (const char * suffix : {"stdout-logs", "external-lib-logs"}) {
    if (arg == std::string("--enable-") + suffix || arg == std::string("--disable-") + suffix) {
      return true;
    }
  }
  return false;
}

}  // namespace

Arguments parse_arguments(const std::vector<std::string> & args, const std::string & error_prefix)
{
  auto fail = [&error_prefix](const std::string & message) {
      throw exceptions::RCLInvalidROSArgsError(error_prefix, message);
    };
  Arguments out;
  bool in_ros_args = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string & arg = args[i];
    if (!in_ros_args) {
      if (arg == "--ros-args") {
        in_ros_args = true;
      } else {
        out.non_ros_args.push_back(arg);
      }
      continue;
    }
    if (arg == "--ros-args") {
      continue;
    }
    if (arg == "--") {
      in_ros_args = false;
      continue;
    }
    const bool has_value = i + 1 < args.size();
    const std::string value = has_value ? args[i + 1] : std::string();
    if (arg == "-p" || arg == "--param") {
      if (!has_value) {
        fail("Couldn't parse trailing " + arg + " flag. No parameter override rule found.");
      }
      try {
        out.parameters.push_back(parse_parameter_rule(value));
      } catch (const std::exception & e) {
        fail(
          "Couldn't parse parameter override rule: '" + arg + " " + value + "'. Error: " +
          e.what());
      }
      ++i;
    } else if (arg == "-r" || arg == "--remap") {
      if (!has_value) {
        fail("Couldn't parse trailing " + arg + " flag. No remap rule found.");
      }
      try {
        out.remaps.push_back(parse_remap_rule(value));
      } catch (const std::exception & e) {
        fail("Couldn't parse remap rule: '" + arg + " " + value + "'. Error: " + e.what());
      }
      ++i;
    } else if (arg == "--params-file") {
      if (!has_value) {
        fail("Couldn't parse trailing " + arg + " flag. No file path provided.");
      }
      try {
        for (auto & rule : parse_parameters_file(value)) {
          out.parameters.push_back(std::move(rule));
        }
      } catch (const std::exception & e) {
        fail("Couldn't parse params file: '" + arg + " " + value + "'. Error: " + e.what());
      }
      ++i;
    } else if (arg == "--log-level") {
      if (!has_value) {
        fail("Couldn't parse trailing log level flag: '" + arg + "'. No log level provided.");
      }
      try {
        out.log_levels.push_back(parse_log_level_rule(value));
      } catch (const std::exception & e) {
        fail("Couldn't parse log level: '" + arg + " " + value + "'. Error: " + e.what());
      }
      ++i;
    } else if (arg == "-e" || arg == "--enclave" || arg == "--log-config-file") {
      if (!has_value) {
        fail("Couldn't parse trailing " + arg + " flag. No value provided.");
      }
      ++i;
    } else if (arg == "--enable-rosout-logs" || arg == "--disable-rosout-logs") {
      out.rosout_logs = arg == "--enable-rosout-logs";
    } else if (!is_logging_switch(arg)) {
      out.unknown_ros_args.push_back(arg);
    }
  }
  return out;
}

std::map<std::string, ParameterValue> parameter_overrides_for(
  const Arguments & args, const std::string & node_fqn)
{
  std::map<std::string, ParameterValue> overrides;
  for (const auto & rule : args.parameters) {
    if (node_pattern_matches(rule.node_pattern, node_fqn)) {
      overrides[rule.name] = rule.value;
    }
  }
  return overrides;
}

}  // namespace detail
}  // namespace rclcpp
