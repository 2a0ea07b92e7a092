// A program started by a test, its stdout and stderr captured to files.
#ifndef CHILD_PROCESS_HPP_
#define CHILD_PROCESS_HPP_

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

extern char ** environ;

class ChildProcess
{
public:
  explicit ChildProcess(const std::vector<std::string> & argv)
  {
    static int serial = 0;
    const std::string base = "/tmp/rclcpp_test_" + std::to_string(getpid()) + "_" +
      std::to_string(serial++);
    out_path_ = base + ".out";
    err_path_ = base + ".err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(
      &actions, 1, out_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(
      &actions, 2, err_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char *> args;
    for (const auto & a : argv) {
      args.push_back(const_cast<char *>(a.c_str()));
    }
    args.push_back(nullptr);
    if (posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ) != 0) {
      throw std::runtime_error("cannot start " + argv[0]);
    }
    posix_spawn_file_actions_destroy(&actions);
  }

  ~ChildProcess()
  {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    unlink(out_path_.c_str());
    unlink(err_path_.c_str());
  }

  void signal(int signum) {kill(pid_, signum);}

  // The exit status, or -1 when it did not end in time (it is then killed).
  int wait(std::chrono::milliseconds timeout)
  {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        return -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    pid_ = 0;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

  std::string out() const {return slurp(out_path_);}
  std::string err() const {return slurp(err_path_);}

  // Waits until stdout holds `text`.
  bool wait_for_output(const std::string & text, std::chrono::milliseconds timeout) const
  {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (out().find(text) == std::string::npos) {
      if (std::chrono::steady_clock::now() > deadline) {
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
  }

private:
  static std::string slurp(const std::string & path)
  {
    std::ifstream file(path);
    std::stringstream buffer;
    buffer << file.rdbuf();
    return buffer.str();
  }

  pid_t pid_ = 0;
  std::string out_path_;
  std::string err_path_;
};

#endif  // CHILD_PROCESS_HPP_
