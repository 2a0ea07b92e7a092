#ifndef NANO_GICP__NEIGHBOUR_GRID_HPP_
#define NANO_GICP__NEIGHBOUR_GRID_HPP_

#include <Eigen/Core>
#include <pcl/point_cloud.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

namespace nano_gicp
{

// The k nearest neighbours of every point of a cloud among its own points,
// found cell by cell instead of one tree descent per point.
//
// The points are sorted along a Morton curve over the cloud's bounding box;
// at each level of that curve the runs of equal codes are cubic cells. The
// points of a cell search the 3x3x3 cells around it together, their
// coordinates gathered once. A point's k-th neighbour found there is certain
// when it lies no farther than the nearest face of the searched block, since
// every point outside lies beyond that face. The first level is the finest
// whose cells hold about a third of k points; the points it cannot certify
// (sparse regions, edges) try the two coarser levels, and what remains
// (outliers, crowded cells) is left to the caller.
template<typename PointT>
class NeighbourGrid
{
public:
  NeighbourGrid(const pcl::PointCloud<PointT> & cloud, int k, int num_threads)
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
    inverse_unit_ = 1.0 / unit_;

    struct Entry
    {
      std::uint64_t code;
      std::uint32_t index;
    };
    std::vector<Entry> entries(n);
    const auto count = static_cast<std::int64_t>(n);
#pragma omp parallel for num_threads(num_threads)
    for (std::int64_t i = 0; i < count; i++) {
      entries[i] = {code_of(cloud[i].data), static_cast<std::uint32_t>(i)};
    }
    sort_by_code(entries);
    codes_.resize(n);
    order_.resize(n);
    for (auto & axis : sorted_) {
      axis.resize(n);
    }
    // the points are read in curve order, scattered over the cloud: asked
    // for ahead, their cache misses overlap
    constexpr std::int64_t ahead = 16;
#pragma omp parallel for num_threads(num_threads)
    for (std::int64_t i = 0; i < count; i++) {
      if (i + ahead < count) {
        __builtin_prefetch(&cloud[entries[i + ahead].index]);
      }
      codes_[i] = entries[i].code;
      order_[i] = entries[i].index;
      for (int a = 0; a < 3; a++) {
        sorted_[a][i] = cloud[entries[i].index].data[a];
      }
    }

    // Two neighbours on the curve share a cell from the level above their
    // highest differing bit's triple on.
    std::array<std::size_t, bits + 1> splits{};
    for (std::size_t i = 1; i < n; i++) {
      const std::uint64_t differing = codes_[i] ^ codes_[i - 1];
      if (differing != 0) {
        splits[(63 - __builtin_clzll(differing)) / 3]++;
      }
    }
    std::size_t cells = 1;
    for (std::size_t split : splits) {
      cells += split;
    }
    first_level_ = 0;
    while (first_level_ < bits &&
      3.0 * static_cast<double>(n) < k * static_cast<double>(cells))
    {
      cells -= splits[first_level_];
      first_level_++;
    }
  }

  // Cloud indices in curve order: neighbours in space mostly stay close in it.
  const std::vector<std::uint32_t> & order() const {return order_;}

  // Calls visit(t, neighbours, k) for the points whose k nearest points
  // (their coordinates, the point itself among them) the grid is sure of, t
  // being the point's place in curve order, and returns the places of the
  // others in ascending order. visit runs concurrently for distinct points.
  template<typename Visit>
  std::vector<std::uint32_t> for_each_knn(int k, int num_threads, const Visit & visit) const
  {
    std::vector<std::uint32_t> pending(order_.size());
    for (std::size_t t = 0; t < pending.size(); t++) {
      pending[t] = static_cast<std::uint32_t>(t);
    }
    for (int level = first_level_; level <= std::min(first_level_ + 2, bits) && !pending.empty();
      level++)
    {
      pending = rank(Level(*this, level), pending, k, num_threads, visit);
    }
    return pending;
  }

