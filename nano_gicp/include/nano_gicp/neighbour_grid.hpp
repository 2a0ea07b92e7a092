#ifndef NANO_GICP__NEIGHBOUR_GRID_HPP_
#define NANO_GICP__NEIGHBOUR_GRID_HPP_

#include <Eigen/Core>
#include <pcl/point_cloud.h>

#include <boost/sort/spreadsort/integer_sort.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

namespace nano_gicp
{

// The k nearest neighbours of every point of a cloud among its own points,
// found cell by cell instead of one tree descent per point.
//
// The points are sorted along a Morton curve over the cloud's bounding box;
// at some level of that curve the runs of equal codes are cubic cells, the
// level chosen so that a cell holds about half of k points. The points of a
// cell search the 3x3x3 cells around it together, their coordinates gathered
// once. A point's k-th neighbour found there is certain when it lies no
// farther than the nearest face of the searched block, since every point
// outside lies beyond that face; the points where it does not (sparse
// regions, outliers, crowded cells) are left to the caller's tree.
template<typename PointT>
class NeighbourGrid
{
public:
  NeighbourGrid(const pcl::PointCloud<PointT> & cloud, int k)
  {
    const std::size_t n = cloud.size();
    std::array<double, 3> lo, hi;
    lo.fill(std::numeric_limits<double>::infinity());
    hi.fill(-std::numeric_limits<double>::infinity());
    for (const auto & p : cloud) {
      for (int a = 0; a < 3; a++) {
        lo[a] = std::min(lo[a], static_cast<double>(p.data[a]));
        hi[a] = std::max(hi[a], static_cast<double>(p.data[a]));
      }
    }
    origin_ = lo;
    double extent = 0.0;
    for (int a = 0; a < 3; a++) {
      extent = std::max(extent, hi[a] - lo[a]);
    }
    unit_ = extent > 0.0 ? extent / (1 << bits) : 1.0;

    struct Entry
    {
      std::uint64_t code;
      std::uint32_t index;
    };
    std::vector<Entry> entries(n);
    for (std::size_t i = 0; i < n; i++) {
      entries[i] = {code_of(cloud[i].data), static_cast<std::uint32_t>(i)};
    }
    boost::sort::spreadsort::integer_sort(
      entries.begin(), entries.end(),
      [](const Entry & e, unsigned offset) {return e.code >> offset;},
      [](const Entry & a, const Entry & b) {return a.code < b.code;});

    // Two neighbours on the curve share a cell from the level above their
    // highest differing bit's triple on.
    std::array<std::size_t, bits + 1> splits{};
    for (std::size_t i = 1; i < n; i++) {
      const std::uint64_t differing = entries[i].code ^ entries[i - 1].code;
      if (differing != 0) {
        splits[(63 - __builtin_clzll(differing)) / 3]++;
      }
    }
    const double wanted = 0.5 * k;
    std::size_t cells = 1;
    for (std::size_t split : splits) {
      cells += split;
    }
    level_ = 0;
    while (level_ < bits && static_cast<double>(n) < wanted * static_cast<double>(cells)) {
      cells -= splits[level_];
      level_++;
    }
    cell_size_ = unit_ * static_cast<double>(std::uint64_t{1} << level_);

    order_.resize(n);
    for (auto & axis : sorted_) {
      axis.resize(n);
    }
    for (std::size_t i = 0; i < n; i++) {
      const Entry & e = entries[i];
      order_[i] = e.index;
      for (int a = 0; a < 3; a++) {
        sorted_[a][i] = cloud[e.index].data[a];
      }
      const std::uint64_t cell = e.code >> (3 * level_);
      if (i == 0 || cell != cell_codes_.back()) {
        cell_codes_.push_back(cell);
        cell_begin_.push_back(static_cast<std::uint32_t>(i));
      }
    }
    cell_begin_.push_back(static_cast<std::uint32_t>(n));

    std::size_t slots = 16;
    while (slots < 2 * cell_codes_.size()) {
      slots *= 2;
    }
    slots_.assign(slots, empty);
    for (std::uint32_t c = 0; c < cell_codes_.size(); c++) {
      std::size_t s = slot_of(cell_codes_[c]);
      while (slots_[s] != empty) {
        s = (s + 1) & (slots_.size() - 1);
      }
      slots_[s] = c;
    }
  }

