#include "runs/count_ahead.h"

#include <algorithm>
#include <system_error>

namespace tv {

CountAhead::CountAhead(size_t files, unsigned threads, CountFn count)
    : files_(files),
      window_(2 * static_cast<size_t>(std::max(threads, 1u))),
      count_(std::move(count)),
      tallies_(files),
      ready_(files, 0) {
  for (unsigned t = 0; t < threads; ++t) {
    try {
      workers_.emplace_back([this] { Work(); });
    } catch (const std::system_error&) {
      break;  // fewer workers only take longer; the taker counts what is left
    }
  }
}

CountAhead::~CountAhead() {
  Halt();
}

void CountAhead::Halt() {
  {
    // Under the lock, so a worker about to wait cannot miss the change.
    std::lock_guard<std::mutex> lock(mutex_);
    halt_ = 1;
  }
  room_cv_.notify_all();
  for (std::thread& worker : workers_) {
    if (worker.joinable()) worker.join();
  }
}

void CountAhead::Work() {
  for (;;) {
    size_t index;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      room_cv_.wait(lock,
                    [this] { return halt_ != 0 || next_ >= files_ || next_ < taken_ + window_; });
      if (halt_ != 0 || next_ >= files_) return;
      index = next_++;
    }
    FileTally tally;
    count_(index, &halt_, tally);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      tallies_[index] = tally;
      ready_[index] = 1;
    }
    ready_cv_.notify_one();  // only the taker waits for tallies
  }
}

bool CountAhead::Take(size_t index, const std::atomic<int>& abort, FileTally& tally) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (taken_ != index) {
    taken_ = index;
    room_cv_.notify_all();
  }
  for (;;) {
    if (abort.load(std::memory_order_relaxed) != 0) {
      lock.unlock();
      Halt();
      return false;
    }
    if (ready_[index] != 0) {
      tally = tallies_[index];
      return true;
    }
    if (next_ == index) {
      // No worker has started it: count it here rather than wait.
      ++next_;
      lock.unlock();
      FileTally own;
      count_(index, &abort, own);
      lock.lock();
      tallies_[index] = own;
      ready_[index] = 1;
      continue;  // an abort during the count is seen above
    }
    // A worker counts it. Its halt flag is ours, so an abort is passed on to
    // it from here; the wait is short for that reason only.
    ready_cv_.wait_for(lock, kAbortPoll);
  }
}

unsigned CountingThreads(size_t files) {
  const unsigned hardware = std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
  return static_cast<unsigned>(std::min<size_t>(hardware, files));
}

}  // namespace tv
