// The Ogg Vorbis decoder against libvorbisfile's own ov_read, the streams it
// refuses, comments as metadata, and the loop-region rule with its log lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "sound/meta_data.h"
#include "sound/ut_data_source.h"
#include "sound/vorbis_reference.h"
#include "tests/sound/sound_fixtures.h"
#include "tests/support/test_support.h"

namespace {

Bytes Reference(const Bytes& ogg) {
  Bytes pcm;
  EXPECT_TRUE(ReferenceDecodeOgg(ogg.data(), ogg.size(), &pcm));
  return pcm;
}

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

UTFormat FormatOf(const UTDataSource& source) {
  UTFormat format;
  source.getFormat(&format);
  return format;
}

TEST(VorbisSource, DecodesExactlyWhatOvReadGives) {
  TempDir dir;
  for (auto [rate, channels, frames] : {std::tuple{44100, 2, 44100}, std::tuple{22050, 1, 11111}}) {
    const Bytes ogg = MakeOgg(rate, channels, frames);
    const Bytes reference = Reference(ogg);
    const int32_t frameBytes = channels * 2;
    ASSERT_EQ(int64_t(reference.size()), int64_t(frames) * frameBytes);
    const Bytes inverted = InvertHead(ogg);
    const std::string path = dir.write("inverted.ogg", std::string(inverted.begin(), inverted.end())).string();
    for (const SoundMediaDesc& desc : {MemoryDesc(ogg), FileDesc(path)}) {
      std::unique_ptr<UTDataSource> source;
      ASSERT_EQ(OpenMediaDecoder(desc, &source), 0);
      const UTFormat f = FormatOf(*source);
      EXPECT_EQ(std::tuple(f.sampleRate, f.channels, f.bitsPerSample, f.bytesPerFrame, f.length),
                std::tuple(rate, channels, 16, frameBytes, int64_t(frames)));
      EXPECT_EQ(DecodeAll(*source, 999), reference) << rate;

      // A seek, and a seek point near the end: what is left, then zeros.
      EXPECT_EQ(source->seek(5000), 5000);
      std::unique_ptr<DSSeekPoint> point;
      source->createSeekPoint(frames - 10, &point);
      source->restoreSeekPoint(*point);
      Bytes buffer(size_t(100 * frameBytes), 0x55);
      ASSERT_EQ(source->read(buffer.data(), 100), 10);
      Bytes tail(reference.end() - 10 * frameBytes, reference.end());
      tail.resize(buffer.size(), 0);
      EXPECT_EQ(buffer, tail);
    }
  }
}

// The file with its page `page` (counted from 0) repeated `times` more
// times right after it.
Bytes RepeatPage(const Bytes& ogg, size_t page, int times) {
  size_t at = 0, length = 0;
  for (size_t n = 0; n <= page; ++n, at += length) {
    const size_t segments = ogg.at(at + 26);
    length = 27 + segments;
    for (size_t k = 0; k < segments; ++k) length += ogg.at(at + 27 + k);
  }
  at -= length;
  Bytes out(ogg.begin(), ogg.begin() + ptrdiff_t(at + length));
  for (int t = 0; t < times; ++t) out.insert(out.end(), ogg.begin() + ptrdiff_t(at), ogg.begin() + ptrdiff_t(at + length));
  out.insert(out.end(), ogg.begin() + ptrdiff_t(at + length), ogg.end());
  return out;
}

// libvorbisfile decodes a repeated page again and sets its own position
// back: the source still delivers exactly its length, and a seek to a loop
// start after the end plays what is left from there.
TEST(VorbisSource, APageRepeatedInTheFileNeverTakesTheReadsPastTheLength) {
  const Bytes ogg = MakeOgg(22050, 2, 110250);
  for (size_t page : {2, 4}) {
    const Bytes repeated = RepeatPage(ogg, page, 2);
    if (page == 4) MaybeWriteSeed("vorbis_source", "repeated_page.ogg", repeated);
    std::unique_ptr<UTDataSource> source;
    ASSERT_EQ(OpenMediaDecoder(MemoryDesc(repeated), &source), 0);
    const int64_t length = FormatOf(*source).length;
    ASSERT_EQ(length, 110250);
    EXPECT_EQ(int64_t(DecodeAll(*source, 4096).size()), length * 4) << page;
    EXPECT_EQ(source->tell(), length);
    ASSERT_EQ(source->seek(30000), 30000) << page;
    EXPECT_EQ(int64_t(DecodeAll(*source, 4096).size()), (length - 30000) * 4) << page;
  }
}

// Seeks land exactly on their frame in any order: backwards by the pages
// the decoder passed, forwards by decoding on, and what follows is what
// libvorbisfile decodes from the start.
TEST(VorbisSource, SeeksLandOnTheirFrameInAnyOrder) {
  const int64_t frames = 22050 * 8;
  const Bytes ogg = MakeOgg(22050, 2, frames);
  const Bytes reference = Reference(ogg);
  std::unique_ptr<UTDataSource> source;
  ASSERT_EQ(OpenMediaDecoder(MemoryDesc(ogg), &source), 0);
  for (const int64_t frame : {int64_t{100000}, int64_t{3}, frames - 1, int64_t{22050 * 3 + 7}, int64_t{0},
                              int64_t{22050 * 6}, int64_t{150001}, frames}) {
    ASSERT_EQ(source->seek(frame), frame);
    Bytes buffer(2000 * 4);
    const int64_t got = source->read(buffer.data(), 2000);
    ASSERT_EQ(got, std::min<int64_t>(2000, frames - frame)) << frame;
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + got * 4, reference.begin() + frame * 4)) << frame;
    EXPECT_EQ(source->tell(), frame + got);
  }
}

