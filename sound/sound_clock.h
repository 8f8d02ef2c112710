// The sound library's sample clock: the output frames played since the
// device opened, counted by the timer thread from the silent timer buffer's
// cursor. Fades read it. Advanced under the system lock; read from any
// thread.
#pragma once

#include <atomic>
#include <cstdint>

class SoundClock {
 public:
  // rate: the output rate in Hz; the count starts again at 0.
  void reset(int32_t rate) {
    rate_.store(rate);
    total_.store(0);
  }
  void advance(int64_t frames) { total_.fetch_add(frames); }
  int32_t rate() const { return rate_.load(); }
  int64_t totalSamples() const { return total_.load(); }

 private:
  std::atomic<int32_t> rate_{44100};
  std::atomic<int64_t> total_{0};
};
