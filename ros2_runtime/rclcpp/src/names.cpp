#include "rclcpp/detail/names.hpp"

#include <cctype>
#include <string>

#include "rclcpp/exceptions.hpp"

namespace rclcpp
{
namespace detail
{
namespace
{

constexpr size_t max_node_name_length = 255;
constexpr size_t max_topic_name_length = 255 - 8;
// rmw leaves room for the longest prefix Fast DDS adds ("rt" etc.) and a
// node name after the namespace.
constexpr size_t max_namespace_length = max_topic_name_length - 1;

bool is_alnum(char c)
{
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool is_digit(char c)
{
  return c >= '0' && c <= '9';
}

struct Invalid
{
  const char * message = nullptr;
  size_t index = 0;
};

// rcl_validate_topic_name: a name as the user writes it (relative, ~, {}).
Invalid check_topic_name(const std::string & name)
{
  if (name.empty()) {
    return {"topic name must not be empty string", 0};
  }
  if (is_digit(name[0])) {
    return {"topic name token must not start with a number", 0};
  }
  if (name.back() == '/') {
    return {"topic name must not end with a forward slash", name.size() - 1};
  }
  bool in_brace = false;
  size_t brace_index = 0;
  for (size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    if (is_alnum(c)) {
      if (is_digit(c) && in_brace && i > 0 && i - 1 == brace_index) {
        return {"substitution name must not start with a number", i};
      }
    } else if (c == '_') {
    } else if (c == '/') {
      if (in_brace) {
        return {"substitution name must not contain characters other than alphanumerics or '_'", i};
      }
    } else if (c == '~') {
      if (i != 0) {
        return {"topic name must not have tilde '~' unless it is the first character", i};
      }
    } else if (c == '{') {
      brace_index = i;
      if (in_brace) {
        return {"substitution name must not contain characters other than alphanumerics or '_'", i};
      }
      in_brace = true;
    } else if (c == '}') {
      if (!in_brace) {
        return {"topic name must not have unmatched (unbalanced) curly braces '{}'", i};
      }
      in_brace = false;
    } else {
      return {
        in_brace ?
        "substitution name must not contain characters other than alphanumerics or '_'" :
        "topic name must not contain characters other than alphanumerics, '_', '~', '{', or '}'",
        i};
    }
  }
  if (in_brace) {
    return {"topic name must not have unmatched (unbalanced) curly braces '{}'", brace_index};
  }
  for (size_t i = 0; i + 1 < name.size(); ++i) {
    if (name[i] == '/') {
      if (is_digit(name[i + 1])) {
        return {"topic name token must not start with a number", i + 1};
      }
    } else if (i == 1 && name[0] == '~') {
      return {"topic name must not have a tilde '~' that is not followed by a forward slash '/'", 1};
    }
  }
  return {};
}

// rmw_validate_full_topic_name: an expanded, absolute name.
Invalid check_full_topic_name(const std::string & name)
{
  if (name.empty()) {
    return {"topic name must not be empty", 0};
  }
  if (name[0] != '/') {
    return {"topic name must be absolute, it must lead with a '/'", 0};
  }
  if (name.back() == '/') {
    return {"topic name must not end with a '/'", name.size() - 1};
  }
  for (size_t i = 0; i < name.size(); ++i) {
    if (!is_alnum(name[i]) && name[i] != '_' && name[i] != '/') {
      return {"topic name must not contain characters other than alphanumerics, '_', or '/'", i};
    }
  }
  for (size_t i = 0; i + 1 < name.size(); ++i) {
    if (name[i] == '/') {
      if (name[i + 1] == '/') {
        return {"topic name must not contain repeated '/'", i + 1};
      }
      if (is_digit(name[i + 1])) {
        return {"topic name must not have a token that starts with a number", i + 1};
      }
    }
  }
  if (name.size() > max_topic_name_length) {
    return {"topic length should not exceed '247'", max_topic_name_length - 1};
  }
  return {};
}

std::string replace_all(std::string s, const std::string & from, const std::string & to)
{
  for (size_t pos = 0; (pos = s.find(from, pos)) != std::string::npos; pos += to.size()) {
    s.replace(pos, from.size(), to);
  }
  return s;
}

// rcl_expand_topic_name, for a name that passed check_topic_name. Returns
// false on an unknown substitution.
bool expand(
  const std::string & name, const std::string & node_name, const std::string & node_namespace,
  std::string & out)
{
  const bool root = node_namespace == "/";
  if (name[0] == '/' && name.find('{') == std::string::npos) {
    out = name;
    return true;
  }
  std::string expanded = name;
  if (expanded[0] == '~') {
    expanded = (root ? node_namespace : node_namespace + "/") + node_name + expanded.substr(1);
  }
  expanded = replace_all(expanded, "{node}", node_name);
  expanded = replace_all(expanded, "{ns}", node_namespace);
  expanded = replace_all(expanded, "{namespace}", node_namespace);
  if (expanded.find('{') != std::string::npos) {
    return false;
  }
  if (expanded[0] != '/') {
    expanded = (root ? node_namespace : node_namespace + "/") + expanded;
  }
  out = expanded;
  return true;
}

template<typename Error>
[[noreturn]] void throw_name_error(const std::string & name, const Invalid & invalid)
{
  throw Error(name.c_str(), invalid.message, invalid.index);
}

// The first matching rule of `args` of this kind, nullptr when none.
const RemapRule * find_rule(
  const Arguments * args, RemapRule::Kind kind, const std::string & node_name,
  const std::string & node_namespace, const std::string & expanded_name)
{
  if (args == nullptr) {
    return nullptr;
  }
  for (const auto & rule : args->remaps) {
    if (rule.kind != kind || (!rule.node.empty() && rule.node != node_name)) {
      continue;
    }
    if (kind != RemapRule::Kind::Name) {
      return &rule;
    }
    std::string match;
    if (expand(rule.match, node_name, node_namespace, match) && match == expanded_name) {
      return &rule;
    }
  }
  return nullptr;
}

}  // namespace

const char * topic_name_error(const std::string & name)
{
  return check_topic_name(name).message;
}

void validate_node_name(const std::string & node_name)
{
  Invalid invalid;
  if (node_name.empty()) {
    invalid = {"node name must not be empty", 0};
  } else {
    for (size_t i = 0; i < node_name.size() && !invalid.message; ++i) {
      if (!is_alnum(node_name[i]) && node_name[i] != '_') {
        invalid = {"node name must not contain characters other than alphanumerics or '_'", i};
      }
    }
    if (!invalid.message && is_digit(node_name[0])) {
      invalid = {"node name must not start with a number", 0};
    }
    if (!invalid.message && node_name.size() > max_node_name_length) {
      invalid = {"node name should not exceed '255'", max_node_name_length - 1};
    }
  }
  if (invalid.message) {
    throw_name_error<exceptions::InvalidNodeNameError>(node_name, invalid);
  }
}

void validate_namespace(const std::string & node_namespace)
{
  if (node_namespace == "/") {
    return;
  }
  Invalid invalid = check_full_topic_name(node_namespace);
  if (invalid.message) {
    // rmw words the topic checks for namespaces.
    const std::string m = invalid.message;
    if (m == "topic name must not be empty") {
      invalid.message = "namespace must not be empty";
    } else if (m == "topic name must be absolute, it must lead with a '/'") {
      invalid.message = "namespace must be absolute, it must lead with a '/'";
    } else if (m == "topic name must not end with a '/'") {
      invalid.message = "namespace must not end with a '/', unless only a '/'";
    } else if (m == "topic name must not contain characters other than alphanumerics, '_', or '/'") {
      invalid.message = "namespace must not contain characters other than alphanumerics, '_', or '/'";
    } else if (m == "topic name must not contain repeated '/'") {
      invalid.message = "namespace must not contain repeated '/'";
    } else if (m == "topic name must not have a token that starts with a number") {
      invalid.message = "namespace must not have a token that starts with a number";
    } else {
      invalid = {};
    }
  }
  if (!invalid.message && node_namespace.size() > max_namespace_length) {
    invalid = {"namespace should not exceed '246'", max_namespace_length - 1};
  }
  if (invalid.message) {
    throw_name_error<exceptions::InvalidNamespaceError>(node_namespace, invalid);
  }
}

std::string absolute_namespace(const std::string & node_namespace)
{
  if (node_namespace.empty()) {
    return "/";
  }
  return node_namespace[0] == '/' ? node_namespace : "/" + node_namespace;
}

std::string fully_qualified_node_name(
  const std::string & node_namespace, const std::string & node_name)
{
  return (node_namespace == "/" ? "/" : node_namespace + "/") + node_name;
}

std::string remap_node_name(
  const std::string & node_name, const Arguments * local, const Arguments * global)
{
  for (const Arguments * args : {local, global}) {
    if (const RemapRule * rule = find_rule(args, RemapRule::Kind::NodeName, node_name, "", "")) {
      return rule->replacement;
    }
  }
  return node_name;
}

std::string remap_namespace(
  const std::string & node_name, const std::string & node_namespace,
  const Arguments * local, const Arguments * global)
{
  for (const Arguments * args : {local, global}) {
    if (const RemapRule * rule = find_rule(args, RemapRule::Kind::Namespace, node_name, "", "")) {
      return rule->replacement;
    }
  }
  return node_namespace;
}

std::string resolve_name(
  const std::string & name, const std::string & node_name, const std::string & node_namespace,
  bool is_service, const Arguments * local, const Arguments * global)
{
  auto fail = [is_service](const std::string & bad, const Invalid & invalid) {
      if (is_service) {
        throw_name_error<exceptions::InvalidServiceNameError>(bad, invalid);
      }
      throw_name_error<exceptions::InvalidTopicNameError>(bad, invalid);
    };
  const Invalid invalid = check_topic_name(name);
  if (invalid.message) {
    fail(name, invalid);
  }
  std::string expanded;
  if (!expand(name, node_name, node_namespace, expanded)) {
    // rclcpp re-validates after rcl's unknown-substitution error and finds
    // nothing wrong with the name itself.
    throw std::runtime_error("topic name unexpectedly valid");
  }
  std::string resolved = expanded;
  for (const Arguments * args : {local, global}) {
    const RemapRule * rule =
      find_rule(args, RemapRule::Kind::Name, node_name, node_namespace, expanded);
    if (rule != nullptr) {
      expand(rule->replacement, node_name, node_namespace, resolved);
      break;
    }
  }
  const Invalid full = check_full_topic_name(resolved);
  if (full.message) {
    fail(resolved, full);
  }
  return resolved;
}

}  // namespace detail
}  // namespace rclcpp
