// Printing S-expression trees and the heap stream buffer writers print into.
#include "script/cell_printer.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "script/tokenizer.h"
#include "tests/support/test_support.h"

using tokenizer::Cell;
using tokenizer::Cons;
using tokenizer::Token;
using tokenizer::Tokenizer;
using TokenizerSupportUtil::MyHeapStreamBuf;
using TokenizerSupportUtil::MyOStringStream;

namespace {

// Reads one form and prints it again.
std::u16string roundTrip(std::u16string_view text) {
  Tokenizer tk;
  if (!tk.parse(text)) return u"<fail>";
  if (!tokenizer::isCons(tk.root())) return u"<no form>";
  return tokenizer::toText(static_cast<Cons*>(tk.root())->car);
}

std::u16string printed(const Cell* cell) {
  MyOStringStream out;
  tokenizer::printCell(cell, out);
  return out.str();
}

}  // namespace

// ---------------------------------------------------------------------------
// Round trips

TEST(CellPrinterRoundTrip, ReadTextPrintsBackUnchanged) {
  for (const char16_t* text : {
           u"(a b c)",
           u"(define (f x) (g x 1 -2 #t #f))",
           u"(a . b)",
           u"(a b . c)",
           u"((k . 1) (j . \"v\"))",
           u"(\"日本語のテキスト\" name)",
           u"(() (()) a ())",
           u"symbol",
           u"\"\"",
           u"0",
       }) {
    EXPECT_EQ(roundTrip(text), text);
  }
}

TEST(CellPrinterRoundTrip, PrintedTreeReadsBackToSameTree) {
  Tokenizer writer;
  Cell* tree = writer.acons(nullptr, u"a", writer.makeInt(INT_MIN));
  tree = writer.acons(tree, u"b", writer.cons(writer.makeBool(false), writer.makeString(u"x y")));
  tree = writer.cons(writer.cons(nullptr, writer.makeSymbol(u"t")), tree);
  const std::u16string text = tokenizer::toText(tree);
  EXPECT_EQ(text, u"((() . t) (b #f . \"x y\") (a . -2147483648))");

  Tokenizer reader;
  ASSERT_TRUE(reader.parse(text)) << testing::PrintToString(reader.error());
  EXPECT_EQ(tokenizer::toText(tokenizer::carOf(reader.root())), text);
}

TEST(CellPrinterRoundTrip, ReaderNormalisesSpacingAndComments) {
  EXPECT_EQ(roundTrip(u"(  a\n\t(b   c) ; note\n  . d)"), u"(a (b c) . d)");
  EXPECT_EQ(roundTrip(u"'x"), u"(quote x)");
  EXPECT_EQ(roundTrip(u"(0x10 +5 #\\A)"), u"(16 5 65)");
}

// ---------------------------------------------------------------------------
// Lists

TEST(CellPrinterLists, NullPrintsAsEmptyList) {
  EXPECT_EQ(printed(nullptr), u"()");
  EXPECT_EQ(tokenizer::toText(nullptr), u"()");
}

TEST(CellPrinterLists, NullElementsPrintAsEmptyList) {
  Tokenizer tk;
  Cell* list = tk.cons(nullptr, tk.cons(tk.makeSymbol(u"a"), tk.cons(nullptr, nullptr)));
  EXPECT_EQ(printed(list), u"(() a ())");
  EXPECT_EQ(printed(tk.cons(nullptr, nullptr)), u"(())");
}

TEST(CellPrinterLists, NonNullTailPrintsAfterDot) {
  Tokenizer tk;
  EXPECT_EQ(printed(tk.cons(tk.makeSymbol(u"a"), tk.makeInt(-1))), u"(a . -1)");
  EXPECT_EQ(printed(tk.cons(nullptr, tk.makeBool(true))), u"(() . #t)");
  Cell* improper = tk.cons(tk.makeInt(1), tk.cons(tk.makeInt(2), tk.makeString(u"s")));
  EXPECT_EQ(printed(improper), u"(1 2 . \"s\")");
  // A list in the cdr is not a dotted tail.
  EXPECT_EQ(printed(tk.cons(tk.makeInt(1), tk.cons(tk.makeInt(2), nullptr))), u"(1 2)");
}

