// The sound library's flat interface: the records its callers fill and
// read, its result codes, and the sorn_* functions over the one process-wide
// sound system. Every function answers a result code and never throws. The
// functions run on the caller's thread (the main thread in the game); the
// library's own worker threads touch the stream channels under their
// mutexes.
#pragma once

#include <cstdint>
#include <memory>

#include "sound/sound_buffer.h"
#include "sound/sound_records.h"

// Result codes of every sorn_* function.
enum SornResult : int32_t {
  kSornNoBuffer = -1,        // a stream channel without a buffer, or an effect parameter refused
  kSornOk = 0,
  kSornVersion = 1,          // the caller's version record is not 3.3
  kSornAlreadyInit = 2,
  kSornNotInit = 3,
  kSornWrongState = 4,       // configuring or opening outside state 2
  kSornNotOpen = 5,          // a channel function before the device is open
  kSornBadArgument = 6,
  kSornCannotOpenMedia = 8,
  kSornUnrecognised = 10,    // neither RIFF WAVE PCM nor Ogg Vorbis
  kSornUnsupported = 11,     // media kind 2, or an operation of the null device
  kSornEmptyTone = 30,
  kSornStreamNotOpen = 40,
  kSornNoDevice = 100,       // no device configured, or the null device
  kSornDeviceHeld = 102,     // never given here: SDL does not tell
  kSornDeviceFailed = 103,
};

// Given to sorn_init: major and minor must both be 3.
struct SoundVersionInfo {
  uint32_t size = 16;
  uint32_t major = 0;
  uint32_t minor = 0;
  uint32_t reserved = 0;
};

// Filled by sorn_init.
struct SoundInitInfo {
  static constexpr uint32_t kHasOutput = 2;  // flags: at least one output listed
  uint32_t flags = 0;
  int32_t deviceCount = 0;  // 0..8
  // The outputs' names (at most 99 characters); owned by the library, valid
  // for the process's life.
  const char16_t* deviceNames[8] = {};
};

// Given to sorn_configDevice.
struct SoundDeviceConfig {
  static constexpr int32_t kNull = 0;
  static constexpr int32_t kOutput = 2;
  int32_t kind = kNull;
  int32_t deviceIndex = 0;  // 0..count-1
  // 0..5: channels (format & 1) + 1 at {11025, 22050, 44100}[format / 2] Hz,
  // 16-bit.
  int32_t format = 5;
};

// Filled by sorn_getMediaInfo. When the media loops, loop field A is the
// resolved loop end and field B its start; both are -1 otherwise.
struct SoundMediaInfo {
  uint32_t reserved = 0;
  int32_t bitsPerSample = 0;
  int32_t sampleRate = 0;
  int32_t channels = 0;
  int64_t length = 0;  // frames
  int64_t loopA = -1;
  int64_t loopB = -1;
};

// Filled by sorn_streamGetStatus (zeroed first; only the state when the
// channel is not open).
struct SoundStreamStatus {
  static constexpr int32_t kNotOpen = 1;
  static constexpr int32_t kStopped = 2;
  static constexpr int32_t kPlaying = 3;
  static constexpr int32_t kPaused = 4;
  int32_t state = 0;
  uint32_t reserved = 0;
  int64_t elapsedMs = 0;
  int64_t positionMs = 0;
  int64_t endMs = 0;
  int32_t looping = 0;
  int32_t muted = 0;
  int32_t sampleRate = 0;
  int32_t volume = 0;          // 0..280
  int32_t frequencyRatio = 0;  // 4096 = the media's own rate
  int32_t pan = 0;             // -100..100
  int32_t fading = 0;
  int32_t loopCount = 0;
};

// Filled by sorn_sfxGetStatus (zeroed first; only the state 1 when the
// channel or its tone is missing).
struct SoundSfxStatus {
  int32_t state = 0;  // 1 no channel or tone, 2 stopped, 3 playing, 4 paused
  uint32_t reserved = 0;
  int64_t positionMs = 0;
  int64_t lengthMs = 0;
  int32_t sampleRate = 0;
  uint32_t reserved2 = 0;
  int32_t volume = 0;
  int32_t frequencyRatio = 0;
  int32_t pan = 0;
  uint32_t reserved3 = 0;
};

int32_t sorn_init(const SoundVersionInfo* version, SoundInitInfo* info);
int32_t sorn_configDevice(const SoundDeviceConfig* config);
// window is kept and handed to the device; nothing here reads it.
int32_t sorn_openDevice(void* window);
int32_t sorn_getMediaInfo(const SoundMediaDesc* desc, SoundMediaInfo* info);
int32_t sorn_streamOpen(int32_t channel, const SoundMediaDesc* desc);
int32_t sorn_streamPlay(int32_t channel, int64_t startFrame);
int32_t sorn_streamStop(int32_t channel);
int32_t sorn_streamSetVolume(int32_t channel, int32_t volume);
int32_t sorn_streamFade(int32_t channel, int32_t from, int32_t to, int32_t milliseconds);
int32_t sorn_streamGetStatus(int32_t channel, SoundStreamStatus* status);
int32_t sorn_sfxLoad(int32_t slot, const SoundMediaDesc* desc);
int32_t sorn_sfxPlay(int32_t channel, int32_t slot);
int32_t sorn_sfxStop(int32_t channel);
int32_t sorn_sfxSetVolume(int32_t channel, int32_t volume);
int32_t sorn_sfxGetStatus(int32_t channel, SoundSfxStatus* status);

// A stopped 16-bit stereo buffer of `milliseconds` at the open output's
// rate (*rate), for sound that is not the library's own (a movie's). Any
// thread. kSornNotOpen or kSornNoDevice without an output to mix into.
int32_t sorn_createOutputBuffer(int32_t milliseconds, int32_t* rate, std::unique_ptr<SoundBuffer>* out);

// The application's end: the device's full stop (worker threads joined, the
// output closed) and every channel and tone released; the library goes back
// to its state before sorn_init. Called before SDL shuts down.
void sorn_shutdown();
