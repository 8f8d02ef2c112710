// The Ogg Vorbis decoder against libvorbisfile's own ov_read, the streams it
// refuses, comments as metadata, and the loop-region rule with its log
// lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
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

TEST(VorbisSource, DecodesExactlyWhatOvReadGives) {
  TempDir dir;
  struct Shape {
    int32_t rate;
    int32_t channels;
    int64_t frames;
  };
  for (const Shape& spec : {Shape{44100, 2, 44100}, Shape{22050, 1, 11111}}) {
    const Bytes ogg = MakeOgg(spec.rate, spec.channels, spec.frames);
    const Bytes reference = Reference(ogg);
    const int32_t frameBytes = spec.channels * 2;
    ASSERT_EQ(static_cast<int64_t>(reference.size()), spec.frames * frameBytes);

    const Bytes inverted = InvertHead(ogg);
    const std::string path = dir.write("inverted.ogg", std::string(inverted.begin(), inverted.end())).string();
    for (const SoundMediaDesc& desc : {MemoryDesc(ogg), FileDesc(path)}) {
      std::unique_ptr<UTDataSource> source;
      ASSERT_EQ(OpenMediaDecoder(desc, &source), 0);
      UTFormat format;
      source->getFormat(&format);
      EXPECT_EQ(format.sampleRate, spec.rate);
      EXPECT_EQ(format.channels, spec.channels);
      EXPECT_EQ(format.bitsPerSample, 16);
      EXPECT_EQ(format.bytesPerFrame, frameBytes);
      EXPECT_EQ(format.length, spec.frames);
      EXPECT_EQ(DecodeAll(*source, 999), reference) << spec.rate;

      // Past the end: nothing, and silence in the buffer.
      Bytes buffer(static_cast<size_t>(100 * frameBytes), 0x55);
      EXPECT_EQ(source->read(buffer.data(), 100), 0);
      EXPECT_EQ(buffer, Bytes(buffer.size(), 0));

      // A seek, and a seek point, land on the same samples as a straight read.
      EXPECT_EQ(source->seek(5000), 5000);
      ASSERT_EQ(source->read(buffer.data(), 100), 100);
      EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), reference.begin() + 5000 * frameBytes));
      std::unique_ptr<DSSeekPoint> point;
      source->createSeekPoint(spec.frames - 10, &point);
      source->restoreSeekPoint(*point);
      std::fill(buffer.begin(), buffer.end(), 0x55);
      ASSERT_EQ(source->read(buffer.data(), 100), 10);
      EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 10 * frameBytes, reference.end() - 10 * frameBytes));
      EXPECT_TRUE(std::all_of(buffer.begin() + 10 * frameBytes, buffer.end(), [](uint8_t b) { return b == 0; }));
    }
  }
}

