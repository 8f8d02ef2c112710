// The S-expression reader: lexer, parser, the constructors writers use and
// the accessors on possibly null cells.
#include "script/tokenizer.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "app/string_util.h"
#include "platform/utf8.h"
#include "script/cell_printer.h"
#include "tests/support/test_support.h"

using tokenizer::Cell;
using tokenizer::Cons;
using tokenizer::Token;
using tokenizer::Tokenizer;

namespace {

// Parses the text and prints the root (the list of top-level forms); a
// failed parse gives "<fail>".
std::u16string readBack(Tokenizer& tk, std::u16string_view text) {
  if (!tk.parse(text)) return u"<fail>";
  return tokenizer::toText(tk.root());
}

std::u16string readBack(std::u16string_view text) {
  Tokenizer tk;
  return readBack(tk, text);
}

// The only top-level form of the text, which must parse.
Cell* onlyForm(Tokenizer& tk, std::u16string_view text) {
  EXPECT_TRUE(tk.parse(text)) << "error: " << testing::PrintToString(tk.error());
  Cell* root = tk.root();
  EXPECT_TRUE(tokenizer::isCons(root));
  if (!tokenizer::isCons(root)) return nullptr;
  EXPECT_EQ(static_cast<Cons*>(root)->cdr, nullptr) << "more than one top-level form";
  return static_cast<Cons*>(root)->car;
}

// The only top-level form, which must be a token.
Token* onlyToken(Tokenizer& tk, std::u16string_view text) {
  Token* t = tokenizer::asToken(onlyForm(tk, text));
  EXPECT_NE(t, nullptr) << "not a token";
  return t;
}

// The integer value of the only form; fails the test when it is not one.
int32_t onlyInt(std::u16string_view text) {
  Tokenizer tk;
  Token* t = onlyToken(tk, text);
  if (!t) return INT32_MIN + 12345;
  EXPECT_EQ(t->type, Token::kInt);
  return t->value;
}

// The parse error of the text (which must fail with an error text and no root).
std::u16string parseError(std::u16string_view text) {
  Tokenizer tk;
  EXPECT_FALSE(tk.parse(text));
  EXPECT_EQ(tk.root(), nullptr);
  return tk.error();
}

// The text must fail in the lexer: false, no root, no error text, a WARN.
void expectLexerError(std::u16string_view text) {
  LogCapture log;
  Tokenizer tk;
  ASSERT_TRUE(tk.parse(u"(previous)"));
  EXPECT_FALSE(tk.parse(text));
  EXPECT_EQ(tk.root(), nullptr);
  EXPECT_TRUE(tk.error().empty());
  EXPECT_TRUE(log.contains("WARN")) << log.all();
}

bool hasWarn(const LogCapture& log, const std::string& message) {
  for (const std::string& line : log.lines()) {
    if (line.find("WARN") != std::string::npos && line.find(message) != std::string::npos) return true;
  }
  return false;
}

// Thirty distinct characters followed by more, so that a message quoting
// the first thirty can be told from one quoting more.
std::u16string distinctPrefixed(size_t length) {
  std::u16string s = u"0123456789ABCDEFGHIJKLMNOPQRST";
  s += u'U';
  s.resize(length, u'z');
  return s;
}

const char* kFirst30 = "0123456789ABCDEFGHIJKLMNOPQRST";

}  // namespace

// ---------------------------------------------------------------------------
// Symbols and integers

TEST(TokenizerSymbols, LettersAndPunctuationFormOneSymbol) {
  Tokenizer tk;
  Token* t = onlyToken(tk, u"  foo-bar!$%&*/:<=>?^_{|}~@,\\x.y  ");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->type, Token::kSymbol);
  EXPECT_EQ(t->text, u"foo-bar!$%&*/:<=>?^_{|}~@,\\x.y");
  EXPECT_EQ(t->value, 0);
}

TEST(TokenizerSymbols, BlanksAndUnknownCharactersSeparateTokens) {
  EXPECT_EQ(readBack(u"a\tb\r\nc d"), u"(a b c d)");
  // Characters that start no token (here a non-ASCII letter) are skipped.
  EXPECT_EQ(readBack(u"aあb"), u"(a b)");
  EXPECT_EQ(readBack(u"[x]"), u"(x)");
}

TEST(TokenizerSymbols, SignWithoutDigitsIsSymbol) {
  Tokenizer tk;
  for (const char16_t* text : {u"-", u"+", u"-x", u"+-1", u"-1a"}) {
    SCOPED_TRACE(testing::PrintToString(std::u16string(text)));
    Token* t = onlyToken(tk, text);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->type, Token::kSymbol);
    EXPECT_EQ(t->text, text);
  }
}

TEST(TokenizerIntegers, SignedIdentifiersAreIntegers) {
  EXPECT_EQ(onlyInt(u"+7"), 7);
  EXPECT_EQ(onlyInt(u"-12"), -12);
  EXPECT_EQ(onlyInt(u"-0"), 0);
  EXPECT_EQ(onlyInt(u"42"), 42);
  EXPECT_EQ(onlyInt(u"007"), 7);
  EXPECT_EQ(onlyInt(u"-2147483648"), INT32_MIN);
  EXPECT_EQ(onlyInt(u"2147483647"), INT32_MAX);
}

TEST(TokenizerIntegers, LetterAfterDigitsStartsNewToken) {
  EXPECT_EQ(readBack(u"1+"), u"(1 +)");
  EXPECT_EQ(readBack(u"12abc"), u"(12 abc)");
  EXPECT_EQ(readBack(u"(3)4"), u"((3) 4)");

  Tokenizer tk;
  ASSERT_TRUE(tk.parse(u"1+"));
  Token* one = tokenizer::carAsToken(tk.root());
  Token* plus = tokenizer::carAsToken(tokenizer::cdrOr(tk.root(), nullptr));
  ASSERT_NE(one, nullptr);
  ASSERT_NE(plus, nullptr);
  EXPECT_EQ(one->type, Token::kInt);
  EXPECT_EQ(one->value, 1);
  EXPECT_EQ(plus->type, Token::kSymbol);
  EXPECT_EQ(plus->text, u"+");
}

