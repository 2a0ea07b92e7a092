#ifndef TF2__TIME_H_
#define TF2__TIME_H_

#include <chrono>
#include <string>

namespace tf2
{

using Duration = std::chrono::nanoseconds;
using TimePoint = std::chrono::time_point<std::chrono::system_clock, Duration>;

// Asking for this time means "the latest time the frames have in common".
static const TimePoint TimePointZero = TimePoint(Duration::zero());

TimePoint get_now();

Duration durationFromSec(double t_sec);
TimePoint timeFromSec(double t_sec);
double durationToSec(const Duration & input);
double timeToSec(const TimePoint & timepoint);

// Seconds with six decimals, as the error texts print times.
std::string displayTimePoint(const TimePoint & stamp);

}  // namespace tf2

#endif  // TF2__TIME_H_