// The granule position of each page of the given stream (the frame its
// sound ends at), in file order.
std::vector<int64_t> PageGranules(const Bytes& ogg, uint32_t serial) {
  std::vector<int64_t> granules;
  for (size_t at = 0; at + 27 <= ogg.size();) {
    int64_t granule = 0;
    uint32_t pageSerial = 0;
    for (int i = 7; i >= 0; --i) granule = granule << 8 | ogg[at + 6 + size_t(i)];
    for (int i = 3; i >= 0; --i) pageSerial = pageSerial << 8 | ogg[at + 14 + size_t(i)];
    const size_t segments = ogg[at + 26];
    size_t length = 27 + segments;
    for (size_t k = 0; k < segments; ++k) length += ogg.at(at + 27 + k);
    if (pageSerial == serial && granule > 0) granules.push_back(granule);
    at += length;
  }
  return granules;
}

// A start far into a fresh stream (a late start, or a load that restores
// music part-way) is found among the file's pages, not decoded up to: from
// the frames at, before and after a page's end, in one stream and in the
// second link of a chain, the sound is what a decode from the start gives.
TEST(VorbisSource, AFarStartInAFreshStreamIsWhatADecodeFromTheStartGives) {
  const int64_t single = 22050 * 40, link = 22050 * 15;
  const Bytes one = MakeOgg(22050, 2, single, {}, 3);
  const Bytes chain = Concat(MakeOgg(22050, 1, link, {}, 4), MakeOgg(22050, 1, link, {}, 5));
  const struct {
    const Bytes& ogg;
    int64_t length;
    int32_t frameBytes;
    int64_t granule;  // a page's end far into the file
  } files[] = {{one, single, 4, PageGranules(one, 3).at(PageGranules(one, 3).size() * 3 / 4)},
               {chain, 2 * link, 2, link + PageGranules(chain, 5).at(PageGranules(chain, 5).size() / 2)}};
  for (const auto& file : files) {
    ASSERT_GT(file.granule, 22050 * 8);
    const Bytes reference = Reference(file.ogg);
    ASSERT_EQ(int64_t(reference.size()), file.length * file.frameBytes);
    for (const int64_t frame : {file.granule - 1, file.granule, file.granule + 1, file.length - 1}) {
      std::unique_ptr<UTDataSource> source;
      ASSERT_EQ(OpenMediaDecoder(MemoryDesc(file.ogg), &source), 0);
      ASSERT_EQ(source->seek(frame), frame);
      const int64_t want = std::min<int64_t>(3000, file.length - frame);
      Bytes buffer(size_t(3000 * file.frameBytes));
      ASSERT_EQ(source->read(buffer.data(), 3000), want) << frame;
      EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + want * file.frameBytes,
                             reference.begin() + frame * file.frameBytes))
          << frame;
      // A seek back into the sound decoded meanwhile lands as exactly.
      ASSERT_EQ(source->seek(frame - 22050 * 3), frame - 22050 * 3);
      ASSERT_EQ(source->read(buffer.data(), 3000), 3000);
      EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), reference.begin() + (frame - 22050 * 3) * file.frameBytes))
          << frame;
    }
  }
}

