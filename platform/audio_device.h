// The sound output: one device that asks a callback for interleaved 16-bit
// frames at a fixed rate, and the list of outputs to offer. open, close and
// the list run on the main thread, suspend and resume on one other thread
// at most, never at the same time as another call; the callback runs on
// the device's own thread (the fake runs it on whoever pumps). Knows nothing
// of the mixer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// Fills out with `frames` interleaved frames (channels as opened, signed
// 16-bit, native order). Runs on the device's thread, one call at a time; it
// must not block for long (a block is about 20 ms of sound).
using AudioCallback = void (*)(void* context, int16_t* out, int frames);

// The output format a device accepts.
inline constexpr int kMinAudioRate = 100;
inline constexpr int kMaxAudioRate = 200000;
inline constexpr int kMaxAudioChannels = 2;

// The device list holds the default output first, then at most 7 named ones.
inline constexpr size_t kMaxAudioOutputs = 8;
inline constexpr char16_t kDefaultAudioOutputName[] = u"Default output";

class AudioDevice {
 public:
  virtual ~AudioDevice() = default;

  // Opens the default output at rate Hz (kMinAudioRate..kMaxAudioRate) with
  // 1 or 2 channels and starts calling callback(context, ...). False with
  // the reason in *error (may be null) when the format is refused, the device
  // is already open or the system has no output.
  virtual bool open(int rate, int channels, AudioCallback callback, void* context, std::string* error) = 0;

  // Stops the callback and closes the output; on return the callback is not
  // running and will not run again. Does nothing when closed.
  virtual void close() = 0;

  // While nothing is to be heard: the system's output is let go (its thread
  // ends, so nothing wakes for it) until resume, which opens it again in the
  // same format with the same callback (false, with the reason in *error,
  // when it cannot: the device then stays suspended). The callback does not
  // run while suspended. Both do nothing when the device is not open, or
  // not suspended for resume; a device that cannot let go (a capture to a
  // file, which opening again would start over) keeps running.
  virtual void suspend() {}
  virtual bool resume(std::string* error) {
    (void)error;
    return true;
  }

  // True when the callback runs at the pace of the sound heard (a real
  // output), false when something else drives it (the fake).
  virtual bool realTime() const { return false; }

  // The outputs to offer: entry 0 is always the default output
  // (kDefaultAudioOutputName), then the names the system lists, at most
  // kMaxAudioOutputs entries in all. A system may list no names and still
  // open its default.
  virtual std::vector<std::u16string> listOutputs() = 0;
};

// For the end of the process, once its last sound has been asked to stop:
// from then on close() on an SDL device silences it at once and lets SDL's
// output thread end with the process instead of waiting for it (SDL plays
// out the block in progress and waits two more before its thread ends,
// about 280 ms at 44.1 kHz). The callback still never runs after close()
// returns. Main thread; nothing opens a device afterwards.
void LetAudioOutputsEndWithProcess();

// The SDL2 audio backend (SDL_AUDIODRIVER picks the driver; "dummy" plays
// into nothing, "disk" writes the mix to SDL_DISKAUDIOFILE).
std::unique_ptr<AudioDevice> CreateSdlAudioDevice();

// The hand-driven fake of platform/audio_device_fake.h: nothing plays until
// a test pumps it.
std::unique_ptr<AudioDevice> CreateFakeAudioDevice();

}  // namespace platform