TEST(TokenizerIntegers, HexadecimalAfterZeroX) {
  EXPECT_EQ(onlyInt(u"0x1F"), 31);
  EXPECT_EQ(onlyInt(u"0x1f"), 31);
  EXPECT_EQ(onlyInt(u"0x0"), 0);
  EXPECT_EQ(onlyInt(u"0x7FFFFFFF"), INT32_MAX);
  EXPECT_EQ(readBack(u"0x1fz"), u"(31 z)");
  // Without a hexadecimal digit the x is not part of the number.
  EXPECT_EQ(readBack(u"0xg"), u"(0 xg)");
}

TEST(TokenizerIntegers, OverflowWrapsTo32BitsWithOneWarningPerLiteral) {
  // A literal beyond 32 bits keeps its value modulo 2^32 and is named at
  // WARN; one that fits as a signed or an unsigned word is not.
  const std::pair<const char16_t*, int32_t> beyond[] = {
      {u"4294967296", 0},    {u"4294967297", 1},  {u"4294968096", 800}, {u"0x100000001", 1},
      {u"+4294967298", 2},   {u"-4294967297", -1}, {u"-2147483649", INT32_MAX},
      {u"99999999999999999999", 1661992959},
  };
  const std::pair<const char16_t*, int32_t> within[] = {
      {u"2147483648", INT32_MIN}, {u"4294967295", -1}, {u"0xFFFFFFFF", -1}, {u"0x80000000", INT32_MIN},
      {u"-2147483648", INT32_MIN},
  };
  for (const auto& [text, value] : beyond) {
    SCOPED_TRACE(testing::PrintToString(std::u16string(text)));
    LogCapture log;
    EXPECT_EQ(onlyInt(text), value);
    ASSERT_EQ(log.lines().size(), 1u) << log.all();
    EXPECT_TRUE(hasWarn(log, "tokenizer : 整数が32ビットに収まりません(" + platform::ToUtf8(text) + ")")) << log.all();
  }
  for (const auto& [text, value] : within) {
    SCOPED_TRACE(testing::PrintToString(std::u16string(text)));
    LogCapture log;
    EXPECT_EQ(onlyInt(text), value);
    EXPECT_TRUE(log.lines().empty()) << log.all();
  }
  // One warning for each such literal, wherever it stands.
  LogCapture log;
  Tokenizer tk;
  ASSERT_TRUE(tk.parse(u"(:window (:window-width 4294968096) (:window-height 4294968096))"));
  EXPECT_EQ(log.lines().size(), 2u) << log.all();
}

// ---------------------------------------------------------------------------
// Booleans and '#' forms

TEST(TokenizerHash, HashTAndHashFAreBooleans) {
  Tokenizer tk;
  ASSERT_TRUE(tk.parse(u"#t #f"));
  Token* t = tokenizer::carAsToken(tk.root());
  Token* f = tokenizer::carAsToken(tokenizer::cdrOr(tk.root(), nullptr));
  ASSERT_NE(t, nullptr);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(t->type, Token::kBool);
  EXPECT_EQ(t->value, 1);
  EXPECT_EQ(f->type, Token::kBool);
  EXPECT_EQ(f->value, 0);
  // Only the exact identifiers are booleans.
  Token* sym = onlyToken(tk, u"#true");
  ASSERT_NE(sym, nullptr);
  EXPECT_EQ(sym->type, Token::kSymbol);
  EXPECT_EQ(sym->text, u"#true");
}

TEST(TokenizerHash, BackslashGivesCharacterCode) {
  EXPECT_EQ(onlyInt(u"#\\A"), 65);
  EXPECT_EQ(onlyInt(u"#\\("), 40);
  EXPECT_EQ(onlyInt(u"#\\ "), 32);
  EXPECT_EQ(onlyInt(u"#\\あ"), 0x3042);
  // Both characters are consumed: what follows is a new token.
  EXPECT_EQ(readBack(u"(#\\)x)"), u"((41 x))");
}

TEST(TokenizerHash, UFollowedByFourHexDigits) {
  EXPECT_EQ(onlyInt(u"#u3042"), 12354);
  EXPECT_EQ(onlyInt(u"#uffff"), 0xFFFF);
  EXPECT_EQ(onlyInt(u"#u0041"), 65);
  // Exactly four characters belong to it.
  EXPECT_EQ(readBack(u"#u00410"), u"(65 0)");
  EXPECT_EQ(readBack(u"(#u3042 a)"), u"((12354 a))");
}

TEST(TokenizerHash, SequenceCutByEndOfTextIsLexerError) {
  expectLexerError(u"#\\");
  expectLexerError(u"(a #\\");
  expectLexerError(u"#u");
  expectLexerError(u"#u304");
  expectLexerError(u"x #u30");
  // The bytes after the view's end must not be read either.
  const std::u16string backing = u"#u3042";
  expectLexerError(std::u16string_view(backing).substr(0, 4));
  const std::u16string backing2 = u"#\\A";
  expectLexerError(std::u16string_view(backing2).substr(0, 2));
}

TEST(TokenizerHash, DoubleHashContinuesWithSecond) {
  EXPECT_EQ(readBack(u"##t"), u"(#t)");
  EXPECT_EQ(readBack(u"##\\A"), u"(65)");
  EXPECT_EQ(readBack(u"###u0041"), u"(65)");
  // "##" at the end leaves the last '#' as a symbol.
  Tokenizer tk;
  Token* t = onlyToken(tk, u"##");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->type, Token::kSymbol);
  EXPECT_EQ(t->text, u"#");
}

TEST(TokenizerHash, HashAtEndStaysSymbol) {
  Tokenizer tk;
  ASSERT_TRUE(tk.parse(u"a #"));
  Token* t = tokenizer::carAsToken(tokenizer::cdrOr(tk.root(), nullptr));
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->type, Token::kSymbol);
  EXPECT_EQ(t->text, u"#");
}

