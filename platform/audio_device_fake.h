// The sound output for tests: open records the callback, and pump runs it on
// the caller's thread into a buffer the test reads. No sound, no SDL, no
// thread of its own. One thread drives it; suspend and resume may come from
// another (the sound library's), and while suspended pump runs nothing.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "platform/audio_device.h"

namespace platform {

class FakeAudioDevice final : public AudioDevice {
 public:
  bool open(int rate, int channels, AudioCallback callback, void* context, std::string* error) override;
  void close() override;
  void suspend() override;
  bool resume(std::string* error) override;
  std::vector<std::u16string> listOutputs() override;

  // Runs the callback once for `frames` frames and appends what it wrote to
  // output(). False (and nothing runs) while closed or suspended, or when
  // frames < 1.
  bool pump(int frames);

  bool isOpen() const { return callback_ != nullptr; }
  bool isSuspended() const { return suspended_.load(); }
  // How often it was suspended since it was made.
  int suspensions() const { return suspensions_.load(); }
  int rate() const { return rate_; }
  int channels() const { return channels_; }
  // Every sample pumped since the last open, interleaved.
  const std::vector<int16_t>& output() const { return output_; }

  // The names listOutputs reports after the default entry (cut to fit).
  std::vector<std::u16string> names;
  // When not empty, open fails with this reason.
  std::string refuseOpen;

 private:
  AudioCallback callback_ = nullptr;
  void* context_ = nullptr;
  std::mutex pumping_;  // pump, suspend and resume
  std::atomic<bool> suspended_{false};
  std::atomic<int> suspensions_{0};
  int rate_ = 0;
  int channels_ = 0;
  std::vector<int16_t> output_;
};

}  // namespace platform
