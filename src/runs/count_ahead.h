// Counting the files of a run on several threads while the run takes the
// results strictly in list order.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/tally.h"

namespace tv {

/// Workers count files a bounded number of places ahead of the file the run
/// takes next; the run takes file 0, 1, 2, ... in order and may stop taking
/// at any point, which drops whatever was counted ahead. When no worker
/// could be started, or the next file was not started yet, the taking thread
/// counts it itself, so taking never waits on an idle list.
class CountAhead {
 public:
  /// Counts file `index` into `tally` (which starts all zero); ends early
  /// once `*halt` is non-zero. Called on the workers and the taking thread,
  /// never twice for one file.
  using CountFn = std::function<void(size_t index, const std::atomic<int>* halt, FileTally& tally)>;

  /// How often a taker waiting on a worker looks at its abort flag.
  static constexpr std::chrono::milliseconds kAbortPoll{20};

  /// Starts up to `threads` workers over `files` files; each stays at most
  /// 2 x `threads` files ahead of the file taken next.
  CountAhead(size_t files, unsigned threads, CountFn count);
  /// Halts and joins the workers.
  ~CountAhead();
  CountAhead(const CountAhead&) = delete;
  CountAhead& operator=(const CountAhead&) = delete;

  /// Waits for file `index`, the one after the file taken last (0 first), and
  /// hands its tally over. False once `abort` is non-zero: the workers are
  /// halted and nothing more is handed over.
  bool Take(size_t index, const std::atomic<int>& abort, FileTally& tally);

  /// Ends counting: files in flight stop at their next chunk, no other file
  /// starts. Joins the workers; the object only goes away afterwards.
  void Halt();

  /// How many workers run (0 when none could be started).
  size_t WorkerCount() const { return workers_.size(); }

 private:
  void Work();

  const size_t files_;
  size_t window_ = 1;
  CountFn count_;
  std::mutex mutex_;
  std::condition_variable ready_cv_;  // a tally was stored
  std::condition_variable room_cv_;   // the window moved on, or counting halted
  std::vector<FileTally> tallies_;
  std::vector<char> ready_;
  size_t next_ = 0;   // the next file no one has started
  size_t taken_ = 0;  // the file the taker waits for or takes next
  std::atomic<int> halt_{0};
  std::vector<std::thread> workers_;
};

/// The number of counting threads for `files` files: the machine's hardware
/// threads, at least 1, at most 8, never more than the files.
unsigned CountingThreads(size_t files);

}  // namespace tv
