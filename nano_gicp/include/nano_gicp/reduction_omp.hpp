#ifndef NANO_GICP__REDUCTION_OMP_HPP_
#define NANO_GICP__REDUCTION_OMP_HPP_

#include <omp.h>

#include <cstdint>
#include <vector>

namespace nano_gicp
{

// Sums add(i, sum) over i in [0, n) on num_threads threads. Threads take
// blocks of neighbouring points as they come free, so a core busy with other
// work delays the sum by a block, not by its share of the cloud.
constexpr int block_size = 512;

template<typename Sum, typename Add>
Sum parallel_sum(std::int64_t n, int num_threads, const Add & add)
{
  std::vector<Sum> partial(num_threads);
#pragma omp parallel num_threads(num_threads)
  {
    Sum sum{};
#pragma omp for schedule(dynamic, block_size)
    for (std::int64_t i = 0; i < n; i++) {
      add(i, sum);
    }
    partial[omp_get_thread_num()] = sum;
  }
  Sum total{};
  for (const Sum & sum : partial) {
    total += sum;
  }
  return total;
}

}  // namespace nano_gicp

#endif  // NANO_GICP__REDUCTION_OMP_HPP_
