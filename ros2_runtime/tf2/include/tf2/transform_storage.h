#ifndef TF2__TRANSFORM_STORAGE_H_
#define TF2__TRANSFORM_STORAGE_H_

#include <Eigen/Geometry>

#include <cstdint>
#include <utility>

#include "tf2/time.h"

namespace tf2
{

// Frames are numbered in the order they first appear; 0 means "no frame".
using CompactFrameID = std::uint32_t;
using P_TimeAndFrameID = std::pair<TimePoint, CompactFrameID>;

// One sample of the transform from a child frame to its parent: a point
// given in the child frame is rotation_ * p + translation_ in the parent.
class TransformStorage
{
public:
  TransformStorage() = default;
  TransformStorage(
    const TimePoint & stamp, const Eigen::Quaterniond & rotation,
    const Eigen::Vector3d & translation, CompactFrameID frame_id, CompactFrameID child_frame_id)
  : rotation_(rotation), translation_(translation), stamp_(stamp),
    frame_id_(frame_id), child_frame_id_(child_frame_id) {}

  Eigen::Quaterniond rotation_ = Eigen::Quaterniond::Identity();
  Eigen::Vector3d translation_ = Eigen::Vector3d::Zero();
  TimePoint stamp_;
  CompactFrameID frame_id_ = 0;
  CompactFrameID child_frame_id_ = 0;
};

}  // namespace tf2

#endif  // TF2__TRANSFORM_STORAGE_H_
