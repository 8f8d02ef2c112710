// The hand-driven sound output for tests: records the callback at open and
// runs it only when a test pumps, never while suspended. Test thread, with
// suspend and resume from one other.
#include "platform/audio_device_fake.h"

namespace platform {

bool FakeAudioDevice::open(int rate, int channels, AudioCallback callback, void* context, std::string* error) {
  std::string reason;
  if (isOpen()) {
    reason = "the device is already open";
  } else if (!callback || rate < kMinAudioRate || rate > kMaxAudioRate || channels < 1 ||
             channels > kMaxAudioChannels) {
    reason = "unsupported output format";
  } else if (!refuseOpen.empty()) {
    reason = refuseOpen;
  }
  if (!reason.empty()) {
    if (error) *error = reason;
    return false;
  }
  callback_ = callback;
  context_ = context;
  rate_ = rate;
  channels_ = channels;
  output_.clear();
  return true;
}

void FakeAudioDevice::close() {
  callback_ = nullptr;
  context_ = nullptr;
  suspended_ = false;
}

void FakeAudioDevice::suspend() {
  std::lock_guard<std::mutex> hold(pumping_);
  if (!isOpen() || suspended_) return;
  suspended_ = true;
  ++suspensions_;
}

bool FakeAudioDevice::resume(std::string* error) {
  std::lock_guard<std::mutex> hold(pumping_);
  if (!suspended_) return true;
  if (!refuseOpen.empty()) {
    if (error) *error = refuseOpen;
    return false;
  }
  suspended_ = false;
  return true;
}

std::vector<std::u16string> FakeAudioDevice::listOutputs() {
  std::vector<std::u16string> list{kDefaultAudioOutputName};
  for (const std::u16string& name : names) {
    if (list.size() >= kMaxAudioOutputs) break;
    list.push_back(name);
  }
  return list;
}

bool FakeAudioDevice::pump(int frames) {
  std::lock_guard<std::mutex> hold(pumping_);
  if (!isOpen() || suspended_ || frames < 1) return false;
  const size_t start = output_.size();
  output_.resize(start + size_t(frames) * size_t(channels_));
  callback_(context_, output_.data() + start, frames);
  return true;
}

std::unique_ptr<AudioDevice> CreateFakeAudioDevice() { return std::make_unique<FakeAudioDevice>(); }

}  // namespace platform