TEST(TokenizerHash, HashBeforeOtherCharacterIsDropped) {
  EXPECT_EQ(readBack(u"#x"), u"(x)");
  EXPECT_EQ(readBack(u"#T"), u"(T)");
  EXPECT_EQ(readBack(u"#(a b)"), u"((a b))");
  EXPECT_EQ(readBack(u"#1"), u"(1)");
  EXPECT_EQ(readBack(u"#\"s\""), u"(\"s\")");
  EXPECT_EQ(readBack(u"# a"), u"(a)");
  Tokenizer tk;
  ASSERT_TRUE(tk.parse(u"# "));
  EXPECT_EQ(tk.root(), nullptr);
  // Inside an identifier '#' is an ordinary character.
  Token* t = onlyToken(tk, u"a#b");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->text, u"a#b");
}

// ---------------------------------------------------------------------------
// Comments and quote forms

TEST(TokenizerComments, RunToEndOfLine) {
  EXPECT_EQ(readBack(u"; header\n(a) ; note\r(b);x\n c"), u"((a) (b) c)");
  EXPECT_EQ(readBack(u"a;(b\nc"), u"(a c)");
}

TEST(TokenizerComments, CommentAtEndOfTextSucceeds) {
  EXPECT_EQ(readBack(u"(a b) ; trailing"), u"((a b))");
  Tokenizer tk;
  ASSERT_TRUE(tk.parse(u"; only a comment"));
  EXPECT_EQ(tk.root(), nullptr);
  EXPECT_FALSE(tk.unclosed());
  // A comment at the end does not close an open list.
  ASSERT_TRUE(tk.parse(u"(a ; )"));
  EXPECT_TRUE(tk.unclosed());
}

TEST(TokenizerQuote, QuotedSymbolReadsAsQuoteList) {
  Tokenizer tk;
  Cell* form = onlyForm(tk, u"'x");
  EXPECT_EQ(tokenizer::toText(form), u"(quote x)");
  Token* head = tokenizer::carAsToken(form);
  ASSERT_NE(head, nullptr);
  EXPECT_TRUE(head->isSymbol(u"quote"));
  EXPECT_EQ(readBack(u"(a 'b c)"), u"((a (quote b) c))");
  EXPECT_EQ(readBack(u"'foo-bar"), u"((quote foo-bar))");
}

TEST(TokenizerQuote, QuoteBeforeAnythingElseIsIgnored) {
  EXPECT_EQ(readBack(u"'(1 2)"), u"((1 2))");
  EXPECT_EQ(readBack(u"' x"), u"(x)");
  EXPECT_EQ(readBack(u"'1"), u"(1)");
  EXPECT_EQ(readBack(u"'\"s\""), u"(\"s\")");
  Tokenizer tk;
  ASSERT_TRUE(tk.parse(u"'"));
  EXPECT_EQ(tk.root(), nullptr);
}

// ---------------------------------------------------------------------------
// Strings

TEST(TokenizerStrings, CharactersUpToNextQuoteWithoutEscapes) {
  Tokenizer tk;
  Token* t = onlyToken(tk, u"\"a;b (c) 'd #t \\n\"");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->type, Token::kString);
  EXPECT_EQ(t->text, u"a;b (c) 'd #t \\n");
  EXPECT_EQ(t->value, 0);

  t = onlyToken(tk, u"\"\"");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->type, Token::kString);
  EXPECT_TRUE(t->text.empty());

  EXPECT_EQ(readBack(u"(\"a\"\"b\")"), u"((\"a\" \"b\"))");
}

TEST(TokenizerStrings, JapaneseTextKeptAsIs) {
  Tokenizer tk;
  Token* t = onlyToken(tk, u"\"こんにちは、世界。\n二行目\"");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->type, Token::kString);
  EXPECT_EQ(t->text, u"こんにちは、世界。\n二行目");
}

TEST(TokenizerStrings, DefaultLimitAccepts2970Characters) {
  Tokenizer tk;
  const std::u16string body(2970, u'a');
  Token* t = onlyToken(tk, u"\"" + body + u"\"");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->text, body);
}

TEST(TokenizerStrings, DefaultLimitRefuses2971Characters) {
  LogCapture log;
  Tokenizer tk;
  EXPECT_FALSE(tk.parse(u"(a \"" + distinctPrefixed(2971) + u"\")"));
  EXPECT_EQ(tk.root(), nullptr);
  EXPECT_TRUE(tk.error().empty());
  EXPECT_TRUE(hasWarn(log, std::string("文字列が長すぎます(") + kFirst30 + "...)")) << log.all();
}

TEST(TokenizerStrings, NoLimitReadsLongerStrings) {
  Tokenizer tk(Tokenizer::kNoStringLimit);
  const std::u16string body = distinctPrefixed(20000);
  Token* t = onlyToken(tk, u"\"" + body + u"\"");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->type, Token::kString);
  EXPECT_EQ(t->text, body);
}

TEST(TokenizerStrings, CustomLimitIsInclusive) {
  Tokenizer tk(5);
  EXPECT_TRUE(tk.parse(u"\"12345\""));
  LogCapture log;
  EXPECT_FALSE(tk.parse(u"\"123456\""));
  EXPECT_TRUE(hasWarn(log, "文字列が長すぎます(123456")) << log.all();
}

TEST(TokenizerIdentifiers, IdentifierOf3000CharactersIsRefused) {
  {
    Tokenizer tk;
    const std::u16string name(2999, u'a');
    Token* t = onlyToken(tk, name);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->text, name);
  }
  LogCapture log;
  Tokenizer tk;
  EXPECT_FALSE(tk.parse(u"(" + std::u16string(3000, u'a') + u")"));
  EXPECT_EQ(tk.root(), nullptr);
  EXPECT_TRUE(tk.error().empty());
  EXPECT_TRUE(hasWarn(log, "識別子が長すぎます(")) << log.all();
}

