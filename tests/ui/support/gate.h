// A slow disk for a worker, shared with it: the first Pass() holds the
// worker until the test opens the gate (or 20 s pass), and notes whether the
// test came first and whether the worker was told to stop by then.
#pragma once

#include <atomic>
#include <chrono>
#include <thread>

namespace tv::test {

struct Gate {
  enum State { kIdle, kReached, kOpened, kLeft };
  std::atomic<int> state{kIdle};
  bool waited_for = true, stop_seen = false;  // read once the state is kLeft

  void Pass(const std::atomic<bool>& stop) {
    int idle = kIdle;
    if (!state.compare_exchange_strong(idle, kReached)) return;
    for (int i = 0; i < 2000 && state == kReached; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    waited_for = state != kOpened;
    stop_seen = stop;
    state = kLeft;
  }
};

}  // namespace tv::test
