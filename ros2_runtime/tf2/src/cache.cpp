#include <sstream>
#include <string>

#include "tf2/time_cache.h"

namespace tf2
{

namespace
{

void extrapolationAtSingleSample(TimePoint t0, TimePoint t1, std::string * error_str)
{
  if (error_str) {
    std::stringstream ss;
    ss << "Lookup would require extrapolation at time " << displayTimePoint(t0) <<
      ", but only time " << displayTimePoint(t1) << " is in the buffer";
    *error_str = ss.str();
  }
}

void extrapolationIntoFuture(TimePoint t0, TimePoint t1, std::string * error_str)
{
  if (error_str) {
    std::stringstream ss;
    ss << "Lookup would require extrapolation into the future.  Requested time " <<
      displayTimePoint(t0) << " but the latest data is at time " << displayTimePoint(t1);
    *error_str = ss.str();
  }
}

void extrapolationIntoPast(TimePoint t0, TimePoint t1, std::string * error_str)
{
  if (error_str) {
    std::stringstream ss;
    ss << "Lookup would require extrapolation into the past.  Requested time " <<
      displayTimePoint(t0) << " but the earliest data is at time " << displayTimePoint(t1);
    *error_str = ss.str();
  }
}

// Linear in translation, spherical in rotation, between the samples that
// bracket `time`.
void interpolate(
  const TransformStorage & one, const TransformStorage & two, TimePoint time,
  TransformStorage & output)
{
  if (two.stamp_ == one.stamp_) {
    output = two;
    return;
  }
  const double ratio = static_cast<double>((time - one.stamp_).count()) /
    static_cast<double>((two.stamp_ - one.stamp_).count());
  output.translation_ = (1.0 - ratio) * one.translation_ + ratio * two.translation_;
  output.rotation_ = one.rotation_.slerp(ratio, two.rotation_);
  output.stamp_ = one.stamp_;
  output.frame_id_ = one.frame_id_;
  output.child_frame_id_ = one.child_frame_id_;
}

}  // namespace

TimeCache::TimeCache(Duration max_storage_time)
: max_storage_time_(max_storage_time)
{
}

int TimeCache::findClosest(
  TransformStorage * & one, TransformStorage * & two, TimePoint target_time,
  std::string * error_str)
{
  if (storage_.empty()) {
    return 0;
  }

  if (target_time == TimePointZero) {
    one = &storage_.front();
    return 1;
  }

  if (++storage_.begin() == storage_.end()) {
    TransformStorage & ts = storage_.front();
    if (ts.stamp_ == target_time) {
      one = &ts;
      return 1;
    }
    extrapolationAtSingleSample(target_time, ts.stamp_, error_str);
    return 0;
  }

  const TimePoint latest_time = storage_.front().stamp_;
  const TimePoint earliest_time = storage_.back().stamp_;
  if (target_time == latest_time) {
    one = &storage_.front();
    return 1;
  }
  if (target_time == earliest_time) {
    one = &storage_.back();
    return 1;
  }
  if (target_time > latest_time) {
    extrapolationIntoFuture(target_time, latest_time, error_str);
    return 0;
  }
  if (target_time < earliest_time) {
    extrapolationIntoPast(target_time, earliest_time, error_str);
    return 0;
  }

  // Strictly inside the stored span: the first sample not newer than the
  // target and the one just newer than it bracket it.
  auto it = storage_.begin();
  while (it->stamp_ > target_time) {
    ++it;
  }
  one = &*it;
  two = &*(--it);
  return 2;
}

bool TimeCache::getData(TimePoint time, TransformStorage & data_out, std::string * error_str)
{
  TransformStorage * one = nullptr;
  TransformStorage * two = nullptr;
  const int num_nodes = findClosest(one, two, time, error_str);
  if (num_nodes == 0) {
    return false;
  }
  if (num_nodes == 1 || one->frame_id_ != two->frame_id_) {
    // A reparented frame is not interpolated across its change of parent.
    data_out = *one;
  } else {
    interpolate(*one, *two, time, data_out);
  }
  return true;
}

CompactFrameID TimeCache::getParent(TimePoint time, std::string * error_str)
{
  TransformStorage * one = nullptr;
  TransformStorage * two = nullptr;
  if (findClosest(one, two, time, error_str) == 0) {
    return 0;
  }
  return one->frame_id_;
}

bool TimeCache::insertData(const TransformStorage & new_data)
{
  auto it = storage_.begin();
  if (it != storage_.end() && it->stamp_ > new_data.stamp_ + max_storage_time_) {
    return false;
  }
  // A sample with the same stamp as a stored one goes in front of it, so
  // the newer arrival answers for that time.
  while (it != storage_.end() && it->stamp_ > new_data.stamp_) {
    ++it;
  }
  storage_.insert(it, new_data);
  pruneList();
  return true;
}

void TimeCache::clearList()
{
  storage_.clear();
}

P_TimeAndFrameID TimeCache::getLatestTimeAndParent()
{
  if (storage_.empty()) {
    return {TimePoint(), 0};
  }
  return {storage_.front().stamp_, storage_.front().frame_id_};
}

unsigned int TimeCache::getListLength()
{
  return static_cast<unsigned int>(storage_.size());
}

TimePoint TimeCache::getLatestTimestamp()
{
  return storage_.empty() ? TimePoint() : storage_.front().stamp_;
}

TimePoint TimeCache::getOldestTimestamp()
{
  return storage_.empty() ? TimePoint() : storage_.back().stamp_;
}

void TimeCache::pruneList()
{
  const TimePoint latest_time = storage_.front().stamp_;
  while (!storage_.empty() && storage_.back().stamp_ + max_storage_time_ < latest_time) {
    storage_.pop_back();
  }
}

}  // namespace tf2