  // Calls visit as for_each_knn does for the given points (places in curve
  // order), their k nearest found by reading every point, ties at the k-th
  // distance broken by curve order. For the few points the cells leave in
  // a large cloud, cheaper than building a tree.
  template<typename Visit>
  void rank_exhaustively(
    const std::vector<std::uint32_t> & points, int k, int num_threads, const Visit & visit) const
  {
    const std::size_t n = order_.size();
    const auto wanted = static_cast<std::size_t>(std::min<std::size_t>(k, n));
    const auto count = static_cast<std::int64_t>(points.size());
#pragma omp parallel num_threads(num_threads)
    {
      std::vector<float> d(n);
      std::vector<float> sq(wanted);
      std::vector<std::uint32_t> best(wanted);
      std::vector<Eigen::Vector3f> neighbours(wanted);
#pragma omp for schedule(dynamic, 1)
      for (std::int64_t r = 0; r < count; r++) {
        const std::uint32_t t = points[r];
        squared_distances(sorted_[0].data(), sorted_[1].data(), sorted_[2].data(), n,
          sorted_[0][t], sorted_[1][t], sorted_[2][t], d.data());
        // As a tree search, no point at an infinite distance; a later
        // candidate at the k-th distance stays out.
        std::size_t found = 0;
        for (std::size_t u = 0; u < n; u++) {
          const float limit =
            found == wanted ? sq[wanted - 1] : std::numeric_limits<float>::infinity();
          if (!(d[u] < limit)) {
            continue;
          }
          std::size_t pos = found < wanted ? found++ : wanted - 1;
          for (; pos > 0 && sq[pos - 1] > d[u]; pos--) {
            sq[pos] = sq[pos - 1];
            best[pos] = best[pos - 1];
          }
          sq[pos] = d[u];
          best[pos] = static_cast<std::uint32_t>(u);
        }
        std::sort(best.begin(), best.begin() + found);
        for (std::size_t j = 0; j < found; j++) {
          neighbours[j] =
            Eigen::Vector3f(sorted_[0][best[j]], sorted_[1][best[j]], sorted_[2][best[j]]);
        }
        visit(t, neighbours.data(), found);
      }
    }
  }

private:
  static constexpr int bits = 21;  // per axis: 63-bit codes

  // The cells of one level in an open-addressing table: each slot holds a
  // cell's code and its run of sorted points, so a lookup reads one slot.
  struct Level
  {
    struct Cell
    {
      std::uint64_t code = 0;
      std::uint32_t begin = 0, end = 0;  // an empty slot has no points
    };

    Level(const NeighbourGrid & grid, int level)
    : level(level), cell_size(grid.unit_ * static_cast<double>(std::uint64_t{1} << level))
    {
      const std::vector<std::uint64_t> & codes = grid.codes_;
      std::size_t count = 0;
      for (std::size_t t = 0; t < codes.size(); t++) {
        count += t == 0 || (codes[t] ^ codes[t - 1]) >> (3 * level) != 0;
      }
      std::size_t size = 16;
      while (size < 2 * count) {
        size *= 2;
      }
      slots.resize(size);
      for (std::size_t t = 0; t < codes.size(); ) {
        const std::uint64_t code = codes[t] >> (3 * level);
        Cell cell{code, static_cast<std::uint32_t>(t), 0};
        while (t < codes.size() && codes[t] >> (3 * level) == code) {
          t++;
        }
        cell.end = static_cast<std::uint32_t>(t);
        std::size_t s = slot_of(code);
        while (slots[s].end != 0) {
          s = (s + 1) & (slots.size() - 1);
        }
        slots[s] = cell;
      }
    }

    std::size_t slot_of(std::uint64_t code) const
    {
      return static_cast<std::size_t>((code * 0x9E3779B97F4A7C15ull) >> 32) & (slots.size() - 1);
    }

    // The cell of a code; an empty one where the level has no points.
    const Cell & find(std::uint64_t code) const
    {
      std::size_t s = slot_of(code);
      while (slots[s].end != 0 && slots[s].code != code) {
        s = (s + 1) & (slots.size() - 1);
      }
      return slots[s];
    }

    int level;
    double cell_size;
    std::vector<Cell> slots;
  };

public:
  // Nearest points of the cloud to any point in space, from the cells of one
  // level: the query's own cell first, then those of its 26 neighbours that
  // lie nearer than the points found so far. Most queries on or near the
  // surfaces read a cell or two where a tree descends a dozen levels. The
  // points found are certain when they lie no farther than the nearest face
  // of the 3x3x3 block around the query's cell, since every other point lies
  // beyond it; otherwise, and outside the grid, the query is handed back. So
  // is one whose own cell is empty: it lies off the surfaces (clutter the
  // map does not hold, a pose still far off), where the tree answers sooner
  // than 26 mostly empty neighbours.
  class Nearest
  {
  public:
    Nearest(const NeighbourGrid & grid, int level, const pcl::PointCloud<PointT> & points)
    : cells_(grid, level), origin_(grid.origin_), inverse_unit_(grid.inverse_unit_),
      points_(&points) {}

