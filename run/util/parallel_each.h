#pragma once
// Runs `job(i)` for every i in [0, count), on the calling thread and up to `threads` - 1
// helpers, each taking the next index as it finishes one. Small batches (under 64 items a
// helper) stay on the calling thread, where a thread would cost more than it saves.
// `job` must be safe to call from several threads at once for different indexes.
#include <algorithm>
#include <atomic>
#include <cstddef>
#include <thread>
#include <vector>

template <typename Job>
void ParallelEach(std::size_t count, int threads, const Job& job) {
  std::atomic<std::size_t> next{0};
  const auto work = [&] {
    for (std::size_t i = next++; i < count; i = next++) job(i);
  };
  const std::size_t helpers = std::min<std::size_t>(static_cast<std::size_t>(std::max(threads, 1)) - 1, count / 64);
  std::vector<std::thread> pool;
  for (std::size_t t = 0; t < helpers; ++t) pool.emplace_back(work);
  work();
  for (std::thread& t : pool) t.join();
}
