// Our software mixer: makes the secondary buffers (sound/sound_buffer.h)
// and renders the playing ones into what the audio device's callback asks
// for. Buffers are made on any thread; render runs on one thread at a time
// (the device's callback, or a test). No SDL: platform/ feeds render.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "sound/sound_buffer.h"

// Mixing rule: an 8-bit sample b counts as (b - 128) x 256; volume v gives
// the gain 10^(v/2000), pan p multiplies the left side by 10^(min(0,-p)/2000)
// and the right by 10^(min(0,p)/2000) (an attenuation of -10000 is silence);
// a mono buffer feeds both sides. A buffer at the output rate is copied
// sample for sample; any other rate steps through it by rate / output rate
// and interpolates linearly between neighbouring frames (wrapping when it
// loops). The sum is rounded and saturated to 16 bits. A mono output takes
// the mean of a buffer's two sides and ignores pan. Settings are read once
// per rendered block.
class Mixer {
 public:
  // Renders at rate Hz (100..200000) into `channels` (1 or 2) interleaved
  // channels; values outside are clamped.
  Mixer(int32_t rate, int32_t channels);
  // Close the audio device first: render must not be running. Buffers may
  // outlive the mixer (they are then silent).
  ~Mixer();
  Mixer(const Mixer&) = delete;
  Mixer& operator=(const Mixer&) = delete;

  int32_t outputRate() const { return rate_; }
  int32_t outputChannels() const { return channels_; }

  // A stopped buffer of `bytes` bytes (whole frames, at most kBufferMaxBytes)
  // filled with silence, at volume 0, pan 0 and its own rate.
  int32_t createBuffer(const SoundBufferFormat& format, uint32_t bytes, std::unique_ptr<SoundBuffer>* out);
  // The same over the given bytes, which the buffer takes over without a
  // copy (they stay with the caller when it cannot be made).
  int32_t createBuffer(const SoundBufferFormat& format, std::vector<uint8_t>&& bytes,
                       std::unique_ptr<SoundBuffer>* out);
  // A new buffer over the same bytes with the original's volume, pan and
  // frequency, its own cursor at 0, stopped.
  int32_t duplicate(const SoundBuffer& original, std::unique_ptr<SoundBuffer>* out);

  // Mixes `frames` frames of every playing buffer into out (frames x
  // channels samples) and moves their cursors. One thread at a time.
  void render(int16_t* out, int32_t frames);
  // platform::AudioCallback over render; context is the Mixer.
  static void AudioCallback(void* mixer, int16_t* out, int frames);

  // Whether render is called at the output's pace (an audio device's own
  // thread) rather than by hand: the play cursors then move smoothly through
  // each rendered block (see SoundBuffer::getCurrentPosition). Off at first.
  void setPaced(bool paced);

  // Called after every play of one of this mixer's buffers, on the thread
  // that plays it; it must not play, create or release buffers. Null
  // removes it; on return the previous one is not running and is not called
  // again.
  using PlayListener = void (*)(void* context);
  void setPlayListener(PlayListener listener, void* context);

  // Whether a buffer other than `except` (may be null) is playing.
  bool playingBesides(const SoundBuffer* except) const;

  // Called at the end of every render with what it wrote (render's thread).
  using CaptureHook = void (*)(void* context, const int16_t* samples, int32_t frames);
  // Installs (null removes) the hook. On return the previous hook is not
  // running and is never called again.
  void setCaptureHook(CaptureHook hook, void* context);

 private:
  static constexpr int32_t kChunkFrames = 1024;

  void refreshVoices();
  // `offset` frames of this render come before the chunk; serial numbers a
  // paced render (0 otherwise).
  void mixChunk(int32_t frames, int32_t offset, uint64_t serial);

  int32_t rate_;
  int32_t channels_;
  std::shared_ptr<mixer_detail::VoiceList> list_;

  // Render's own state.
  std::vector<std::shared_ptr<mixer_detail::Voice>> mixing_;
  uint64_t mixingVersion_ = 0;
  std::array<float, kChunkFrames * 2> sum_{};

  std::mutex hookMutex_;  // render only tries it
  std::atomic<bool> hookSet_{false};
  CaptureHook hook_ = nullptr;  // guarded by hookMutex_
  void* hookContext_ = nullptr;
};
