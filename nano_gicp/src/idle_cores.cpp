#include "nano_gicp/idle_cores.hpp"

#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>

namespace nano_gicp
{

namespace
{

constexpr std::chrono::milliseconds kStretch{200};

double seconds(const timeval & t)
{
  return static_cast<double>(t.tv_sec) + 1e-6 * static_cast<double>(t.tv_usec);
}

}  // namespace

IdleCores::IdleCores()
: last_(read()), count_(last_.cores)
{
}

int IdleCores::count()
{
  const auto now = std::chrono::steady_clock::now();
  if (now - last_.when < kStretch) {
    return count_;
  }
  const Reading reading = read();
  if (reading.timed && last_.timed && reading.cores == last_.cores) {
    const double wall = std::chrono::duration<double>(reading.when - last_.when).count();
    const double others =
      std::max(0.0, (reading.busy - last_.busy) - (reading.own - last_.own)) / wall;
    count_ = std::clamp(static_cast<int>(std::lround(reading.cores - others)), 1, reading.cores);
  } else {
    count_ = reading.cores;
  }
  last_ = reading;
  return count_;
}

IdleCores::Reading IdleCores::read()
{
  Reading reading;
  reading.when = std::chrono::steady_clock::now();
  cpu_set_t mine;
  if (sched_getaffinity(0, sizeof(mine), &mine) != 0) {
    return reading;
  }
  reading.cores = std::max(1, CPU_COUNT(&mine));
  const double tick = static_cast<double>(sysconf(_SC_CLK_TCK));
  std::ifstream stat("/proc/stat");
  std::string line;
  int counted = 0;
  // "cpuN user nice system idle iowait irq softirq steal ..." in ticks, one
  // line per online core after the machine's total ("cpu  ...")
  while (std::getline(stat, line) && line.compare(0, 3, "cpu") == 0) {
    if (line.size() < 4 || !std::isdigit(static_cast<unsigned char>(line[3]))) {
      continue;
    }
    std::istringstream fields(line.substr(3));
    int cpu;
    if (!(fields >> cpu) || cpu < 0 || cpu >= CPU_SETSIZE || !CPU_ISSET(cpu, &mine)) {
      continue;
    }
    unsigned long long user, nice, system, idle, iowait, irq, softirq, steal;
    if (!(fields >> user >> nice >> system >> idle >> iowait >> irq >> softirq >> steal)) {
      return reading;
    }
    reading.busy += static_cast<double>(user + nice + system + irq + softirq + steal) / tick;
    counted++;
  }
  rusage own;
  if (counted != reading.cores || tick <= 0 || getrusage(RUSAGE_SELF, &own) != 0) {
    return reading;
  }
  reading.own = seconds(own.ru_utime) + seconds(own.ru_stime);
  reading.timed = true;
  return reading;
}

}  // namespace nano_gicp
