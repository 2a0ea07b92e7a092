// RCLCPP_<SEVERITY>, _STREAM, _ONCE, _EXPRESSION and _THROTTLE: records carrying the caller's function, file and line, written to the
// console in rcutils' format (RCUTILS_CONSOLE_OUTPUT_FORMAT) when the
// logger's level lets them through.
#ifndef RCLCPP__LOGGING_HPP_
#define RCLCPP__LOGGING_HPP_

#include <cstdint>
#include <sstream>
#include <string>
#include <type_traits>

#include "rclcpp/logger.hpp"

namespace rclcpp
{
namespace logging
{

struct LogLocation
{
  const char * function_name;
  const char * file_name;
  int line_number;
};

bool is_enabled_for(const char * logger_name, Logger::Level severity);

void log(
  Logger::Level severity, const char * logger_name, const LogLocation & location,
  const char * format, ...) __attribute__((format(printf, 4, 5)));

// Severity threshold of a logger name ("" for the default), as --log-level sets it.
void set_logger_level(const std::string & logger_name, Logger::Level level);

}  // namespace logging
}  // namespace rclcpp

#define RCLCPP_LOG_CHECK_LOGGER_(logger) \
  static_assert( \
    ::std::is_same<::std::remove_cv_t<::std::remove_reference_t<decltype(logger)>>, \
    ::rclcpp::Logger>::value, \
    "First argument to logging macros must be an rclcpp::Logger")

#define RCLCPP_LOG_(severity, logger, ...) \
  do { \
    RCLCPP_LOG_CHECK_LOGGER_(logger); \
    const ::rclcpp::Logger & rclcpp_log_logger_ = (logger); \
    if (::rclcpp::logging::is_enabled_for(rclcpp_log_logger_.get_name(), severity)) { \
      ::rclcpp::logging::log( \
        severity, rclcpp_log_logger_.get_name(), {__func__, __FILE__, __LINE__}, __VA_ARGS__); \
    } \
  } while (0)

#define RCLCPP_LOG_STREAM_(severity, logger, stream_arg) \
  do { \
    RCLCPP_LOG_CHECK_LOGGER_(logger); \
    const ::rclcpp::Logger & rclcpp_log_logger_ = (logger); \
    if (::rclcpp::logging::is_enabled_for(rclcpp_log_logger_.get_name(), severity)) { \
      ::std::stringstream rclcpp_stream_ss_; \
      rclcpp_stream_ss_ << stream_arg; \
      ::rclcpp::logging::log( \
        severity, rclcpp_log_logger_.get_name(), {__func__, __FILE__, __LINE__}, "%s", \
        rclcpp_stream_ss_.str().c_str()); \
    } \
  } while (0)

// Conditional forms: first call only, only when `expression` holds, at most
// once per `duration` milliseconds of `clock`.
#define RCLCPP_LOG_ONCE_(severity, logger, ...) \
  do { \
    static bool rclcpp_log_once_done_ = false; \
    if (!rclcpp_log_once_done_) { \
      rclcpp_log_once_done_ = true; \
      RCLCPP_LOG_(severity, logger, __VA_ARGS__); \
    } \
  } while (0)

#define RCLCPP_LOG_EXPRESSION_(severity, logger, expression, ...) \
  do { \
    if (expression) { \
      RCLCPP_LOG_(severity, logger, __VA_ARGS__); \
    } \
  } while (0)

#define RCLCPP_LOG_THROTTLE_(severity, logger, clock, duration, ...) \
  do { \
    static int64_t rclcpp_log_throttle_last_ = 0; \
    static bool rclcpp_log_throttle_started_ = false; \
    const int64_t rclcpp_log_throttle_now_ = (clock).now().nanoseconds(); \
    if (!rclcpp_log_throttle_started_ || \
      rclcpp_log_throttle_now_ - rclcpp_log_throttle_last_ >= \
      static_cast<int64_t>(duration) * 1000000LL) \
    { \
      rclcpp_log_throttle_started_ = true; \
      rclcpp_log_throttle_last_ = rclcpp_log_throttle_now_; \
      RCLCPP_LOG_(severity, logger, __VA_ARGS__); \
    } \
  } while (0)

#define RCLCPP_DEBUG(logger, ...) RCLCPP_LOG_(::rclcpp::Logger::Level::Debug, logger, __VA_ARGS__)
#define RCLCPP_INFO(logger, ...) RCLCPP_LOG_(::rclcpp::Logger::Level::Info, logger, __VA_ARGS__)
#define RCLCPP_WARN(logger, ...) RCLCPP_LOG_(::rclcpp::Logger::Level::Warn, logger, __VA_ARGS__)
#define RCLCPP_ERROR(logger, ...) RCLCPP_LOG_(::rclcpp::Logger::Level::Error, logger, __VA_ARGS__)
#define RCLCPP_FATAL(logger, ...) RCLCPP_LOG_(::rclcpp::Logger::Level::Fatal, logger, __VA_ARGS__)

