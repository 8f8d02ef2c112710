// The body the two sound-source fuzzers share: arbitrary bytes opened as a
// memory descriptor, then everything a stream channel and the media-info
// query do with a decoder (format, reads to the end, seeks, seek points, a
// late start, metadata, loop resolution), with the decoder's contracts
// checked, and the whole-file decode that makes an effect tone. Called from
// the fuzzer's one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "app/log.h"
#include "sound/ds_sfx.h"
#include "sound/meta_data.h"
#include "sound/mixer.h"
#include "sound/ut_data_source.h"

// libvorbisfile 1.3.7 loses a few bytes of its own when the open of a
// chained stream fails on a later link's headers (OV_EREAD): a library
// fault, not ours to free. The frames carry no symbols, so only the modules
// can be named: the allocations are made in libvorbis (the codec's header
// and setup records) on libvorbisfile's behalf, and a report's stack may
// end in either. Our own ov_clear duty is checked by the sanitizer build of
// the tests, which has no such suppression.
extern "C" const char* __lsan_default_suppressions() { return "leak:libvorbisfile.so\nleak:libvorbis.so\n"; }

inline void FuzzSoundSourceInit() {
  // The library's lines go to DEBUG: off, so the fuzzer's output stays readable.
  SetLogLevelMask(0);
}

// The whole-file decode of an effect: the bytes become a tone (within a
// small cap, so the fuzzer stays fast) that plays through a mixer; a tone
// never holds more than the cap, nor other than its stated frames.
inline void FuzzToneDecode(const SoundMediaDesc& desc) {
  constexpr uint64_t kCap = 1 << 20;
  DecodedTone decoded;
  if (DecodeToneMedia(desc, &decoded, kCap) != kSornOk) {
    if (!decoded.pcm.empty()) std::abort();
    return;
  }
  const UTFormat format = decoded.format;
  if (format.length < 0 || uint64_t(format.length) * uint64_t(format.bytesPerFrame) > kCap ||
      decoded.pcm.size() != size_t(format.length * format.bytesPerFrame)) {
    std::abort();
  }
  Mixer mixer(22050, 2);
  std::unique_ptr<DSSfxTone> tone;
  if (DSSfxTone::create(mixer, std::move(decoded), &tone) != kSornOk) return;
  if (tone->format().length != format.length || tone->buffer().size() != size_t(format.length * format.bytesPerFrame)) {
    std::abort();
  }
  DSSfxChannel channel(mixer);
  if (channel.setTone(tone.get()) != kSornOk || channel.play() != kSornOk) std::abort();
  std::vector<int16_t> out(2 * 4096);
  mixer.render(out.data(), 4096);
  channel.setTone(nullptr);
}

inline void FuzzSoundSource(const uint8_t* data, size_t size) {
  if (size > UINT32_MAX) return;
  SoundMediaDesc desc;
  desc.kind = SoundMediaDesc::kMemory;
  desc.data = data;
  desc.size = static_cast<uint32_t>(size);
  std::unique_ptr<UTDataSource> source;
  const int32_t result = OpenMediaDecoder(desc, &source);
  if (result != 0) {
    if (source || result != kSoundUnrecognised) std::abort();
    return;
  }

  UTFormat format;
  source->getFormat(&format);
  if ((format.channels != 1 && format.channels != 2) || (format.bitsPerSample != 8 && format.bitsPerSample != 16) ||
      format.bytesPerFrame != format.channels * format.bitsPerSample / 8 || format.sampleRate < 100 ||
      format.sampleRate > 200000 || format.length < 0) {
    std::abort();
  }

  // Reads to the end (bounded): what is not delivered is silence, and nothing
  // is written past the requested frames.
  constexpr int32_t kFrames = 4096;
  constexpr size_t kGuard = 64;
  const size_t want = static_cast<size_t>(kFrames) * format.bytesPerFrame;
  const uint8_t silence = format.bitsPerSample == 8 ? 0x80 : 0;
  std::vector<uint8_t> buffer(want + kGuard);
  auto readChecked = [&](int32_t frames) {
    std::memset(buffer.data(), 0xA5, buffer.size());
    const int32_t got = source->read(buffer.data(), frames);
    if (got < 0 || got > frames) std::abort();
    const size_t end = static_cast<size_t>(frames) * format.bytesPerFrame;
    for (size_t i = static_cast<size_t>(got) * format.bytesPerFrame; i < end; ++i) {
      if (buffer[i] != silence) std::abort();
    }
    for (size_t i = end; i < buffer.size(); ++i) {
      if (buffer[i] != 0xA5) std::abort();
    }
    return got;
  };
  // From where the source stands, never more than the length it reports.
  auto readToEnd = [&](int64_t from) {
    int64_t total = 0;
    for (int i = 0; i < 256; ++i) {
      const int32_t got = readChecked(kFrames);
      total += got;
      if (got == 0) break;
    }
    if (total > format.length - from || source->tell() != from + total) std::abort();
  };
  readToEnd(0);

  // A seek lands where it was asked (or, failing, somewhere within the
  // length) and the reads from there keep to the length.
  for (int64_t frame : {int64_t{0}, format.length / 2, format.length, int64_t{-1}, format.length + 1}) {
    const int64_t at = source->seek(frame);
    if (at < 0 || at > format.length || source->tell() != at) std::abort();
    if (frame & 1) {
      readChecked(3);
    } else {
      readToEnd(at);
    }
  }
  std::unique_ptr<DSSeekPoint> point;
  source->createSeekPoint(format.length / 3, &point);
  source->restoreSeekPoint(*point);
  readChecked(100);

  // A start far into a fresh source (nothing decoded before it) lands as
  // well, and so does a seek back from there.
  if (OpenMediaDecoder(desc, &source) != 0) std::abort();
  for (int64_t frame : {format.length - format.length / 8, format.length / 4}) {
    const int64_t at = source->seek(frame);
    if (at < 0 || at > format.length || source->tell() != at) std::abort();
    readToEnd(at);
  }

  MetaDataList meta;
  source->getMetaData(&meta);
  FuzzToneDecode(desc);
  const std::vector<SoundLoopRegion> options[] = {{}, {{1, format.length / 4, format.length / 2}}};
  for (const auto& list : options) {
    const LoopRegion region = ResolveLoopRegion(format.length, meta, list);
    if (region.enabled && !(region.start >= 0 && region.start < region.end && region.end <= format.length)) {
      std::abort();
    }
  }
}
