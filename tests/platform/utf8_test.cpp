// UTF-8 at the operating-system boundary: exact round trips of valid text and
// one U+FFFD per malformed sequence.
#include "platform/utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using platform::FromUtf8;
using platform::ToUtf8;

constexpr char16_t kReplacement = 0xFFFD;
const std::string kReplacementUtf8 = "\xEF\xBF\xBD";

TEST(Utf8Encode, EachSequenceLength) {
  EXPECT_EQ(ToUtf8(u"A"), "A");
  EXPECT_EQ(ToUtf8(u"\u00E9"), "\xC3\xA9");
  EXPECT_EQ(ToUtf8(u"\u07FF"), "\xDF\xBF");
  EXPECT_EQ(ToUtf8(u"\u0800"), "\xE0\xA0\x80");
  EXPECT_EQ(ToUtf8(u"あ"), "\xE3\x81\x82");
  EXPECT_EQ(ToUtf8(u"\uFFFF"), "\xEF\xBF\xBF");
  EXPECT_EQ(ToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
  EXPECT_EQ(ToUtf8(u"\U0010FFFF"), "\xF4\x8F\xBF\xBF");
}

TEST(Utf8Encode, EmbeddedNulIsKept) {
  EXPECT_EQ(ToUtf8(std::u16string(u"a\0b", 3)), std::string("a\0b", 3));
}

TEST(Utf8Encode, LoneSurrogatesBecomeReplacement) {
  EXPECT_EQ(ToUtf8(std::u16string{0xD800}), kReplacementUtf8);
  EXPECT_EQ(ToUtf8(std::u16string{0xDC00}), kReplacementUtf8);
  EXPECT_EQ(ToUtf8(std::u16string{0xD83D, u'A'}), kReplacementUtf8 + "A");
  // Low before high is two lone halves, not a pair.
  EXPECT_EQ(ToUtf8(std::u16string{0xDE00, 0xD83D}), kReplacementUtf8 + kReplacementUtf8);
  // A high surrogate at the very end.
  EXPECT_EQ(ToUtf8(std::u16string{u'x', 0xDBFF}), "x" + kReplacementUtf8);
}

TEST(Utf8Decode, EachSequenceLength) {
  EXPECT_EQ(FromUtf8("A"), u"A");
  EXPECT_EQ(FromUtf8("\xC3\xA9"), u"\u00E9");
  EXPECT_EQ(FromUtf8("\xE3\x81\x82"), u"あ");
  EXPECT_EQ(FromUtf8("\xEF\xBF\xBF"), u"\uFFFF");
  EXPECT_EQ(FromUtf8("\xF0\x9F\x98\x80"), u"\U0001F600");
  EXPECT_EQ(FromUtf8("\xF4\x8F\xBF\xBF"), u"\U0010FFFF");
}

TEST(Utf8Decode, ValidTextRoundTrips) {
  const std::u16string text = u"セーブ/save 01 \u00E9\U0001F600~\\";
  EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
  const std::string bytes = "path/\xE6\x97\xA5\xE6\x9C\xAC/\xF0\x9F\x8E\xB5.ogg";
  EXPECT_EQ(ToUtf8(FromUtf8(bytes)), bytes);
}

TEST(Utf8Decode, EmbeddedNulIsKept) {
  EXPECT_EQ(FromUtf8(std::string("a\0b", 3)), std::u16string(u"a\0b", 3));
}

TEST(Utf8Decode, EncodedSurrogateIsOneReplacement) {
  EXPECT_EQ(FromUtf8("\xED\xA0\x80"), (std::u16string{kReplacement}));
  EXPECT_EQ(FromUtf8("a\xED\xBF\xBF" "b"), (std::u16string{u'a', kReplacement, u'b'}));
  // A pair encoded as two three-byte sequences (CESU-8) is two bad sequences.
  EXPECT_EQ(FromUtf8("\xED\xA0\xBD\xED\xB8\x80"), (std::u16string{kReplacement, kReplacement}));
}

TEST(Utf8Decode, OverlongSequenceIsOneReplacement) {
  EXPECT_EQ(FromUtf8("\xE0\x80\xAF"), (std::u16string{kReplacement}));
  EXPECT_EQ(FromUtf8("\xF0\x80\x80\xAF" "x"), (std::u16string{kReplacement, u'x'}));
}

TEST(Utf8Decode, OverlongTwoByteSlashNeverDecodesToSlash) {
  for (const char* bytes : {"\xC0\xAF", "\xC1\xBF", "\xC0\x80"}) {
    const std::u16string text = FromUtf8(bytes);
    ASSERT_FALSE(text.empty());
    for (char16_t c : text) EXPECT_EQ(c, kReplacement) << "input " << testing::PrintToString(bytes);
  }
}

TEST(Utf8Decode, ValueAboveUnicodeRangeIsReplaced) {
  EXPECT_EQ(FromUtf8("\xF4\x90\x80\x80"), (std::u16string{kReplacement}));
  const std::u16string high = FromUtf8("\xF5\x80\x80\x80");
  ASSERT_FALSE(high.empty());
  for (char16_t c : high) EXPECT_EQ(c, kReplacement);
}

TEST(Utf8Decode, StrayContinuationAndBadLeadBytesAreReplacedOneEach) {
  EXPECT_EQ(FromUtf8("a\x80" "b"), (std::u16string{u'a', kReplacement, u'b'}));
  EXPECT_EQ(FromUtf8("\xFF\xFE"), (std::u16string{kReplacement, kReplacement}));
}

TEST(Utf8Decode, TruncatedSequenceIsOneReplacementAndDecodingGoesOn) {
  EXPECT_EQ(FromUtf8("\xE3\x81"), (std::u16string{kReplacement}));
  EXPECT_EQ(FromUtf8("\xE3\x81" "A"), (std::u16string{kReplacement, u'A'}));
  EXPECT_EQ(FromUtf8("\xF0\x9F\x98\xE3\x81\x82"), (std::u16string{kReplacement, u'あ'}));
  EXPECT_EQ(FromUtf8("x\xC3"), (std::u16string{u'x', kReplacement}));
}

TEST(Utf8Decode, EmptyInput) {
  EXPECT_EQ(FromUtf8(""), u"");
  EXPECT_EQ(ToUtf8(u""), "");
}

}  // namespace