TEST(CellPrinterLists, ConsPrintMethodWritesWholeTree) {
  Tokenizer tk;
  ASSERT_TRUE(tk.parse(u"(a (b . c) \"d\")"));
  MyOStringStream out;
  tokenizer::carOf(tk.root())->print(out);
  EXPECT_EQ(out.str(), u"(a (b . c) \"d\")");
}

TEST(CellPrinterLists, DeepCarAndCdrNestingPrints) {
  constexpr int kDepth = 100000;
  Tokenizer tk;
  Cell* deepCar = tk.makeSymbol(u"x");
  for (int i = 0; i < kDepth; ++i) deepCar = tk.cons(deepCar, nullptr);
  const std::u16string text = printed(deepCar);
  EXPECT_EQ(text, std::u16string(kDepth, u'(') + u"x" + std::u16string(kDepth, u')'));

  // A long chain of dotted tails ending in a token.
  Cell* chain = tk.makeInt(0);
  for (int i = 0; i < kDepth; ++i) chain = tk.cons(tk.makeInt(1), chain);
  const std::u16string flat = printed(chain);
  EXPECT_EQ(flat.size(), 1 + 2 * static_cast<size_t>(kDepth) - 1 + 4 + 1);
  EXPECT_EQ(flat.substr(flat.size() - 8), u"1 1 . 0)");
}

// ---------------------------------------------------------------------------
// Tokens

TEST(CellPrinterTokens, IntegersInDecimal) {
  Tokenizer tk;
  EXPECT_EQ(printed(tk.makeInt(0)), u"0");
  EXPECT_EQ(printed(tk.makeInt(7)), u"7");
  EXPECT_EQ(printed(tk.makeInt(-7)), u"-7");
  EXPECT_EQ(printed(tk.makeInt(-120)), u"-120");
  EXPECT_EQ(printed(tk.makeInt(1000000)), u"1000000");
  EXPECT_EQ(printed(tk.makeInt(INT_MAX)), u"2147483647");
  EXPECT_EQ(printed(tk.makeInt(INT_MIN)), u"-2147483648");
}

TEST(CellPrinterTokens, BooleansAndSymbols) {
  Tokenizer tk;
  EXPECT_EQ(printed(tk.makeBool(true)), u"#t");
  EXPECT_EQ(printed(tk.makeBool(false)), u"#f");
  EXPECT_EQ(printed(tk.makeSymbol(u"a-b?")), u"a-b?");
  EXPECT_EQ(printed(tk.makeSymbol(u"名前")), u"名前");
}

TEST(CellPrinterTokens, StringsInDoubleQuotesUnchanged) {
  Tokenizer tk;
  EXPECT_EQ(printed(tk.makeString(u"")), u"\"\"");
  EXPECT_EQ(printed(tk.makeString(u"a\\n (b) ;c")), u"\"a\\n (b) ;c\"");
  EXPECT_EQ(printed(tk.makeString(u"こんにちは\n世界")), u"\"こんにちは\n世界\"");
}

TEST(CellPrinterTokens, PlainStringLogsNothing) {
  LogCapture log;
  Tokenizer tk;
  EXPECT_EQ(printed(tk.makeString(u"plain ＂ text")), u"\"plain ＂ text\"");
  EXPECT_FALSE(log.contains("WARN")) << log.all();
}