TEST(TokenizerIdentifiers, LongIdentifierWarningQuotesFirst30) {
  LogCapture log;
  Tokenizer tk;
  std::u16string name = u"abcdefghijklmnopqrstuvwxyzABCD";  // 30 characters
  name += u'E';
  name.resize(4000, u'q');
  EXPECT_FALSE(tk.parse(name));
  EXPECT_TRUE(hasWarn(log, "識別子が長すぎます(abcdefghijklmnopqrstuvwxyzABCD...)")) << log.all();
  // A quoted identifier obeys the same limit.
  log.clear();
  EXPECT_FALSE(tk.parse(u"'" + name));
  EXPECT_TRUE(log.contains("識別子が長すぎます")) << log.all();
}

// ---------------------------------------------------------------------------
// Dotted pairs and parse errors

TEST(TokenizerDots, DottedPairReadsAsOneCons) {
  Tokenizer tk;
  Cell* form = onlyForm(tk, u"(a . b)");
  ASSERT_TRUE(tokenizer::isCons(form));
  Cons* pair = static_cast<Cons*>(form);
  ASSERT_NE(tokenizer::asToken(pair->car), nullptr);
  ASSERT_NE(tokenizer::asToken(pair->cdr), nullptr);
  EXPECT_TRUE(tokenizer::asToken(pair->car)->isSymbol(u"a"));
  EXPECT_TRUE(tokenizer::asToken(pair->cdr)->isSymbol(u"b"));
  EXPECT_EQ(tokenizer::toText(form), u"(a . b)");
}

TEST(TokenizerDots, DottedPairPrintsBack) {
  EXPECT_EQ(readBack(u"(a . b)"), u"((a . b))");
  EXPECT_EQ(readBack(u"(1 . \"s\")"), u"((1 . \"s\"))");
  EXPECT_EQ(readBack(u"((a . 1) (b . 2))"), u"(((a . 1) (b . 2)))");
  // A list after the dot continues the chain.
  EXPECT_EQ(readBack(u"(a . (b c))"), u"((a b c))");
  EXPECT_EQ(readBack(u"(a . ())"), u"((a))");
}

TEST(TokenizerDots, SeveralElementsBeforeDotMakeImproperList) {
  Tokenizer tk;
  Cell* form = onlyForm(tk, u"(a b . c)");
  EXPECT_EQ(tokenizer::toText(form), u"(a b . c)");
  Token* a = tokenizer::carAsToken(form);
  ASSERT_NE(a, nullptr);
  EXPECT_TRUE(a->isSymbol(u"a"));
  Cell* rest = tokenizer::cdrOr(form, nullptr);
  Token* b = tokenizer::carAsToken(rest);
  ASSERT_NE(b, nullptr);
  EXPECT_TRUE(b->isSymbol(u"b"));
  Token* c = tokenizer::asToken(tokenizer::cdrOr(rest, nullptr));
  ASSERT_NE(c, nullptr);
  EXPECT_TRUE(c->isSymbol(u"c"));
}

TEST(TokenizerDots, DotWithoutElementBeforeOrAfterFails) {
  EXPECT_EQ(parseError(u"( . a)"), u"dot must appear inter tokens");
  EXPECT_EQ(parseError(u"(.)"), u"dot must appear inter tokens");
  EXPECT_EQ(parseError(u"(a .)"), u"dot must appear inter tokens");
  EXPECT_EQ(parseError(u"(x (a .) y)"), u"dot must appear inter tokens");
  EXPECT_EQ(parseError(u". a"), u"dot must appear inter tokens");
}

TEST(TokenizerDots, MoreThanOneElementAfterDotFails) {
  EXPECT_EQ(parseError(u"(a . b c)"), u"dot must appear inter tokens");
  EXPECT_EQ(parseError(u"(a . b (c))"), u"dot must appear inter tokens");
}

TEST(TokenizerDots, SecondDotInOneListFails) {
  EXPECT_EQ(parseError(u"(a . b . c)"), u"dot must not appear twice or more");
  EXPECT_EQ(parseError(u"(a . . b)"), u"dot must not appear twice or more");
  // Dots in different lists are independent.
  EXPECT_EQ(readBack(u"((a . b) . (c . d))"), u"(((a . b) c . d))");
}

TEST(TokenizerParser, LoneCloseParenthesisFails) {
  EXPECT_EQ(parseError(u")"), u"unbalanced parenthesis");
  EXPECT_EQ(parseError(u"(a))"), u"unbalanced parenthesis");
  EXPECT_EQ(parseError(u"(a) ) (b)"), u"unbalanced parenthesis");
}

TEST(TokenizerParser, NextParseClearsErrorAndRoot) {
  Tokenizer tk;
  ASSERT_TRUE(tk.parse(u"(a)"));
  ASSERT_NE(tk.root(), nullptr);
  EXPECT_FALSE(tk.parse(u")"));
  EXPECT_EQ(tk.root(), nullptr);
  EXPECT_EQ(tk.error(), u"unbalanced parenthesis");
  EXPECT_TRUE(tk.parse(u"(b)"));
  EXPECT_TRUE(tk.error().empty());
  EXPECT_EQ(tokenizer::toText(tk.root()), u"((b))");
}

TEST(TokenizerParser, RootListsTopLevelFormsInOrder) {
  EXPECT_EQ(readBack(u"(a b) c 1 \"s\" #t () (d (e (f)))"),
            u"((a b) c 1 \"s\" #t () (d (e (f))))");
}

TEST(TokenizerParser, EmptyTextGivesNullRoot) {
  Tokenizer tk;
  ASSERT_TRUE(tk.parse(u"(x)"));
  EXPECT_TRUE(tk.parse(u""));
  EXPECT_EQ(tk.root(), nullptr);
  EXPECT_TRUE(tk.error().empty());
  EXPECT_FALSE(tk.unclosed());
  EXPECT_TRUE(tk.parse(u" \t\r\n  "));
  EXPECT_EQ(tk.root(), nullptr);
  EXPECT_TRUE(tk.parse(std::u16string_view()));
  EXPECT_EQ(tk.root(), nullptr);
}

