#include "runs/count_ahead.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <set>

namespace tv {
namespace {

TEST(CountAheadTest, HandsTalliesOverInListOrderAndStaysWithinTwiceItsWorkersAhead) {
  struct Case {
    unsigned threads;
    size_t files;
  };
  const Case cases[] = {{0, 5}, {1, 60}, {2, 60}, {3, 40}, {4, 60}, {8, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE("threads " + std::to_string(c.threads) + ", files " + std::to_string(c.files));
    std::mutex mutex;
    std::condition_variable cv;
    std::set<size_t> done;
    std::atomic<size_t> taking{0};  // set before each Take, so never ahead of the counter's view
    bool beyond = false;
    CountAhead ahead(c.files, c.threads, [&](size_t i, const std::atomic<int>*, FileTally& t) {
      std::unique_lock<std::mutex> lock(mutex);
      beyond = beyond || i >= taking + 2 * std::max(c.threads, 1u);
      if (i == 0 && c.threads > 1 && c.files > 3) {  // must be overtaken by files 1 to 3
        cv.wait(lock, [&] { return done.count(1) && done.count(2) && done.count(3); });
      }
      t.total = 100 + i;
      done.insert(i);
      cv.notify_all();
    });
    std::atomic<int> abort{0};
    for (size_t i = 0; i < c.files; ++i) {
      taking = i;
      FileTally t;
      ASSERT_TRUE(ahead.Take(i, abort, t));
      EXPECT_EQ(t.total, 100 + i);
    }
    EXPECT_EQ(done.size(), c.files) << "every file counted exactly once";
    EXPECT_FALSE(beyond) << "a file was started more than twice the workers ahead";
  }
}

TEST(CountAheadTest, HaltAndAbortEndFilesInFlight) {
  // Each pair: the workers, and whether the Take of file 0 is aborted rather
  // than halted after it. The files in flight end only once halted.
  for (const auto& [threads, aborting] : {std::pair{2u, false}, {2u, true}, {0u, true}}) {
    const bool aborts = aborting;  // a lambda may not capture a structured binding in clang 14
    SCOPED_TRACE("threads " + std::to_string(threads) + (aborts ? ", abort" : ", halt"));
    std::atomic<int> abort{0};
    CountAhead ahead(4, threads, [&](size_t i, const std::atomic<int>* halt, FileTally& t) {
      if (aborts && i == 0) abort = 1;  // as if the window closed meanwhile
      if (!aborts && i != 1) return;
      while (halt->load() == 0) std::this_thread::yield();
      t.total = 999;
    });
    FileTally t;
    if (aborts) {
      EXPECT_FALSE(ahead.Take(0, abort, t));
      EXPECT_FALSE(ahead.Take(1, abort, t)) << "nothing is handed over after an abort";
    } else {
      ASSERT_TRUE(ahead.Take(0, abort, t));
      EXPECT_EQ(t.total, 0u);
      ahead.Halt();  // returns only once file 1, if started, saw the halt
    }
  }
}

}  // namespace
}  // namespace tv
