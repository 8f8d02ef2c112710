// Opening sound descriptors and the WAVE decoder: the result codes of what
// cannot be opened, the inverted head, chunk walking and a lying data size.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "sound/ut_data_source.h"
#include "tests/sound/sound_fixtures.h"
#include "tests/support/test_support.h"

namespace {

auto FormatOf(const UTDataSource& source) {
  UTFormat f;
  source.getFormat(&f);
  return std::tuple(f.sampleRate, f.channels, f.bitsPerSample, f.bytesPerFrame, f.length);
}

Bytes Patch(Bytes bytes, size_t at, std::string_view four) {
  std::copy(four.begin(), four.end(), bytes.begin() + ptrdiff_t(at));
  return bytes;
}

// A 64-frame 16-bit stereo file with one change.
Bytes Wave(void (*change)(WaveSpec&)) {
  WaveSpec spec;
  spec.samples = Pcm16Pattern(64, 2);
  change(spec);
  return MakeWave(spec);
}

TEST(MediaOpen, AnswersWhatCannotBeOpenedWithItsCodeAndOneWarningWithTheReason) {
  ScopedLogMask mask(LOG_WARN);
  LogCapture log;
  TempDir dir;
  std::unique_ptr<UTDataSource> source;
  EXPECT_EQ(OpenMediaDecoder(FileDesc((dir.path() / "missing.wav").string()), &source), 8);
  EXPECT_EQ(OpenMediaDecoder(FileDesc(dir.path().string()), &source), 8);  // a folder
  const std::pair<uint32_t, int32_t> kinds[] = {{SoundMediaDesc::kUnsupported, 11}, {0, 6}, {4, 6}};
  for (auto [kind, code] : kinds) {
    SoundMediaDesc desc;
    desc.kind = kind;
    EXPECT_EQ(OpenMediaDecoder(desc, &source), code) << kind;
  }

  const Bytes good = Wave([](WaveSpec&) {});
  std::vector<Bytes> refused = {
      {}, Bytes(3000, 0x5A), Wave([](WaveSpec& s) { s.formatTag = 2; }), Wave([](WaveSpec& s) { s.bits = 24; }),
      Wave([](WaveSpec& s) { s.channels = 4; }), Wave([](WaveSpec& s) { s.fmtSize = 14; }),
      Wave([](WaveSpec& s) { s.rate = 0; }), Wave([](WaveSpec& s) { s.rate = 99; }),
      Wave([](WaveSpec& s) { s.rate = 200001; }),
      Patch(good, 36, "junk"),  // no data chunk
      // A chunk size that would wrap a 32-bit offset back onto its own chunk.
      Patch(Wave([](WaveSpec& s) { s.extraChunks = {{"LIST", Bytes(0)}}; }), 40, "\xF8\xFF\xFF\xFF"),
  };
  for (size_t cut : {8, 30, 40}) refused.emplace_back(good.begin(), good.begin() + ptrdiff_t(cut));
  log.clear();
  for (size_t i = 0; i < refused.size(); ++i) EXPECT_EQ(OpenMediaDecoder(MemoryDesc(refused[i]), &source), 10) << i;
  EXPECT_EQ(source, nullptr);
  // Each refusal is one warning that says why.
  EXPECT_EQ(log.lines().size(), refused.size()) << log.all();
  for (const char* why : {"(no data)", "(failed to ov_open_callbacks(): not Ogg Vorbis data)",
                          "(DSWave : unsupported PCM format (4 channels, 16 bits, 44100 Hz))",
                          "(DSWave : format chunk of 14 bytes is too short)", "(DSWave : no data chunk)"}) {
    EXPECT_TRUE(log.contains(std::string("failed to open the sound data as WAVE or Ogg Vorbis ") + why)) << why;
  }
}

TEST(WaveSource, InvertedHeadAndOddSizedChunksDecodeLikeThePlainSamples) {
  // 8-bit mono after a 3-byte chunk and its pad byte; reads of 7 and 333
  // frames straddle byte 2048.
  const WaveSpec spec{1, 1, 11025, 8, 16, {{"LIST", Bytes{1, 2, 3}}, {"fact", Bytes(4, 9)}}, Pcm16Pattern(1500, 1), {}};
  const Bytes plain = MakeWave(spec), inverted = InvertHead(plain);
  MaybeWriteSeed("wave_source", "mono8_chunks.wav", plain);
  MaybeWriteSeed("wave_source", "stereo16.wav", MakeWave(2, 44100, 16, Pcm16Pattern(40, 2)));
  MaybeWriteSeed("wave_source", "inverted.wav", InvertHead(MakeWave(1, 22050, 16, Pcm16Pattern(1100, 1))));
  TempDir dir;
  const std::string plainPath = dir.write("plain.wav", std::string(plain.begin(), plain.end())).string();
  const std::string invertedPath = dir.write("inverted.wav", std::string(inverted.begin(), inverted.end())).string();
  const SoundMediaDesc descs[] = {MemoryDesc(plain), MemoryDesc(inverted), FileDesc(plainPath), FileDesc(invertedPath)};
  for (size_t d = 0; d < std::size(descs); ++d) {
    for (int32_t chunk : {3000, 7, 333}) {
      std::unique_ptr<UTDataSource> source;
      ASSERT_EQ(OpenMediaDecoder(descs[d], &source), 0) << d;
      EXPECT_EQ(FormatOf(*source), std::tuple(11025, 1, 8, 1, int64_t{3000}));
      EXPECT_EQ(DecodeAll(*source, chunk), spec.samples) << "descriptor " << d << ", reads of " << chunk;
      Bytes tail(10, 0x55);
      EXPECT_EQ(source->read(tail.data(), 10), 0);
      EXPECT_EQ(tail, Bytes(10, 0x80));  // 8-bit silence is the mid value
    }
  }
}

TEST(WaveSource, ADataSizePastTheFileEndPlaysTheRealSamplesThenSilence) {
  // 100 frames and half a frame, under a data size far past the file's end.
  const Bytes samples = Pcm16Pattern(100, 2);
  WaveSpec spec;
  spec.samples = samples;
  spec.samples.resize(402, 7);
  spec.dataSizeField = 0x7FFFFFF0;
  const Bytes bytes = MakeWave(spec);
  MaybeWriteSeed("wave_source", "lying_size.wav", bytes);

  ScopedLogMask mask(LOG_WARN);
  LogCapture log;
  std::unique_ptr<UTDataSource> source;
  ASSERT_EQ(OpenMediaDecoder(MemoryDesc(bytes), &source), 0);
  EXPECT_TRUE(log.contains("the sound data plays only in part (DSWave : the data chunk declares 2147483632 bytes, "
                           "the file holds 402 of them)"))
      << log.all();
  EXPECT_EQ(std::get<4>(FormatOf(*source)), 100);
  Bytes buffer(150 * 4, 0x55);
  ASSERT_EQ(source->read(buffer.data(), 150), 100);
  Bytes want = samples;
  want.resize(buffer.size(), 0);
  EXPECT_EQ(buffer, want);

  // Seeks stay within 0..length; a seek point lands on its frame.
  EXPECT_EQ(source->seek(101), 100);
  EXPECT_EQ(source->seek(-1), 100);
  std::unique_ptr<DSSeekPoint> point;
  ASSERT_EQ(source->createSeekPoint(40, &point), 0);
  source->restoreSeekPoint(*point);
  ASSERT_EQ(source->read(buffer.data(), 10), 10);
  EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 40, samples.begin() + 160));
}

}  // namespace
