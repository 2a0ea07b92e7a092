#ifndef ARM_LOCATION__TEST__CHILD_PROCESS_HPP_
#define ARM_LOCATION__TEST__CHILD_PROCESS_HPP_

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// A program run as its own process, its standard output and error collected
// as they come, so a test can wait for a line and then act.
class ChildProcess
{
public:
  ChildProcess(const std::vector<std::string> & argv, const std::vector<std::string> & env = {})
  {
    int out[2], err[2];
    if (pipe(out) != 0 || pipe(err) != 0) {
      return;
    }
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], STDOUT_FILENO);
      dup2(err[1], STDERR_FILENO);
      close(out[0]);
      close(err[0]);
      for (const std::string & e : env) {
        putenv(strdup(e.c_str()));
      }
      std::vector<char *> args;
      for (const std::string & a : argv) {
        args.push_back(const_cast<char *>(a.c_str()));
      }
      args.push_back(nullptr);
      execv(args[0], args.data());
      _exit(127);
    }
    close(out[1]);
    close(err[1]);
    reader_ = std::thread([this, o = out[0], e = err[0]]() {read(o, e);});
  }

  // Interrupts a process still running, so it leaves the DDS graph in order,
  // and kills it if that does not end it.
  ~ChildProcess()
  {
    if (pid_ > 0 && !status_) {
      kill(pid_, SIGINT);
      if (!wait(std::chrono::seconds(5))) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
      }
    }
    if (reader_.joinable()) {
      reader_.join();
    }
  }

  // Waits until standard output (or error) holds text, `times` times over;
  // false on timeout.
  bool waitForOutput(
    const std::string & text, std::chrono::milliseconds timeout, bool error = false,
    std::size_t times = 1)
  {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, [&]() {
               const std::string & seen = error ? err_ : out_;
               std::size_t found = 0;
               for (auto at = seen.find(text); at != std::string::npos && found < times;
                 at = seen.find(text, at + 1))
               {
                 ++found;
               }
               return found >= times;
             });
  }

  void signal(int sig) {kill(pid_, sig);}

  // For reading the process's own figures under /proc.
  pid_t pid() const {return pid_;}

  // Exit status (or 128 + signal), or nothing when still running at the timeout.
  std::optional<int> wait(std::chrono::milliseconds timeout)
  {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!status_) {
      int raw = 0;
      if (waitpid(pid_, &raw, WNOHANG) == pid_) {
        status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
      } else if (std::chrono::steady_clock::now() > deadline) {
        return std::nullopt;
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    }
    if (reader_.joinable()) {
      reader_.join();
    }
    return status_;
  }

  std::string out() const
  {
    std::lock_guard<std::mutex> lock(mutex_);
    return out_;
  }
  std::string err() const
  {
    std::lock_guard<std::mutex> lock(mutex_);
    return err_;
  }
  // Output from now on only.
  void clear()
  {
    std::lock_guard<std::mutex> lock(mutex_);
    out_.clear();
    err_.clear();
  }

private:
  void read(int out, int err)
  {
    pollfd fds[2] = {{out, POLLIN, 0}, {err, POLLIN, 0}};
    int open = 2;
    char buffer[4096];
    while (open > 0 && poll(fds, 2, -1) > 0) {
      for (int i = 0; i < 2; ++i) {
        if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) {
          continue;
        }
        const ssize_t n = ::read(fds[i].fd, buffer, sizeof(buffer));
        if (n <= 0) {
          close(fds[i].fd);
          fds[i].fd = -1;
          --open;
          continue;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        (i == 0 ? out_ : err_).append(buffer, static_cast<std::size_t>(n));
        changed_.notify_all();
      }
    }
  }

  pid_t pid_ = -1;
  std::optional<int> status_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::string out_;
  std::string err_;
  std::thread reader_;
};

#endif  // ARM_LOCATION__TEST__CHILD_PROCESS_HPP_
