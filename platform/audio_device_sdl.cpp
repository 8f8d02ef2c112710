// The sound output over SDL2 audio: the default output in signed 16-bit at
// the caller's rate and channel count (SDL converts for the hardware), one
// callback on SDL's audio thread, and the device closed and opened again
// while suspended. open, close and the list run on the main thread, suspend
// and resume on the sound library's thread; each of open and the list holds
// its own count on SDL's audio subsystem.
#include "platform/audio_device.h"

#include <SDL2/SDL.h>

#include "platform/utf8.h"

namespace platform {
namespace {

// Set once, for the end of the process (main thread).
bool g_endWithProcess = false;

// Frames per callback: the largest power of two within about 100 ms of
// sound (4096 at 44.1 kHz). SDL's thread wakes once a block, about 11 times
// a second; the play cursors move smoothly through a block all the same
// (the mixer is told that it is fed in real time).
Uint16 BlockFrames(int rate) {
  int frames = 64;
  while (frames * 2 <= rate / 10 && frames < 4096) frames *= 2;
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
    if (device_ != 0 || suspended_) return fail("the device is already open");
    if (!callback || rate < kMinAudioRate || rate > kMaxAudioRate || channels < 1 || channels > kMaxAudioChannels) {
      return fail("unsupported output format");
    }
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return fail(SDL_GetError());
    callback_ = callback;
    context_ = context;
    frameBytes_ = channels * int(sizeof(int16_t));
    want_ = SDL_AudioSpec{};
    want_.freq = rate;
    want_.format = AUDIO_S16SYS;
    want_.channels = Uint8(channels);
    want_.samples = BlockFrames(rate);
    want_.callback = &SdlAudioDevice::feed;
    want_.userdata = this;
    std::string reason;
    if (!openDevice(&reason)) {
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      return fail(reason);
    }
    // Opening the disk driver again would start its file over.
    const char* driver = SDL_GetCurrentAudioDriver();
    canSuspend_ = !(driver && SDL_strcmp(driver, "disk") == 0);
    return true;
  }

  void close() override {
    if (device_ == 0 && !suspended_) return;
    if (device_ != 0 && g_endWithProcess) {
      // Pausing waits for a callback in progress, and a paused device calls
      // none again: the sound stops here. The device and the audio
      // subsystem stay as they are (quitting it would close the device and
      // wait all the same); its thread ends with the process.
      SDL_PauseAudioDevice(device_, 1);
      device_ = 0;
      suspended_ = false;
      return;
    }
    // Waits for a callback in progress; none runs afterwards.
    if (device_ != 0) SDL_CloseAudioDevice(device_);
    device_ = 0;
    suspended_ = false;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }

  // A paused SDL device still wakes its thread once a block: closing it is
  // what lets the thread go. The audio subsystem stays initialised.
  void suspend() override {
    if (device_ == 0 || !canSuspend_) return;
    SDL_CloseAudioDevice(device_);
    device_ = 0;
    suspended_ = true;
  }

  bool resume(std::string* error) override {
    if (!suspended_) return true;
    std::string reason;
    if (!openDevice(&reason)) {
      if (error) *error = reason;
      return false;
    }
    suspended_ = false;
    return true;
  }

  bool realTime() const override { return true; }

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

  // Opens the output in want_ and starts it; the reason on failure.
  bool openDevice(std::string* error) {
    SDL_AudioSpec have{};
    // No allowed changes: SDL converts whatever the hardware wants, so the
    // callback always sees the format asked for.
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want_, &have, 0);
    if (device_ == 0) {
      *error = SDL_GetError();
      return false;
    }
    SDL_PauseAudioDevice(device_, 0);
    return true;
  }

  SDL_AudioDeviceID device_ = 0;
  SDL_AudioSpec want_{};
  bool suspended_ = false;
  bool canSuspend_ = true;
  AudioCallback callback_ = nullptr;
  void* context_ = nullptr;
  int frameBytes_ = 4;
};

}  // namespace

void LetAudioOutputsEndWithProcess() { g_endWithProcess = true; }

std::unique_ptr<AudioDevice> CreateSdlAudioDevice() { return std::make_unique<SdlAudioDevice>(); }

}  // namespace platform