TEST(VorbisSource, RefusesStreamsItCannotPlayAndPlaysWhatACutFileHolds) {
  ScopedLogMask mask(LOG_DEBUG);
  LogCapture log;
  const Bytes stereo = MakeOgg(44100, 2, 30000, {}, 1);
  std::unique_ptr<UTDataSource> source;

  EXPECT_EQ(OpenMediaDecoder(MemoryDesc(MakeOgg(44100, 3, 4000)), &source), 10);
  EXPECT_TRUE(log.contains("more than two channels")) << log.all();
  const Bytes mixedChain = Concat(stereo, MakeOgg(22050, 2, 4000, {}, 2));
  EXPECT_EQ(OpenMediaDecoder(MemoryDesc(mixedChain), &source), 10);
  const Bytes monoChain = Concat(stereo, MakeOgg(44100, 1, 4000, {}, 3));
  EXPECT_EQ(OpenMediaDecoder(MemoryDesc(monoChain), &source), 10);
  EXPECT_TRUE(log.contains("chained links differ in rate or channels")) << log.all();
  EXPECT_EQ(source, nullptr);

  // Links that agree play as one stream.
  const Bytes chain = Concat(stereo, MakeOgg(44100, 2, 4000, {}, 4));
  ASSERT_EQ(OpenMediaDecoder(MemoryDesc(chain), &source), 0);
  UTFormat format;
  source->getFormat(&format);
  EXPECT_EQ(format.length, 34000);
  EXPECT_EQ(DecodeAll(*source, 4096), Reference(chain));
  MaybeWriteSeed("vorbis_source", "chained.ogg",
                 Concat(MakeOgg(8000, 1, 800, {}, 5), MakeOgg(8000, 1, 800, {}, 6)));

  // A file cut short plays the samples it still holds, then nothing.
  const Bytes longer = MakeOgg(44100, 2, 132300, {}, 7);
  const Bytes cut(longer.begin(), longer.end() - 1000);  // into the last page
  ASSERT_EQ(OpenMediaDecoder(MemoryDesc(cut), &source), 0);
  source->getFormat(&format);
  EXPECT_GT(format.length, 0);
  EXPECT_LT(format.length, 132300);
  const Bytes decoded = DecodeAll(*source, 1000);
  EXPECT_EQ(static_cast<int64_t>(decoded.size()), format.length * 4);
  const Bytes full = Reference(longer);
  ASSERT_LE(decoded.size(), full.size());
  EXPECT_TRUE(std::equal(decoded.begin(), decoded.end(), full.begin()));
}

const std::u16string& StringValue(const MetaDataEntry& entry) {
  return static_cast<const EntryImpl<std::u16string>&>(entry).value();
}

TEST(VorbisMetadata, CommentsBecomeEntriesTheLastValueWinsAndInvalidUtf8IsSkipped) {
  ScopedLogMask mask(LOG_DEBUG);
  LogCapture log;
  const Bytes ogg = MakeOgg(22050, 1, 2000,
                                    {"TITLE=first", "ARTIST=someone", "TITLE=second", "BAD=\xff\xfe",
                                     "OVERLONG=\xc0\xaf", "SURROGATE=\xed\xa0\x80", "CUT=\xe3\x81", "no separator",
                                     "KEY==v", "\xe5\x90\x8d\xe5\x89\x8d=\xe5\x80\xa4"});
  std::unique_ptr<UTDataSource> source;
  ASSERT_EQ(OpenMediaDecoder(MemoryDesc(ogg), &source), 0);
  MetaDataList meta;
  ASSERT_EQ(source->getMetaData(&meta), 0);

  const std::vector<std::pair<std::u16string, std::u16string>> expected = {
      {u"ARTIST", u"someone"}, {u"TITLE", u"second"}, {u"KEY", u"=v"}, {u"名前", u"値"}};
  ASSERT_EQ(meta.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(meta.at(i).kind(), MetaDataEntry::kString);
    EXPECT_EQ(meta.at(i).key(), expected[i].first) << i;
    EXPECT_EQ(StringValue(meta.at(i)), expected[i].second) << i;
  }
  EXPECT_EQ(StringValue(*meta.find(u"TITLE")), u"second");
  EXPECT_EQ(meta.find(u"title"), nullptr);
  EXPECT_EQ(meta.find(u"BAD"), nullptr);
  EXPECT_TRUE(log.contains("no separator\n")) << log.all();
  EXPECT_TRUE(log.contains("DSVorbis::adding entry key='TITLE' value='first'\n"));
  EXPECT_TRUE(log.contains("DSVorbis::adding entry key='名前' value='値'\n"));
  EXPECT_FALSE(log.contains("BAD"));

  // Adding an existing key replaces its entry and moves it to the end.
  meta.add(std::make_unique<EntryImpl<std::u16string>>(u"ARTIST", u"another"));
  ASSERT_EQ(meta.size(), expected.size());
  EXPECT_EQ(meta.at(0).key(), u"TITLE");
  EXPECT_EQ(meta.at(3).key(), u"ARTIST");
  EXPECT_EQ(StringValue(*meta.find(u"ARTIST")), u"another");
  EXPECT_EQ(StringValue(*meta.find(u"名前")), u"値");
}

