#include "rclcpp/detail/parameter_yaml.hpp"

#include <yaml-cpp/yaml.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace rclcpp
{
namespace detail
{
namespace
{

// An unquoted scalar is a bool, an integer, a double or else a string, in
// that order of preference; a quoted one is always a string.
ParameterValue scalar_value(const YAML::Node & node)
{
  const std::string & text = node.Scalar();
  const bool quoted = node.Tag() == "!";
  if (!quoted) {
    static const std::set<std::string> true_words{
      "Y", "y", "yes", "Yes", "YES", "true", "True", "TRUE", "on", "On", "ON"};
    static const std::set<std::string> false_words{
      "N", "n", "no", "No", "NO", "false", "False", "FALSE", "off", "Off", "OFF"};
    if (true_words.count(text)) {
      return ParameterValue(true);
    }
    if (false_words.count(text)) {
      return ParameterValue(false);
    }
    if (text.empty()) {
      throw std::runtime_error(
              "No value at line " + std::to_string(node.Mark().line + 1));
    }
    char * end = nullptr;
    errno = 0;
    const long long integer = std::strtoll(text.c_str(), &end, 0);
    if (errno == 0 && *end == '\0') {
      return ParameterValue(static_cast<int64_t>(integer));
    }
    static const std::set<std::string> nan_words{".nan", ".NaN", ".NAN"};
    static const std::set<std::string> inf_words{".inf", ".Inf", ".INF", "+.inf", "+.Inf", "+.INF"};
    static const std::set<std::string> ninf_words{"-.inf", "-.Inf", "-.INF"};
    if (nan_words.count(text)) {
      return ParameterValue(std::numeric_limits<double>::quiet_NaN());
    }
    if (inf_words.count(text)) {
      return ParameterValue(std::numeric_limits<double>::infinity());
    }
    if (ninf_words.count(text)) {
      return ParameterValue(-std::numeric_limits<double>::infinity());
    }
    errno = 0;
    const double real = std::strtod(text.c_str(), &end);
    if (errno == 0 && end != text.c_str() && *end == '\0') {
      return ParameterValue(real);
    }
  }
  return ParameterValue(text);
}

template<typename T>
std::vector<T> collect(const std::vector<ParameterValue> & values)
{
  std::vector<T> out;
  for (const auto & v : values) {
    out.push_back(v.get<T>());
  }
  return out;
}

ParameterValue node_value(const YAML::Node & node)
{
  if (node.IsScalar()) {
    return scalar_value(node);
  }
  if (node.IsNull()) {
    throw std::runtime_error("No value at line " + std::to_string(node.Mark().line + 1));
  }
  if (!node.IsSequence()) {
    throw std::runtime_error(
            "Unexpected mapping as a parameter value at line " +
            std::to_string(node.Mark().line + 1));
  }
  if (node.size() == 0) {
    throw std::runtime_error(
            "Empty sequence at line " + std::to_string(node.Mark().line + 1) +
            " has no parameter type");
  }
  std::vector<ParameterValue> elements;
  for (const auto & element : node) {
    if (!element.IsScalar()) {
      throw std::runtime_error(
              "Sequences can only hold scalars (line " +
              std::to_string(element.Mark().line + 1) + ")");
    }
    elements.push_back(scalar_value(element));
    if (elements.back().get_type() != elements.front().get_type()) {
      throw std::runtime_error(
              "Sequence should be of same type. Value type '" +
              to_string(elements.back().get_type()) + "' do not belong at line_num " +
              std::to_string(element.Mark().line + 1));
    }
  }
  switch (elements.front().get_type()) {
    case PARAMETER_BOOL: return ParameterValue(collect<bool>(elements));
    case PARAMETER_INTEGER: return ParameterValue(collect<int64_t>(elements));
    case PARAMETER_DOUBLE: return ParameterValue(collect<double>(elements));
    default: return ParameterValue(collect<std::string>(elements));
  }
}

void collect_parameters(
  const std::string & node_name, const std::string & prefix, const YAML::Node & map,
  std::vector<ParameterRule> & out)
{
  for (const auto & entry : map) {
    const std::string name = prefix + entry.first.as<std::string>();
    if (entry.second.IsMap()) {
      collect_parameters(node_name, name + ".", entry.second, out);
    } else {
      out.push_back(ParameterRule{node_name, name, node_value(entry.second)});
    }
  }
}

// Node keys may nest ("/ns:" then "node:") until "ros__parameters".
void collect_nodes(
  const std::string & node_path, const YAML::Node & map, std::vector<ParameterRule> & out)
{
  if (!map.IsMap()) {
    throw std::runtime_error(
            "Expected a mapping of node names at line " + std::to_string(map.Mark().line + 1));
  }
  for (const auto & entry : map) {
    const std::string key = entry.first.as<std::string>();
    if (key == "ros__parameters") {
      if (node_path.empty()) {
        throw std::runtime_error("There are no node names before ros__parameters");
      }
      if (!entry.second.IsMap()) {
        throw std::runtime_error(
                "Expected a mapping of parameters at line " +
                std::to_string(entry.second.Mark().line + 1));
      }
      collect_parameters(node_path, "", entry.second, out);
    } else {
      std::string path = node_path;
      if (!path.empty() && path.back() != '/' && key.front() != '/') {
        path += '/';
      }
      collect_nodes(path + key, entry.second, out);
    }
  }
}

std::vector<std::string> split(const std::string & name)
{
  std::vector<std::string> tokens;
  std::stringstream stream(name);
  for (std::string token; std::getline(stream, token, '/'); ) {
    if (!token.empty()) {
      tokens.push_back(token);
    }
  }
  return tokens;
}

bool match_tokens(
  const std::vector<std::string> & pattern, size_t p, const std::vector<std::string> & name,
  size_t n)
{
  if (p == pattern.size()) {
    return n == name.size();
  }
  if (pattern[p] == "**") {
    for (size_t k = n; k <= name.size(); ++k) {
      if (match_tokens(pattern, p + 1, name, k)) {
        return true;
      }
    }
    return false;
  }
  if (n == name.size()) {
    return false;
  }
  return (pattern[p] == "*" || pattern[p] == name[n]) && match_tokens(pattern, p + 1, name, n + 1);
}

}  // namespace

ParameterValue parse_parameter_value(const std::string & yaml)
{
  try {
    return node_value(YAML::Load(yaml));
  } catch (const YAML::Exception & e) {
    throw std::runtime_error(e.what());
  }
}

std::vector<ParameterRule> parse_parameters_file(const std::string & path)
{
  std::vector<ParameterRule> rules;
  try {
    collect_nodes("", YAML::LoadFile(path), rules);
  } catch (const YAML::Exception & e) {
    throw std::runtime_error(e.what());
  }
  return rules;
}

bool node_pattern_matches(const std::string & pattern, const std::string & node_fqn)
{
  return match_tokens(split(pattern), 0, split(node_fqn), 0);
}

}  // namespace detail
}  // namespace rclcpp