TEST(CellPrinterTokens, DoubleQuoteInStringBecomesFullwidthWithWarning) {
  LogCapture log;
  Tokenizer tk;
  EXPECT_EQ(printed(tk.makeString(u"say \"hi\"")), u"\"say ＂hi＂\"");
  EXPECT_TRUE(log.contains("WARN")) << log.all();

  // The printed text reads back as the same single string.
  Tokenizer reader;
  ASSERT_TRUE(reader.parse(u"(x " + printed(tk.makeString(u"\"")) + u" y)"));
  Token* t = tokenizer::carAsToken(tokenizer::cdrOr(tokenizer::carOf(reader.root()), nullptr));
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->type, Token::kString);
  EXPECT_EQ(t->text, u"＂");
}

TEST(CellPrinterTokens, DoubleQuoteReplacedInsideList) {
  LogCapture log;
  Tokenizer tk;
  Cell* list = tk.cons(tk.makeString(u"\"q\""), tk.cons(tk.makeString(u"ok"), nullptr));
  EXPECT_EQ(printed(list), u"(\"＂q＂\" \"ok\")");
  EXPECT_TRUE(log.contains("WARN")) << log.all();
}

TEST(CellPrinterTokens, LexerOnlyTokensPrintNothing) {
  for (int32_t type : {Token::kOpen, Token::kClose, Token::kQuote, Token::kDot}) {
    Token t(type, u"", 0);
    MyOStringStream out;
    t.print(out);
    EXPECT_TRUE(out.str().empty()) << "type " << type;
  }
}

// ---------------------------------------------------------------------------
// Heap stream buffer

TEST(MyHeapStreamBuf, CleanUntilFirstWrite) {
  MyHeapStreamBuf buf;
  EXPECT_FALSE(buf.dirty());
  EXPECT_TRUE(buf.text().empty());
}

TEST(MyHeapStreamBuf, EveryKindOfWriteSetsDirty) {
  {
    MyHeapStreamBuf buf;
    buf.put(u'x');
    EXPECT_TRUE(buf.dirty());
    EXPECT_EQ(buf.text(), u"x");
  }
  {
    MyHeapStreamBuf buf;
    buf.write(u"abc", 2);
    EXPECT_TRUE(buf.dirty());
    EXPECT_EQ(buf.text(), u"ab");
  }
  {
    MyHeapStreamBuf buf;
    buf.writeString(u"文字");
    EXPECT_TRUE(buf.dirty());
    EXPECT_EQ(buf.text(), u"文字");
  }
  {
    MyHeapStreamBuf buf;
    buf.writeString(u"");
    EXPECT_TRUE(buf.dirty());
  }
}

TEST(MyHeapStreamBuf, WritesAppendInOrderAndGrow) {
  MyHeapStreamBuf buf;
  buf.writeString(u"ab");
  buf.put(u'c');
  buf.write(u"de", 2);
  EXPECT_EQ(buf.text(), u"abcde");

  // Past the first capacity (2 MiB of 16-bit units) without losing text.
  const std::u16string chunk(4096, u'あ');
  for (int i = 0; i < 300; ++i) buf.writeString(chunk);
  for (int i = 0; i < 5000; ++i) buf.put(u'z');
  ASSERT_EQ(buf.text().size(), 5u + 300u * 4096u + 5000u);
  EXPECT_EQ(buf.text().substr(0, 6), u"abcdeあ");
  EXPECT_EQ(buf.text().back(), u'z');
  EXPECT_EQ(buf.text()[5 + 300 * 4096 - 1], u'あ');
}

TEST(MyHeapStreamBuf, StreamWritesThroughBuffer) {
  MyOStringStream out;
  out.write(u"(a");
  out.put(u' ');
  out.writeString(u"b)");
  EXPECT_EQ(out.str(), u"(a b)");

  // A printer that prints nothing leaves the buffer clean.
  MyHeapStreamBuf buf;
  tokenizer::MyOStream stream(&buf);
  Token dot(Token::kDot, u"", 0);
  dot.print(stream);
  EXPECT_FALSE(buf.dirty());
  tokenizer::printCell(nullptr, stream);
  EXPECT_TRUE(buf.dirty());
  EXPECT_EQ(buf.text(), u"()");
}
