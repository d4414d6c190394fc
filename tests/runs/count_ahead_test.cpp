#include "runs/count_ahead.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <set>

namespace tv {
namespace {

// Spins until `*halt` is set: a file without end, for halting tests.
void CountUntilHalted(const std::atomic<int>* halt, FileTally& tally) {
  while (halt->load() == 0) std::this_thread::yield();
  tally.total = 999;
}

TEST(CountAheadTest, HandsTalliesOverInListOrderWhateverTheFinishingOrder) {
  // File 0 may finish only after files 1 to 3, so it must have been overtaken.
  struct Case {
    unsigned threads;
    size_t files;
    bool first_waits;  // file 0 waits for files 1..3 (needs at least one worker)
  };
  const Case cases[] = {{0, 5, false}, {1, 5, false}, {2, 8, true}, {3, 40, true}, {8, 3, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE("threads " + std::to_string(c.threads) + ", files " + std::to_string(c.files));
    std::mutex mutex;
    std::condition_variable cv;
    std::set<size_t> done;
    CountAhead ahead(c.files, c.threads, [&](size_t i, const std::atomic<int>*, FileTally& t) {
      std::unique_lock<std::mutex> lock(mutex);
      if (i == 0 && c.first_waits) {
        cv.wait(lock, [&] { return done.count(1) && done.count(2) && done.count(3); });
      }
      t.total = 100 + i;
      done.insert(i);
      cv.notify_all();
    });
    std::atomic<int> abort{0};
    for (size_t i = 0; i < c.files; ++i) {
      FileTally t;
      ASSERT_TRUE(ahead.Take(i, abort, t));
      EXPECT_EQ(t.total, 100 + i);
    }
    EXPECT_EQ(done.size(), c.files) << "every file counted exactly once";
  }
}

TEST(CountAheadTest, WorkersStayWithinTwiceTheirNumberOfTheFileTakenNext) {
  for (unsigned threads : {1u, 2u, 4u}) {
    SCOPED_TRACE("threads " + std::to_string(threads));
    const size_t window = 2 * threads;
    std::atomic<size_t> taking{0};  // set before each Take, so never ahead of the counter's view
    std::atomic<int> beyond{0};
    CountAhead ahead(60, threads, [&](size_t i, const std::atomic<int>*, FileTally& t) {
      if (i >= taking.load() + window) beyond = 1;
      t.total = i;
    });
    std::atomic<int> abort{0};
    for (size_t i = 0; i < 60; ++i) {
      taking = i;
      FileTally t;
      ASSERT_TRUE(ahead.Take(i, abort, t));
      ASSERT_EQ(t.total, i);
    }
    EXPECT_EQ(beyond.load(), 0) << "a file was started more than " << window << " ahead";
  }
}

TEST(CountAheadTest, HaltAndAbortEndFilesInFlight) {
  // File 1 (and, for the abort, file 0) never ends on its own: the test
  // finishes only when halting reaches the file being counted.
  struct Case {
    const char* name;
    unsigned threads;
    bool abort;  // abort the Take of file 0 rather than halt after it
  };
  const Case cases[] = {{"halt after the first file, file 1 in flight", 2, false},
                        {"abort while file 0 is counted, with workers", 2, true},
                        {"abort while the taker counts file 0 itself", 0, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::atomic<int> abort{0};
    CountAhead ahead(4, c.threads, [&](size_t i, const std::atomic<int>* halt, FileTally& t) {
      if (c.abort && i == 0) abort = 1;  // as if the window closed meanwhile
      if (c.abort || i == 1) CountUntilHalted(halt, t);
    });
    FileTally t;
    if (c.abort) {
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