    // The n (1 or 2) nearest points to p, nearest first, as places in curve
    // order with their squared distances; false when the cells cannot be
    // sure of them.
    bool find(const float * p, std::size_t n, std::uint32_t * places, float * sq) const
    {
      return n == 1 ? find<1>(p, places, sq) : find<2>(p, places, sq);
    }

  private:
    // The points found so far stay in registers while the cells are read.
    template<std::size_t n>
    bool find(const float * p, std::uint32_t * places, float * sq) const
    {
      static_assert(n == 1 || n == 2, "one or two nearest points");
      const int level = cells_.level;
      const std::uint64_t side = std::uint64_t{1} << (bits - level);
      const double width = static_cast<double>(std::uint64_t{1} << level);  // in units
      std::array<std::uint64_t, 3> at;
      std::array<double, 3> from_lo;  // the query's place in its cell, 0 to 1
      for (int a = 0; a < 3; a++) {
        // as code_of places the points, so a point and its cell agree
        const double q = (static_cast<double>(p[a]) - origin_[a]) * inverse_unit_;
        if (!(q >= 0.0 && q < static_cast<double>(side) * width)) {
          return false;
        }
        at[a] = static_cast<std::uint64_t>(q) >> level;
        from_lo[a] = (q - static_cast<double>(at[a]) * width) / width;
      }
      float nearest = std::numeric_limits<float>::infinity();
      float second = std::numeric_limits<float>::infinity();
      std::uint32_t nearest_place = 0;
      std::uint32_t second_place = 0;
      const float & farthest = n == 1 ? nearest : second;
      const PointT * points = points_->data();
      const float px = p[0];
      const float py = p[1];
      const float pz = p[2];
      auto scan = [&](const typename Level::Cell & cell) {
          for (std::uint32_t t = cell.begin; t < cell.end; t++) {
            const float ex = points[t].x - px;
            const float ey = points[t].y - py;
            const float ez = points[t].z - pz;
            const float d = ex * ex + ey * ey + ez * ez;
            if (!(d < farthest)) {
              continue;
            }
            if (n == 2 && !(d < nearest)) {
              second = d;
              second_place = t;
              continue;
            }
            if (n == 2) {
              second = nearest;
              second_place = nearest_place;
            }
            nearest = d;
            nearest_place = t;
          }
        };
      auto code = [&](int dx, int dy, int dz) {
          return spread(at[0] + dx) | spread(at[1] + dy) << 1 | spread(at[2] + dz) << 2;
        };
      scan(cells_.find(code(0, 0, 0)));
      if (nearest == std::numeric_limits<float>::infinity()) {
        return false;
      }
      const double cell_size = cells_.cell_size;
      for (int dz = -1; dz <= 1; dz++) {
        for (int dy = -1; dy <= 1; dy++) {
          for (int dx = -1; dx <= 1; dx++) {
            // the query's own cell is read already; a query on a face lies
            // at no gap from the cell across it either, so it goes by offset
            if (dx == 0 && dy == 0 && dz == 0) {
              continue;
            }
            const int offset[3] = {dx, dy, dz};
            double gap_sq = 0.0;  // to the neighbour's box, in cells
            bool on_grid = true;
            for (int a = 0; a < 3; a++) {
              const double gap =
                offset[a] < 0 ? from_lo[a] : offset[a] > 0 ? 1.0 - from_lo[a] : 0.0;
              gap_sq += gap * gap;
              on_grid = on_grid && at[a] + offset[a] < side;  // wraps below 0
            }
            // the slack keeps a box whose float distance rounds below it
            if (!on_grid || !(gap_sq * cell_size * cell_size * (1.0 - 1e-5) < farthest)) {
              continue;
            }
            scan(cells_.find(code(dx, dy, dz)));
          }
        }
      }
      double inside = 1.0;
      for (int a = 0; a < 3; a++) {
        inside = std::min(inside, std::min(from_lo[a], 1.0 - from_lo[a]));
      }
      const double margin = (1.0 + inside) * cell_size * (1.0 - 1e-5);
      sq[0] = nearest;
      places[0] = nearest_place;
      if (n == 2) {
        sq[1] = second;
        places[1] = second_place;
      }
      return static_cast<double>(farthest) <= margin * margin;
    }

