// The sound output over SDL2 audio: the default output in signed 16-bit at
// the caller's rate and channel count (SDL converts for the hardware), one
// callback on SDL's audio thread. open, close and the list run on the main
// thread; each holds its own count on SDL's audio subsystem.
#include "platform/audio_device.h"

#include <SDL2/SDL.h>

#include "platform/utf8.h"

namespace platform {
namespace {

// Frames per callback: the largest power of two within about 25 ms of sound
// (1024 at 44.1 kHz), so a buffer released while the callback mixes it waits
// at most that long.
Uint16 BlockFrames(int rate) {
  int frames = 64;
  while (frames * 2 <= rate / 40 && frames < 4096) frames *= 2;
  return Uint16(frames);
}

class SdlAudioDevice final : public AudioDevice {
 public:
  ~SdlAudioDevice() override { close(); }

  bool open(int rate, int channels, AudioCallback callback, void* context, std::string* error) override {
    auto fail = [error](const std::string& reason) {
      if (error) *error = reason;
      return false;
    };
    if (device_ != 0) return fail("the device is already open");
    if (!callback || rate < kMinAudioRate || rate > kMaxAudioRate || channels < 1 || channels > kMaxAudioChannels) {
      return fail("unsupported output format");
    }
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return fail(SDL_GetError());
    callback_ = callback;
    context_ = context;
    frameBytes_ = channels * int(sizeof(int16_t));
    SDL_AudioSpec want{};
    want.freq = rate;
    want.format = AUDIO_S16SYS;
    want.channels = Uint8(channels);
    want.samples = BlockFrames(rate);
    want.callback = &SdlAudioDevice::feed;
    want.userdata = this;
    SDL_AudioSpec have{};
    // No allowed changes: SDL converts whatever the hardware wants, so the
    // callback always sees the format asked for.
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device_ == 0) {
      const std::string reason = SDL_GetError();
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      return fail(reason);
    }
    SDL_PauseAudioDevice(device_, 0);
    return true;
  }

  void close() override {
    if (device_ == 0) return;
    // Waits for a callback in progress; none runs afterwards.
    SDL_CloseAudioDevice(device_);
    device_ = 0;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }

  std::vector<std::u16string> listOutputs() override {
    std::vector<std::u16string> list{kDefaultAudioOutputName};
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return list;
    // -1 when the driver cannot enumerate: only the default then.
    const int count = SDL_GetNumAudioDevices(0);
    for (int i = 0; i < count && list.size() < kMaxAudioOutputs; ++i) {
      const char* name = SDL_GetAudioDeviceName(i, 0);
      if (name && *name) list.push_back(FromUtf8(name));
    }
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return list;
  }

 private:
  // SDL's audio thread.
  static void SDLCALL feed(void* userdata, Uint8* stream, int len) {
    auto* self = static_cast<SdlAudioDevice*>(userdata);
    const int frames = len / self->frameBytes_;
    // SDL hands whole frames; a stray tail byte stays silent.
    const int whole = frames * self->frameBytes_;
    if (len > whole) SDL_memset(stream + whole, 0, size_t(len - whole));
    if (frames > 0) self->callback_(self->context_, reinterpret_cast<int16_t*>(stream), frames);
  }

  SDL_AudioDeviceID device_ = 0;
  AudioCallback callback_ = nullptr;
  void* context_ = nullptr;
  int frameBytes_ = 4;
};

}  // namespace

std::unique_ptr<AudioDevice> CreateSdlAudioDevice() { return std::make_unique<SdlAudioDevice>(); }

}  // namespace platform
