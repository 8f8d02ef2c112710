// The sound output for tests: open records the callback, and pump runs it on
// the caller's thread into a buffer the test reads. No sound, no SDL, no
// thread of its own. One thread drives it.
#pragma once

#include <string>
#include <vector>

#include "platform/audio_device.h"

namespace platform {

class FakeAudioDevice final : public AudioDevice {
 public:
  bool open(int rate, int channels, AudioCallback callback, void* context, std::string* error) override;
  void close() override;
  std::vector<std::u16string> listOutputs() override;

  // Runs the callback once for `frames` frames and appends what it wrote to
  // output(). False (and nothing runs) while closed or when frames < 1.
  bool pump(int frames);

  bool isOpen() const { return callback_ != nullptr; }
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
  int rate_ = 0;
  int channels_ = 0;
  std::vector<int16_t> output_;
};

}  // namespace platform
