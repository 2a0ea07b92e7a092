#ifndef ARM_LOCATION__DEPTH_CLOUD_HPP_
#define ARM_LOCATION__DEPTH_CLOUD_HPP_

#include <opencv2/core.hpp>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

// Back-projects a depth image (CV_16UC1 in millimetres or CV_32FC1 in metres)
// through the pinhole K into a cloud organised like the image, in the camera
// frame. A pixel without a measurement (0, or for metres a non-finite or
// non-positive value) becomes a NaN point and makes the cloud not dense.
pcl::PointCloud<pcl::PointXYZI>::Ptr backProject(const cv::Mat & depth, const cv::Mat & cameraMatrix);

// Edge of the voxels the clouds are thinned on, in metres.
constexpr double kVoxelLeaf = 0.005;

// Thins the cloud in place to one centroid, intensity averaged too, per
// occupied 5 mm voxel, at any extent; points with a non-finite coordinate are
// dropped.
void voxelFilter(pcl::PointCloud<pcl::PointXYZI>::Ptr cloud);

#endif  // ARM_LOCATION__DEPTH_CLOUD_HPP_