TEST(VorbisSource, RefusesStreamsItCannotPlayAndPlaysWhatACutFileHolds) {
  ScopedLogMask mask(LOG_WARN);
  LogCapture log;
  const Bytes stereo = MakeOgg(44100, 2, 4000, {}, 1);
  std::unique_ptr<UTDataSource> source;
  EXPECT_EQ(OpenMediaDecoder(MemoryDesc(MakeOgg(44100, 3, 4000)), &source), 10);
  EXPECT_TRUE(log.contains("more than two channels")) << log.all();
  for (auto [rate, channels] : {std::pair{22050, 2}, std::pair{44100, 1}}) {
    EXPECT_EQ(OpenMediaDecoder(MemoryDesc(Concat(stereo, MakeOgg(rate, channels, 4000, {}, 2))), &source), 10);
  }
  EXPECT_TRUE(log.contains("chained links differ in rate or channels")) << log.all();
  EXPECT_EQ(source, nullptr);

  const Bytes chain = Concat(stereo, MakeOgg(44100, 2, 4000, {}, 4));  // links that agree play as one
  ASSERT_EQ(OpenMediaDecoder(MemoryDesc(chain), &source), 0);
  EXPECT_EQ(FormatOf(*source).length, 8000);
  const Bytes whole = DecodeAll(*source, 4096);
  EXPECT_EQ(whole.size(), 8000u * 4);  // both links, from the first
  EXPECT_EQ(whole, Reference(chain));

  MaybeWriteSeed("vorbis_source", "chained.ogg", Concat(MakeOgg(8000, 1, 800, {}, 5), MakeOgg(8000, 1, 800, {}, 6)));

  // A file cut into its last page plays the samples it still holds.
  const Bytes longer = MakeOgg(44100, 2, 132300, {}, 7);
  ASSERT_EQ(OpenMediaDecoder(MemoryDesc(Bytes(longer.begin(), longer.end() - 1000)), &source), 0);
  const int64_t length = FormatOf(*source).length;
  EXPECT_GT(length, 0);
  ASSERT_LT(length, 132300);
  const Bytes decoded = DecodeAll(*source, 1000);
  ASSERT_EQ(int64_t(decoded.size()), length * 4);
  const Bytes full = Reference(longer);
  EXPECT_TRUE(std::equal(decoded.begin(), decoded.end(), full.begin()));
}

auto Tie(const LoopRegion& r) { return std::tuple(r.start, r.end, r.enabled); }

