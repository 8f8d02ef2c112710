// The hand-driven sound output for tests: records the callback at open and
// runs it only when a test pumps. Test thread only.
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
  if (!isOpen() || frames < 1) return false;
  const size_t start = output_.size();
  output_.resize(start + size_t(frames) * size_t(channels_));
  callback_(context_, output_.data() + start, frames);
  return true;
}

std::unique_ptr<AudioDevice> CreateFakeAudioDevice() { return std::make_unique<FakeAudioDevice>(); }

}  // namespace platform
