// The output device behind the sound library: the base every device
// implements (start and stop, and the making of tones and channels), the
// linear-volume conversion every channel applies, and the log line a failed
// buffer call leaves. Devices are used under the system lock.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "sound/sound_records.h"

class DSSfxChannel;
class DSSfxTone;
struct DecodedTone;
class Mixer;
class DSStreamChannel;
class UTDataSource;

class UTSoundDevice {
 public:
  virtual ~UTSoundDevice() = default;
  // Opens output `index` in format 0..5 (channels (format & 1) + 1 at
  // {11025, 22050, 44100}[format / 2] Hz); window is not read.
  virtual int32_t start(int32_t index, int32_t format, void* window) = 0;
  // full: threads joined and the output closed (0). Not full: asks running
  // threads to end; 0 when one was running, else -2.
  virtual int32_t stop(bool full) = 0;
  // Operations no device supports.
  virtual int32_t unsupported1() { return 11; }
  virtual int32_t unsupported2() { return 11; }
  // A tone over the decoded frames (taken over on success).
  virtual int32_t createSfxTone(DecodedTone&& decoded, std::unique_ptr<DSSfxTone>* out) = 0;
  // A channel with volume 100, pan 0, frequency ratio 4096, no tone.
  virtual int32_t createSfxChannel(std::unique_ptr<DSSfxChannel>* out) = 0;
  // A stream channel over the decoder with the descriptor's options.
  virtual int32_t createStreamChannel(std::unique_ptr<DSStreamChannel>* out, std::unique_ptr<UTDataSource> decoder,
                                      const std::vector<SoundLoopRegion>& options) = 0;
  // The mixer the output plays while the device is started; null for a
  // device without one (the null device).
  virtual Mixer* mixer() { return nullptr; }
};

// Linear volume (API volume x 100; 10000 and up is full level) to
// hundredths of a decibel in -10000..0: below 1 -10000, else
// 1250 x log10(v x v / 10^8) truncated toward zero.
int32_t LinearToAttenuation(int32_t linear);

// Logs the DirectSound error name that a failed mixer-buffer call stands
// for (a SoundBufferResult), at DEBUG.
void LogBufferError(int32_t result);
