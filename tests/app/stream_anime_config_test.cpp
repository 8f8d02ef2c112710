// The definition file of a stream animation.
#include <gtest/gtest.h>

#include "app/stream_anime_config.h"
#include "script/tokenizer.h"
#include "tests/support/test_support.h"

namespace {

bool parse(const char16_t* text, StreamAnimeConfig* config) {
  tokenizer::Tokenizer reader;
  if (!reader.parse(text)) return false;
  return ParseStreamAnimeConfig(config, reader.root());
}

TEST(StreamAnimeConfig, FramesWithDefaults) {
  StreamAnimeConfig c;
  ASSERT_TRUE(parse(u"(image-basename . \"f\") (image-num-digits . 3) (image-extension . \"png\")"
                    u" (piclist ((url . 0) (waittime . 50)) ((url . \"x.png\") (rect 1 2 3 4) (other . 1)))",
                    &c));
  EXPECT_EQ(c.frameBaseName, u"f");
  EXPECT_EQ(c.digits, 3);
  EXPECT_EQ(c.frameExtension, u"png");
  EXPECT_EQ(c.loopIndex, -1);
  ASSERT_EQ(c.frames.size(), 2u);
  EXPECT_EQ(c.frames[0].picture, APValue(0));
  EXPECT_EQ(c.frames[0].waitTime, 50);
  EXPECT_EQ(c.frames[0].x, -1);
  EXPECT_EQ(c.frames[0].h, -1);
  EXPECT_EQ(c.frames[1].picture, APValue(u"x.png"));
  EXPECT_EQ(c.frames[1].waitTime, 0);
  EXPECT_EQ(c.frames[1].w, 3);
}

TEST(StreamAnimeConfig, ShortOrOddRectanglesReadAsZero) {
  StreamAnimeConfig c;
  ASSERT_TRUE(parse(u"(piclist ((rect 7 \"a\")))", &c));
  ASSERT_EQ(c.frames.size(), 1u);
  EXPECT_EQ(c.frames[0].x, 7);
  EXPECT_EQ(c.frames[0].y, 0);
  EXPECT_EQ(c.frames[0].h, 0);
}

TEST(StreamAnimeConfig, WrongTypesAreUnknownEntriesOrFailures) {
  LogCapture log;
  StreamAnimeConfig c;
  ASSERT_TRUE(parse(u"(loop-index . \"2\") (mystery . 1)", &c));
  EXPECT_EQ(c.loopIndex, -1);
  EXPECT_TRUE(log.contains("StreamAnimeConfig:未知のエントリ<loop-index> - 無視されました\n"));
  EXPECT_TRUE(log.contains("StreamAnimeConfig:未知のエントリ<mystery> - 無視されました\n"));
  EXPECT_FALSE(parse(u"(piclist ((waittime . \"50\")))", &c));
  EXPECT_FALSE(parse(u"(piclist ((url . (1))))", &c));
  EXPECT_FALSE(parse(u"(\"key\" . 1)", &c));
  EXPECT_FALSE(parse(u"(image-basename)", &c));
  EXPECT_FALSE(parse(u"(piclist 7)", &c));
}

TEST(StreamAnimeConfig, ReadingAgainStartsFromAnEmptyFrameList) {
  StreamAnimeConfig c;
  ASSERT_TRUE(parse(u"(loop-index . 1) (piclist ((url . 1)))", &c));
  ASSERT_TRUE(parse(u"(piclist ((url . 2)))", &c));
  EXPECT_EQ(c.loopIndex, -1);
  ASSERT_EQ(c.frames.size(), 1u);
  EXPECT_EQ(c.frames[0].picture, APValue(2));
}

}  // namespace
