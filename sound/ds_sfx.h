// Effect tones and effect channels: a tone holds a whole sound decoded to
// PCM in a mixer buffer that is filled once; each channel plays a tone once
// through its own duplicate of that buffer, so channels can play one tone at
// the same time. Also the decoding of a media into the PCM a tone is made
// from. Everything here runs under the system lock (caller's thread).
#pragma once

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "sound/mixer.h"
#include "sound/sorn.h"
#include "sound/sound_records.h"
#include "sound/ut_data_source.h"

// Largest decoded tone (PCM bytes): what one mixer buffer holds. A larger
// one is refused with 10.
inline constexpr uint64_t kToneMaxBytes = kBufferMaxBytes;

// A whole sound decoded to PCM: its format (length = the frames in pcm)
// and its interleaved frames.
struct DecodedTone {
  UTFormat format;
  std::vector<uint8_t> pcm;
};

// Opens the media and decodes every frame up to the real end of its data
// straight into out->pcm, whose room is the length the decoder states (only
// address space until the frames fill it, so a media that states much and
// holds little costs what it holds): 0. Otherwise the open's code (6, 8,
// 10, 11), or 10 for a format a tone cannot hold or a stated length above
// maxDataBytes, refused before decoding (a WARN names the media). A decoder
// delivers at most its stated length. Logs "loading..." and "loaded".
int32_t DecodeToneMedia(const SoundMediaDesc& desc, DecodedTone* out, uint64_t maxDataBytes = kToneMaxBytes);

class UTSfxTone {
 public:
  virtual ~UTSfxTone() = default;
  virtual const UTFormat& format() const = 0;
};

class DSSfxTone final : public UTSfxTone {
 public:
  // Takes the decoded frames over as a new mixer buffer's bytes (no copy:
  // the buffer holds the tone's only copy). 0, or 103 when the buffer cannot
  // be made (no frames, an unplayable format, more than kBufferMaxBytes);
  // *out is null then.
  static int32_t create(Mixer& mixer, DecodedTone&& decoded, std::unique_ptr<DSSfxTone>* out);

  // Release every channel's duplicate first (DSSfxChannel::setTone(nullptr)).
  ~DSSfxTone() override = default;
  DSSfxTone(const DSSfxTone&) = delete;
  DSSfxTone& operator=(const DSSfxTone&) = delete;

  const UTFormat& format() const override { return format_; }
  const SoundBuffer& buffer() const { return *buffer_; }

 private:
  DSSfxTone(const UTFormat& format, std::unique_ptr<SoundBuffer> buffer)
      : format_(format), buffer_(std::move(buffer)) {}

  UTFormat format_;
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
