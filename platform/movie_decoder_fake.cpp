// The scripted movie decoder for tests: counts its way through frames and
// 20 ms sound blocks by time. Test thread only (or a test's decoder thread).
#include "platform/movie_decoder_fake.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numbers>
#include <thread>

namespace platform {
namespace {

constexpr int32_t kBlockMs = 20;
constexpr int32_t kToneHz = 1000;
constexpr double kToneLevel = 8000.0;

class FakeMovieDecoder final : public MovieDecoder {
 public:
  explicit FakeMovieDecoder(const FakeMovieScript& script) : script_(script) {}

  bool open(const std::string&, int32_t audioRate, const std::atomic<bool>*, std::string* error) override {
    std::string reason = script_.refuseOpen;
    if (reason.empty() && audioRate != 0 && (audioRate < 8000 || audioRate > 192000)) reason = "sound rate out of range";
    if (reason.empty() && (script_.width < 1 || script_.height < 1 || script_.width > 8192 ||
                           script_.height > 8192 || script_.frames < 0 || script_.frameMs < 1)) {
      reason = "bad script";
    }
    open_ = reason.empty();
    if (!open_) {
      if (error) *error = reason;
      return false;
    }
    rate_ = audioRate;
    totalSamples_ = audioRate == 0 ? 0 : int64_t(std::max(script_.audioMs, 0)) * rate_ / 1000;
    frame_ = 0;
    block_ = 0;
    return true;
  }
  int32_t width() const override { return open_ ? script_.width : 0; }
  int32_t height() const override { return open_ ? script_.height : 0; }
  bool hasAudio() const override { return open_ && totalSamples_ > 0; }

  Result nextPicture(MovieVideoFrame* video, std::string* error) override {
    if (!ready(video, error)) return kError;
    if (frame_ >= script_.frames) return kEnd;
    const uint32_t color = FakeMovieColor(frame_);
    video->timeMs = int64_t(frame_) * script_.frameMs;
    video->durationMs = script_.frameMs;
    video->bgra.resize(size_t(script_.width) * size_t(script_.height) * 4);
    for (size_t i = 0; i < video->bgra.size(); i += 4) {
      video->bgra[i] = uint8_t(color);
      video->bgra[i + 1] = uint8_t(color >> 8);
      video->bgra[i + 2] = uint8_t(color >> 16);
      video->bgra[i + 3] = uint8_t(color >> 24);
    }
    ++frame_;
    return kVideo;
  }

  Result nextSound(MovieSoundBlock* sound, std::string* error) override {
    if (!ready(sound, error)) return kError;
    // Block k covers samples [k * rate / 50, (k + 1) * rate / 50).
    const int64_t blockStart = int64_t(block_) * rate_ * kBlockMs / 1000;
    if (blockStart >= totalSamples_) return kEnd;
    const int64_t end = std::min(totalSamples_, int64_t(block_ + 1) * rate_ * kBlockMs / 1000);
    sound->firstFrame = blockStart;
    sound->samples.clear();
    for (int64_t n = blockStart; n < end; ++n) {
      const double phase = 2.0 * std::numbers::pi * double(kToneHz) * double(n) / double(rate_);
      const auto value = int16_t(std::lround(kToneLevel * std::sin(phase)));
      sound->samples.push_back(value);
      sound->samples.push_back(value);
    }
    ++block_;
    return kAudio;
  }

 private:
  bool ready(const void* out, std::string* error) const {
    if (script_.decodeDelayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(script_.decodeDelayMs));
    if (open_ && out) return true;
    if (error) *error = "the movie is not open";
    return false;
  }

  FakeMovieScript script_;
  bool open_ = false;
  int32_t rate_ = 0;
  int64_t totalSamples_ = 0;
  int32_t frame_ = 0;
  int32_t block_ = 0;
};

}  // namespace

uint32_t FakeMovieColor(int32_t frame) {
  // Blue alone tells frames 0..255 apart; red and green vary so neighbours
  // differ in every channel.
  const uint32_t i = uint32_t(frame) & 0xFF;
  return 0xFF000000u | (((i * 37u + 11u) & 0xFF) << 16) | (((i * 101u + 50u) & 0xFF) << 8) | (255u - i);
}

std::unique_ptr<MovieDecoder> CreateFakeMovieDecoder(const FakeMovieScript& script) {
  return std::make_unique<FakeMovieDecoder>(script);
}

}  // namespace platform