TEST(TokenizerParser, EmptyListIsNullElement) {
  Tokenizer tk;
  ASSERT_TRUE(tk.parse(u"()"));
  ASSERT_TRUE(tokenizer::isCons(tk.root()));
  EXPECT_EQ(static_cast<Cons*>(tk.root())->car, nullptr);
  EXPECT_EQ(static_cast<Cons*>(tk.root())->cdr, nullptr);
}

TEST(TokenizerParser, EmbeddedNulStopsReading) {
  const std::u16string text(u"(a)\0(b)", 7);
  ASSERT_EQ(text.size(), 7u);
  EXPECT_EQ(readBack(text), u"((a))");
  // Even an error after the NUL is not seen.
  const std::u16string bad(u"(a)\0)))", 7);
  EXPECT_EQ(readBack(bad), u"((a))");
  Tokenizer tk;
  EXPECT_TRUE(tk.parse(u"(c)\0)"));  // the pointer overload
  EXPECT_EQ(tokenizer::toText(tk.root()), u"((c))");
}

// ---------------------------------------------------------------------------
// Text ending inside a list or string

TEST(TokenizerUnclosed, OpenListIsDroppedWithWarning) {
  LogCapture log;
  Tokenizer tk;
  EXPECT_TRUE(tk.parse(u"(a b"));
  EXPECT_EQ(tk.root(), nullptr);
  EXPECT_TRUE(tk.error().empty());
  EXPECT_TRUE(tk.unclosed());
  EXPECT_TRUE(log.contains("WARN")) << log.all();
}

TEST(TokenizerUnclosed, FinishedFormsBeforeOpenListAreKept) {
  Tokenizer tk;
  EXPECT_TRUE(tk.parse(u"(x) y (a (b c) d"));
  EXPECT_TRUE(tk.unclosed());
  EXPECT_EQ(tokenizer::toText(tk.root()), u"((x) y)");
}

TEST(TokenizerUnclosed, OpenStringEndsAtEndOfText) {
  LogCapture log;
  Tokenizer tk;
  EXPECT_TRUE(tk.parse(u"a \"tail text"));
  EXPECT_TRUE(tk.unclosed());
  EXPECT_EQ(tokenizer::toText(tk.root()), u"(a \"tail text\")");
  EXPECT_TRUE(log.contains("WARN")) << log.all();

  // A string left open inside a list is dropped with the list.
  EXPECT_TRUE(tk.parse(u"b (c \"x"));
  EXPECT_TRUE(tk.unclosed());
  EXPECT_EQ(tokenizer::toText(tk.root()), u"(b)");
}

TEST(TokenizerUnclosed, ClosedTextIsNotReportedUnclosed) {
  Tokenizer tk;
  ASSERT_TRUE(tk.parse(u"(a"));
  ASSERT_TRUE(tk.unclosed());
  LogCapture log;
  EXPECT_TRUE(tk.parse(u"(a \"b\") \"c\""));
  EXPECT_FALSE(tk.unclosed());
  EXPECT_FALSE(log.contains("WARN")) << log.all();
}

// ---------------------------------------------------------------------------
// Deep nesting

TEST(TokenizerNesting, DeepListsParseAndPrintWithoutRecursion) {
  constexpr size_t kDepth = 100000;
  std::u16string text(kDepth, u'(');
  text += u"x";
  text.append(kDepth, u')');
  Tokenizer tk;
  ASSERT_TRUE(tk.parse(text));
  EXPECT_EQ(tokenizer::toText(tk.root()), u"(" + text + u")");

  // Walk down to the innermost symbol.
  Cell* c = tokenizer::carOf(tk.root());
  for (size_t i = 0; i < kDepth - 1; ++i) c = tokenizer::carOf(c);
  Token* x = tokenizer::carAsToken(c);
  ASSERT_NE(x, nullptr);
  EXPECT_TRUE(x->isSymbol(u"x"));
}

TEST(TokenizerNesting, DeepEmptyListsAndUnclosedDepth) {
  constexpr size_t kDepth = 100000;
  std::u16string text(kDepth, u'(');
  Tokenizer tk;
  EXPECT_TRUE(tk.parse(text));
  EXPECT_TRUE(tk.unclosed());
  EXPECT_EQ(tk.root(), nullptr);

  text.append(kDepth, u')');
  ASSERT_TRUE(tk.parse(text));
  EXPECT_FALSE(tk.unclosed());
  EXPECT_EQ(tokenizer::toText(tk.root()), u"(" + text + u")");
}

TEST(TokenizerNesting, LongFlatListParses) {
  std::u16string text = u"(";
  for (int i = 0; i < 50000; ++i) text += u"1 ";
  text += u")";
  Tokenizer tk;
  ASSERT_TRUE(tk.parse(text));
  size_t count = 0;
  for (Cell* c = tokenizer::carOf(tk.root()); tokenizer::isCons(c); c = tokenizer::cdrOr(c, nullptr)) ++count;
  EXPECT_EQ(count, 50000u);
}

// ---------------------------------------------------------------------------
// Constructors for writers

TEST(TokenizerConstructors, TokensCarryTypeTextAndValue) {
  Tokenizer tk;
  Token* i = tk.makeInt(-9);
  Token* t = tk.makeBool(true);
  Token* f = tk.makeBool(false);
  Token* s = tk.makeSymbol(u"name");
  Token* str = tk.makeString(u"文字");
  ASSERT_TRUE(i && t && f && s && str);
  EXPECT_EQ(i->type, Token::kInt);
  EXPECT_EQ(i->value, -9);
  EXPECT_TRUE(i->text.empty());
  EXPECT_EQ(t->type, Token::kBool);
  EXPECT_EQ(t->value, 1);
  EXPECT_EQ(f->type, Token::kBool);
  EXPECT_EQ(f->value, 0);
  EXPECT_EQ(s->type, Token::kSymbol);
  EXPECT_EQ(s->text, u"name");
  EXPECT_EQ(str->type, Token::kString);
  EXPECT_EQ(str->text, u"文字");
  EXPECT_EQ(i->kind, Cell::kToken);
}

