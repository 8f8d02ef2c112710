// CP932 conversions: the game's code page as Windows defines it, not the
// plain Shift-JIS table.
#include "platform/codepage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

namespace {

using platform::DecodeCP932;
using platform::EncodeCP932;

constexpr char16_t kReplacement = 0xFFFD;

// "日本語テキスト": several trail bytes fall in the ASCII range (0x7B, 0x65,
// 0x4C, 0x58, 0x67).
const std::string kJapaneseBytes =
    "\x93\xFA\x96\x7B\x8C\xEA\x83\x65\x83\x4C\x83\x58\x83\x67";
const std::u16string kJapaneseText = u"日本語テキスト";

TEST(CodepageDecode, AsciiBytesMapToThemselves) {
  std::string bytes;
  std::u16string expected;
  for (int b = 0; b < 0x80; ++b) {
    bytes.push_back(static_cast<char>(b));
    expected.push_back(static_cast<char16_t>(b));
  }
  EXPECT_EQ(DecodeCP932(bytes), expected);
}

TEST(CodepageDecode, BackslashAndTildeAreNotYenAndOverline) {
  EXPECT_EQ(DecodeCP932("\x5C"), u"\\");
  EXPECT_EQ(DecodeCP932("\x7E"), u"~");
}

TEST(CodepageDecode, JapaneseTextWithAsciiRangeTrailBytes) {
  EXPECT_EQ(DecodeCP932(kJapaneseBytes), kJapaneseText);
  EXPECT_EQ(DecodeCP932("a\x82\xA0" "b"), u"aあb");
}

TEST(CodepageDecode, UsesWindowsMappingsNotShiftJis) {
  EXPECT_EQ(DecodeCP932("\x81\x60"), u"\uFF5E");  // wave dash: fullwidth tilde, not U+301C
  EXPECT_EQ(DecodeCP932("\x81\x7C"), u"\uFF0D");  // fullwidth hyphen-minus, not U+2212
  EXPECT_EQ(DecodeCP932("\x81\x61"), u"\u2225");  // parallel to, not U+2016
  EXPECT_EQ(DecodeCP932("\x81\x91"), u"\uFFE0");  // fullwidth cent, not U+00A2
}

TEST(CodepageDecode, MicrosoftExtensionRowsDecode) {
  EXPECT_EQ(DecodeCP932("\x87\x40"), u"①");
  EXPECT_EQ(DecodeCP932("\xFA\x40"), u"ⅰ");
}

TEST(CodepageDecode, HalfWidthKatakanaAreSingleBytes) {
  EXPECT_EQ(DecodeCP932("\xB1\xB6\xDE"), u"ｱｶﾞ");
  EXPECT_EQ(DecodeCP932("\xB1" "A"), u"ｱA");
}

// A half-width katakana byte is a whole character: the byte behind it starts
// a new one, even when that character's trail byte lies in the ASCII range.
TEST(CodepageDecode, HalfWidthKatakanaBeforeDoubleByteCharacter) {
  EXPECT_EQ(DecodeCP932("\xB1\x83\x41"), u"ｱア");
  EXPECT_EQ(DecodeCP932("\xB1\x95\x5C"), u"ｱ表");
  EXPECT_EQ(DecodeCP932("\xB1\xB2\xB3\x83\x41"), u"ｱｲｳア");
  EXPECT_EQ(DecodeCP932("\xB1\x82\xA0"), u"ｱあ");
}

TEST(CodepageDecode, InvalidByteBecomesReplacementAndDecodingGoesOn) {
  EXPECT_EQ(DecodeCP932("A\xFF" "B"), (std::u16string{u'A', kReplacement, u'B'}));
  EXPECT_EQ(DecodeCP932("\xFF\x82\xA0"), (std::u16string{kReplacement, u'あ'}));
  EXPECT_EQ(DecodeCP932("\xFF\xFF"), (std::u16string{kReplacement, kReplacement}));
}

// The character behind a bad byte decodes whole, whatever its trail byte.
TEST(CodepageDecode, InvalidByteDoesNotSwallowTheNextCharacter) {
  EXPECT_EQ(DecodeCP932("\xFF\x83\x41"), (std::u16string{kReplacement, u'ア'}));
  EXPECT_EQ(DecodeCP932("\xFD\x83\x65\x83\x4C"), (std::u16string{kReplacement, u'テ', u'キ'}));
}

TEST(CodepageDecode, LeadByteWithBadTrailLosesOnlyTheLead) {
  EXPECT_EQ(DecodeCP932("\x81\x20X"), (std::u16string{kReplacement, u' ', u'X'}));
  EXPECT_EQ(DecodeCP932("\x81\x20\x82\xA0"), (std::u16string{kReplacement, u' ', u'あ'}));
}

TEST(CodepageDecode, TruncatedLeadByteAtTheEnd) {
  EXPECT_EQ(DecodeCP932("\x82\xA0\x82"), (std::u16string{u'あ', kReplacement}));
  EXPECT_EQ(DecodeCP932("\x82"), (std::u16string{kReplacement}));
}

TEST(CodepageDecode, EmptyInputGivesEmptyText) { EXPECT_EQ(DecodeCP932(""), u""); }

// Longer than any internal buffer, with a bad byte deep inside the run.
TEST(CodepageDecode, LongRunWithBadByteInTheMiddle) {
  std::string bytes;
  std::u16string expected;
  for (int i = 0; i < 700; ++i) {
    bytes += "\x82\xA0";
    expected += u'あ';
  }
  bytes += "\xFF";
  expected += kReplacement;
  for (int i = 0; i < 700; ++i) {
    bytes += "\x82\xA2";
    expected += u'い';
  }
  bytes += "end";
  expected += u"end";
  const std::u16string decoded = DecodeCP932(bytes);
  EXPECT_EQ(decoded.size(), expected.size());
  const auto diff = std::mismatch(decoded.begin(), decoded.end(), expected.begin(), expected.end());
  EXPECT_TRUE(diff.first == decoded.end() && diff.second == expected.end())
      << "first difference at " << (diff.first - decoded.begin());
}

TEST(CodepageDecode, ThreadsDecodeIndependently) {
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t, &failures] {
      for (int i = 0; i < 500; ++i) {
        if (DecodeCP932(kJapaneseBytes) != kJapaneseText) ++failures[t];
        if (EncodeCP932(kJapaneseText) != kJapaneseBytes) ++failures[t];
      }
    });
  }
  for (std::thread& th : threads) th.join();
  for (int t = 0; t < 4; ++t) EXPECT_EQ(failures[t], 0) << "thread " << t;
}

