// Stream channels: one decoder of any length played through a 2-second
// looping mixer buffer that a 1 MiB decode ring refills; loop regions, timed
// fades, mute, pan and frequency ratio. Every call runs under the channel's
// mutex (flat operations on the caller's thread, pumps and fade steps on the
// worker threads); nothing here takes the system lock.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "sound/mixer.h"
#include "sound/sorn.h"
#include "sound/sound_clock.h"
#include "sound/sound_records.h"
#include "sound/ut_data_source.h"

// What every stream channel keeps: the decoder, its loop region, the
// settings, the played-frame count and the fade; the output behind it is the
// implementation's. Volumes are linear units (API volume x 100; 10000 and up
// is full level); frames are the decoder's sample frames.
class UTStreamChannel {
 public:
  static constexpr int32_t kStopped = SoundStreamStatus::kStopped;
  static constexpr int32_t kPlaying = SoundStreamStatus::kPlaying;
  static constexpr int32_t kPaused = SoundStreamStatus::kPaused;

  // control() kinds.
  static constexpr int32_t kTimerPump = 1;
  static constexpr int32_t kDecoderPump = 2;

  // setParam() kinds.
  static constexpr int32_t kParamMute = 1;       // value 1 mutes, anything else unmutes
  static constexpr int32_t kParamVolume = 2;     // linear units
  static constexpr int32_t kParamPan = 3;        // -100..100 (clamped)
  static constexpr int32_t kParamFrequency = 4;  // ratio, 4096 = the media's own rate

  virtual ~UTStreamChannel();
  UTStreamChannel(const UTStreamChannel&) = delete;
  UTStreamChannel& operator=(const UTStreamChannel&) = delete;

  // Makes the channel ready to play from the frame (>= 0): 0, -1 without an
  // output buffer, 6 for a negative frame, 103 when the buffer fails.
  virtual int32_t prepare(int64_t startFrame) = 0;
  // Prepares and plays: state 3. Codes as prepare.
  virtual int32_t play(int64_t startFrame) = 0;
  // State 2; 103 (state kept) when the buffer fails.
  virtual int32_t stop() = 0;
  // State 4; 103 (state kept) when the buffer fails.
  virtual int32_t pause() = 0;
  // Plays on from where it was: state 3; -1 without a buffer, 103 (state
  // kept) when the buffer fails.
  virtual int32_t resume() = 0;
  // Stores and applies a setting (kinds above): 0, 6 for another kind, 103
  // when the buffer refuses, -1 (stored, not applied) without a buffer.
  virtual int32_t setParam(int32_t kind, int32_t value) = 0;
  // Frames played since the last prepare, counting through loops and
  // starting at the prepared frame.
  virtual int64_t getStatusValue() const = 0;
  // kTimerPump or kDecoderPump: the frames moved (a failed read gives its
  // value); 6 for another kind.
  virtual int32_t control(int32_t kind) = 0;

  // A fade in API volumes (-1..280; from -1 is the current volume, to -1 is
  // silence) over `milliseconds` of the library clock from now; the fade
  // steps apply it.
  void startFade(int32_t from, int32_t to, int32_t milliseconds);
  // Ends a running fade where it is.
  void endFade() { fadeState_ = kFadeEnded; }
  // The worker threads' fade step on a playing channel: while a fade runs,
  // applies its volume for the clock's time, and its target once the
  // duration has passed (a duration of 0 at the first step).
  void fadeStep();

  int32_t state() const { return state_; }
  int32_t linearVolume() const { return volume_; }
  // Every figure of the status record but the not-open state; the caller
  // zeroes the record first.
  void getStatus(SoundStreamStatus* out) const;

 protected:
  static constexpr int32_t kFadeNone = 0;
  static constexpr int32_t kFadeRunning = 1;
  static constexpr int32_t kFadeEnded = 2;

  // Reads the decoder's format and resolves its loop region from the
  // metadata and the options. A null decoder leaves an empty format.
  UTStreamChannel(const SoundClock& clock, std::unique_ptr<UTDataSource> decoder,
                  const std::vector<SoundLoopRegion>& options);

  // The played count at which the data ends (after it the channel reports
  // state 2 and stops one second later), or -1 while it plays on for ever:
  // the loop end of a one-shot, or where a failed read ended the data.
  int64_t endOfData() const;

