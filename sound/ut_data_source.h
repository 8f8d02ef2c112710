// The decoder interface every sound source is played through, its seek
// points, and the opening of a SoundMediaDesc: the byte source, the undoing
// of an inverted head, then the WAVE parse or else the Ogg Vorbis open. A
// decoder is used by one thread at a time (the caller's, or a stream
// channel's under its mutex); opening runs on the caller's thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "sound/meta_data.h"
#include "sound/sound_records.h"

// One remembered frame position of a decoder.
struct DSSeekPoint {
  explicit DSSeekPoint(int64_t f) : frame(f) {}
  virtual ~DSSeekPoint() = default;
  int64_t frame;
};

// Delivers interleaved little-endian PCM frames (8-bit unsigned or 16-bit
// signed, one or two channels). Positions are sample frames. Destroying it
// destroys its media.
class UTDataSource {
 public:
  virtual ~UTDataSource() = default;
  // Always 0.
  virtual int32_t getFormat(UTFormat* out) const = 0;
  // Always 0; *out becomes a copy of the metadata.
  virtual int32_t getMetaData(MetaDataList* out) const = 0;
  // Decodes up to `frames` frames (>= 0) from the current position into
  // buffer, which holds frames x bytes-per-frame bytes. Returns the frames
  // delivered (0 at the end or when nothing could be decoded) and advances
  // past them; the rest of the buffer is filled with silence (0, or 0x80
  // for 8-bit samples).
  virtual int32_t read(void* buffer, int32_t frames) = 0;
  virtual void restoreSeekPoint(const DSSeekPoint& point) = 0;
  // Moves to the frame when it lies in 0..length; returns the position
  // afterwards (unchanged when refused).
  virtual int64_t seek(int64_t frame) = 0;
  // Always 0; *out remembers the frame.
  virtual int32_t createSeekPoint(int64_t frame, std::unique_ptr<DSSeekPoint>* out) const = 0;
  // The current frame, or a negative error.
  virtual int64_t tell() const = 0;
};

// Result codes of OpenMediaDecoder (the sound library's own).
enum : int32_t {
  kSoundOk = 0,
  kSoundBadArgument = 6,
  kSoundCannotOpen = 8,
  kSoundUnrecognised = 10,
  kSoundUnsupported = 11,
};

// Opens the descriptor's media and its decoder: kind 1 a copy of the memory
// block, kind 3 the file at the path, kind 2 gives 11 and any other kind 6;
// a file that cannot be opened gives 8. Media whose first four bytes are the
// inverted "OggS" or "RIFF" are read through UTMedia_Decriptor. An accepted
// WAVE PCM header is parsed as WAVE; anything else is tried as Ogg Vorbis,
// and 10 means neither (an empty media too). 0 stores the decoder (owning
// the media) in *out; otherwise *out is reset. Media that fails to open, or
// opens with its data cut short, leaves one WARN line with the file's name
// and the decoder's reason.
int32_t OpenMediaDecoder(const SoundMediaDesc& desc, std::unique_ptr<UTDataSource>* out);

// How log lines name the descriptor's media: the quoted path of a file, else
// "the sound data".
std::u16string SoundMediaName(const SoundMediaDesc& desc);
