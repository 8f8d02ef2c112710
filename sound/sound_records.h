// The plain records the sound library's sources and decoders share: the
// description of a sound source with its loop-region options, the format a
// decoder reports, and the reference-counted immutable byte block that
// memory sources and effect tones hold. Any thread; the records are values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/shared_ref.h"

// An option record of a SoundMediaDesc. The only kind is 1: a loop region
// in sample frames; the last one given wins over the media's own loop
// points.
struct SoundLoopRegion {
  uint32_t kind = 1;
  int64_t loopStart = 0;
  int64_t loopEnd = 0;
};

// Names a sound source.
struct SoundMediaDesc {
  static constexpr uint32_t kMemory = 1;
  static constexpr uint32_t kUnsupported = 2;
  static constexpr uint32_t kFile = 3;

  uint32_t kind = 0;
  // kMemory: the bytes (borrowed for the call; the source copies them).
  const uint8_t* data = nullptr;
  uint32_t size = 0;
  // kFile: the path ("/" separators).
  std::u16string path;
  // The option records in list order.
  std::vector<SoundLoopRegion> options;
};

// What a decoder delivers: interleaved little-endian PCM frames.
struct UTFormat {
  int32_t sampleRate = 0;
  int32_t channels = 0;
  int32_t bitsPerSample = 0;
  int32_t bytesPerFrame = 0;
  int64_t length = 0;  // in frames
};

// An immutable byte block shared by count; never null once made.
using SoundBytes = SharedRef<const std::vector<uint8_t>>;

// A copy of the bytes; the one shared empty block when data is null or size
// is 0.
SoundBytes MakeSoundBytes(const uint8_t* data, size_t size);
