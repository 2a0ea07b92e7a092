// Console output as rcutils' default handler writes it: one line per
// record, in the format of RCUTILS_CONSOLE_OUTPUT_FORMAT (default
// "[{severity}] [{time}] [{name}]: {message}"), on stderr unless
// RCUTILS_LOGGING_USE_STDOUT=1, coloured per severity when
// RCUTILS_COLORIZED_OUTPUT says so or, unset, when the stream is a terminal;
// then on /rosout by the node the logger is named after.
#include "rclcpp/logging.hpp"

#include <unistd.h>

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "rclcpp/detail/rosout.hpp"
#include "rclcpp/logger.hpp"

namespace rclcpp
{
namespace
{

struct ConsoleSettings
{
  std::string format = "[{severity}] [{time}] [{name}]: {message}";
  FILE * stream = stderr;
  bool colorized = false;

  ConsoleSettings()
  {
    if (const char * f = std::getenv("RCUTILS_CONSOLE_OUTPUT_FORMAT"); f != nullptr && *f) {
      format = f;
    }
    if (const char * s = std::getenv("RCUTILS_LOGGING_USE_STDOUT"); s && std::strcmp(s, "1") == 0) {
      stream = stdout;
    }
    const char * c = std::getenv("RCUTILS_COLORIZED_OUTPUT");
    if (c != nullptr && std::strcmp(c, "1") == 0) {
      colorized = true;
    } else if (c != nullptr && std::strcmp(c, "0") == 0) {
      colorized = false;
    } else {
      colorized = isatty(fileno(stream)) != 0;
    }
  }
};

struct Levels
{
  std::mutex mutex;
  Logger::Level default_level = Logger::Level::Info;
  std::map<std::string, Logger::Level> by_name;
};

ConsoleSettings & console()
{
  static ConsoleSettings settings;
  return settings;
}

Levels & levels()
{
  static Levels l;
  return l;
}

const char * severity_name(Logger::Level severity)
{
  switch (severity) {
    case Logger::Level::Debug: return "DEBUG";
    case Logger::Level::Info: return "INFO";
    case Logger::Level::Warn: return "WARN";
    case Logger::Level::Error: return "ERROR";
    case Logger::Level::Fatal: return "FATAL";
    default: return "UNSET";
  }
}

const char * severity_color(Logger::Level severity)
{
  switch (severity) {
    case Logger::Level::Debug: return "\033[32m";
    case Logger::Level::Warn: return "\033[33m";
    case Logger::Level::Error:
    case Logger::Level::Fatal: return "\033[31m";
    default: return "\033[0m";
  }
}

// A logger without a level of its own inherits its closest ancestor's
// ("a.b.c" from "a.b", then "a"), else the default.
Logger::Level effective_level(const std::string & name)
{
  auto & l = levels();
  std::lock_guard<std::mutex> lock(l.mutex);
  std::string current = name;
  while (true) {
    auto it = l.by_name.find(current);
    if (it != l.by_name.end() && it->second != Logger::Level::Unset) {
      return it->second;
    }
    const auto dot = current.rfind('.');
    if (dot == std::string::npos) {
      return l.default_level;
    }
    current.resize(dot);
  }
}

std::string format_record(
  Logger::Level severity, const char * name, const logging::LogLocation & location,
  const std::string & message, int64_t ns)
{
  char time_buffer[32];
  std::snprintf(
    time_buffer, sizeof(time_buffer), "%lld.%09lld", static_cast<long long>(ns / 1000000000LL),
    static_cast<long long>(ns % 1000000000LL));

  const std::string & format = console().format;
  std::string out;
  for (size_t i = 0; i < format.size(); ) {
    if (format[i] == '{') {
      const size_t close = format.find('}', i);
      if (close != std::string::npos) {
        const std::string token = format.substr(i + 1, close - i - 1);
        bool known = true;
        if (token == "severity") {
          out += severity_name(severity);
        } else if (token == "name") {
          out += name;
        } else if (token == "message") {
          out += message;
        } else if (token == "function_name") {
          out += location.function_name;
        } else if (token == "file_name") {
          out += location.file_name;
        } else if (token == "line_number") {
          out += std::to_string(location.line_number);
        } else if (token == "time") {
          out += time_buffer;
        } else if (token == "time_as_nanoseconds") {
          out += std::to_string(ns);
        } else {
          known = false;
        }
        if (known) {
          i = close + 1;
          continue;
        }
      }
    }
    out += format[i++];
  }
  return out;
}

}  // namespace

Logger get_logger(const std::string & name)
{
  return Logger(name);
}

void Logger::set_level(Level level)
{
  logging::set_logger_level(*name_, level);
}

namespace logging
{

void set_logger_level(const std::string & logger_name, Logger::Level level)
{
  auto & l = levels();
  std::lock_guard<std::mutex> lock(l.mutex);
  if (logger_name.empty()) {
    l.default_level = level;
  } else {
    l.by_name[logger_name] = level;
  }
}

bool is_enabled_for(const char * logger_name, Logger::Level severity)
{
  return static_cast<int>(severity) >= static_cast<int>(effective_level(logger_name));
}

void log(
  Logger::Level severity, const char * logger_name, const LogLocation & location,
  const char * format, ...)
{
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string message(length > 0 ? static_cast<size_t>(length) : 0, '\0');
  if (length > 0) {
    std::vsnprintf(message.data(), message.size() + 1, format, args);
  }
  va_end(args);

  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const int64_t ns = std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
  std::string line = format_record(severity, logger_name, location, message, ns);
  if (console().colorized) {
    line = severity_color(severity) + line + "\033[0m";
  }
  line += '\n';
  {
    static std::mutex output_mutex;
    std::lock_guard<std::mutex> lock(output_mutex);
    std::fwrite(line.data(), 1, line.size(), console().stream);
    std::fflush(console().stream);
  }
  detail::publish_to_rosout(severity, logger_name, location, message, ns);
}

}  // namespace logging
}  // namespace rclcpp