  const SoundClock& clock_;
  std::unique_ptr<UTDataSource> decoder_;
  UTFormat format_;
  int64_t loopStart_ = -1;  // -1 when not looping
  int64_t loopEnd_ = 0;     // the length when not looping
  bool looping_ = false;
  bool muted_ = false;
  int32_t volume_ = 100;
  int32_t pan_ = 0;
  int32_t frequencyRatio_ = 4096;
  int32_t state_ = kStopped;
  int64_t played_ = 0;
  // Where a failed read (or seek) ended the data, as a played count; -1
  // while the data lasts.
  int64_t failedEnd_ = -1;

 private:
  int32_t fadeState_ = kFadeNone;
  int32_t fadeFrom_ = 0;  // linear units
  int32_t fadeTo_ = 0;
  int32_t fadeMilliseconds_ = 1000;
  int64_t fadeStartSamples_ = 0;
  int64_t lastClockSamples_ = 0;
  int32_t clockRate_;  // the clock's rate when the channel was made
};

// The stream channel over a mixer buffer of 2 seconds. The decoder pump
// decodes ahead into the ring (at most 44100 frames a call); the timer pump
// counts the frames the mixer played and copies from the ring into the
// buffer behind its play cursor. After the end of a one-shot, or after a
// failed read of any stream, 2 seconds of silence follow the data, so the
// buffer never plays old audio again before the timer pump stops the
// channel one second past the end.
class DSStreamChannel final : public UTStreamChannel {
 public:
  static constexpr int64_t kRingBytes = 1048576;  // one byte stays free
  static constexpr int32_t kPumpFrames = 44100;   // most frames one decoder pump reads
  static constexpr size_t kScratchBytes = 176400;

  // A channel in state 2. Without a buffer (an unplayable format, or the
  // mixer refused it; logged) prepare and play answer -1.
  DSStreamChannel(Mixer& mixer, const SoundClock& clock, std::unique_ptr<UTDataSource> decoder,
                  const std::vector<SoundLoopRegion>& options);
  // Releases the buffer after the mixer's render has left it.
  ~DSStreamChannel() override;

  // A one-shot prepared past its length starts at its end; a looping stream
  // prepared past its loop end starts where that many frames of looping lead.
  int32_t prepare(int64_t startFrame) override;
  int32_t play(int64_t startFrame) override;
  int32_t stop() override;
  int32_t pause() override;
  int32_t resume() override;
  int32_t setParam(int32_t kind, int32_t value) override;
  int64_t getStatusValue() const override { return played_; }
  int32_t control(int32_t kind) override;

  bool hasBuffer() const { return buffer_ != nullptr; }

 private:
  int32_t decoderPump();
  int32_t timerPump();
  // Fills the buffer with silence through a whole lock; false on failure.
  bool clearBuffer();
  // Appends the first `bytes` of the scratch area, just decoded from a
  // short loop region, to loopCopy_.
  void keepForLoopCopy(int64_t bytes);
  // The data ends here: what the ring holds plays, then silence.
  void markDataFailed();
  // Stops the buffer and takes the state (stopped or paused); 103 when the
  // buffer refuses, the state unchanged.
  int32_t halt(int32_t state);
  int32_t applyVolume();

  int64_t ringUsed() const;
  void ringWrite(const uint8_t* bytes, int64_t count);
  void ringFill(uint8_t value, int64_t count);
  void ringRead(uint8_t* out, int64_t count);

  Mixer& mixer_;
  std::unique_ptr<SoundBuffer> buffer_;
  int64_t bufferBytes_ = 0;     // bytes per frame x rate x 2
  int64_t lastPlayCursor_ = 0;  // bytes
  int64_t writeOffset_ = 0;     // bytes; where the next refill goes
  std::vector<uint8_t> ring_;
  int64_t ringWrite_ = 0;
  int64_t ringRead_ = 0;
  int64_t preparedStart_ = -1;  // -1 when not prepared
  int64_t silenceLeft_ = 0;     // frames of silence still to follow the data
  int64_t queued_ = 0;          // played count that the ring's data reaches
  uint8_t silenceByte_ = 0;     // 0x80 for 8-bit samples
  std::vector<uint8_t> scratch_;
  // The frames of a loop region that fits one pump, kept while the decoder
  // first passes through it (fillingLoopCopy_); once whole, the pump copies
  // from it (inLoopCopy_, loopCopyAt_ frames into the region) and leaves the
  // decoder alone.
  std::vector<uint8_t> loopCopy_;
  bool fillingLoopCopy_ = false;
  bool inLoopCopy_ = false;
  int64_t loopCopyAt_ = 0;
};
