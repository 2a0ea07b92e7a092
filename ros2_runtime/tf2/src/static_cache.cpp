#include <string>

#include "tf2/time_cache.h"

namespace tf2
{

bool StaticCache::getData(TimePoint time, TransformStorage & data_out, std::string *)
{
  data_out = storage_;
  data_out.stamp_ = time;
  return true;
}

bool StaticCache::insertData(const TransformStorage & new_data)
{
  storage_ = new_data;
  return true;
}

void StaticCache::clearList()
{
}

CompactFrameID StaticCache::getParent(TimePoint, std::string *)
{
  return storage_.frame_id_;
}

P_TimeAndFrameID StaticCache::getLatestTimeAndParent()
{
  return {TimePoint(), storage_.frame_id_};
}

unsigned int StaticCache::getListLength()
{
  return 1;
}

TimePoint StaticCache::getLatestTimestamp()
{
  return TimePoint();
}

TimePoint StaticCache::getOldestTimestamp()
{
  return TimePoint();
}

}  // namespace tf2
