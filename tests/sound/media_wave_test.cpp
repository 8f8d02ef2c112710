// Opening sound descriptors and the WAVE decoder: the result codes of what
// cannot be opened, refused WAVE formats and broken headers, the inverted
// head, chunk walking and a data size that lies about the file.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "sound/ut_data_source.h"
#include "tests/sound/sound_fixtures.h"
#include "tests/support/test_support.h"

namespace {

TEST(MediaOpen, AnswersWhatCannotBeOpenedWithItsCode) {
  ScopedLogMask mask(LOG_DEBUG);
  LogCapture log;
  TempDir dir;
  std::unique_ptr<UTDataSource> source;

  EXPECT_EQ(OpenMediaDecoder(FileDesc((dir.path() / "missing.wav").string()), &source), 8);
  EXPECT_EQ(OpenMediaDecoder(FileDesc(dir.path().string()), &source), 8);  // a folder
  SoundMediaDesc desc;
  desc.kind = SoundMediaDesc::kUnsupported;
  EXPECT_EQ(OpenMediaDecoder(desc, &source), 11);
  for (uint32_t kind : {0u, 4u}) {
    desc.kind = kind;
    EXPECT_EQ(OpenMediaDecoder(desc, &source), 6) << kind;
  }
  const Bytes empty;
  EXPECT_EQ(OpenMediaDecoder(MemoryDesc(empty), &source), 10);
  EXPECT_TRUE(log.contains("failed to ov_open_callbacks()")) << log.all();
  const Bytes noise(3000, 0x5A);
  EXPECT_EQ(OpenMediaDecoder(MemoryDesc(noise), &source), 10);
  EXPECT_EQ(source, nullptr);
}

TEST(WaveSource, RefusesFormatsAndHeadersItCannotPlay) {
  const Bytes samples = Pcm16Pattern(64, 2);
  auto with = [&](auto change) {
    WaveSpec spec;
    spec.samples = samples;
    change(spec);
    return MakeWave(spec);
  };
  struct Case {
    const char* what;
    Bytes bytes;
  };
  Case cases[] = {
      {"format tag 2", with([](WaveSpec& s) { s.formatTag = 2; })},
      {"24-bit", with([](WaveSpec& s) { s.bits = 24; })},
      {"4 channels", with([](WaveSpec& s) { s.channels = 4; })},
      {"rate 0", with([](WaveSpec& s) { s.rate = 0; })},
      {"rate 99", with([](WaveSpec& s) { s.rate = 99; })},
      {"rate 200001", with([](WaveSpec& s) { s.rate = 200001; })},
      {"short fmt chunk", with([](WaveSpec& s) { s.fmtSize = 14; })},
      {"no data chunk", with([](WaveSpec&) {})},
  };
  // The data chunk renamed: the walk reaches the end without finding one.
  std::copy_n("junk", 4, cases[std::size(cases) - 1].bytes.end() - static_cast<ptrdiff_t>(samples.size()) - 8);
  ScopedLogMask mask(LOG_DEBUG);
  for (const Case& c : cases) {
    std::unique_ptr<UTDataSource> source;
    EXPECT_EQ(OpenMediaDecoder(MemoryDesc(c.bytes), &source), 10) << c.what;
  }

  // A chunk size that wraps a 32-bit offset back onto its own chunk must
  // not walk forever; the file ends before any such chunk could.
  WaveSpec spec;
  spec.samples = samples;
  spec.extraChunks = {{"LIST", Bytes(0)}};
  Bytes wrapping = MakeWave(spec);
  for (int i = 0; i < 4; ++i) wrapping[40 + i] = static_cast<uint8_t>(0xFFFFFFF8u >> (8 * i));
  std::unique_ptr<UTDataSource> source;
  EXPECT_EQ(OpenMediaDecoder(MemoryDesc(wrapping), &source), 10);

  // Every cut of a good file opens as what remains or is refused.
  const Bytes good = MakeWave(spec);
  for (size_t cut : {size_t{8}, size_t{30}, size_t{40}, size_t{51}}) {
    const Bytes head(good.begin(), good.begin() + static_cast<ptrdiff_t>(cut));
    EXPECT_EQ(OpenMediaDecoder(MemoryDesc(head), &source), 10) << cut;
  }
  const Bytes partial(good.begin(), good.begin() + 52 + 6);  // one whole frame and a half
  ASSERT_EQ(OpenMediaDecoder(MemoryDesc(partial), &source), 0);
  UTFormat format;
  source->getFormat(&format);
  EXPECT_EQ(format.length, 1);
}

TEST(WaveSource, InvertedHeadDecodesLikeThePlainFileAcrossByte2048) {
  // 44 header bytes, then 4-byte frames: byte 2048 is the start of frame 501.
  WaveSpec spec;
  spec.samples = Pcm16Pattern(1500, 2);
  const Bytes plain = MakeWave(spec);
  const Bytes inverted = InvertHead(plain);
  MaybeWriteSeed("wave_source", "stereo16.wav", MakeWave(2, 44100, 16, Pcm16Pattern(40, 2)));
  MaybeWriteSeed("wave_source", "inverted.wav", InvertHead(MakeWave(1, 22050, 16, Pcm16Pattern(1100, 1))));
  TempDir dir;
  const std::string plainPath = dir.write("plain.wav", std::string(plain.begin(), plain.end())).string();
  const std::string invertedPath = dir.write("inverted.wav", std::string(inverted.begin(), inverted.end())).string();

  const SoundMediaDesc descs[] = {MemoryDesc(plain), MemoryDesc(inverted), FileDesc(plainPath), FileDesc(invertedPath)};
  for (size_t d = 0; d < std::size(descs); ++d) {
    for (int32_t chunk : {1500, 7, 333}) {
      std::unique_ptr<UTDataSource> source;
      ASSERT_EQ(OpenMediaDecoder(descs[d], &source), 0) << d;
      UTFormat format;
      source->getFormat(&format);
      EXPECT_EQ(format.sampleRate, 44100);
      EXPECT_EQ(format.channels, 2);
      EXPECT_EQ(format.bitsPerSample, 16);
      EXPECT_EQ(format.bytesPerFrame, 4);
      EXPECT_EQ(format.length, 1500);
      EXPECT_EQ(DecodeAll(*source, chunk), spec.samples) << "descriptor " << d << ", reads of " << chunk;
    }
  }
}

TEST(WaveSource, SkipsAnOddSizedChunkToTheNextEvenOffset) {
  WaveSpec spec;
  spec.channels = 1;
  spec.bits = 8;
  spec.rate = 11025;
  spec.extraChunks = {{"LIST", Bytes{1, 2, 3}}, {"fact", Bytes(4, 9)}};
  for (int i = 0; i < 256; ++i) spec.samples.push_back(static_cast<uint8_t>(i));
  const Bytes bytes = MakeWave(spec);
  MaybeWriteSeed("wave_source", "mono8_chunks.wav", bytes);

  std::unique_ptr<UTDataSource> source;
  ASSERT_EQ(OpenMediaDecoder(MemoryDesc(bytes), &source), 0);
  UTFormat format;
  source->getFormat(&format);
  EXPECT_EQ(format.bitsPerSample, 8);
  EXPECT_EQ(format.bytesPerFrame, 1);
  EXPECT_EQ(format.length, 256);
  EXPECT_EQ(DecodeAll(*source, 100), spec.samples);
  // 8-bit silence is the mid value.
  Bytes tail(10, 0x55);
  EXPECT_EQ(source->read(tail.data(), 10), 0);
  EXPECT_EQ(tail, Bytes(10, 0x80));
}

TEST(WaveSource, ADataSizePastTheFileEndPlaysTheRealSamplesThenSilence) {
  WaveSpec spec;
  spec.samples = Pcm16Pattern(100, 2);
  spec.dataSizeField = 0x7FFFFFF0;
  const Bytes bytes = MakeWave(spec);
  MaybeWriteSeed("wave_source", "lying_size.wav", bytes);

  std::unique_ptr<UTDataSource> source;
  ASSERT_EQ(OpenMediaDecoder(MemoryDesc(bytes), &source), 0);
  UTFormat format;
  source->getFormat(&format);
  EXPECT_EQ(format.length, 100);
  MetaDataList meta;
  EXPECT_EQ(source->getMetaData(&meta), 0);
  EXPECT_EQ(meta.size(), 0u);

  Bytes buffer(150 * 4, 0x55);
  ASSERT_EQ(source->read(buffer.data(), 150), 100);
  EXPECT_TRUE(std::equal(spec.samples.begin(), spec.samples.end(), buffer.begin()));
  EXPECT_TRUE(std::all_of(buffer.begin() + 400, buffer.end(), [](uint8_t b) { return b == 0; }));
  std::fill(buffer.begin(), buffer.end(), 0x55);
  EXPECT_EQ(source->read(buffer.data(), 150), 0);
  EXPECT_EQ(buffer, Bytes(buffer.size(), 0));
  EXPECT_EQ(source->tell(), 100);

  // Seeks stay within 0..length; seek points come back.
  EXPECT_EQ(source->seek(101), 100);
  EXPECT_EQ(source->seek(-1), 100);
  EXPECT_EQ(source->seek(40), 40);
  ASSERT_EQ(source->read(buffer.data(), 10), 10);
  EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 40, spec.samples.begin() + 160));
  std::unique_ptr<DSSeekPoint> point;
  ASSERT_EQ(source->createSeekPoint(90, &point), 0);
  source->restoreSeekPoint(*point);
  EXPECT_EQ(source->tell(), 90);
}

}  // namespace
