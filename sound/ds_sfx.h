// Effect tones and effect channels: a tone holds a whole sound decoded to
// PCM in a mixer buffer that is filled once; each channel plays a tone once
// through its own duplicate of that buffer, so channels can play one tone at
// the same time. Also the decoding of a media into the WAVE block a tone is
// made from. Everything here runs under the system lock (caller's thread).
#pragma once

#include <cstdint>
#include <memory>
#include <utility>

#include "sound/mixer.h"
#include "sound/sorn.h"
#include "sound/sound_records.h"
#include "sound/ut_data_source.h"

// Largest decoded tone (PCM bytes): what one mixer buffer holds. A larger
// one is refused with 10.
inline constexpr uint64_t kToneMaxBytes = kBufferMaxBytes;

// Opens the media, decodes every frame up to the real end of its data (the
// decoder's stated length is only a bound, never an allocation size), puts
// the PCM behind a canonical 44-byte RIFF WAVE header and opens that block
// as a memory media, so a tone always comes from a WAVE decoder: *waveDecoder
// on 0. Otherwise the open's code (6, 8, 10, 11), or 10 for a format a tone
// cannot hold or data above maxDataBytes: refused before decoding when the
// stated length says so, else where the decoding passes it (a WARN names
// the media). Logs "loading..." and "loaded".
int32_t DecodeToneMedia(const SoundMediaDesc& desc, std::unique_ptr<UTDataSource>* waveDecoder,
                        uint64_t maxDataBytes = kToneMaxBytes);

class UTSfxTone {
 public:
  virtual ~UTSfxTone() = default;
  virtual const UTFormat& format() const = 0;
  // Every frame of the tone, interleaved PCM.
  virtual const SoundBytes& data() const = 0;
};

class DSSfxTone final : public UTSfxTone {
 public:
  // Reads every frame of the decoder into the tone's data and a new mixer
  // buffer (filled through one whole lock). 0, or 103 when the buffer cannot
  // be made (no frames, an unplayable format, more than kBufferMaxBytes);
  // *out is null then.
  static int32_t create(Mixer& mixer, UTDataSource& decoder, std::unique_ptr<DSSfxTone>* out);

  // Release every channel's duplicate first (DSSfxChannel::setTone(nullptr)).
  ~DSSfxTone() override = default;
  DSSfxTone(const DSSfxTone&) = delete;
  DSSfxTone& operator=(const DSSfxTone&) = delete;

  const UTFormat& format() const override { return format_; }
  const SoundBytes& data() const override { return data_; }
  const SoundBuffer& buffer() const { return *buffer_; }

 private:
  DSSfxTone(const UTFormat& format, SoundBytes data, std::unique_ptr<SoundBuffer> buffer)
      : format_(format), data_(std::move(data)), buffer_(std::move(buffer)) {}

  UTFormat format_;
  SoundBytes data_;
  std::unique_ptr<SoundBuffer> buffer_;
};

class UTSfxChannel {
 public:
  static constexpr int32_t kNoTone = 1;
  static constexpr int32_t kStopped = 2;
  static constexpr int32_t kPlaying = 3;
  static constexpr int32_t kPaused = 4;

  // setParam() kinds.
  static constexpr int32_t kParamVolume = 1;     // linear units (API volume x 100)
  static constexpr int32_t kParamPan = 2;        // -100..100 (clamped)
  static constexpr int32_t kParamFrequency = 3;  // ratio, 4096 = the tone's rate; 0 its own rate too

  virtual ~UTSfxChannel() = default;
  // Binds the tone (null unbinds): state 2 with a tone, 1 without.
  virtual int32_t setTone(UTSfxTone* tone) = 0;
  // Plays the tone once from its start: state 3.
  virtual int32_t play() = 0;
  virtual int32_t stop() = 0;
  virtual int32_t pause() = 0;
  // Plays on once from where it was.
  virtual int32_t resume() = 0;
  virtual int32_t setParam(int32_t kind, int32_t value) = 0;
  // The play position in frames; the tone's length once it ran to its end
  // while still in state 3; -1 without a tone.
  virtual int64_t getPosition() = 0;
};

class DSSfxChannel final : public UTSfxChannel {
 public:
  // No tone (state 1), volume 100, pan 0, frequency ratio 4096.
  explicit DSSfxChannel(Mixer& mixer) : mixer_(mixer) {}
  // Releases the duplicate after the mixer's render has left it.
  ~DSSfxChannel() override = default;
  DSSfxChannel(const DSSfxChannel&) = delete;
  DSSfxChannel& operator=(const DSSfxChannel&) = delete;

  // Releases the current duplicate first. 0; 103 when the duplicate cannot
  // be made (then unbound, state 1); 6 for a tone that is not a DSSfxTone.
  int32_t setTone(UTSfxTone* tone) override;
  // 0; 30 without a tone; 103 when the buffer fails.
  int32_t play() override;
  // State 2 (1 stays 1); 103 when the buffer fails.
  int32_t stop() override;
  // State 4; 103 when the buffer fails.
  int32_t pause() override;
  // 0; 30 without a tone; 103 when the buffer fails.
  int32_t resume() override;
  // Applies the setting to the buffer only (the status keeps reporting the
  // channel's fixed fields). 0, also for an unknown kind or without a tone;
  // -1 when the buffer refuses it.
  int32_t setParam(int32_t kind, int32_t value) override;
  int64_t getPosition() override;

  DSSfxTone* tone() const { return tone_; }
  int32_t state() const { return state_; }
  // The status of sorn_sfxGetStatus: state 1 alone without a tone. A playing
  // channel that reached the tone's end is stopped here (logged) and
  // reported as state 2 at the tone's length. Volume, pan and frequency
  // ratio are the channel's fields, fixed at creation (100, 0, 4096),
  // whatever was applied to its buffer. The caller zeroes the record.
  void getStatus(SoundSfxStatus* out);

 private:
  // Stops the buffer and takes the state (stopped or paused); 103 when the
  // buffer refuses, the state unchanged.
  int32_t halt(int32_t state);

  static constexpr int32_t kVolume = 100;  // API volume
  static constexpr int32_t kPan = 0;
  static constexpr int32_t kFrequencyRatio = 4096;

  Mixer& mixer_;
  DSSfxTone* tone_ = nullptr;
  int32_t state_ = kNoTone;
  UTFormat format_;  // the bound tone's
  std::unique_ptr<SoundBuffer> buffer_;
};