TEST(VorbisMetadata, CommentsBecomeEntriesTheLastValueWinsAndInvalidUtf8IsSkipped) {
  ScopedLogMask mask(LOG_DEBUG);
  LogCapture log;
  const Bytes ogg = MakeOgg(22050, 1, 2000,
                            {"TITLE=first", "ARTIST=someone", "TITLE=second", "BAD=\xff\xfe", "OVERLONG=\xc0\xaf",
                             "SURROGATE=\xed\xa0\x80", "CUT=\xe3\x81", "no separator", "KEY==v",
                             "\xe5\x90\x8d\xe5\x89\x8d=\xe5\x80\xa4", "so3.stream.looppoint.start=1000",
                             "so3.stream.looppoint.end=0"});
  std::unique_ptr<UTDataSource> source;
  ASSERT_EQ(OpenMediaDecoder(MemoryDesc(ogg), &source), 0);
  MetaDataList meta;
  ASSERT_EQ(source->getMetaData(&meta), 0);
  const std::vector<std::pair<std::u16string, std::u16string>> expected = {
      {u"ARTIST", u"someone"}, {u"TITLE", u"second"},    {u"KEY", u"=v"},
      {u"名前", u"値"},        {kLoopStartKey, u"1000"}, {kLoopEndKey, u"0"}};
  ASSERT_EQ(meta.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(meta.at(i).kind(), MetaDataEntry::kString);
    EXPECT_EQ(meta.at(i).key(), expected[i].first) << i;
    EXPECT_EQ(static_cast<const EntryImpl<std::u16string>&>(meta.at(i)).value(), expected[i].second) << i;
  }
  EXPECT_TRUE(log.contains("no separator\n")) << log.all();
  EXPECT_TRUE(log.contains("DSVorbis::adding entry key='名前' value='値'\n"));
  EXPECT_FALSE(log.contains("BAD"));
  // The loop comments resolve, an end of 0 meaning the end of the track.
  EXPECT_EQ(Tie(ResolveLoopRegion(2000, meta, {})), std::tuple(1000, 2000, true));
  EXPECT_TRUE(log.contains("looping enabled\n"));
}

TEST(LoopRegion, ResolvesEachEdgeCaseWithItsLogLine) {
  ScopedLogMask mask(LOG_DEBUG);
  MaybeWriteSeed("vorbis_source", "loop_points.ogg",
                 MakeOgg(11025, 1, 1500, {"so3.stream.looppoint.start=100", "so3.stream.looppoint.end=900"}));
  MaybeWriteSeed("vorbis_source", "inverted_stereo.ogg", InvertHead(MakeOgg(8000, 2, 1000)));

  constexpr int64_t kLength = 1000;
  const struct {
    const char16_t *start, *end;  // comment values; null: no entry
    std::vector<SoundLoopRegion> options;
    LoopRegion want;
    const char* line;
  } cases[] = {
      {nullptr, nullptr, {}, {-1, kLength, false}, "looping disabled\n"},
      {nullptr, nullptr, {{1, 0, 0}}, {0, kLength, true}, "looping enabled\n"},  // 0..0: the whole track
      // The last region record wins over the comments.
      {u"100", u"900", {{1, 10, 20}, {7, 1, 2}, {1, 300, 400}}, {300, 400, true}, "looping enabled\n"},
      {u"1000", nullptr, {}, {-1, kLength, false}, "LoopPointStart is out of range\n"},
      {u"500", u"500", {}, {-1, kLength, false}, "Invalid LoopRegion (LoopPointEnd <= LoopPointStart)\n"},
      {u"500", u"5000", {}, {500, kLength, true}, "looping enabled\n"},   // an end past the length
      {u" +12abc", u"-3", {}, {12, kLength, true}, "looping enabled\n"},  // blanks, sign and a tail
      {nullptr, nullptr, {{1, -7, 300}}, {-1, 300, false}, "looping disabled\n"},  // a start below -2
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    MetaDataList meta;
    if (cases[i].start) meta.add(std::make_unique<EntryImpl<std::u16string>>(kLoopStartKey, cases[i].start));
    if (cases[i].end) meta.add(std::make_unique<EntryImpl<std::u16string>>(kLoopEndKey, cases[i].end));
    LogCapture log;
    EXPECT_EQ(Tie(ResolveLoopRegion(kLength, meta, cases[i].options)), Tie(cases[i].want)) << i;
    EXPECT_TRUE(log.contains(cases[i].line)) << i << "\n" << log.all();
    EXPECT_TRUE(log.contains(cases[i].want.enabled ? "looping enabled\n" : "looping disabled\n")) << i;
  }

  MetaDataList meta;  // integer entries are taken as they are
  meta.add(std::make_unique<EntryImpl<int64_t>>(kLoopStartKey, 10));
  meta.add(std::make_unique<EntryImpl<int64_t>>(kLoopEndKey, 20));
  EXPECT_EQ(Tie(ResolveLoopRegion(kLength, meta, {})), std::tuple(10, 20, true));
}

}  // namespace
