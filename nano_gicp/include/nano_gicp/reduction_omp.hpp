#ifndef NANO_GICP__REDUCTION_OMP_HPP_
#define NANO_GICP__REDUCTION_OMP_HPP_

#include <algorithm>
#include <cstdint>
#include <vector>

namespace nano_gicp
{

// Points go to threads in blocks of neighbours, so a thread's queries stay
// close in space, and a core busy with other work delays a sum by a block,
// not by its share of the cloud.
constexpr std::int64_t block_size = 512;

// Sums add(i, sum) over i in [0, n) on num_threads threads. Each block has
// its own partial sum and the blocks are added in order, so the total is the
// same, to the last bit, on any number of threads.
template<typename Sum, typename Add>
Sum parallel_sum(std::int64_t n, int num_threads, const Add & add)
{
  const std::int64_t blocks = (n + block_size - 1) / block_size;
  std::vector<Sum> partial(blocks);
#pragma omp parallel for num_threads(num_threads) schedule(dynamic, 1)
  for (std::int64_t block = 0; block < blocks; block++) {
    Sum sum{};
    const std::int64_t end = std::min(n, (block + 1) * block_size);
    for (std::int64_t i = block * block_size; i < end; i++) {
      add(i, sum);
    }
    partial[block] = sum;
  }
  Sum total{};
  for (const Sum & sum : partial) {
    total += sum;
  }
  return total;
}

}  // namespace nano_gicp

#endif  // NANO_GICP__REDUCTION_OMP_HPP_