  // Calls visit(i, neighbours, k) for the points whose k nearest points
  // (their coordinates, the point itself among them) the grid is sure of, and returns the others in ascending order. visit runs concurrently
  // for distinct points.
  template<typename Visit>
  std::vector<std::uint32_t> for_each_knn(int k, int num_threads, const Visit & visit) const
  {
    const auto cells = static_cast<std::int64_t>(cell_codes_.size());
    const std::size_t max_candidates = 64 * static_cast<std::size_t>(k);
    const std::uint64_t side = std::uint64_t{1} << (bits - level_);
    std::vector<std::uint32_t> rest;

#pragma omp parallel num_threads(num_threads)
    {
      std::vector<std::uint32_t> own_rest;
      std::vector<std::uint32_t> candidates;
      std::array<std::vector<float>, 3> gathered;
      std::vector<float> sq_distances;
      // the point this thread ranked last, and its k-th distance
      std::array<float, 3> previous{};
      float previous_sq = std::numeric_limits<float>::infinity();
      std::vector<float> best_sq(k);
      std::vector<std::uint32_t> best(k);
      std::vector<Eigen::Vector3f> neighbours(k);

#pragma omp for schedule(dynamic, 64)
      for (std::int64_t c = 0; c < cells; c++) {
        const std::uint32_t begin = cell_begin_[c];
        const std::uint32_t end = cell_begin_[c + 1];
        std::array<std::uint64_t, 3> at;
        for (int a = 0; a < 3; a++) {
          at[a] = compact(cell_codes_[c] >> a);
        }

        // the cell's own points first, so the k-th distance falls early
        candidates.clear();
        add_range(begin, end, candidates);
        for (int dz = -1; dz <= 1; dz++) {
          for (int dy = -1; dy <= 1; dy++) {
            for (int dx = -1; dx <= 1; dx++) {
              const std::uint64_t x = at[0] + dx, y = at[1] + dy, z = at[2] + dz;
              if ((dx == 0 && dy == 0 && dz == 0) || x >= side || y >= side || z >= side) {
                continue;  // unsigned wrap-around covers -1
              }
              const std::uint32_t other = find(spread(x) | spread(y) << 1 | spread(z) << 2);
              if (other != empty) {
                add_range(cell_begin_[other], cell_begin_[other + 1], candidates);
              }
            }
          }
        }
        if (candidates.size() < static_cast<std::size_t>(k) ||
          candidates.size() > max_candidates)
        {
          for (std::uint32_t t = begin; t < end; t++) {
            own_rest.push_back(order_[t]);
          }
          continue;
        }
        const std::size_t m = candidates.size();
        for (int a = 0; a < 3; a++) {
          gathered[a].resize(m);
          for (std::size_t u = 0; u < m; u++) {
            gathered[a][u] = sorted_[a][candidates[u]];
          }
        }
        sq_distances.resize(m);

        std::array<double, 3> cell_lo;
        for (int a = 0; a < 3; a++) {
          cell_lo[a] = origin_[a] + static_cast<double>(at[a]) * cell_size_;
        }
        for (std::uint32_t t = begin; t < end; t++) {
          const float px = sorted_[0][t], py = sorted_[1][t], pz = sorted_[2][t];
          const float * gx = gathered[0].data();
          const float * gy = gathered[1].data();
          const float * gz = gathered[2].data();
          float * d = sq_distances.data();
          for (std::size_t u = 0; u < m; u++) {
            const float ex = gx[u] - px, ey = gy[u] - py, ez = gz[u] - pz;
            d[u] = ex * ex + ey * ey + ez * ez;
          }
          // The k points nearest to the previous point lie within its k-th
          // distance plus the step between the two points, so the k nearest
          // candidates lie within that bound when k of them do. A tighter
          // guess, the previous k-th distance itself, usually holds k
          // already and leaves fewer to rank.
          const float ex = previous[0] - px, ey = previous[1] - py, ez = previous[2] - pz;
          const float reach = std::sqrt(previous_sq) + std::sqrt(ex * ex + ey * ey + ez * ez);
          const float bound = reach * reach * (1.0f + 1e-5f);
          float limit = std::min(bound, 1.2f * previous_sq);
          if (count_within(d, m, limit) < static_cast<std::size_t>(k)) {
            limit = count_within(d, m, bound) < static_cast<std::size_t>(k) ?
              std::numeric_limits<float>::infinity() : bound;
          }
          int count = 0;
          for (std::size_t u = 0; u < m; u++) {
            const float du = d[u];
            if (du > limit || (count == k && du >= best_sq[k - 1])) {
              continue;
            }
            int pos = count < k ? count++ : k - 1;
            for (; pos > 0 && best_sq[pos - 1] > du; pos--) {
              best_sq[pos] = best_sq[pos - 1];
              best[pos] = best[pos - 1];
            }
            best_sq[pos] = du;
            best[pos] = static_cast<std::uint32_t>(u);
          }
          previous = {px, py, pz};
          previous_sq = best_sq[k - 1];

          double margin = cell_size_;
          const float p[3] = {px, py, pz};
          double inside = cell_size_;
          for (int a = 0; a < 3; a++) {
            const double from_lo = static_cast<double>(p[a]) - cell_lo[a];
            inside = std::min(inside, std::min(from_lo, cell_size_ - from_lo));
          }
          margin += inside - 1e-6 * cell_size_;
          if (margin <= 0.0 || static_cast<double>(best_sq[k - 1]) > margin * margin) {
            own_rest.push_back(order_[t]);
            continue;
          }
          for (int j = 0; j < k; j++) {
            neighbours[j] = Eigen::Vector3f(gx[best[j]], gy[best[j]], gz[best[j]]);
          }
          visit(order_[t], neighbours.data(), static_cast<std::size_t>(k));
        }
      }
#pragma omp critical
      rest.insert(rest.end(), own_rest.begin(), own_rest.end());
    }
    std::sort(rest.begin(), rest.end());
    return rest;
  }

private:
  static constexpr int bits = 21;  // per axis: 63-bit codes
  static constexpr std::uint32_t empty = std::numeric_limits<std::uint32_t>::max();