    Level cells_;
    std::array<double, 3> origin_;
    double inverse_unit_;
    const pcl::PointCloud<PointT> * points_;
  };

  // Nearest-point queries in the cells of the level above the
  // neighbourhoods' first, twice as wide: on bathroom maps, faster than in
  // the first level's cells, which send more queries to their neighbours,
  // and than in the next level's, which hold more points to read.
  // The points are the cloud's in curve order, read where they are: they
  // must outlive the queries.
  Nearest nearest(const pcl::PointCloud<PointT> & points_in_curve_order) const
  {
    return Nearest(*this, std::min(first_level_ + 1, bits), points_in_curve_order);
  }

private:
  // Ranks the pending points (ascending places in curve order) at one level
  // and returns those it could not certify.
  template<typename Visit>
  std::vector<std::uint32_t> rank(
    const Level & cells, const std::vector<std::uint32_t> & pending, int k, int num_threads,
    const Visit & visit) const
  {
    // the pending points of one cell are neighbours in the list
    std::vector<std::uint32_t> groups;
    for (std::size_t r = 0; r < pending.size(); r++) {
      if (r == 0 ||
        (codes_[pending[r]] ^ codes_[pending[r - 1]]) >> (3 * cells.level) != 0)
      {
        groups.push_back(static_cast<std::uint32_t>(r));
      }
    }
    groups.push_back(static_cast<std::uint32_t>(pending.size()));

    const auto group_count = static_cast<std::int64_t>(groups.size()) - 1;
    const std::size_t max_candidates = 256 * static_cast<std::size_t>(k);
    const std::uint64_t side = std::uint64_t{1} << (bits - cells.level);
    std::vector<std::uint32_t> failed;

#pragma omp parallel num_threads(num_threads)
    {
      std::vector<std::uint32_t> own_failed;
      std::vector<std::uint32_t> candidates;
      std::array<std::vector<float>, 3> gathered;
      std::vector<float> sq_distances;
      std::vector<std::uint32_t> kept;
      std::vector<float> kept_sq;
      std::vector<float> nearest_sq(k);
      std::vector<std::uint32_t> best(k + 1);  // one spare for the branch-free pass
      std::vector<Eigen::Vector3f> neighbours(k);
      // the point this thread ranked last, and its k-th distance
      std::array<float, 3> previous{};
      float previous_sq = std::numeric_limits<float>::infinity();

#pragma omp for schedule(dynamic, 64)
      for (std::int64_t g = 0; g < group_count; g++) {
        const std::uint64_t code = codes_[pending[groups[g]]] >> (3 * cells.level);
        std::array<std::uint64_t, 3> at;
        for (int a = 0; a < 3; a++) {
          at[a] = compact(code >> a);
        }

        // the block's points, the cell's own first
        candidates.clear();
        const auto & own = cells.find(code);
        add_range(own.begin, own.end, candidates);
        std::array<std::array<std::uint64_t, 3>, 3> spreads;  // [axis][offset + 1]
        std::array<std::array<bool, 3>, 3> on_grid;
        for (int a = 0; a < 3; a++) {
          for (int o = 0; o < 3; o++) {
            const std::uint64_t c = at[a] + o - 1;  // unsigned wrap-around covers -1
            on_grid[a][o] = c < side;
            spreads[a][o] = spread(c) << a;
          }
        }
        for (int z = 0; z < 3; z++) {
          for (int y = 0; y < 3; y++) {
            for (int x = 0; x < 3; x++) {
              const bool own_cell = x == 1 && y == 1 && z == 1;
              if (own_cell || !on_grid[0][x] || !on_grid[1][y] || !on_grid[2][z]) {
                continue;
              }
              const auto & other = cells.find(spreads[0][x] | spreads[1][y] | spreads[2][z]);
              add_range(other.begin, other.end, candidates);
            }
          }
        }
        if (candidates.size() < static_cast<std::size_t>(k) ||
          candidates.size() > max_candidates)
        {
          own_failed.insert(own_failed.end(), pending.begin() + groups[g],
            pending.begin() + groups[g + 1]);
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
        kept.resize(m);
        kept_sq.resize(m);
        const float * gx = gathered[0].data();
        const float * gy = gathered[1].data();
        const float * gz = gathered[2].data();
        float * d = sq_distances.data();
        std::array<double, 3> cell_lo;
        for (int a = 0; a < 3; a++) {
          cell_lo[a] = origin_[a] + static_cast<double>(at[a]) * cells.cell_size;
        }

        for (std::uint32_t r = groups[g]; r < groups[g + 1]; r++) {
          const std::uint32_t t = pending[r];
          const float px = sorted_[0][t], py = sorted_[1][t], pz = sorted_[2][t];
          squared_distances(gx, gy, gz, m, px, py, pz, d);
          // The k points nearest to the previous point lie within its k-th
          // distance plus the step between the two points, so the k nearest
          // candidates lie within that bound when k of them do; the
          // previous k-th distance itself is a tighter first guess.
          const float ex = previous[0] - px, ey = previous[1] - py, ez = previous[2] - pz;
          const float reach = std::sqrt(previous_sq) + std::sqrt(ex * ex + ey * ey + ez * ez);
          const float bound = reach * reach * (1.0f + 1e-5f);
          std::size_t within = keep_within(d, m, std::min(bound, 1.2f * previous_sq), kept.data(),
            kept_sq.data());
          if (within < static_cast<std::size_t>(k)) {
            within = keep_within(d, m, bound, kept.data(), kept_sq.data());
            if (within < static_cast<std::size_t>(k)) {
              within = keep_within(d, m, std::numeric_limits<float>::infinity(), kept.data(),
                kept_sq.data());
            }
          }
          const float kth_sq =
            select_nearest(kept.data(), kept_sq.data(), within, k, best.data(), nearest_sq.data());
          previous = {px, py, pz};
          previous_sq = kth_sq;

          // every point outside the block lies beyond its nearest face
          const float p[3] = {px, py, pz};
          double inside = cells.cell_size;
          for (int a = 0; a < 3; a++) {
            const double from_lo = static_cast<double>(p[a]) - cell_lo[a];
            inside = std::min(inside, std::min(from_lo, cells.cell_size - from_lo));
          }
          const double margin = cells.cell_size + inside - 1e-6 * cells.cell_size;
          if (margin <= 0.0 || static_cast<double>(kth_sq) > margin * margin) {
            own_failed.push_back(t);
            continue;
          }
          for (int j = 0; j < k; j++) {
            neighbours[j] = Eigen::Vector3f(gx[best[j]], gy[best[j]], gz[best[j]]);
          }
          visit(t, neighbours.data(), static_cast<std::size_t>(k));
        }
      }
#pragma omp critical
      failed.insert(failed.end(), own_failed.begin(), own_failed.end());
    }
    std::sort(failed.begin(), failed.end());
    return failed;
  }

  // Least significant digit first, 13 bits a pass: on curve codes of
  // surfaces it measured more than twice as fast as Boost's spreadsort.
  template<typename Entry>
  static void sort_by_code(std::vector<Entry> & entries)
  {
    constexpr int digit = 13;
    constexpr int passes = (3 * bits + digit - 1) / digit;
    constexpr std::size_t buckets = std::size_t{1} << digit;
    std::vector<std::uint32_t> offsets(passes * buckets);
    for (const Entry & e : entries) {
      for (int pass = 0; pass < passes; pass++) {
        offsets[pass * buckets + ((e.code >> (pass * digit)) & (buckets - 1))]++;
      }
    }
    std::vector<Entry> buffer(entries.size());
    for (int pass = 0; pass < passes; pass++) {
      std::uint32_t * offset = &offsets[pass * buckets];
      std::uint32_t sum = 0;
      for (std::size_t b = 0; b < buckets; b++) {
        const std::uint32_t count = offset[b];
        offset[b] = sum;
        sum += count;
      }
      for (const Entry & e : entries) {
        buffer[offset[(e.code >> (pass * digit)) & (buckets - 1)]++] = e;
      }
      entries.swap(buffer);
    }
  }

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
    constexpr double last = (1 << bits) - 1;
    std::uint64_t code = 0;
    for (int a = 0; a < 3; a++) {
      // the origin is the least coordinate, so truncation floors
      const double q = (static_cast<double>(p[a]) - origin_[a]) * inverse_unit_;
      code |= spread(static_cast<std::uint64_t>(std::min(q, last))) << a;
    }
    return code;
  }