TEST(LoopRegion, ResolvesEachEdgeCaseWithItsLogLine) {
  ScopedLogMask mask(LOG_DEBUG);
  {
    // From the comments of a real file: end 0 means the end of the track.
    LogCapture log;
    const Bytes ogg = MakeOgg(44100, 1, 66150, {"so3.stream.looppoint.start=44100", "so3.stream.looppoint.end=0"});
    std::unique_ptr<UTDataSource> source;
    ASSERT_EQ(OpenMediaDecoder(MemoryDesc(ogg), &source), 0);
    MetaDataList meta;
    source->getMetaData(&meta);
    const LoopRegion region = ResolveLoopRegion(66150, meta, {});
    EXPECT_TRUE(region.enabled);
    EXPECT_EQ(region.start, 44100);
    EXPECT_EQ(region.end, 66150);
    EXPECT_TRUE(log.contains("looping enabled\n")) << log.all();
  }
  MaybeWriteSeed("vorbis_source", "loop_points.ogg",
                 MakeOgg(11025, 1, 1500, {"so3.stream.looppoint.start=100", "so3.stream.looppoint.end=900"}));
  MaybeWriteSeed("vorbis_source", "inverted_stereo.ogg", InvertHead(MakeOgg(8000, 2, 1000)));

  constexpr int64_t kLength = 1000;
  struct Case {
    const char* what;
    const char16_t* start;  // comment values; null: no entry
    const char16_t* end;
    std::vector<SoundLoopRegion> options;
    LoopRegion want;
    const char* line;
  };
  const Case cases[] = {
      {"no loop points", nullptr, nullptr, {}, {-1, kLength, false}, "looping disabled\n"},
      {"a region record of 0..0 loops everything", nullptr, nullptr, {{1, 0, 0}}, {0, kLength, true},
       "looping enabled\n"},
      {"the last region record wins over the comments", u"100", u"900", {{1, 10, 20}, {7, 1, 2}, {1, 300, 400}},
       {300, 400, true}, "looping enabled\n"},
      {"a start at the length", u"1000", nullptr, {}, {-1, kLength, false}, "LoopPointStart is out of range\n"},
      {"an end at the start", u"500", u"500", {}, {-1, kLength, false},
       "Invalid LoopRegion (LoopPointEnd <= LoopPointStart)\n"},
      {"an end past the length", u"500", u"5000", {}, {500, kLength, true}, "looping enabled\n"},
      {"decimal text with blanks, sign and a tail", u" +12abc", u"-3", {}, {12, kLength, true}, "looping enabled\n"},
      {"a start below -2", nullptr, nullptr, {{1, -7, 300}}, {-1, 300, false}, "looping disabled\n"},
  };
  for (const Case& c : cases) {
    MetaDataList meta;
    if (c.start) meta.add(std::make_unique<EntryImpl<std::u16string>>(kLoopStartKey, c.start));
    if (c.end) meta.add(std::make_unique<EntryImpl<std::u16string>>(kLoopEndKey, c.end));
    LogCapture log;
    const LoopRegion got = ResolveLoopRegion(kLength, meta, c.options);
    EXPECT_EQ(got.start, c.want.start) << c.what;
    EXPECT_EQ(got.end, c.want.end) << c.what;
    EXPECT_EQ(got.enabled, c.want.enabled) << c.what;
    EXPECT_TRUE(log.contains(c.line)) << c.what << "\n" << log.all();
    EXPECT_TRUE(log.contains(c.want.enabled ? "looping enabled\n" : "looping disabled\n")) << c.what;
  }

  // Integer entries are taken as they are.
  MetaDataList meta;
  meta.add(std::make_unique<EntryImpl<int64_t>>(kLoopStartKey, 10));
  meta.add(std::make_unique<EntryImpl<int64_t>>(kLoopEndKey, 20));
  const LoopRegion region = ResolveLoopRegion(kLength, meta, {});
  EXPECT_TRUE(region.enabled);
  EXPECT_EQ(region.start, 10);
  EXPECT_EQ(region.end, 20);
}

}  // namespace