  // the bits of v moved to every third place
  static std::uint64_t spread(std::uint64_t v)
  {
    v &= 0x1fffff;
    v = (v | v << 32) & 0x1f00000000ffffull;
    v = (v | v << 16) & 0x1f0000ff0000ffull;
    v = (v | v << 8) & 0x100f00f00f00f00full;
    v = (v | v << 4) & 0x10c30c30c30c30c3ull;
    v = (v | v << 2) & 0x1249249249249249ull;
    return v;
  }

  static std::uint64_t compact(std::uint64_t v)
  {
    v &= 0x1249249249249249ull;
    v = (v | v >> 2) & 0x10c30c30c30c30c3ull;
    v = (v | v >> 4) & 0x100f00f00f00f00full;
    v = (v | v >> 8) & 0x1f0000ff0000ffull;
    v = (v | v >> 16) & 0x1f00000000ffffull;
    v = (v | v >> 32) & 0x1fffff;
    return v;
  }

  std::uint64_t code_of(const float * p) const
  {
    std::uint64_t code = 0;
    for (int a = 0; a < 3; a++) {
      const double q = std::floor((static_cast<double>(p[a]) - origin_[a]) / unit_);
      const std::uint64_t cell =
        static_cast<std::uint64_t>(std::min(std::max(q, 0.0), double((1 << bits) - 1)));
      code |= spread(cell) << a;
    }
    return code;
  }

  std::size_t slot_of(std::uint64_t code) const
  {
    return static_cast<std::size_t>((code * 0x9E3779B97F4A7C15ull) >> 32) & (slots_.size() - 1);
  }

  std::uint32_t find(std::uint64_t code) const
  {
    for (std::size_t s = slot_of(code); slots_[s] != empty; s = (s + 1) & (slots_.size() - 1)) {
      if (cell_codes_[slots_[s]] == code) {
        return slots_[s];
      }
    }
    return empty;
  }

  static std::size_t count_within(const float * d, std::size_t m, float limit)
  {
    std::size_t count = 0;
    for (std::size_t u = 0; u < m; u++) {
      count += d[u] <= limit;
    }
    return count;
  }

  static void add_range(std::uint32_t begin, std::uint32_t end, std::vector<std::uint32_t> & to)
  {
    for (std::uint32_t t = begin; t < end; t++) {
      to.push_back(t);
    }
  }

  std::array<double, 3> origin_;
  double unit_ = 1.0;
  int level_ = 0;
  double cell_size_ = 1.0;
  std::vector<std::uint32_t> order_;               // cloud index of each sorted point
  std::array<std::vector<float>, 3> sorted_;       // coordinates in curve order
  std::vector<std::uint64_t> cell_codes_;          // ascending
  std::vector<std::uint32_t> cell_begin_;          // first sorted point of each cell, then n
  std::vector<std::uint32_t> slots_;               // open-addressing table of cell indices
};

}  // namespace nano_gicp

#endif  // NANO_GICP__NEIGHBOUR_GRID_HPP_
