#include "tf2/time.h"

#include <cmath>
#include <cstdint>
#include <sstream>

namespace tf2
{

TimePoint get_now()
{
  return TimePoint(std::chrono::duration_cast<Duration>(
           std::chrono::system_clock::now().time_since_epoch()));
}

Duration durationFromSec(double t_sec)
{
  // Whole seconds and nanoseconds apart, so that rounding the fraction
  // cannot leave a nanosecond count of a full second.
  int32_t sec = static_cast<int32_t>(std::floor(t_sec));
  int32_t nsec = static_cast<int32_t>(std::round((t_sec - sec) * 1e9));
  sec += nsec / 1000000000;
  nsec %= 1000000000;
  return std::chrono::seconds(sec) + std::chrono::nanoseconds(nsec);
}

TimePoint timeFromSec(double t_sec)
{
  return TimePoint(durationFromSec(t_sec));
}

double durationToSec(const Duration & input)
{
  const int64_t count = input.count();
  const int64_t nsec = count % 1000000000;
  const int64_t sec = (count - nsec) / 1000000000;
  return static_cast<double>(sec) + 1e-9 * static_cast<double>(nsec);
}

double timeToSec(const TimePoint & timepoint)
{
  return durationToSec(timepoint.time_since_epoch());
}

std::string displayTimePoint(const TimePoint & stamp)
{
  std::ostringstream out;
  out.precision(6);
  out << std::fixed << timeToSec(stamp);
  return out.str();
}

}  // namespace tf2
