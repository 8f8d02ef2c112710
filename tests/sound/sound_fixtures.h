// Sound files made by the tests themselves: RIFF WAVE files of any shape
// (format tag, sizes, extra chunks, a lying data size), Ogg Vorbis files
// through libvorbisenc with arbitrary comments, the inverted-head form of
// either, and the opt-in writing of fuzz seeds. Test thread only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "sound/sound_records.h"
#include "sound/ut_data_source.h"

using Bytes = std::vector<uint8_t>;

struct WaveSpec {
  uint16_t formatTag = 1;
  uint16_t channels = 2;
  uint32_t rate = 44100;
  uint16_t bits = 16;
  uint32_t fmtSize = 16;  // extra format bytes are zeros
  // Chunks written between "fmt " and "data": id and payload; an odd payload
  // is followed by its pad byte.
  std::vector<std::pair<std::string, Bytes>> extraChunks;
  Bytes samples;                          // the data chunk's payload
  std::optional<uint32_t> dataSizeField;  // a size other than the payload's
};
Bytes MakeWave(const WaveSpec& spec);
// A plain PCM file of the samples.
Bytes MakeWave(uint16_t channels, uint32_t rate, uint16_t bits, const Bytes& samples);

// 16-bit samples, every one distinct enough to show a misplaced byte:
// sample (frame, channel) = frame * 7 + channel * 1000 - 20000, wrapped.
Bytes Pcm16Pattern(int64_t frames, int32_t channels);

// A sine of `hz` (and half of it on the second channel) at about half scale.
std::vector<int16_t> SinePcm(int64_t frames, int32_t channels, int32_t rate, double hz);

// A sine (see SinePcm) of `frames` frames encoded by libvorbisenc as one
// stream with the given serial number, with the comments as raw bytes
// (normally "KEY=value"). Throws when libvorbisenc refuses the settings.
Bytes MakeOgg(int32_t rate, int32_t channels, int64_t frames, const std::vector<std::string>& comments = {},
              int32_t serial = 1);

// The same bytes with the first 2048 (or all, when fewer) bit-inverted.
Bytes InvertHead(Bytes bytes);

// A memory descriptor over the bytes (which must outlive it).
SoundMediaDesc MemoryDesc(const Bytes& bytes);
// A file descriptor for the path.
SoundMediaDesc FileDesc(const std::string& utf8Path);

// Reads the source from its position to its end in reads of `chunk` frames.
Bytes DecodeAll(UTDataSource& source, int32_t chunk);

// When ZEP_WRITE_SOUND_SEEDS names a folder, writes the bytes to
// <folder>/<target>/<name> (the fuzz seed corpus); otherwise nothing.
void MaybeWriteSeed(const std::string& target, const std::string& name, const Bytes& bytes);
