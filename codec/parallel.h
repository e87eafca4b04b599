// Runs independent pieces of one step on several threads. Every piece does
// the same work whichever thread runs it, so results never depend on the
// thread count. The calling thread takes part; an exception in any piece
// (memory running out) is passed on to the caller once all have stopped.
#pragma once

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace tavix {

// Threads a job uses when its caller does not say: TAVIX_THREADS when set
// (1 to kMaxThreads), otherwise the machine's cores, at most kMaxThreads.
constexpr int kMaxThreads = 16;
int DefaultThreadCount();

// Calls body(i) for every i in [0, count) on up to `threads` threads.
template <typename Body>
void ParallelFor(int count, int threads, const Body& body) {
  threads = std::clamp(std::min(threads, count), 1, kMaxThreads);
  if (threads == 1) {
    for (int i = 0; i < count; ++i) body(i);
    return;
  }
  std::atomic<int> next{0};
  std::exception_ptr failure;
  std::mutex failureLock;
  auto work = [&] {
    try {
      for (int i = next.fetch_add(1); i < count; i = next.fetch_add(1)) body(i);
    } catch (...) {
      std::lock_guard<std::mutex> guard(failureLock);
      if (!failure) failure = std::current_exception();
      next.store(count);
    }
  };
  std::vector<std::thread> helpers;
  helpers.reserve(static_cast<size_t>(threads - 1));
  try {
    for (int t = 1; t < threads; ++t) helpers.emplace_back(work);
  } catch (const std::system_error&) {
    // No more threads to be had: the ones started and this one do it all.
  }
  work();
  for (std::thread& helper : helpers) helper.join();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace tavix
