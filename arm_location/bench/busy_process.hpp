// Another program sharing the robot's CPU, for the benchmarks' --load mode:
// a process spinning on the last core this one may use, counting its loop
// turns where the benchmark can read them, so that how much of its core a
// request took shows as turns it did not make.

#ifndef BUSY_PROCESS_HPP_
#define BUSY_PROCESS_HPP_

#include <sched.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <new>
#include <thread>

class BusyProcess
{
public:
  BusyProcess()
  : turns_(static_cast<std::atomic<std::uint64_t> *>(mmap(nullptr, sizeof(std::atomic<std::uint64_t>),
      PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0)))
  {
    new (turns_) std::atomic<std::uint64_t>(0);
    cpu_set_t mine;
    sched_getaffinity(0, sizeof(mine), &mine);
    for (int c = 0; c < CPU_SETSIZE; ++c) {
      if (CPU_ISSET(c, &mine)) {
        core_ = c;
      }
    }
    pid_ = fork();
    if (pid_ == 0) {
      cpu_set_t last;
      CPU_ZERO(&last);
      CPU_SET(core_, &last);
      sched_setaffinity(0, sizeof(last), &last);
      for (;;) {
        turns_->fetch_add(1, std::memory_order_relaxed);
      }
    }
  }
  ~BusyProcess()
  {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    munmap(turns_, sizeof(std::atomic<std::uint64_t>));
  }
  BusyProcess(const BusyProcess &) = delete;
  BusyProcess & operator=(const BusyProcess &) = delete;

  int core() const {return core_;}
  std::uint64_t turns() const {return turns_->load(std::memory_order_relaxed);}

  // Turns a second over a quiet stretch.
  double rate(std::chrono::milliseconds stretch) const
  {
    const std::uint64_t before = turns();
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(stretch);
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return static_cast<double>(turns() - before) / s;
  }

  // What it did while requests ran.
  std::uint64_t turnsInRequests = 0;

private:
  std::atomic<std::uint64_t> * turns_;
  int core_ = 0;
  pid_t pid_ = -1;
};

#endif  // BUSY_PROCESS_HPP_
