// Helpers shared by the save-data trees: tagged atoms read back into
// values, integer-map entries read without trusting their shape, and integer
// maps written in ascending order without their zero entries.
#include "gamestate/save_tree_helpers.h"

#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <string>

#include "script/cell_printer.h"
#include "script/tokenizer.h"

using tokenizer::Cell;
using tokenizer::Token;
using tokenizer::Tokenizer;
using IntMap = std::map<int32_t, int32_t>;

namespace {

// The only top-level form of the text, which must parse.
Cell* form(Tokenizer& tk, std::u16string_view text) {
  EXPECT_TRUE(tk.parse(text)) << testing::PrintToString(std::u16string(text));
  Cell* root = tk.root();
  EXPECT_TRUE(tokenizer::isCons(root));
  return tokenizer::carOf(root);
}

// --- readTaggedCell -------------------------------------------------------

struct TaggedCase {
  const char16_t* text;
  APValue expected;
};

class ReadTaggedCellAtom : public testing::TestWithParam<TaggedCase> {};

TEST_P(ReadTaggedCellAtom, GivesTheValueOfTheTokenType) {
  Tokenizer tk;
  Cell* cell = form(tk, GetParam().text);
  APValue out(int32_t{12345});
  EXPECT_TRUE(readTaggedCell(cell, out));
  EXPECT_EQ(out, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Atoms, ReadTaggedCellAtom,
    testing::Values(TaggedCase{u"bg001", APValue(u"bg001")},          // symbol -> string
                    TaggedCase{u"\"画像/bg 01.png\"", APValue(u"画像/bg 01.png")},
                    TaggedCase{u"\"\"", APValue(u"")},                // empty string stays a string
                    TaggedCase{u"42", APValue(int32_t{42})},
                    TaggedCase{u"-2147483648", APValue(int32_t{INT32_MIN})},
                    TaggedCase{u"0", APValue(int32_t{0})},
                    TaggedCase{u"#t", APValue(true)},
                    TaggedCase{u"#f", APValue(false)}));

TEST(ReadTaggedCell, RefusesEverythingButAtomsAndKeepsTheOutput) {
  Tokenizer tk;
  ASSERT_TRUE(tk.parse(u"(a . 1) (1 2) (\"s\")"));
  Cell* root = tk.root();
  Token dot(Token::kDot, u".", 0);
  Token open(Token::kOpen, u"(", 0);
  Token quote(Token::kQuote, u"'", 0);

  const Cell* refused[] = {
      nullptr,  // the empty list
      tokenizer::carOf(root),
      tokenizer::carOf(tokenizer::cdrOr(root, nullptr)),
      tokenizer::carOf(tokenizer::cddrOr(root, nullptr)),
      &dot,
      &open,
      &quote,
  };
  for (const Cell* cell : refused) {
    APValue out(u"unchanged");
    EXPECT_FALSE(readTaggedCell(cell, out)) << testing::PrintToString(tokenizer::toText(cell));
    EXPECT_EQ(out, APValue(u"unchanged")) << testing::PrintToString(tokenizer::toText(cell));
  }
}

// --- readIntMapEntry ------------------------------------------------------

const IntMap kBefore = {{99, 99}};

struct EntryCase {
  const char* name;
  const char16_t* text;
  bool ok;
  IntMap after;  // the map after the call, starting from kBefore
};

class ReadIntMapEntryCase : public testing::TestWithParam<EntryCase> {};

TEST_P(ReadIntMapEntryCase, FillsOrRefuses) {
  const EntryCase& c = GetParam();
  Tokenizer tk;
  Cell* entry = form(tk, c.text);
  IntMap map = kBefore;
  EXPECT_EQ(readIntMapEntry(entry, u"plf", map), c.ok);
  EXPECT_EQ(map, c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, ReadIntMapEntryCase,
    testing::Values(
        // Accepted: the map is replaced by the pairs.
        EntryCase{"Pairs", u"(plf (1 . 5) (3 . -2) (-4 . 2147483647))", true,
                  {{1, 5}, {3, -2}, {-4, INT32_MAX}}},
        EntryCase{"AnyOrder", u"(plf (30 . 1) (10 . 2) (20 . 3))", true, {{10, 2}, {20, 3}, {30, 1}}},
        EntryCase{"Empty", u"(plf)", true, {}},
        EntryCase{"RepeatedKeyKeepsLast", u"(plf (1 . 5) (2 . 6) (1 . 8))", true, {{1, 8}, {2, 6}}},
        EntryCase{"ZeroValueIsKept", u"(plf (1 . 0))", true, {{1, 0}}},
        // Not this entry: the map is untouched.
        EntryCase{"OtherKey", u"(pls (1 . 5))", false, kBefore},
        EntryCase{"LongerKey", u"(plfx (1 . 5))", false, kBefore},
        EntryCase{"ShorterKey", u"(pl (1 . 5))", false, kBefore},
        EntryCase{"UpperCaseKey", u"(PLF (1 . 5))", false, kBefore},
        EntryCase{"StringKey", u"(\"plf\" (1 . 5))", false, kBefore},
        EntryCase{"IntegerHead", u"(42 . 1)", false, kBefore},
        EntryCase{"ListHead", u"((plf) (1 . 5))", false, kBefore},
        EntryCase{"EmptyHead", u"(() (1 . 5))", false, kBefore},
        EntryCase{"Atom", u"plf", false, kBefore},
        // This entry, malformed: cleared, and what came before the fault stays.
        EntryCase{"StringValue", u"(plf (1 . 5) (2 . \"x\") (3 . 4))", false, {{1, 5}}},
        EntryCase{"BoolValue", u"(plf (1 . #t))", false, {}},
        EntryCase{"SymbolKey", u"(plf (1 . 5) (a . 1))", false, {{1, 5}}},
        EntryCase{"ElementNotAPair", u"(plf 7 (1 . 2))", false, {}},
        EntryCase{"EmptyElement", u"(plf (1 . 2) () (3 . 4))", false, {{1, 2}}},
        EntryCase{"PairAsList", u"(plf (1 2))", false, {}},
        EntryCase{"PairMissingValue", u"(plf (1))", false, {}},
        EntryCase{"ImproperTail", u"(plf (1 . 5) . 3)", false, {{1, 5}}},
        EntryCase{"DottedValue", u"(plf . 5)", false, {}}),
    [](const testing::TestParamInfo<EntryCase>& info) { return std::string(info.param.name); });

TEST(ReadIntMapEntry, RefusesNullAndTokenEntries) {
  Tokenizer tk;
  IntMap map = kBefore;
  EXPECT_FALSE(readIntMapEntry(nullptr, u"plf", map));
  EXPECT_FALSE(readIntMapEntry(tk.makeSymbol(u"plf"), u"plf", map));
  EXPECT_FALSE(readIntMapEntry(tk.makeInt(1), u"plf", map));
  EXPECT_EQ(map, kBefore);
}

// --- writeIntMap ----------------------------------------------------------

struct WriteCase {
  const char* name;
  IntMap map;
  const char16_t* printed;
};

class WriteIntMapCase : public testing::TestWithParam<WriteCase> {};

TEST_P(WriteIntMapCase, PrintsAscendingWithoutZeros) {
  Tokenizer tk;
  EXPECT_EQ(tokenizer::toText(writeIntMap(tk, GetParam().map)), GetParam().printed);
}

INSTANTIATE_TEST_SUITE_P(
    Maps, WriteIntMapCase,
    testing::Values(
        WriteCase{"Empty", {}, u"()"},
        WriteCase{"AllZero", {{1, 0}, {2, 0}}, u"()"},
        WriteCase{"One", {{258, 1}}, u"((258 . 1))"},
        WriteCase{"Ascending", {{7, 1}, {-1, -10}, {3, 30}}, u"((-1 . -10) (3 . 30) (7 . 1))"},
        WriteCase{"ZerosLeftOut", {{1, 0}, {2, 5}, {3, 0}, {4, -5}, {5, 0}}, u"((2 . 5) (4 . -5))"},
        WriteCase{"Extremes", {{INT32_MIN, INT32_MAX}, {INT32_MAX, INT32_MIN}},
                  u"((-2147483648 . 2147483647) (2147483647 . -2147483648))"}),
    [](const testing::TestParamInfo<WriteCase>& info) { return std::string(info.param.name); });

TEST(WriteIntMap, ReadsBackWithoutZeros) {
  // Straight from the written tree and again from its printed text.
  const IntMap maps[] = {
      {},
      {{1, 1}},
      {{257, 1}, {258, 0}, {260, 2}, {262, 1}},
      {{-5, 3}, {0, 0}, {0x7fff, -1}, {INT32_MIN, 9}},
  };
  for (const IntMap& written : maps) {
    IntMap expected;
    for (const auto& [k, v] : written) {
      if (v != 0) expected[k] = v;
    }

    Tokenizer writer;
    Cell* entry = tokenizer::carOf(writer.acons(nullptr, u"sysflag-int", writeIntMap(writer, written)));
    ASSERT_NE(entry, nullptr);
    IntMap direct = {{12345, 1}};
    EXPECT_TRUE(readIntMapEntry(entry, u"sysflag-int", direct));
    EXPECT_EQ(direct, expected);

    const std::u16string text = tokenizer::toText(entry);
    Tokenizer reader;
    IntMap reread = {{12345, 1}};
    EXPECT_TRUE(readIntMapEntry(form(reader, text), u"sysflag-int", reread)) << testing::PrintToString(text);
    EXPECT_EQ(reread, expected) << testing::PrintToString(text);
  }
}

}  // namespace
