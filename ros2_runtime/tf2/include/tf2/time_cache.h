#ifndef TF2__TIME_CACHE_H_
#define TF2__TIME_CACHE_H_

#include <list>
#include <memory>
#include <string>

#include "tf2/time.h"
#include "tf2/transform_storage.h"

namespace tf2
{

// What one frame knows about its link to its parent over time.
class TimeCacheInterface
{
public:
  virtual ~TimeCacheInterface() = default;

  // The link at `time`, interpolated when it falls between two samples;
  // false, with the reason in error_str, when the cache cannot answer.
  virtual bool getData(
    TimePoint time, TransformStorage & data_out, std::string * error_str = nullptr) = 0;

  // False when the sample is too old to be kept.
  virtual bool insertData(const TransformStorage & new_data) = 0;

  virtual void clearList() = 0;

  // The parent at `time`, or 0 when the cache cannot answer.
  virtual CompactFrameID getParent(TimePoint time, std::string * error_str) = 0;

  // The newest sample's time and parent; static links report time zero.
  virtual P_TimeAndFrameID getLatestTimeAndParent() = 0;

  virtual unsigned int getListLength() = 0;
  virtual TimePoint getLatestTimestamp() = 0;
  virtual TimePoint getOldestTimestamp() = 0;
};

using TimeCacheInterfacePtr = std::shared_ptr<TimeCacheInterface>;

constexpr Duration TIMECACHE_DEFAULT_MAX_STORAGE_TIME = std::chrono::seconds(10);

// A moving link: samples sorted newest first, those older than
// max_storage_time behind the newest are dropped.
class TimeCache : public TimeCacheInterface
{
public:
  explicit TimeCache(Duration max_storage_time = TIMECACHE_DEFAULT_MAX_STORAGE_TIME);

  bool getData(
    TimePoint time, TransformStorage & data_out, std::string * error_str = nullptr) override;
  bool insertData(const TransformStorage & new_data) override;
  void clearList() override;
  CompactFrameID getParent(TimePoint time, std::string * error_str) override;
  P_TimeAndFrameID getLatestTimeAndParent() override;
  unsigned int getListLength() override;
  TimePoint getLatestTimestamp() override;
  TimePoint getOldestTimestamp() override;

private:
  // 0: no answer; 1: `one` answers; 2: `time` lies between `one` (older)
  // and `two` (newer).
  int findClosest(
    TransformStorage * & one, TransformStorage * & two, TimePoint target_time,
    std::string * error_str);
  void pruneList();

  std::list<TransformStorage> storage_;
  Duration max_storage_time_;
};

// A fixed link: one sample, valid at every time.
class StaticCache : public TimeCacheInterface
{
public:
  bool getData(
    TimePoint time, TransformStorage & data_out, std::string * error_str = nullptr) override;
  bool insertData(const TransformStorage & new_data) override;
  void clearList() override;
  CompactFrameID getParent(TimePoint time, std::string * error_str) override;
  P_TimeAndFrameID getLatestTimeAndParent() override;
  unsigned int getListLength() override;
  TimePoint getLatestTimestamp() override;
  TimePoint getOldestTimestamp() override;

private:
  TransformStorage storage_;
};

}  // namespace tf2

#endif  // TF2__TIME_CACHE_H_
