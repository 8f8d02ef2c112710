// Code-page conversions of the game's text files, slash paths and the
// 1024-character formatter of path building.
#include "app/string_util.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

constexpr char16_t kReplacement = 0xFFFD;

// "セーブデータ：第１章" in CP932.
const std::string kSaveTitleBytes =
    "\x83\x5A\x81\x5B\x83\x75\x83\x66\x81\x5B\x83\x5E\x81\x46\x91\xE6\x82\x50\x8F\xCD";
const std::u16string kSaveTitle = u"セーブデータ：第１章";

std::u16string Decode(const std::string& bytes) { return MultiByteToWString(bytes.data(), bytes.size()); }

TEST(StringCodePage, JapaneseTextRoundTrips) {
  EXPECT_EQ(Decode(kSaveTitleBytes), kSaveTitle);
  EXPECT_EQ(WStringToMultiByte(kSaveTitle), kSaveTitleBytes);
  const std::string mixed = "name=\x96\xBC\x91\x4F;\r\n";  // "name=名前;"
  EXPECT_EQ(Decode(mixed), u"name=名前;\r\n");
  EXPECT_EQ(WStringToMultiByte(Decode(mixed)), mixed);
}

TEST(StringCodePage, FullwidthTildeRoundTrips) {
  EXPECT_EQ(Decode("\x81\x60"), u"\uFF5E");
  EXPECT_EQ(WStringToMultiByte(u"\uFF5E"), "\x81\x60");
}

TEST(StringCodePage, HalfWidthKatakana) {
  EXPECT_EQ(Decode("\xBB\xB3\xDD\xC4\xDE"), u"ｻｳﾝﾄﾞ");
  EXPECT_EQ(WStringToMultiByte(u"ｻｳﾝﾄﾞ"), "\xBB\xB3\xDD\xC4\xDE");
}

TEST(StringCodePage, InvalidByteBecomesReplacementAndDecodingGoesOn) {
  EXPECT_EQ(Decode("ok\xFF\x82\xA0!"), (std::u16string{u'o', u'k', kReplacement, u'あ', u'!'}));
  EXPECT_EQ(Decode("\x81\x20" "x"), (std::u16string{kReplacement, u' ', u'x'}));
  // "テキスト" behind a bad byte: the trail bytes lie in the ASCII range.
  EXPECT_EQ(Decode("\xFF\x83\x65\x83\x4C\x83\x58\x83\x67"), (std::u16string{kReplacement} + u"テキスト"));
}

TEST(StringCodePage, TruncatedLeadByteAtTheEnd) {
  EXPECT_EQ(Decode("abc\x82"), (std::u16string{u'a', u'b', u'c', kReplacement}));
}

TEST(StringCodePage, LengthIsHonouredNotTheTerminator) {
  const char bytes[] = "a\0b\x82\xA0tail";
  EXPECT_EQ(MultiByteToWString(bytes, 5), std::u16string(u"a\0bあ", 4));
  EXPECT_EQ(MultiByteToWString(bytes, 1), u"a");
  EXPECT_EQ(MultiByteToWString(bytes, 0), u"");
  EXPECT_EQ(MultiByteToWString(nullptr, 0), u"");
}

TEST(StringCodePage, BytesToWString) {
  EXPECT_EQ(BytesToWString({}), u"");
  const std::vector<uint8_t> bytes(kSaveTitleBytes.begin(), kSaveTitleBytes.end());
  EXPECT_EQ(BytesToWString(bytes), kSaveTitle);
  EXPECT_EQ(BytesToWString({0xFF, 0x41}), (std::u16string{kReplacement, u'A'}));
}

TEST(StringCodePage, CharacterWithoutFormBecomesOneBlank) {
  EXPECT_EQ(WStringToMultiByte(u"caf\u00E9"), "caf ");
  EXPECT_EQ(WStringToMultiByte(u"[\U0001F600]"), "[ ]");
  EXPECT_EQ(WStringToMultiByte(u"\U0001F600\U0001F600"), "  ");
  EXPECT_EQ(WStringToMultiByte(u"\u00E9あ"), " \x82\xA0");
}

TEST(StringCodePage, EmptyText) { EXPECT_EQ(WStringToMultiByte(u""), ""); }

// A text saved as UTF-8 is told from the game code page: only valid UTF-8
// with a character of two bytes or more counts; CP932 Japanese text (its
// lead bytes are UTF-8 continuation bytes) and plain ASCII do not.
TEST(StringCodePage, MultiByteUtf8IsToldFromCodePageText) {
  EXPECT_TRUE(IsMultiByteUtf8("(:name . \"\xE5\xA4\x95\xE6\x9A\xAE\xE3\x82\x8C\")"));  // 夕暮れ
  EXPECT_TRUE(IsMultiByteUtf8(std::string(20, 'a') + "\xC3\xA9\xF0\x9F\x98\x80"));       // é and an emoji
  EXPECT_FALSE(IsMultiByteUtf8(WStringToMultiByte(u"夕暮れの川、灯籠")));
  EXPECT_FALSE(IsMultiByteUtf8("(a3:eval 1) ; ascii only"));
  EXPECT_FALSE(IsMultiByteUtf8(""));
  for (const char* bad : {"\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE3\x81", "\x82\xA0"}) {
    EXPECT_FALSE(IsMultiByteUtf8(std::string("ok ") + bad)) << bad;  // overlong, surrogate, past U+10FFFF, cut, CP932
  }
}

TEST(StringSlashPath, BackslashesBecomeSlashes) {
  EXPECT_EQ(ToSlashPath(u"C:\\Games\\save\\001.dat"), u"C:/Games/save/001.dat");
  EXPECT_EQ(ToSlashPath(u"mixed/a\\b/c"), u"mixed/a/b/c");
  EXPECT_EQ(ToSlashPath(u"\\\\"), u"//");
  EXPECT_EQ(ToSlashPath(u"表\\ソ"), u"表/ソ");
}

TEST(StringSlashPath, OtherTextIsUnchanged) {
  EXPECT_EQ(ToSlashPath(u""), u"");
  EXPECT_EQ(ToSlashPath(u"already/fine.txt"), u"already/fine.txt");
  EXPECT_EQ(ToSlashPath(u"\uFF3C"), u"\uFF3C");  // a fullwidth backslash is not a separator
}

TEST(StringFormat1024, FormatsLikeFormat) {
  EXPECT_EQ(FormatString1024(u"%s/%s%0*d.%s", u"se", u"se", 4, 7, u"ogg"), u"se/se0007.ogg");
  EXPECT_EQ(FormatString1024(u"plain"), u"plain");
}

TEST(StringFormat1024, CutsTo1023Characters) {
  const std::u16string long_text(2000, u'x');
  const std::u16string out = FormatString1024(u"<%s>", long_text);
  ASSERT_EQ(out.size(), 1023u);
  EXPECT_EQ(out.front(), u'<');
  EXPECT_EQ(out.substr(1), std::u16string(1022, u'x'));
}

TEST(StringFormat1024, LimitIsExact) {
  EXPECT_EQ(FormatString1024(u"%s", std::u16string(1023, u'a')).size(), 1023u);
  EXPECT_EQ(FormatString1024(u"%s", std::u16string(1022, u'a')).size(), 1022u);
  EXPECT_EQ(FormatString1024(u"%s!", std::u16string(1023, u'a')), std::u16string(1023, u'a'));
}

}  // namespace
