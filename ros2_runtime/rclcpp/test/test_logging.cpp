// Console logging as rcutils does it: format, stream, levels.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "child_process.hpp"

using namespace std::chrono_literals;

namespace
{

struct LoggerRun
{
  int status;
  std::string out;
  std::string err;
};

LoggerRun run_logger(const std::vector<std::string> & args, const char * env = nullptr)
{
  if (env != nullptr) {
    putenv(const_cast<char *>(env));
  }
  std::vector<std::string> argv{LOG_RECORDS};
  argv.insert(argv.end(), args.begin(), args.end());
  ChildProcess child(argv);
  LoggerRun run{child.wait(10s), child.out(), child.err()};
  unsetenv("RCUTILS_CONSOLE_OUTPUT_FORMAT");
  unsetenv("RCUTILS_LOGGING_USE_STDOUT");
  return run;
}

TEST(ConsoleLogging, DefaultFormatOnStderrFromInfoUp)
{
  const LoggerRun run = run_logger({});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");
  const std::regex line(R"(\[(\w+)\] \[\d+\.\d{9}\] \[talker\]: (\w+ \d)\n)");
  std::vector<std::string> records;
  for (std::sregex_iterator it(run.err.begin(), run.err.end(), line), end; it != end; ++it) {
    records.push_back((*it)[1].str() + " " + (*it)[2].str());
  }
  EXPECT_EQ(
    records,
    (std::vector<std::string>{"INFO info 2", "WARN warn 3", "ERROR error 4", "FATAL fatal 5",
      "INFO once 0", "INFO throttled 0", "INFO expression 2"}))
    << run.err;
}

TEST(ConsoleLogging, LogLevelArgumentSetsTheDefaultOrOneLogger)
{
  const LoggerRun debug = run_logger({"--ros-args", "--log-level", "DEBUG"});
  EXPECT_NE(debug.err.find("[DEBUG]"), std::string::npos) << debug.err;
  const LoggerRun error = run_logger({"--ros-args", "--log-level", "talker:=error"});
  EXPECT_EQ(error.err.find("[WARN]"), std::string::npos) << error.err;
  EXPECT_NE(error.err.find("[ERROR]"), std::string::npos) << error.err;
  EXPECT_NE(error.err.find("[FATAL]"), std::string::npos) << error.err;
}

TEST(ConsoleLogging, OutputFormatCarriesTheCallSite)
{
  const LoggerRun run = run_logger(
    {}, "RCUTILS_CONSOLE_OUTPUT_FORMAT={severity}|{name}|{function_name}|{file_name}|"
    "{line_number}|{time_as_nanoseconds}|{message}|{unknown}");
  const std::regex warn(R"(WARN\|talker\|main\|[^|]*log_records\.cpp\|\d+\|\d{19}\|warn 3\|\{unknown\}\n)");
  EXPECT_TRUE(std::regex_search(run.err, warn)) << run.err;
}

TEST(ConsoleLogging, StdoutOnRequest)
{
  const LoggerRun run = run_logger({}, "RCUTILS_LOGGING_USE_STDOUT=1");
  EXPECT_EQ(run.err, "");
  EXPECT_NE(run.out.find("[ERROR]"), std::string::npos) << run.out;
}

}  // namespace