#define RCLCPP_DEBUG_STREAM(logger, stream_arg) \
  RCLCPP_LOG_STREAM_(::rclcpp::Logger::Level::Debug, logger, stream_arg)
#define RCLCPP_INFO_STREAM(logger, stream_arg) \
  RCLCPP_LOG_STREAM_(::rclcpp::Logger::Level::Info, logger, stream_arg)
#define RCLCPP_WARN_STREAM(logger, stream_arg) \
  RCLCPP_LOG_STREAM_(::rclcpp::Logger::Level::Warn, logger, stream_arg)
#define RCLCPP_ERROR_STREAM(logger, stream_arg) \
  RCLCPP_LOG_STREAM_(::rclcpp::Logger::Level::Error, logger, stream_arg)
#define RCLCPP_FATAL_STREAM(logger, stream_arg) \
  RCLCPP_LOG_STREAM_(::rclcpp::Logger::Level::Fatal, logger, stream_arg)

#define RCLCPP_DEBUG_ONCE(logger, ...) \
  RCLCPP_LOG_ONCE_(::rclcpp::Logger::Level::Debug, logger, __VA_ARGS__)
#define RCLCPP_DEBUG_EXPRESSION(logger, expression, ...) \
  RCLCPP_LOG_EXPRESSION_(::rclcpp::Logger::Level::Debug, logger, expression, __VA_ARGS__)
#define RCLCPP_DEBUG_THROTTLE(logger, clock, duration, ...) \
  RCLCPP_LOG_THROTTLE_(::rclcpp::Logger::Level::Debug, logger, clock, duration, __VA_ARGS__)

#define RCLCPP_INFO_ONCE(logger, ...) \
  RCLCPP_LOG_ONCE_(::rclcpp::Logger::Level::Info, logger, __VA_ARGS__)
#define RCLCPP_INFO_EXPRESSION(logger, expression, ...) \
  RCLCPP_LOG_EXPRESSION_(::rclcpp::Logger::Level::Info, logger, expression, __VA_ARGS__)
#define RCLCPP_INFO_THROTTLE(logger, clock, duration, ...) \
  RCLCPP_LOG_THROTTLE_(::rclcpp::Logger::Level::Info, logger, clock, duration, __VA_ARGS__)

#define RCLCPP_WARN_ONCE(logger, ...) \
  RCLCPP_LOG_ONCE_(::rclcpp::Logger::Level::Warn, logger, __VA_ARGS__)
#define RCLCPP_WARN_EXPRESSION(logger, expression, ...) \
  RCLCPP_LOG_EXPRESSION_(::rclcpp::Logger::Level::Warn, logger, expression, __VA_ARGS__)
#define RCLCPP_WARN_THROTTLE(logger, clock, duration, ...) \
  RCLCPP_LOG_THROTTLE_(::rclcpp::Logger::Level::Warn, logger, clock, duration, __VA_ARGS__)

#define RCLCPP_ERROR_ONCE(logger, ...) \
  RCLCPP_LOG_ONCE_(::rclcpp::Logger::Level::Error, logger, __VA_ARGS__)
#define RCLCPP_ERROR_EXPRESSION(logger, expression, ...) \
  RCLCPP_LOG_EXPRESSION_(::rclcpp::Logger::Level::Error, logger, expression, __VA_ARGS__)
#define RCLCPP_ERROR_THROTTLE(logger, clock, duration, ...) \
  RCLCPP_LOG_THROTTLE_(::rclcpp::Logger::Level::Error, logger, clock, duration, __VA_ARGS__)

#define RCLCPP_FATAL_ONCE(logger, ...) \
  RCLCPP_LOG_ONCE_(::rclcpp::Logger::Level::Fatal, logger, __VA_ARGS__)
#define RCLCPP_FATAL_EXPRESSION(logger, expression, ...) \
  RCLCPP_LOG_EXPRESSION_(::rclcpp::Logger::Level::Fatal, logger, expression, __VA_ARGS__)
#define RCLCPP_FATAL_THROTTLE(logger, clock, duration, ...) \
  RCLCPP_LOG_THROTTLE_(::rclcpp::Logger::Level::Fatal, logger, clock, duration, __VA_ARGS__)

#endif  // RCLCPP__LOGGING_HPP_