TEST(TokenizerConstructors, ConsLinksCarAndCdr) {
  Tokenizer tk;
  Token* a = tk.makeSymbol(u"a");
  Token* b = tk.makeSymbol(u"b");
  Cons* list = tk.cons(a, tk.cons(b, nullptr));
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->kind, Cell::kCons);
  EXPECT_EQ(list->car, a);
  ASSERT_TRUE(tokenizer::isCons(list->cdr));
  EXPECT_EQ(static_cast<Cons*>(list->cdr)->car, b);
  EXPECT_EQ(static_cast<Cons*>(list->cdr)->cdr, nullptr);
  EXPECT_EQ(tokenizer::toText(list), u"(a b)");
}

TEST(TokenizerConstructors, AconsPrependsKeyValuePair) {
  Tokenizer tk;
  Cons* alist = tk.acons(nullptr, u"a", tk.makeInt(1));
  ASSERT_NE(alist, nullptr);
  EXPECT_EQ(tokenizer::toText(alist), u"((a . 1))");
  alist = tk.acons(alist, u"b", tk.makeString(u"two"));
  EXPECT_EQ(tokenizer::toText(alist), u"((b . \"two\") (a . 1))");
  alist = tk.acons(alist, u"c", tk.cons(tk.makeInt(3), nullptr));
  EXPECT_EQ(tokenizer::toText(alist), u"((c 3) (b . \"two\") (a . 1))");

  Cons* pair = static_cast<Cons*>(alist->car);
  ASSERT_TRUE(tokenizer::isCons(pair));
  Token* key = tokenizer::asToken(pair->car);
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->type, Token::kSymbol);
  EXPECT_EQ(key->text, u"c");
}

TEST(TokenizerConstructors, MakeTokenFollowsValueType) {
  Tokenizer tk;
  Token* t = tk.makeToken(APValue(true));
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->type, Token::kBool);
  EXPECT_EQ(t->value, 1);

  t = tk.makeToken(APValue(false));
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->type, Token::kBool);
  EXPECT_EQ(t->value, 0);

  t = tk.makeToken(APValue(int32_t{-77}));
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->type, Token::kInt);
  EXPECT_EQ(t->value, -77);

  t = tk.makeToken(APValue());
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->type, Token::kInt);
  EXPECT_EQ(t->value, 0);

  t = tk.makeToken(APValue(std::u16string(u"値")));
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->type, Token::kString);
  EXPECT_EQ(t->text, u"値");

  t = tk.makeToken(APValue(u""));
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->type, Token::kString);
  EXPECT_TRUE(t->text.empty());
}

TEST(TokenizerConstructors, MakeTokenOfUnknownTypeGivesString) {
  Tokenizer tk;
  APValue v(u"odd");
  v.type = 9;
  Token* t = tk.makeToken(v);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->type, Token::kString);
  EXPECT_EQ(t->text, u"odd");
}

TEST(TokenizerConstructors, ReverseListReversesIntoNewList) {
  Tokenizer tk;
  ASSERT_TRUE(tk.parse(u"(1 (2 3) #t)"));
  Cell* list = tokenizer::carOf(tk.root());
  Cell* reversed = tk.reverseList(list);
  EXPECT_EQ(tokenizer::toText(reversed), u"(#t (2 3) 1)");
  // The original is untouched and the elements are shared.
  EXPECT_EQ(tokenizer::toText(list), u"(1 (2 3) #t)");
  EXPECT_NE(reversed, list);
  EXPECT_EQ(tokenizer::carOf(tokenizer::cdrOr(reversed, nullptr)),
            tokenizer::carOf(tokenizer::cdrOr(list, nullptr)));

  EXPECT_EQ(tk.reverseList(nullptr), nullptr);
  Cell* one = tk.reverseList(tk.cons(tk.makeInt(5), nullptr));
  EXPECT_EQ(tokenizer::toText(one), u"(5)");
}

TEST(TokenizerConstructors, ReverseListImproperTailAddsOneNull) {
  Tokenizer tk;
  Cell* improper = tk.cons(tk.makeInt(1), tk.cons(tk.makeInt(2), tk.makeInt(3)));
  Cell* reversed = tk.reverseList(improper);
  EXPECT_EQ(tokenizer::toText(reversed), u"(() 2 1)");
  ASSERT_TRUE(tokenizer::isCons(reversed));
  EXPECT_EQ(static_cast<Cons*>(reversed)->car, nullptr);

  // A lone token is a list with only a tail.
  EXPECT_EQ(tokenizer::toText(tk.reverseList(tk.makeSymbol(u"t"))), u"(())");
}

TEST(TokenizerConstructors, CellsOutliveLaterParses) {
  Tokenizer tk;
  Cons* built = tk.cons(tk.makeSymbol(u"kept"), nullptr);
  ASSERT_TRUE(tk.parse(u"(first)"));
  Cell* firstRoot = tk.root();
  ASSERT_TRUE(tk.parse(u"(second)"));
  EXPECT_EQ(tokenizer::toText(built), u"(kept)");
  EXPECT_EQ(tokenizer::toText(firstRoot), u"((first))");
  EXPECT_EQ(tokenizer::toText(tk.root()), u"((second))");
}

// ---------------------------------------------------------------------------
// Accessors

TEST(TokenizerAccessors, KindTestsRejectNull) {
  Tokenizer tk;
  Token* t = tk.makeInt(1);
  Cons* c = tk.cons(nullptr, nullptr);
  EXPECT_FALSE(tokenizer::isCons(nullptr));
  EXPECT_FALSE(tokenizer::isToken(nullptr));
  EXPECT_TRUE(tokenizer::isCons(c));
  EXPECT_FALSE(tokenizer::isToken(c));
  EXPECT_TRUE(tokenizer::isToken(t));
  EXPECT_FALSE(tokenizer::isCons(t));
}

