// The engine's thread team: cores that other programs keep busy are left to
// them, this process's own work is not taken for theirs. The test runs alone
// (RUN_SERIAL), as other tests' processes would count as other programs.

#include <gtest/gtest.h>

#include <sched.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <nano_gicp/idle_cores.hpp>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace
{

using namespace std::chrono_literals;

std::vector<int> ourCores()
{
  cpu_set_t mine;
  sched_getaffinity(0, sizeof(mine), &mine);
  std::vector<int> cores;
  for (int c = 0; c < CPU_SETSIZE; c++) {
    if (CPU_ISSET(c, &mine)) {
      cores.push_back(c);
    }
  }
  return cores;
}

// A process spinning on each of the given cores until it is destroyed.
class Spinners
{
public:
  explicit Spinners(const std::vector<int> & cores)
  {
    for (const int core : cores) {
      const pid_t pid = fork();
      if (pid == 0) {
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(core, &one);
        sched_setaffinity(0, sizeof(one), &one);
        for (volatile unsigned long turn = 0;; turn = turn + 1) {
        }
      }
      pids_.push_back(pid);
    }
  }
  ~Spinners()
  {
    for (const pid_t pid : pids_) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  }

private:
  std::vector<pid_t> pids_;
};

TEST(IdleCores, LeavesCoresOtherProgramsKeepBusy)
{
  const std::vector<int> cores = ourCores();
  nano_gicp::IdleCores idle;
  EXPECT_EQ(idle.count(), static_cast<int>(cores.size())) << "before any stretch was measured";
  {
    const Spinners everywhere(cores);
    std::this_thread::sleep_for(400ms);
    EXPECT_EQ(idle.count(), 1) << "every core busy: one thread all the same";
  }
  if (cores.size() >= 2) {
    const Spinners onLast({cores.back()});
    std::this_thread::sleep_for(400ms);
    EXPECT_EQ(idle.count(), static_cast<int>(cores.size()) - 1);
    EXPECT_EQ(idle.count(), static_cast<int>(cores.size()) - 1) << "inside the stretch, as it was";
  }
}

TEST(IdleCores, DoesNotTakeThisProcesssWorkForOthers)
{
  const std::vector<int> cores = ourCores();
  nano_gicp::IdleCores idle;
  std::this_thread::sleep_for(400ms);
  if (idle.count() < static_cast<int>(cores.size())) {
    GTEST_SKIP() << "another program keeps a core busy: no quiet stretch to measure";
  }
  std::atomic<bool> stop{false};
  std::vector<std::thread> workers;
  for (std::size_t w = 0; w < cores.size(); w++) {
    workers.emplace_back([&stop] {
        for (volatile unsigned long turn = 0; !stop.load(std::memory_order_relaxed);
          turn = turn + 1)
        {
        }
      });
  }
  std::this_thread::sleep_for(400ms);
  const int count = idle.count();
  stop = true;
  for (std::thread & worker : workers) {
    worker.join();
  }
  EXPECT_EQ(count, static_cast<int>(cores.size()));
}

}  // namespace