TEST(CodepageEncode, AsciiPassesThroughIncludingBackslash) {
  EXPECT_EQ(EncodeCP932(u"C:\\dir\\file~1.txt"), "C:\\dir\\file~1.txt");
}

TEST(CodepageEncode, JapaneseText) {
  EXPECT_EQ(EncodeCP932(kJapaneseText), kJapaneseBytes);
  EXPECT_EQ(EncodeCP932(u"ｱｶﾞ"), "\xB1\xB6\xDE");
}

TEST(CodepageEncode, FullwidthTildeIsWaveDash) {
  EXPECT_EQ(EncodeCP932(u"\uFF5E"), "\x81\x60");
  EXPECT_EQ(DecodeCP932(EncodeCP932(u"\uFF5E")), u"\uFF5E");
}

TEST(CodepageEncode, CharacterWithoutFormBecomesOneBlank) {
  EXPECT_EQ(EncodeCP932(u"a\u00E9b"), "a b");
  EXPECT_EQ(EncodeCP932(u"\u00E9\u00E9"), "  ");
}

TEST(CodepageEncode, SurrogatePairBecomesOneBlank) {
  EXPECT_EQ(EncodeCP932(u"x\U0001F600y"), "x y");
}

TEST(CodepageEncode, LoneSurrogatesBecomeBlanks) {
  EXPECT_EQ(EncodeCP932(std::u16string{0xD800, u'a'}), " a");
  EXPECT_EQ(EncodeCP932(std::u16string{0xDC00, 0xD800}), "  ");
}

TEST(CodepageEncode, EmptyTextGivesNoBytes) { EXPECT_EQ(EncodeCP932(u""), ""); }

// The writer takes no best-fit mappings: whatever it encodes must decode to
// the same character, or a yen sign would turn into a path separator and a
// wave dash into a tilde of another code point.
TEST(CodepageEncode, EveryEncodedCharacterDecodesBackToItself) {
  std::u16string offenders;
  for (char32_t c = 0x80; c < 0x10000; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    const std::u16string text(1, static_cast<char16_t>(c));
    const std::string bytes = EncodeCP932(text);
    if (bytes == " ") continue;  // no CP932 form
    if (DecodeCP932(bytes) != text) offenders.push_back(static_cast<char16_t>(c));
  }
  std::string listed;
  for (size_t i = 0; i < offenders.size() && i < 24; ++i) {
    char hex[16];
    snprintf(hex, sizeof hex, "U+%04X ", static_cast<unsigned>(offenders[i]));
    listed += hex;
  }
  EXPECT_TRUE(offenders.empty()) << offenders.size() << " characters take a best-fit form: " << listed;
}

TEST(CodepageEncode, YenSignAndWaveDashHaveNoForm) {
  EXPECT_EQ(EncodeCP932(u"\u00A5"), " ");
  EXPECT_EQ(EncodeCP932(u"\u301C"), " ");
}

}  // namespace