TEST(TokenizerAccessors, CdrOrFallsBackOnlyForNonCons) {
  Tokenizer tk;
  Cell* fallback = tk.makeSymbol(u"fallback");
  ASSERT_TRUE(tk.parse(u"(a b)"));
  Cell* list = tokenizer::carOf(tk.root());
  Cell* rest = tokenizer::cdrOr(list, fallback);
  EXPECT_EQ(tokenizer::toText(rest), u"(b)");
  // The null cdr of the last cons is returned, not the fallback.
  EXPECT_EQ(tokenizer::cdrOr(rest, fallback), nullptr);
  EXPECT_EQ(tokenizer::cdrOr(nullptr, fallback), fallback);
  EXPECT_EQ(tokenizer::cdrOr(tk.makeInt(1), fallback), fallback);
}

TEST(TokenizerAccessors, CddrOrFallsBackAtEachStep) {
  Tokenizer tk;
  Cell* fallback = tk.makeSymbol(u"fallback");
  ASSERT_TRUE(tk.parse(u"(a b c) (a) (a . b) (a b)"));
  Cell* forms = tk.root();
  Cell* abc = tokenizer::carOf(forms);
  Cell* a = tokenizer::carOf(tokenizer::cdrOr(forms, nullptr));
  Cell* pair = tokenizer::carOf(tokenizer::cddrOr(forms, nullptr));
  Cell* ab = tokenizer::carOf(tokenizer::cdrOr(tokenizer::cddrOr(forms, nullptr), nullptr));
  EXPECT_EQ(tokenizer::toText(tokenizer::cddrOr(abc, fallback)), u"(c)");
  EXPECT_EQ(tokenizer::cddrOr(a, fallback), fallback);     // cdr is null
  EXPECT_EQ(tokenizer::cddrOr(pair, fallback), fallback);  // cdr is a token
  EXPECT_EQ(tokenizer::cddrOr(ab, fallback), nullptr);     // cddr is null
  EXPECT_EQ(tokenizer::cddrOr(nullptr, fallback), fallback);
  EXPECT_EQ(tokenizer::cddrOr(fallback, fallback), fallback);
}

TEST(TokenizerAccessors, AsTokenAndCarAsToken) {
  Tokenizer tk;
  ASSERT_TRUE(tk.parse(u"(x) ((y))"));
  Cell* first = tokenizer::carOf(tk.root());
  Cell* second = tokenizer::carOf(tokenizer::cdrOr(tk.root(), nullptr));

  Token* x = tokenizer::carAsToken(first);
  ASSERT_NE(x, nullptr);
  EXPECT_EQ(x->text, u"x");
  EXPECT_EQ(tokenizer::asToken(x), x);
  EXPECT_EQ(tokenizer::asToken(first), nullptr);
  EXPECT_EQ(tokenizer::asToken(nullptr), nullptr);
  EXPECT_EQ(tokenizer::carAsToken(second), nullptr);  // car is a list
  EXPECT_EQ(tokenizer::carAsToken(nullptr), nullptr);
  EXPECT_EQ(tokenizer::carAsToken(x), nullptr);       // not a cons
  EXPECT_EQ(tokenizer::carAsToken(tk.cons(nullptr, nullptr)), nullptr);
  EXPECT_EQ(tokenizer::carOf(nullptr), nullptr);
}

TEST(TokenizerAccessors, IsSymbolNeedsSymbolWithSameText) {
  Tokenizer tk;
  EXPECT_TRUE(tk.makeSymbol(u"cmd")->isSymbol(u"cmd"));
  EXPECT_FALSE(tk.makeSymbol(u"cmd")->isSymbol(u"cm"));
  EXPECT_FALSE(tk.makeSymbol(u"cmd")->isSymbol(u"CMD"));
  EXPECT_FALSE(tk.makeString(u"cmd")->isSymbol(u"cmd"));
  EXPECT_FALSE(tk.makeInt(0)->isSymbol(u""));
}

TEST(TokenizerAccessors, GetStringOnlyForSymbolsAndStrings) {
  Tokenizer tk;
  EXPECT_EQ(tk.makeSymbol(u"sym")->getString(), u"sym");
  EXPECT_EQ(tk.makeString(u"文字列")->getString(), u"文字列");
  EXPECT_TRUE(tk.makeInt(12)->getString().empty());
  EXPECT_TRUE(tk.makeBool(true)->getString().empty());
  Token odd(Token::kInt, u"leftover", 3);
  EXPECT_TRUE(odd.getString().empty());
}

// ---------------------------------------------------------------------------
// Reading files from their bytes

namespace {

// Random S-expression text in the game code page, with the bytes that make
// decoding hard: two-byte characters whose second byte is ASCII ('\', '(',
// '"'), bad pairs, lone first bytes, half-width katakana.
std::string randomCodePageText(uint32_t seed, size_t size) {
  uint32_t state = seed;
  auto next = [&](uint32_t n) {
    state = state * 1664525u + 1013904223u;
    return (state >> 8) % n;
  };
  const char* const pieces[] = {
      "(",       ")",        " ",      "\n",      "a3:eval",    "-12",      "0x1F",     "4294968096",
      "#t",      "#\\x",     "#\\\x82\xA0", "#u3042", "; note\n", "'sym",     "(a . b)",  "\"",
      "\x82\xA0", "\x95\x5C", "\x83\x28", "\x85\x22", "\x81",      "\xB1",     "\x80",     "\xFD",
      "\x88\x9F", "\xFA\x40", "\xF0\x40", "\x81\x60", "\xE0\x3F", "\xA0",     "\xFF",     "\x87\x40",
  };
  std::string text;
  while (text.size() < size) text += pieces[next(sizeof pieces / sizeof pieces[0])];
  return text;
}

// The log lines without their ticks.
std::vector<std::string> untimed(const LogCapture& log) {
  std::vector<std::string> lines;
  for (const std::string& line : log.lines()) lines.push_back(line.substr(0, 8) + line.substr(21));
  return lines;
}

}  // namespace

