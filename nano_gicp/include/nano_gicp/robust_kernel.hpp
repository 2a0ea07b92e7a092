#ifndef NANO_GICP__ROBUST_KERNEL_HPP_
#define NANO_GICP__ROBUST_KERNEL_HPP_

namespace nano_gicp
{

// How much a pair counts by how far its points are apart. A camera sees
// what the map does not hold (a bucket, a towel, the arm, what lies past the
// map's edge); those points find their nearest map point centimetres away,
// and in a plain least-squares cost they outweigh the surface's own
// millimetres and pull the pose their way. Geman-McClure's weight keeps
// pairs within the sensor's noise nearly whole (0.92 at 3 mm) and lets
// farther ones fade (0.25 at the scale, 0.01 at three times it).
struct GemanMcClure
{
  double scale;  // metres

  double weight(double sq_distance) const
  {
    const double c2 = scale * scale;
    const double w = c2 / (c2 + sq_distance);
    return w * w;
  }
};

// Pairs farther apart than this are not the surface the map holds.
inline constexpr GemanMcClure outlier_kernel{0.015};
// While the pose may still be centimetres off, the surface's own pairs are
// that far apart too: a narrow kernel would let the nearest clutter lead.
inline constexpr GemanMcClure coarse_kernel{0.05};

}  // namespace nano_gicp

#endif  // NANO_GICP__ROBUST_KERNEL_HPP_
