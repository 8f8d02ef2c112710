// The engine's wide-printf formatter.
#include "app/format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>

namespace {

enum class Level : int { Low = 3 };

TEST(FormatText, PlainTextIsCopied) {
  EXPECT_EQ(Format(u""), u"");
  EXPECT_EQ(Format(u"no conversions here"), u"no conversions here");
  EXPECT_EQ(Format(u"日本語 \U0001F600 text"), u"日本語 \U0001F600 text");
}

TEST(FormatText, DoublePercentPrintsOnePercentAndTakesNoArgument) {
  EXPECT_EQ(Format(u"%%"), u"%");
  EXPECT_EQ(Format(u"100%%"), u"100%");
  EXPECT_EQ(Format(u"%%d %d", 5), u"%d 5");
}

TEST(FormatText, TrailingLonePercentIsKept) {
  EXPECT_EQ(Format(u"50%"), u"50%");
  EXPECT_EQ(Format(u"%d%", 7), u"7%");
}

TEST(FormatText, UnknownConversionIsKeptAndTakesNoArgument) {
  EXPECT_EQ(Format(u"%y %d", 5), u"%y 5");
  EXPECT_EQ(Format(u"[%q]"), u"[%q]");
}

TEST(FormatText, IncompleteSpecificationAtTheEndIsKept) {
  EXPECT_EQ(Format(u"a%-5"), u"a%-5");
  EXPECT_EQ(Format(u"a%I64"), u"a%I64");
}

TEST(FormatInteger, DecimalSigned) {
  EXPECT_EQ(Format(u"%d", 0), u"0");
  EXPECT_EQ(Format(u"%d", 42), u"42");
  EXPECT_EQ(Format(u"%d", -42), u"-42");
  EXPECT_EQ(Format(u"%i", -7), u"-7");
  EXPECT_EQ(Format(u"%d", std::numeric_limits<int32_t>::min()), u"-2147483648");
  EXPECT_EQ(Format(u"%d", std::numeric_limits<int32_t>::max()), u"2147483647");
}

TEST(FormatInteger, SixtyFourBitValuesPrintInFull) {
  EXPECT_EQ(Format(u"%d", int64_t{5000000000}), u"5000000000");
  EXPECT_EQ(Format(u"%I64d", std::numeric_limits<int64_t>::min()), u"-9223372036854775808");
  EXPECT_EQ(Format(u"%I64d", std::numeric_limits<int64_t>::max()), u"9223372036854775807");
  EXPECT_EQ(Format(u"%I64u", std::numeric_limits<uint64_t>::max()), u"18446744073709551615");
  EXPECT_EQ(Format(u"%I64x", uint64_t{0x123456789ABCDEF0}), u"123456789abcdef0");
  EXPECT_EQ(Format(u"%I64d", 12), u"12");
}

TEST(FormatInteger, SizePrefixNeverCutsTheValue) {
  EXPECT_EQ(Format(u"%hd", 70000), u"70000");
  EXPECT_EQ(Format(u"%hhd", 300), u"300");
  EXPECT_EQ(Format(u"%ld", int64_t{-5000000000}), u"-5000000000");
  EXPECT_EQ(Format(u"%lld|%zu|%I32d", int64_t{1} << 40, size_t{99}, 5), u"1099511627776|99|5");
}

TEST(FormatInteger, UnsignedShowsNegativeAtItsOwnWidth) {
  EXPECT_EQ(Format(u"%u", -1), u"4294967295");
  EXPECT_EQ(Format(u"%u", int64_t{-1}), u"18446744073709551615");
  EXPECT_EQ(Format(u"%u", 4000000000u), u"4000000000");
}

TEST(FormatInteger, HexShowsNegativeAtItsOwnWidth) {
  EXPECT_EQ(Format(u"%x", -1), u"ffffffff");
  EXPECT_EQ(Format(u"%X", -2), u"FFFFFFFE");
  EXPECT_EQ(Format(u"%x", int64_t{-1}), u"ffffffffffffffff");
  EXPECT_EQ(Format(u"%I64X", int64_t{-1}), u"FFFFFFFFFFFFFFFF");
}

TEST(FormatInteger, HexCase) {
  EXPECT_EQ(Format(u"%x", 0xABCDEF), u"abcdef");
  EXPECT_EQ(Format(u"%X", 0xABCDEF), u"ABCDEF");
  EXPECT_EQ(Format(u"%x", 0), u"0");
}

TEST(FormatInteger, BoolAndEnumPrintAsNumbers) {
  EXPECT_EQ(Format(u"%d %d", true, false), u"1 0");
  EXPECT_EQ(Format(u"%d", Level::Low), u"3");
}

TEST(FormatInteger, ZeroPaddingFormatsOfTheEngine) {
  EXPECT_EQ(Format(u"%08x", 0xBEEF), u"0000beef");
  EXPECT_EQ(Format(u"%04x", 0x1F), u"001f");
  EXPECT_EQ(Format(u"%010u", 12345u), u"0000012345");
  EXPECT_EQ(Format(u"%02d", 5), u"05");
  EXPECT_EQ(Format(u"%02d:%02d", 9, 41), u"09:41");
}

TEST(FormatInteger, WidthIsAMinimumNeverACut) {
  EXPECT_EQ(Format(u"%02d", 123), u"123");
  EXPECT_EQ(Format(u"%04x", 0x12345), u"12345");
  EXPECT_EQ(Format(u"%08x", -1), u"ffffffff");
  EXPECT_EQ(Format(u"%1d", -100), u"-100");
}

TEST(FormatInteger, ZeroPaddingGoesBehindTheSign) {
  EXPECT_EQ(Format(u"%05d", -42), u"-0042");
  EXPECT_EQ(Format(u"%03d", -7), u"-07");
}

TEST(FormatInteger, SpacePaddingAndLeftAlignment) {
  EXPECT_EQ(Format(u"[%5d]", 42), u"[   42]");
  EXPECT_EQ(Format(u"[%5d]", -42), u"[  -42]");
  EXPECT_EQ(Format(u"[%-5d]", 42), u"[42   ]");
  EXPECT_EQ(Format(u"[%-05d]", 42), u"[42   ]");  // '-' wins over '0'
  EXPECT_EQ(Format(u"[%0-5d]", 42), u"[42   ]");
}

TEST(FormatInteger, PrecisionGivesMinimumDigits) {
  EXPECT_EQ(Format(u"%.3d", 7), u"007");
  EXPECT_EQ(Format(u"%.3d", -7), u"-007");
  EXPECT_EQ(Format(u"[%5.3d]", 7), u"[  007]");
  EXPECT_EQ(Format(u"[%05.3d]", 7), u"[  007]");  // '0' is ignored with a precision
  EXPECT_EQ(Format(u"%.4x", 0xA), u"000a");
}

TEST(FormatInteger, ZeroPrecisionOfZeroPrintsNoDigits) {
  EXPECT_EQ(Format(u"[%.0d]", 0), u"[]");
  EXPECT_EQ(Format(u"[%3.0d]", 0), u"[   ]");
  EXPECT_EQ(Format(u"[%.0d]", 1), u"[1]");
}

TEST(FormatWidth, StarWidthFromArguments) {
  EXPECT_EQ(Format(u"%0*d", 4, 7), u"0007");
  EXPECT_EQ(Format(u"[%*d]", 5, 42), u"[   42]");
  EXPECT_EQ(Format(u"[%-*d]", 5, 42), u"[42   ]");
  EXPECT_EQ(Format(u"%s/%s%0*d.%s", u"bg", u"bg", 3, 12, u"png"), u"bg/bg012.png");
}

TEST(FormatWidth, NegativeStarWidthMeansLeftAligned) {
  EXPECT_EQ(Format(u"[%*d]", -5, 42), u"[42   ]");
  EXPECT_EQ(Format(u"[%0*d]", -4, 7), u"[7   ]");
  EXPECT_EQ(Format(u"[%*s]", -4, u"ab"), u"[ab  ]");
}

TEST(FormatWidth, StarPrecisionFromArguments) {
  EXPECT_EQ(Format(u"%.*d", 3, 7), u"007");
  EXPECT_EQ(Format(u"%.*s", 2, u"abcdef"), u"ab");
  EXPECT_EQ(Format(u"[%*.*d]", 6, 4, 42), u"[  0042]");
}

TEST(FormatWidth, NegativeStarPrecisionIsNoPrecision) {
  EXPECT_EQ(Format(u"%.*d", -1, 7), u"7");
  EXPECT_EQ(Format(u"%.*s", -1, u"abcdef"), u"abcdef");
}

TEST(FormatWidth, LargeWidthPads) {
  const std::u16string out = Format(u"%300d", 1);
  ASSERT_EQ(out.size(), 300u);
  EXPECT_EQ(out.back(), u'1');
  EXPECT_EQ(out.find_first_not_of(u' '), 299u);
}

TEST(FormatString, AllStringKinds) {
  const std::u16string owned = u"owned";
  const std::u16string_view view = u"view";
  const char16_t* pointer = u"pointer";
  EXPECT_EQ(Format(u"%s,%s,%s,%s", owned, view, pointer, u"literal"), u"owned,view,pointer,literal");
}

TEST(FormatString, WidthPadsAndMinusAlignsLeft) {
  EXPECT_EQ(Format(u"[%5s]", u"ab"), u"[   ab]");
  EXPECT_EQ(Format(u"[%-5s]", u"ab"), u"[ab   ]");
  EXPECT_EQ(Format(u"[%5s]", u"abcdefg"), u"[abcdefg]");
  EXPECT_EQ(Format(u"[%5s]", u"あいう"), u"[  あいう]");
}

TEST(FormatString, PrecisionCutsTheText) {
  const std::u16string forty(40, u'x');
  EXPECT_EQ(Format(u"%.30s", forty), std::u16string(30, u'x'));
  EXPECT_EQ(Format(u"%.30s", u"short"), u"short");
  EXPECT_EQ(Format(u"[%5.2s]", u"abcdef"), u"[   ab]");
  EXPECT_EQ(Format(u"[%.0s]", u"abc"), u"[]");
}

// Runs in a child process so that a crash fails this test alone.
TEST(FormatString, NullPointerPrintsNull) {
  EXPECT_EXIT(
      {
        const char16_t* none = nullptr;
        const bool plain = Format(u"[%s]", none) == u"[(null)]";
        const bool padded = Format(u"[%8s]", none) == u"[  (null)]";
        const bool cut = Format(u"[%.2s]", none) == u"[(n]";
        std::_Exit((plain ? 0 : 1) | (padded ? 0 : 2) | (cut ? 0 : 4));
      },
      testing::ExitedWithCode(0), "");
}

TEST(FormatString, EmptyString) {
  EXPECT_EQ(Format(u"[%s]", u""), u"[]");
  EXPECT_EQ(Format(u"[%3s]", std::u16string()), u"[   ]");
}

TEST(FormatString, TextIsNotReinterpreted) {
  EXPECT_EQ(Format(u"%s", u"%d %s %%"), u"%d %s %%");
}

TEST(FormatChar, PrintsOneUtf16Unit) {
  EXPECT_EQ(Format(u"%c", u'あ'), u"あ");
  EXPECT_EQ(Format(u"%c%c", u'o', u'k'), u"ok");
  EXPECT_EQ(Format(u"%c", 0x41), u"A");
}

TEST(FormatChar, WidthPads) {
  EXPECT_EQ(Format(u"[%3c]", u'x'), u"[  x]");
  EXPECT_EQ(Format(u"[%-3c]", u'x'), u"[x  ]");
}

TEST(FormatPointer, SixteenUpperCaseHexDigits) {
  EXPECT_EQ(Format(u"%p", reinterpret_cast<const void*>(uintptr_t{0x1234abcd})), u"000000001234ABCD");
  EXPECT_EQ(Format(u"%p", nullptr), u"0000000000000000");
  const void* null = nullptr;
  EXPECT_EQ(Format(u"%p", null), u"0000000000000000");
}

TEST(FormatPointer, RealPointerUsesTheWholeAddress) {
  int object = 0;
  const void* address = &object;
  const std::u16string out = Format(u"%p", address);
  ASSERT_EQ(out.size(), 16u);
  EXPECT_EQ(out.find_first_not_of(u"0123456789ABCDEF"), std::u16string::npos) << testing::PrintToString(out);
  uint64_t parsed = 0;
  for (char16_t c : out) parsed = parsed * 16 + (c <= u'9' ? c - u'0' : c - u'A' + 10);
  EXPECT_EQ(parsed, reinterpret_cast<uintptr_t>(address));
}

TEST(FormatArguments, MissingArgumentsPrintNothing) {
  EXPECT_EQ(Format(u"[%d][%s][%c][%p][%x]"), u"[][][][][]");
  EXPECT_EQ(Format(u"%d and %d", 1), u"1 and ");
  EXPECT_EQ(Format(u"[%*d]", 5), u"[]");
  EXPECT_EQ(Format(u"[%5s]"), u"[]");
}

TEST(FormatArguments, WrongKindsPrintNothing) {
  EXPECT_EQ(Format(u"[%d]", u"text"), u"[]");
  EXPECT_EQ(Format(u"[%x]", u"text"), u"[]");
  EXPECT_EQ(Format(u"[%s]", 5), u"[]");
  EXPECT_EQ(Format(u"[%c]", u"text"), u"[]");
  EXPECT_EQ(Format(u"[%p]", u"text"), u"[]");
  EXPECT_EQ(Format(u"[%d]", nullptr), u"[]");
  EXPECT_EQ(Format(u"[%s]", nullptr), u"[]");
}

TEST(FormatArguments, WrongKindStillUsesUpItsArgument) {
  EXPECT_EQ(Format(u"%s|%d", 5, 7), u"|7");
  EXPECT_EQ(Format(u"%d|%s", u"a", u"b"), u"|b");
}

TEST(FormatArguments, ExtraArgumentsAreIgnored) {
  EXPECT_EQ(Format(u"%d", 1, 2, u"three"), u"1");
  EXPECT_EQ(Format(u"plain", 1), u"plain");
}

TEST(FormatArguments, SpanInterfaceMatchesTheTemplate) {
  const FormatArg args[] = {FormatArg(3), FormatArg(u"x")};
  EXPECT_EQ(FormatArgs(u"%02d%s", args), u"03x");
  EXPECT_EQ(FormatArgs(u"%d", {}), u"");
}

}  // namespace
