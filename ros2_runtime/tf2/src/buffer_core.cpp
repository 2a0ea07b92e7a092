#include "tf2/buffer_core.h"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace tf2
{

namespace
{

// How far a quaternion's squared norm may stray from 1 and still be taken.
constexpr double QUATERNION_NORMALIZATION_TOLERANCE = 10e-3;

bool startsWithSlash(const std::string & frame_id)
{
  return !frame_id.empty() && frame_id[0] == '/';
}

std::string stripSlash(const std::string & in)
{
  return startsWithSlash(in) ? in.substr(1) : in;
}

TimePoint stampToTimePoint(const builtin_interfaces::msg::Time & stamp)
{
  return TimePoint(std::chrono::seconds(stamp.sec) + std::chrono::nanoseconds(stamp.nanosec));
}

}  // namespace

BufferCore::BufferCore(Duration cache_time)
: cache_time_(cache_time)
{
  frameIDs_["NO_PARENT"] = 0;
  frames_.push_back(TimeCacheInterfacePtr());
  frameIDs_reverse_.push_back("NO_PARENT");
}

void BufferCore::clear()
{
  std::lock_guard<std::mutex> lock(frame_mutex_);
  for (auto & cache : frames_) {
    if (cache) {
      cache->clearList();
    }
  }
}

bool BufferCore::setTransform(
  const geometry_msgs::msg::TransformStamped & transform, const std::string & authority,
  bool is_static)
{
  const auto & r = transform.transform.rotation;
  const auto & t = transform.transform.translation;
  return setTransformImpl(
    Eigen::Quaterniond(r.w, r.x, r.y, r.z), Eigen::Vector3d(t.x, t.y, t.z),
    transform.header.frame_id, transform.child_frame_id, stampToTimePoint(transform.header.stamp),
    authority, is_static);
}

bool BufferCore::setTransformImpl(
  const Eigen::Quaterniond & rotation, const Eigen::Vector3d & translation,
  const std::string & frame_id, const std::string & child_frame_id, TimePoint stamp,
  const std::string & authority, bool is_static)
{
  const std::string parent = stripSlash(frame_id);
  const std::string child = stripSlash(child_frame_id);

  bool error_exists = false;
  if (child == parent) {
    std::cerr << "TF_SELF_TRANSFORM: Ignoring transform from authority \"" << authority <<
      "\" with frame_id and child_frame_id \"" << child << "\" because they are the same\n";
    error_exists = true;
  }
  if (child.empty()) {
    std::cerr << "TF_NO_CHILD_FRAME_ID: Ignoring transform from authority \"" << authority <<
      "\" because child_frame_id not set\n";
    error_exists = true;
  }
  if (parent.empty()) {
    std::cerr << "TF_NO_FRAME_ID: Ignoring transform with child_frame_id \"" << child <<
      "\" from authority \"" << authority << "\" because frame_id not set\n";
    error_exists = true;
  }
  if (translation.hasNaN() || rotation.coeffs().hasNaN()) {
    std::cerr << "TF_NAN_INPUT: Ignoring transform for child_frame_id \"" << child <<
      "\" from authority \"" << authority << "\" because of a nan value in the transform\n";
    error_exists = true;
  }
  if (!(std::abs(rotation.squaredNorm() - 1.0) < QUATERNION_NORMALIZATION_TOLERANCE)) {
    std::cerr << "TF_DENORMALIZED_QUATERNION: Ignoring transform for child_frame_id \"" << child <<
      "\" from authority \"" << authority <<
      "\" because of an invalid quaternion in the transform\n";
    error_exists = true;
  }
  if (error_exists) {
    return false;
  }

  std::lock_guard<std::mutex> lock(frame_mutex_);
  const CompactFrameID frame_number = lookupOrInsertFrameNumber(child);
  TimeCacheInterfacePtr frame = getFrame(frame_number);
  // A frame published the other way (static vs. dynamic) than before takes
  // the kind of its latest sample.
  if (!frame || (dynamic_cast<StaticCache *>(frame.get()) != nullptr) != is_static) {
    frame = allocateFrame(frame_number, is_static);
  }
  const TransformStorage sample(
    stamp, rotation, translation, lookupOrInsertFrameNumber(parent), frame_number);
  if (!frame->insertData(sample)) {
    std::cerr << "TF_OLD_DATA ignoring data from the past for frame " << child << " at time " <<
      displayTimePoint(stamp) << " according to authority " << authority << "\n";
    return false;
  }
  frame_authority_[frame_number] = authority;
  return true;
}

TimeCacheInterfacePtr BufferCore::allocateFrame(CompactFrameID cfid, bool is_static)
{
  if (is_static) {
    frames_[cfid] = std::make_shared<StaticCache>();
  } else {
    frames_[cfid] = std::make_shared<TimeCache>(cache_time_);
  }
  return frames_[cfid];
}

CompactFrameID BufferCore::validateFrameId(
  const char * function_name_arg, const std::string & frame_id) const
{
  if (frame_id.empty()) {
    throw InvalidArgumentException(
            "Invalid argument \"" + frame_id + "\" passed to " + function_name_arg +
            " in tf2 frame_ids cannot be empty");
  }
  if (startsWithSlash(frame_id)) {
    throw InvalidArgumentException(
            "Invalid argument \"" + frame_id + "\" passed to " + function_name_arg +
            " in tf2 frame_ids cannot start with a '/'");
  }
  const CompactFrameID id = lookupFrameNumber(frame_id);
  if (id == 0) {
    throw LookupException(
            "\"" + frame_id + "\" passed to " + function_name_arg + " does not exist. ");
  }
  return id;
}

CompactFrameID BufferCore::validateFrameId(
  const char * function_name_arg, const std::string & frame_id, std::string * error_msg) const
{
  const char * rationale = nullptr;
  CompactFrameID id = 0;
  if (frame_id.empty()) {
    rationale = "in tf2 frame_ids cannot be empty";
  } else if (startsWithSlash(frame_id)) {
    rationale = "in tf2 frame_ids cannot start with a '/'";
  } else {
    id = lookupFrameNumber(frame_id);
    if (id == 0) {
      rationale = "frame does not exist";
    }
  }
  if (rationale && error_msg) {
    *error_msg = "Invalid frame ID \"" + frame_id + "\" passed to " + function_name_arg + " - " +
      rationale;
  }
  return id;
}

namespace
{

// Prepends one link to a chain that ends at the link's child frame.
void accumulate(Eigen::Quaterniond & rotation, Eigen::Vector3d & translation,
  const TransformStorage & link)
{
  translation = link.rotation_ * translation + link.translation_;
  rotation = link.rotation_ * rotation;
}

}  // namespace

TF2Error BufferCore::loopError(std::string * error_string) const
{
  if (error_string) {
    std::stringstream ss;
    ss << "The tf tree is invalid because it contains a loop." << std::endl <<
      allFramesAsStringNoLock() << std::endl;
    *error_string = ss.str();
  }
  return TF2Error::TF2_LOOKUP_ERROR;
}

TF2Error BufferCore::walkToTopParent(
  TimePoint time, CompactFrameID target_id, CompactFrameID source_id,
  std::string * error_string, Chain * result) const
{
  if (source_id == target_id) {
    result->time = time;
    return TF2Error::TF2_NO_ERROR;
  }

  if (time == TimePointZero) {
    const TF2Error retval = getLatestCommonTime(target_id, source_id, time, error_string);
    if (retval != TF2Error::TF2_NO_ERROR) {
      return retval;
    }
  }
  result->time = time;

  auto path_suffix = [&]() {
      return ", when looking up transform from frame [" + lookupFrameString(source_id) +
             "] to frame [" + lookupFrameString(target_id) + "]";
    };

  // Up from the source frame until the root, a link without data at `time`,
  // or the target frame.
  Eigen::Quaterniond source_rotation = Eigen::Quaterniond::Identity();
  Eigen::Vector3d source_translation = Eigen::Vector3d::Zero();
  TransformStorage link;
  CompactFrameID frame = source_id;
  CompactFrameID top_parent = frame;
  std::string extrapolation_error_string;
  bool extrapolation_might_have_occurred = false;
  for (std::uint32_t depth = 0; frame != 0; ) {
    TimeCacheInterfacePtr cache = getFrame(frame);
    if (!cache) {
      top_parent = frame;
      break;
    }
    if (!cache->getData(time, link, &extrapolation_error_string)) {
      // The target may still be reached from below this frame.
      top_parent = frame;
      extrapolation_might_have_occurred = true;
      break;
    }
    if (frame == target_id) {
      result->rotation = source_rotation;
      result->translation = source_translation;
      return TF2Error::TF2_NO_ERROR;
    }
    accumulate(source_rotation, source_translation, link);
    top_parent = frame;
    frame = link.frame_id_;
    if (++depth > MAX_GRAPH_DEPTH) {
      return loopError(error_string);
    }
  }

  // Up from the target frame until the top reached from the source.
  Eigen::Quaterniond target_rotation = Eigen::Quaterniond::Identity();
  Eigen::Vector3d target_translation = Eigen::Vector3d::Zero();
  frame = target_id;
  for (std::uint32_t depth = 0; frame != top_parent; ) {
    TimeCacheInterfacePtr cache = getFrame(frame);
    if (!cache) {
      break;
    }
    if (!cache->getData(time, link, error_string)) {
      if (error_string) {
        *error_string += path_suffix();
      }
      return TF2Error::TF2_EXTRAPOLATION_ERROR;
    }
    if (frame == source_id) {
      result->rotation = target_rotation.conjugate();
      result->translation = result->rotation * -target_translation;
      return TF2Error::TF2_NO_ERROR;
    }
    accumulate(target_rotation, target_translation, link);
    frame = link.frame_id_;
    if (++depth > MAX_GRAPH_DEPTH) {
      return loopError(error_string);
    }
  }

  if (frame != top_parent) {
    if (extrapolation_might_have_occurred) {
      if (error_string) {
        *error_string = extrapolation_error_string + path_suffix();
      }
      return TF2Error::TF2_EXTRAPOLATION_ERROR;
    }
    createConnectivityErrorString(source_id, target_id, error_string);
    return TF2Error::TF2_CONNECTIVITY_ERROR;
  }

  const Eigen::Quaterniond inverse_target = target_rotation.conjugate();
  result->translation = inverse_target * source_translation + inverse_target * -target_translation;
  result->rotation = inverse_target * source_rotation;
  return TF2Error::TF2_NO_ERROR;
}

TF2Error BufferCore::getLatestCommonTime(
  CompactFrameID target_id, CompactFrameID source_id, TimePoint & time,
  std::string * error_string) const
{
  if (source_id == 0 || target_id == 0) {
    return TF2Error::TF2_LOOKUP_ERROR;
  }
  if (source_id == target_id) {
    TimeCacheInterfacePtr cache = getFrame(source_id);
    time = cache ? cache->getLatestTimestamp() : TimePointZero;
    return TF2Error::TF2_NO_ERROR;
  }

  // Static links report time zero and do not constrain the common time.
  auto earliest = [](TimePoint common, TimePoint latest) {
      return latest == TimePointZero ? common : std::min(common, latest);
    };
  auto finish = [&](TimePoint common) {
      time = common == TimePoint::max() ? TimePointZero : common;
      return TF2Error::TF2_NO_ERROR;
    };

  // The source's ancestors with the newest time of each link on the way.
  std::vector<P_TimeAndFrameID> source_chain;
  TimePoint common_time = TimePoint::max();
  CompactFrameID frame = source_id;
  for (std::uint32_t depth = 0; frame != 0; ) {
    TimeCacheInterfacePtr cache = getFrame(frame);
    if (!cache) {
      break;
    }
    const P_TimeAndFrameID latest = cache->getLatestTimeAndParent();
    if (latest.second == 0) {
      break;
    }
    common_time = earliest(common_time, latest.first);
    source_chain.push_back(latest);
    frame = latest.second;
    if (frame == target_id) {
      return finish(common_time);
    }
    if (++depth > MAX_GRAPH_DEPTH) {
      return loopError(error_string);
    }
  }

  // Up from the target until a frame on the source's way up.
  frame = target_id;
  common_time = TimePoint::max();
  CompactFrameID common_parent = 0;
  for (std::uint32_t depth = 0; ; ) {
    TimeCacheInterfacePtr cache = getFrame(frame);
    if (!cache) {
      break;
    }
    const P_TimeAndFrameID latest = cache->getLatestTimeAndParent();
    if (latest.second == 0) {
      break;
    }
    common_time = earliest(common_time, latest.first);
    const bool on_source_chain = std::any_of(
      source_chain.begin(), source_chain.end(),
      [&](const P_TimeAndFrameID & p) {return p.second == latest.second;});
    if (on_source_chain) {
      common_parent = latest.second;
      break;
    }
    frame = latest.second;
    if (frame == source_id) {
      return finish(common_time);
    }
    if (++depth > MAX_GRAPH_DEPTH) {
      return loopError(error_string);
    }
  }

  if (common_parent == 0) {
    createConnectivityErrorString(source_id, target_id, error_string);
    return TF2Error::TF2_CONNECTIVITY_ERROR;
  }

  for (const P_TimeAndFrameID & p : source_chain) {
    common_time = earliest(common_time, p.first);
    if (p.second == common_parent) {
      break;
    }
  }
  return finish(common_time);
}

geometry_msgs::msg::TransformStamped BufferCore::lookupTransform(
  const std::string & target_frame, const std::string & source_frame,
  const TimePoint & time) const
{
  std::lock_guard<std::mutex> lock(frame_mutex_);

  Chain chain;
  if (target_frame == source_frame) {
    // No validation: a frame is always at identity from itself.
    chain.time = time;
    if (time == TimePointZero) {
      TimeCacheInterfacePtr cache = getFrame(lookupFrameNumber(target_frame));
      if (cache) {
        chain.time = cache->getLatestTimestamp();
      }
    }
  } else {
    const CompactFrameID target_id =
      validateFrameId("lookupTransform argument target_frame", target_frame);
    const CompactFrameID source_id =
      validateFrameId("lookupTransform argument source_frame", source_frame);
    std::string error_string;
    switch (walkToTopParent(time, target_id, source_id, &error_string, &chain)) {
      case TF2Error::TF2_NO_ERROR:
        break;
      case TF2Error::TF2_CONNECTIVITY_ERROR:
        throw ConnectivityException(error_string);
      case TF2Error::TF2_EXTRAPOLATION_ERROR:
        throw ExtrapolationException(error_string);
      default:
        throw LookupException(error_string);
    }
  }

  geometry_msgs::msg::TransformStamped msg;
  msg.transform.translation.x = chain.translation.x();
  msg.transform.translation.y = chain.translation.y();
  msg.transform.translation.z = chain.translation.z();
  msg.transform.rotation.x = chain.rotation.x();
  msg.transform.rotation.y = chain.rotation.y();
  msg.transform.rotation.z = chain.rotation.z();
  msg.transform.rotation.w = chain.rotation.w();
  const auto ns = chain.time.time_since_epoch().count();
  msg.header.stamp.sec = static_cast<int32_t>(ns / 1000000000);
  msg.header.stamp.nanosec = static_cast<uint32_t>(ns % 1000000000);
  msg.header.frame_id = target_frame;
  msg.child_frame_id = source_frame;
  return msg;
}

bool BufferCore::canTransform(
  const std::string & target_frame, const std::string & source_frame,
  const TimePoint & time, std::string * error_msg) const
{
  if (target_frame == source_frame) {
    return true;
  }
  std::lock_guard<std::mutex> lock(frame_mutex_);
  const CompactFrameID target_id =
    validateFrameId("canTransform argument target_frame", target_frame, error_msg);
  if (target_id == 0) {
    return false;
  }
  const CompactFrameID source_id =
    validateFrameId("canTransform argument source_frame", source_frame, error_msg);
  if (source_id == 0) {
    return false;
  }
  Chain chain;
  return walkToTopParent(time, target_id, source_id, error_msg, &chain) ==
         TF2Error::TF2_NO_ERROR;
}

TimeCacheInterfacePtr BufferCore::getFrame(CompactFrameID frame_number) const
{
  return frame_number < frames_.size() ? frames_[frame_number] : TimeCacheInterfacePtr();
}

CompactFrameID BufferCore::lookupFrameNumber(const std::string & frameid_str) const
{
  auto it = frameIDs_.find(frameid_str);
  return it == frameIDs_.end() ? 0 : it->second;
}

CompactFrameID BufferCore::lookupOrInsertFrameNumber(const std::string & frameid_str)
{
  auto it = frameIDs_.find(frameid_str);
  if (it != frameIDs_.end()) {
    return it->second;
  }
  const CompactFrameID id = static_cast<CompactFrameID>(frames_.size());
  frames_.push_back(TimeCacheInterfacePtr());
  frameIDs_[frameid_str] = id;
  frameIDs_reverse_.push_back(frameid_str);
  return id;
}

const std::string & BufferCore::lookupFrameString(CompactFrameID frame_id_num) const
{
  if (frame_id_num >= frameIDs_reverse_.size()) {
    throw LookupException(
            "Reverse lookup of frame id " + std::to_string(frame_id_num) + " failed!");
  }
  return frameIDs_reverse_[frame_id_num];
}

void BufferCore::createConnectivityErrorString(
  CompactFrameID source_frame, CompactFrameID target_frame, std::string * out) const
{
  if (out) {
    *out = "Could not find a connection between '" + lookupFrameString(target_frame) +
      "' and '" + lookupFrameString(source_frame) +
      "' because they are not part of the same tree.Tf has two or more unconnected trees.";
  }
}

std::vector<std::string> BufferCore::getAllFrameNames() const
{
  std::lock_guard<std::mutex> lock(frame_mutex_);
  return std::vector<std::string>(frameIDs_reverse_.begin() + 1, frameIDs_reverse_.end());
}

std::string BufferCore::allFramesAsString() const
{
  std::lock_guard<std::mutex> lock(frame_mutex_);
  return allFramesAsStringNoLock();
}

std::string BufferCore::allFramesAsStringNoLock() const
{
  std::stringstream mstream;
  TransformStorage temp;
  for (std::size_t counter = 1; counter < frames_.size(); ++counter) {
    TimeCacheInterfacePtr frame = frames_[counter];
    if (!frame) {
      continue;
    }
    const CompactFrameID parent = frame->getData(TimePointZero, temp) ? temp.frame_id_ : 0;
    mstream << "Frame " << frameIDs_reverse_[counter] << " exists with parent " <<
      frameIDs_reverse_[parent] << "." << std::endl;
  }
  return mstream.str();
}

bool BufferCore::_frameExists(const std::string & frame_id_str) const
{
  std::lock_guard<std::mutex> lock(frame_mutex_);
  return frameIDs_.count(frame_id_str) != 0;
}

}  // namespace tf2