namespace {

// The lines of the links of a tree, depth first.
void collectLines(const Cell* cell, std::vector<uint32_t>* out) {
  for (const Cell* c = cell; tokenizer::isCons(c); c = static_cast<const Cons*>(c)->cdr) {
    out->push_back(static_cast<const Cons*>(c)->line);
    collectLines(static_cast<const Cons*>(c)->car, out);
  }
}

std::vector<uint32_t> linesOf(const Cell* root) {
  std::vector<uint32_t> out;
  collectLines(root, &out);
  return out;
}

// parseFile() of the bytes gives what parse() of their decoded text gives:
// the same result, tree with its lines, error with its place and log lines,
// and fails where the text is left open.
void expectFileReadsAsText(const std::string& bytes) {
  LogCapture textLog;
  Tokenizer fromText;
  const bool textOk = fromText.parse(MultiByteToWString(bytes.data(), bytes.size()));
  const std::vector<std::string> textLines = untimed(textLog);
  textLog.clear();
  LogCapture fileLog;
  Tokenizer fromFile;
  const bool fileOk = fromFile.parseFile(bytes);
  EXPECT_EQ(untimed(fileLog), textLines);
  EXPECT_EQ(fromFile.errorAt().line, fromText.errorAt().line);
  EXPECT_EQ(fromFile.errorAt().column, fromText.errorAt().column);
  if (textOk && fromText.unclosed()) {
    EXPECT_FALSE(fileOk);
    EXPECT_TRUE(fromFile.error() == u"unclosed parenthesis" || fromFile.error() == u"unclosed string");
    return;
  }
  ASSERT_EQ(fileOk, textOk) << platform::ToUtf8(fromText.error());
  EXPECT_EQ(fromFile.error(), fromText.error());
  if (textOk) {
    EXPECT_EQ(tokenizer::toText(fromFile.root()), tokenizer::toText(fromText.root()));
    EXPECT_EQ(linesOf(fromFile.root()), linesOf(fromText.root()));
  }
}

}  // namespace

TEST(TokenizerFile, BytesReadAsTheirDecodedText) {
  for (uint32_t seed = 1; seed <= 12; ++seed) {
    SCOPED_TRACE(seed);
    // Several pieces of the file decoder; the lists balanced, and for odd
    // seeds no strings either.
    std::string bytes;
    int depth = 0;
    for (char c : "(" + randomCodePageText(seed, 200000)) {
      if ((c == '"' && seed % 2 == 1) || (c == ')' && depth == 0)) continue;
      depth += c == '(' ? 1 : c == ')' ? -1 : 0;
      bytes += c;
    }
    bytes.append(static_cast<size_t>(depth), ')');
    expectFileReadsAsText(bytes);
  }
}

// The decoder works in pieces of 64 KiB: tokens at the longest they may be,
// and sequences that need what follows them, across the end of a piece.
TEST(TokenizerFile, TokensAcrossDecoderPiecesReadAsFromText) {
  const std::string tails[] = {
      std::string(2999, 'q') + " z",  std::string(3000, 'q') + " z",
      "\"" + std::string(2970, 'w') + "\" z", "\"" + std::string(2971, 'w') + "\" z",
      "(\"" + std::string(1000, '\x82') + "\x95\x5C\")",  "12345678901 0x1FFFFFFFF -2147483649 z",
      "#u3042 #\\\x82\xA0 #t '#f #", "; comment\r\n#\\", "\n\n  )",
  };
  for (size_t pad = 65528; pad <= 65540; ++pad) {
    for (const std::string& tail : tails) {
      SCOPED_TRACE(testing::Message() << pad << " " << tail.substr(0, 12));
      expectFileReadsAsText("(a " + std::string(pad - 3, ' ') + tail + ")");
    }
  }
}

// Where the reader says things are: each link keeps the line its element
// begins on (a list's "("), and a failed read names the line and column of
// the token at fault, counted in UTF-16 units from 1.
TEST(TokenizerPlaces, LinksKeepTheirLinesAndErrorsTheirPlace) {
  Tokenizer tk;
  ASSERT_TRUE(tk.parse(u"(a\n  (b c)\r\n\n d) ; x\n\"two\nlines\" 'q"));
  EXPECT_EQ(linesOf(tk.root()), (std::vector<uint32_t>{1, 1, 2, 2, 2, 4, 5, 6, 6, 6}));
  EXPECT_EQ(tk.errorAt().line, 0u);

  struct Case {
    std::u16string text;
    std::u16string error;
    uint32_t line, column;
  };
  const Case cases[] = {
      {u"(a b)\n  (c))", u"unbalanced parenthesis", 2, 6},
      {u"(a\n . )", u"dot must appear inter tokens", 2, 4},
      {u"(a . b . c)", u"dot must not appear twice or more", 1, 8},
      {u"(x)\n(a\n  (b c)\n", u"unclosed parenthesis", 2, 1},
      {u"(x\n  \"open", u"unclosed string", 2, 3},
      {u"\u3042\u3044 (\"" + std::u16string(2971, u'w') + u"\")", u"", 1, 5},
      {u"\n\n  x" + std::u16string(3000, u'q'), u"", 3, 3},
      {u"(a\n #", u"unclosed parenthesis", 1, 1},
      {u"(a\n #\\", u"", 2, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(platform::ToUtf8(c.text.substr(0, 20)));
    LogCapture quiet;
    EXPECT_FALSE(tk.parseFile(c.text));
    EXPECT_EQ(tk.error(), c.error);
    EXPECT_EQ(tk.errorAt().line, c.line);
    EXPECT_EQ(tk.errorAt().column, c.column);
  }
}