  static void squared_distances(
    const float * __restrict__ x, const float * __restrict__ y, const float * __restrict__ z,
    std::size_t m, float px, float py, float pz, float * __restrict__ d)
  {
    for (std::size_t u = 0; u < m; u++) {
      const float ex = x[u] - px, ey = y[u] - py, ez = z[u] - pz;
      d[u] = ex * ex + ey * ey + ez * ez;
    }
  }

  // The candidates within limit, their places and squared distances; how many.
  static std::size_t keep_within(
    const float * d, std::size_t m, float limit, std::uint32_t * kept, float * kept_sq)
  {
    std::size_t n = 0;
    for (std::size_t u = 0; u < m; u++) {
      kept[n] = static_cast<std::uint32_t>(u);
      kept_sq[n] = d[u];
      n += d[u] <= limit;
    }
    return n;
  }

  // The k nearest of n >= k kept candidates, their places in best in the
  // order kept has them (ties at the k-th distance broken by that order), so
  // the neighbourhood is the same whatever limit the search began with;
  // returns the k-th squared distance. A limit is bisected until it holds k,
  // then those are taken in one pass without branches; only ties or a
  // bisection cut short rank the rest, in sq of k entries. best holds k + 1.
  static float select_nearest(
    const std::uint32_t * kept, const float * kept_sq, std::size_t n, int k,
    std::uint32_t * best, float * sq)
  {
    const auto wanted = static_cast<std::size_t>(k);
    float limit = 0.0f;
    for (std::size_t w = 0; w < n; w++) {
      limit = std::max(limit, kept_sq[w]);
    }
    float low = 0.0f;
    std::size_t within = n;
    for (int step = 0; step < 8 && within > wanted; step++) {
      const float middle = 0.5f * (low + limit);
      const std::size_t count = count_within(kept_sq, n, middle);
      if (count >= wanted) {
        limit = middle;
        within = count;
      } else {
        low = middle;
      }
    }
    if (within == wanted) {
      float kth = 0.0f;
      std::size_t taken = 0;
      for (std::size_t w = 0; w < n; w++) {
        best[taken] = kept[w];
        kth = std::max(kth, kept_sq[w] <= limit ? kept_sq[w] : 0.0f);
        taken += kept_sq[w] <= limit;
      }
      return kth;
    }
    int count = 0;
    for (std::size_t w = 0; w < n; w++) {
      const float du = kept_sq[w];
      if (du > limit || (count == k && du >= sq[k - 1])) {
        continue;
      }
      int pos = count < k ? count++ : k - 1;
      for (; pos > 0 && sq[pos - 1] > du; pos--) {
        sq[pos] = sq[pos - 1];
      }
      sq[pos] = du;
    }
    const float kth = sq[k - 1];
    std::size_t ties = wanted;
    for (std::size_t w = 0; w < n; w++) {
      ties -= kept_sq[w] < kth;
    }
    std::size_t taken = 0;
    for (std::size_t w = 0; w < n && taken < wanted; w++) {
      if (kept_sq[w] < kth || (kept_sq[w] == kth && ties > 0 && ties--)) {
        best[taken++] = kept[w];
      }
    }
    return kth;
  }

  static std::size_t count_within(const float * d, std::size_t m, float limit)
  {
    std::uint32_t count = 0;  // 32 bits, so the loop runs on vector lanes
    for (std::size_t u = 0; u < m; u++) {
      count += d[u] <= limit ? 1u : 0u;
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
  double inverse_unit_ = 1.0;
  int first_level_ = 0;
  std::vector<std::uint64_t> codes_;           // ascending
  std::vector<std::uint32_t> order_;           // cloud index of each sorted point
  std::array<std::vector<float>, 3> sorted_;   // coordinates in curve order
};

}  // namespace nano_gicp

#endif  // NANO_GICP__NEIGHBOUR_GRID_HPP_
