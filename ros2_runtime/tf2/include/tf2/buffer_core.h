#ifndef TF2__BUFFER_CORE_H_
#define TF2__BUFFER_CORE_H_

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "geometry_msgs/msg/transform_stamped.hpp"
#include "tf2/exceptions.h"
#include "tf2/time.h"
#include "tf2/time_cache.h"
#include "tf2/transform_storage.h"

namespace tf2
{

constexpr Duration BUFFER_CORE_DEFAULT_CACHE_TIME = std::chrono::seconds(10);

// The frame tree and its history: every frame keeps the transform to its
// parent over the last cache_time (static frames keep one, valid at all
// times), and a lookup chains them from the source frame up to the first
// frame shared with the target and down again.
class BufferCore
{
public:
  static const std::uint32_t MAX_GRAPH_DEPTH = 1000UL;

  explicit BufferCore(Duration cache_time = BUFFER_CORE_DEFAULT_CACHE_TIME);
  virtual ~BufferCore() = default;

  // Forgets every dynamic sample; the frames themselves stay known.
  void clear();

  // Adds one sample of header.frame_id <- child_frame_id; false, with the
  // reason on standard error, when the sample is rejected.
  bool setTransform(
    const geometry_msgs::msg::TransformStamped & transform, const std::string & authority,
    bool is_static = false);

  // The transform that carries data from source_frame into target_frame at
  // `time` (TimePointZero: the latest time all links of the chain share).
  // Throws LookupException, ConnectivityException, ExtrapolationException or
  // InvalidArgumentException.
  geometry_msgs::msg::TransformStamped lookupTransform(
    const std::string & target_frame, const std::string & source_frame,
    const TimePoint & time) const;

  // Whether lookupTransform would succeed; the reason when not in error_msg.
  bool canTransform(
    const std::string & target_frame, const std::string & source_frame,
    const TimePoint & time, std::string * error_msg = nullptr) const;

  std::vector<std::string> getAllFrameNames() const;

  // "Frame <child> exists with parent <parent>." for every frame with data.
  std::string allFramesAsString() const;

  bool _frameExists(const std::string & frame_id_str) const;

  // Waiting for transforms only makes sense when another thread feeds the
  // buffer; the listener declares that it does.
  void setUsingDedicatedThread(bool value) {using_dedicated_thread_ = value;}
  bool isUsingDedicatedThread() const {return using_dedicated_thread_;}

  Duration getCacheLength() {return cache_time_;}

private:
  struct Chain
  {
    Eigen::Quaterniond rotation = Eigen::Quaterniond::Identity();
    Eigen::Vector3d translation = Eigen::Vector3d::Zero();
    TimePoint time;
  };

  bool setTransformImpl(
    const Eigen::Quaterniond & rotation, const Eigen::Vector3d & translation,
    const std::string & frame_id, const std::string & child_frame_id, TimePoint stamp,
    const std::string & authority, bool is_static);

  // Throwing checks used by lookups.
  CompactFrameID validateFrameId(const char * function_name_arg, const std::string & frame_id) const;
  // Non-throwing checks used by canTransform: 0 with the reason in error_msg.
  CompactFrameID validateFrameId(
    const char * function_name_arg, const std::string & frame_id, std::string * error_msg) const;

  TF2Error walkToTopParent(
    TimePoint time, CompactFrameID target_id, CompactFrameID source_id,
    std::string * error_string, Chain * result) const;
  TF2Error loopError(std::string * error_string) const;
  TF2Error getLatestCommonTime(
    CompactFrameID target_id, CompactFrameID source_id, TimePoint & time,
    std::string * error_string) const;

  TimeCacheInterfacePtr getFrame(CompactFrameID frame_number) const;
  TimeCacheInterfacePtr allocateFrame(CompactFrameID cfid, bool is_static);
  CompactFrameID lookupFrameNumber(const std::string & frameid_str) const;
  CompactFrameID lookupOrInsertFrameNumber(const std::string & frameid_str);
  const std::string & lookupFrameString(CompactFrameID frame_id_num) const;
  void createConnectivityErrorString(
    CompactFrameID source_frame, CompactFrameID target_frame, std::string * out) const;
  std::string allFramesAsStringNoLock() const;

  mutable std::mutex frame_mutex_;
  // Indexed by CompactFrameID; a frame seen only as a parent has no cache.
  std::vector<TimeCacheInterfacePtr> frames_;
  std::unordered_map<std::string, CompactFrameID> frameIDs_;
  std::vector<std::string> frameIDs_reverse_;
  std::map<CompactFrameID, std::string> frame_authority_;
  Duration cache_time_;
  bool using_dedicated_thread_ = false;
};

}  // namespace tf2

#endif  // TF2__BUFFER_CORE_H_
