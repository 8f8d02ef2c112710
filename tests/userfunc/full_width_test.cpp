// Half-width to full-width conversion: the ASCII range with its three
// exceptions, the half-width katakana block, and every other character left
// alone; then whole strings, converted in place.
#include "userfunc/full_width.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

bool inConvertedRange(uint32_t c) { return (c >= 0x20 && c <= 0x7F) || (c >= 0xFF61 && c <= 0xFF9F); }

TEST(ToFullWidthChar, AsciiPrintablesMoveToTheFullWidthBlock) {
  for (char16_t c = u'!'; c <= u'~'; ++c) {
    if (c == u'"' || c == u'\'' || c == u'\\') continue;
    EXPECT_EQ(toFullWidthChar(c), static_cast<char16_t>(c - 0x21 + 0xFF01)) << "U+" << std::hex << int(c);
  }
}

struct CharCase {
  char16_t in;
  char16_t out;
};

class ToFullWidthCharFixed : public testing::TestWithParam<CharCase> {};

TEST_P(ToFullWidthCharFixed, Maps) {
  EXPECT_EQ(static_cast<uint32_t>(toFullWidthChar(GetParam().in)), static_cast<uint32_t>(GetParam().out))
      << "from U+" << std::hex << uint32_t(GetParam().in);
}

INSTANTIATE_TEST_SUITE_P(
    AsciiExceptions, ToFullWidthCharFixed,
    testing::Values(CharCase{u' ', u'\u3000'}, CharCase{u'\x7F', u'\u3000'}, CharCase{u'"', u'\u201D'},
                    CharCase{u'\'', u'\u2019'}, CharCase{u'\\', u'\uFFE5'}));

INSTANTIATE_TEST_SUITE_P(
    KatakanaPunctuation, ToFullWidthCharFixed,
    testing::Values(CharCase{u'｡', u'。'}, CharCase{u'｢', u'「'}, CharCase{u'｣', u'」'}, CharCase{u'､', u'、'},
                    CharCase{u'･', u'・'}, CharCase{u'ｦ', u'ヲ'}, CharCase{u'ｰ', u'ー'},
                    CharCase{u'ﾞ', u'\u309B'}, CharCase{u'ﾟ', u'\u309C'}));

INSTANTIATE_TEST_SUITE_P(
    Unchanged, ToFullWidthCharFixed,
    testing::Values(CharCase{u'\0', u'\0'}, CharCase{u'\n', u'\n'}, CharCase{u'\x1F', u'\x1F'},
                    CharCase{u'\x80', u'\x80'}, CharCase{u'\xA5', u'\xA5'}, CharCase{u'あ', u'あ'},
                    CharCase{u'カ', u'カ'}, CharCase{u'Ａ', u'Ａ'}, CharCase{u'\uFF60', u'\uFF60'},
                    CharCase{u'\uFFA0', u'\uFFA0'}, CharCase{char16_t{0xD83D}, char16_t{0xD83D}},
                    CharCase{char16_t{0xDE00}, char16_t{0xDE00}}, CharCase{u'\uFFFF', u'\uFFFF'}));

TEST(ToFullWidthChar, HalfWidthKatakanaInOrder) {
  const std::u16string half = u"ｧｨｩｪｫｬｭｮｯ"
                              u"ｱｲｳｴｵｶｷｸｹｺｻｼｽｾｿﾀﾁﾂﾃﾄﾅﾆﾇﾈﾉﾊﾋﾌﾍﾎﾏﾐﾑﾒﾓﾔﾕﾖﾗﾘﾙﾚﾛﾜﾝ";
  const std::u16string full = u"ァィゥェォャュョッ"
                              u"アイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホマミムメモヤユヨラリルレロワン";
  ASSERT_EQ(half.size(), full.size());
  for (size_t i = 0; i < half.size(); ++i) {
    EXPECT_EQ(static_cast<uint32_t>(toFullWidthChar(half[i])), static_cast<uint32_t>(full[i]))
        << "from U+" << std::hex << uint32_t(half[i]);
  }
}

TEST(ToFullWidthChar, EveryCodeUnitOutsideTheTwoRangesIsUnchanged) {
  for (uint32_t c = 0; c <= 0xFFFF; ++c) {
    if (inConvertedRange(c)) continue;
    ASSERT_EQ(static_cast<uint32_t>(toFullWidthChar(static_cast<char16_t>(c))), c) << "U+" << std::hex << c;
  }
}

TEST(ToFullWidthChar, EveryConvertedCharacterLeavesBothRanges) {
  // So a second conversion changes nothing.
  for (uint32_t c = 0; c <= 0xFFFF; ++c) {
    if (!inConvertedRange(c)) continue;
    const char16_t once = toFullWidthChar(static_cast<char16_t>(c));
    ASSERT_FALSE(inConvertedRange(once)) << "U+" << std::hex << c << " -> U+" << uint32_t(once);
    ASSERT_EQ(toFullWidthChar(once), once) << "U+" << std::hex << c;
  }
}

struct StringCase {
  const char* name;
  std::u16string in;
  std::u16string out;
};

class ToFullWidthStringCase : public testing::TestWithParam<StringCase> {};

TEST_P(ToFullWidthStringCase, ConvertsInPlace) {
  std::u16string text = GetParam().in;
  toFullWidthString(text);
  EXPECT_EQ(text, GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Strings, ToFullWidthStringCase,
    testing::Values(
        StringCase{"Empty", u"", u""},
        StringCase{"Name", u"Taro Yamada", u"Ｔａｒｏ　Ｙａｍａｄａ"},
        StringCase{"Quotes", u"\"it's\" C:\\", u"”ｉｔ’ｓ”　Ｃ：￥"},
        // Sound marks stay separate characters: no composition.
        StringCase{"SoundMarks", u"ｶﾞｯﾂ ﾊﾟﾝ", u"カ゛ッツ　ハ゜ン"},
        StringCase{"Mixed", u"ﾜｰﾙﾄﾞ, 世界!", u"ワールト゛，　世界！"},
        StringCase{"AlreadyFullWidth", u"ＡＢＣ　アイウ", u"ＡＢＣ　アイウ"},
        StringCase{"SurrogatePairKept", u"a\U0001F600b", u"ａ\U0001F600ｂ"},
        StringCase{"EmbeddedNul", std::u16string(u"a\0b", 3), std::u16string(u"ａ\0ｂ", 3)}),
    [](const testing::TestParamInfo<StringCase>& info) { return std::string(info.param.name); });

}  // namespace
