#ifndef NANO_GICP__IDLE_CORES_HPP_
#define NANO_GICP__IDLE_CORES_HPP_

#include <chrono>

namespace nano_gicp
{

// How many of the cores this process may run on the rest of the machine has
// left idle lately, to size a call's thread team. On a robot the camera
// driver, the planner and the arm controller share the cores: a worker on a
// core that another program keeps busy takes half of that program's time,
// and the whole team waits for it at every barrier until its turn comes.
// The kernel's busy time of those cores (/proc/stat) less this process's
// own CPU time says how many cores the others used. The kernel counts in
// ticks of 10 ms, so a count covers at least a fifth of a second; until that
// has passed, the last count stands.
class IdleCores
{
public:
  IdleCores();

  // Between 1 and the cores this process may run on; all of them where the
  // kernel's times cannot be read.
  int count();

private:
  struct Reading
  {
    std::chrono::steady_clock::time_point when;
    int cores = 1;
    // busy: the cores' busy time, everyone's (core-seconds); own: this
    // process's CPU time; both unknown (timed false) where /proc/stat or the
    // process's times cannot be read
    bool timed = false;
    double busy = 0.0;
    double own = 0.0;
  };
  static Reading read();

  Reading last_;
  int count_;
};

}  // namespace nano_gicp

#endif  // NANO_GICP__IDLE_CORES_HPP_
