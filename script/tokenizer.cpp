// The reader: a lexer that turns text into tokens and a builder that makes
// the tree from each token as it comes, with an explicit stack (no
// recursion, so nesting depth is bounded only by memory). Nothing but the
// cells themselves is kept per token: no token list, no copy of the text.
#include "script/tokenizer.h"

#include <algorithm>
#include <new>
#include <string>

#include "app/log.h"
#include "app/string_util.h"

namespace tokenizer {

namespace {

constexpr size_t kIdentifierLimit = 3000;

bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

bool isHexDigit(char16_t c) {
  return isDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

int hexValue(char16_t c) {
  if (isDigit(c)) return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  return c - u'A' + 10;
}

bool isIdentifierStart(char16_t c) {
  if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')) return true;
  return std::u16string_view(u"!#$%&*+,-/:<=>?\\^_{|}~@").find(c) != std::u16string_view::npos;
}

bool isIdentifierChar(char16_t c) { return isIdentifierStart(c) || isDigit(c) || c == u'.'; }

// An integer literal's value modulo 2^32, and whether the literal was
// outside 32 bits (below -2^31 or above 2^32 - 1).
struct Literal {
  uint32_t bits = 0;
  bool beyond32 = false;

  void push(uint32_t base, uint32_t digit) {
    const uint64_t v = static_cast<uint64_t>(bits) * base + digit;
    if (v > UINT32_MAX) beyond32 = true;
    bits = static_cast<uint32_t>(v);
  }
};

Literal decimalOf(std::u16string_view digits) {
  Literal v;
  for (char16_t c : digits) v.push(10, static_cast<uint32_t>(c - u'0'));
  return v;
}

// An optional sign and one or more digits.
bool isIntegerText(std::u16string_view s) {
  size_t i = (!s.empty() && (s[0] == u'+' || s[0] == u'-')) ? 1 : 0;
  if (i >= s.size()) return false;
  for (; i < s.size(); ++i) {
    if (!isDigit(s[i])) return false;
  }
  return true;
}

Literal integerOf(std::u16string_view s) {
  if (s[0] == u'+') return decimalOf(s.substr(1));
  if (s[0] != u'-') return decimalOf(s);
  Literal v = decimalOf(s.substr(1));
  if (v.bits > 0x80000000u) v.beyond32 = true;
  v.bits = 0u - v.bits;
  return v;
}

void warnBeyond32(std::u16string_view literal) {
  LogWrite(LOG_WARN, u"tokenizer : 整数が32ビットに収まりません(%s)\n", std::u16string(literal));
}

std::u16string decimalText(size_t n) {
  const std::string digits = std::to_string(n);
  return std::u16string(digits.begin(), digits.end());
}

// The text of parse(): a view, NUL-free.
class ViewSource {
 public:
  explicit ViewSource(std::u16string_view text) : text_(text) {}
  // Unit i, or -1 past the end.
  int32_t at(size_t i) const { return i < text_.size() ? text_[i] : -1; }
  // Up to `length` units from `start`; valid until the next at() or slice().
  std::u16string_view slice(size_t start, size_t length) const {
    return start < text_.size() ? text_.substr(start, length) : std::u16string_view();
  }
  // Units before i will not be asked for again.
  void release(size_t) {}

 private:
  std::u16string_view text_;
};

// The text of parseFile(): CP932 bytes decoded a piece at a time into a
// window that holds the current token and what follows it. Pieces end
// between two ASCII bytes, where the whole-text decoder also starts afresh,
// so the units are exactly those of decoding the whole file at once.
class BytesSource {
 public:
  explicit BytesSource(std::string_view bytes) : bytes_(bytes) {}

  int32_t at(size_t i) {
    while (i - base_ >= window_.size()) {
      if (!decodeMore()) return -1;
    }
    return window_[i - base_];
  }
  std::u16string_view slice(size_t start, size_t length) {
    if (length > 0) at(start + length - 1);
    if (start - base_ >= window_.size()) return {};
    return std::u16string_view(window_).substr(start - base_, length);
  }
  void release(size_t i) {
    if (i - base_ < kPieceBytes) return;  // drop the dead front in large steps
    window_.erase(0, i - base_);
    base_ = i;
  }

 private:
  static constexpr size_t kPieceBytes = size_t{1} << 16;

  bool ascii(size_t k) const { return static_cast<uint8_t>(bytes_[k]) < 0x80; }

  bool decodeMore() {
    if (next_ >= bytes_.size()) return false;
    size_t end = std::min(bytes_.size(), next_ + kPieceBytes);
    while (end < bytes_.size() && !(ascii(end - 1) && ascii(end))) ++end;
    window_ += MultiByteToWString(bytes_.data() + next_, end - next_);
    next_ = end;
    return true;
  }

  std::string_view bytes_;
  size_t next_ = 0;      // the first byte not yet decoded
  size_t base_ = 0;      // the unit index of window_[0]
  std::u16string window_;
};

// Builds the tree from the lexer's tokens as they come, with an explicit
// stack of open lists. After the first error it ignores the rest.
class Builder {
 public:
  explicit Builder(Tokenizer& tokenizer) : tokenizer_(tokenizer) { levels_.emplace_back(); }

  bool failed() const { return failed_; }
  const char16_t* error() const { return error_; }
  bool unclosed() const { return levels_.size() > 1; }

  void open() {
    if (!failed_) levels_.emplace_back();
  }
  void close() {
    if (failed_) return;
    if (levels_.size() == 1) return fail(u"unbalanced parenthesis");
    const Level level = levels_.back();
    levels_.pop_back();
    Cell* list = nullptr;
    if (finish(level, &list)) add(list);
  }
  void dot() {
    if (failed_) return;
    Level& level = levels_.back();
    if (level.count == 0) return fail(u"dot must appear inter tokens");
    if (level.dotAt >= 0) return fail(u"dot must not appear twice or more");
    level.dotAt = static_cast<ptrdiff_t>(level.count);
  }
  void atom(Cell* cell) {
    if (failed_) return;
    if (!cell) return outOfMemory();
    add(cell);
  }
  // The list of the top-level forms; false after an error.
  bool finishRoot(Cell** root) { return !failed_ && finish(levels_.front(), root); }

 private:
  struct Level {
    Cons* head = nullptr;
    Cons* tail = nullptr;
    Cell* dotted = nullptr;  // the element after the dot
    size_t count = 0;
    ptrdiff_t dotAt = -1;  // number of elements before the dot; -1 without one
  };

  void fail(const char16_t* message) {
    failed_ = true;
    error_ = message;
  }
  void outOfMemory() { failed_ = true; }

  // Adds an element to the innermost level; after a dot only one may follow.
  void add(Cell* cell) {
    Level& level = levels_.back();
    if (level.dotAt >= 0) {
      if (static_cast<ptrdiff_t>(level.count) > level.dotAt) return fail(u"dot must appear inter tokens");
      level.dotted = cell;
      ++level.count;
      return;
    }
    Cons* link = tokenizer_.cons(cell, nullptr);
    if (!link) return outOfMemory();
    if (level.tail) {
      level.tail->cdr = link;
    } else {
      level.head = link;
    }
    level.tail = link;
    ++level.count;
  }

  // The list of a finished level: proper, or dotted when it had a dot.
  bool finish(const Level& level, Cell** out) {
    if (level.dotAt >= 0) {
      if (static_cast<ptrdiff_t>(level.count) != level.dotAt + 1) {
        fail(u"dot must appear inter tokens");
        return false;
      }
      level.tail->cdr = level.dotted;
    }
    *out = level.head;
    return true;
  }

  Tokenizer& tokenizer_;
  std::vector<Level> levels_;
  bool failed_ = false;
  const char16_t* error_ = nullptr;
};

}  // namespace

Tokenizer::Tokenizer(size_t stringLimit) : stringLimit_(stringLimit) {}

Tokenizer::~Tokenizer() = default;

Cons* Tokenizer::cons(Cell* car, Cell* cdr) {
  try {
    return &conses_.emplace_back(car, cdr);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

Token* Tokenizer::newToken(int32_t type, std::u16string text, int32_t value) {
  try {
    return &tokens_.emplace_back(type, std::move(text), value);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

Token* Tokenizer::makeInt(int32_t value) { return newToken(Token::kInt, {}, value); }
Token* Tokenizer::makeBool(bool value) { return newToken(Token::kBool, {}, value ? 1 : 0); }
Token* Tokenizer::makeSymbol(std::u16string name) { return newToken(Token::kSymbol, std::move(name), 0); }
Token* Tokenizer::makeString(std::u16string text) { return newToken(Token::kString, std::move(text), 0); }

Cons* Tokenizer::acons(Cell* list, std::u16string key, Cell* value) {
  Cons* pair = cons(makeSymbol(std::move(key)), value);
  return pair ? cons(pair, list) : nullptr;
}

Token* Tokenizer::makeToken(const APValue& value) {
  switch (value.type) {
    case APValue::kBool: return makeBool(value.flag);
    case APValue::kInt: return makeInt(value.ivalue);
    default: return makeString(value.svalue);
  }
}

Cell* Tokenizer::reverseList(Cell* list) {
  Cell* out = nullptr;
  for (Cell* c = list; c;) {
    if (!isCons(c)) {
      out = cons(nullptr, out);
      break;
    }
    out = cons(static_cast<Cons*>(c)->car, out);
    c = static_cast<Cons*>(c)->cdr;
  }
  return out;
}

namespace {

size_t hashOf(int32_t type, std::u16string_view text, int32_t value) {
  uint64_t h = 0xcbf29ce484222325ull ^ static_cast<uint32_t>(type);
  for (char16_t c : text) h = (h ^ c) * 0x100000001b3ull;
  h = (h ^ static_cast<uint32_t>(value)) * 0x9E3779B97F4A7C15ull;
  return static_cast<size_t>(h ^ (h >> 29));
}

}  // namespace

Token* Tokenizer::sharedToken(int32_t type, std::u16string_view text, int32_t value) {
  if (shared_.empty()) {
    try {
      shared_.assign(256, nullptr);
    } catch (const std::bad_alloc&) {
      return nullptr;
    }
  }
  const size_t mask = shared_.size() - 1;
  size_t slot = hashOf(type, text, value) & mask;
  for (Token* t; (t = shared_[slot]) != nullptr; slot = (slot + 1) & mask) {
    if (t->type == type && t->value == value && t->text == text) return t;
  }
  Token* token = newToken(type, std::u16string(text), value);
  if (!token) return nullptr;
  shared_[slot] = token;
  if (++sharedCount_ * 4 > shared_.size() * 3) growSharedTable();
  return token;
}

void Tokenizer::growSharedTable() {
  std::vector<Token*> bigger;
  try {
    bigger.assign(shared_.size() * 2, nullptr);
  } catch (const std::bad_alloc&) {
    return;  // stays usable, only fuller
  }
  const size_t mask = bigger.size() - 1;
  for (Token* t : shared_) {
    if (!t) continue;
    size_t slot = hashOf(t->type, t->text, t->value) & mask;
    while (bigger[slot]) slot = (slot + 1) & mask;
    bigger[slot] = t;
  }
  shared_.swap(bigger);
}

bool Tokenizer::parse(const char16_t* text) {
  return parse(text ? std::u16string_view(text) : std::u16string_view());
}

bool Tokenizer::parse(std::u16string_view text) {
  root_ = nullptr;
  error_.clear();
  unclosed_ = false;
  const size_t nul = text.find(u'\0');
  if (nul != std::u16string_view::npos) text = text.substr(0, nul);
  ViewSource source(text);
  return read(source);
}

template <class Source, class Text>
bool Tokenizer::readFile(Text text) {
  root_ = nullptr;
  error_.clear();
  unclosed_ = false;
  const size_t nul = text.find(typename Text::value_type(0));
  if (nul != Text::npos) {
    if (text.find_first_not_of(typename Text::value_type(0), nul) != Text::npos) {
      error_ = u"NUL byte at offset " + decimalText(nul);
      return false;
    }
    text = text.substr(0, nul);  // NUL padding at the very end cuts nothing
  }
  Source source(text);
  if (!read(source)) return false;
  if (unclosed_) {
    // The string, when one is open, is the last thing read.
    error_ = stringLeftOpen_ ? u"unclosed string" : u"unclosed parenthesis";
    root_ = nullptr;
    return false;
  }
  return true;
}

bool Tokenizer::parseFile(std::string_view bytes) { return readFile<BytesSource>(bytes); }

bool Tokenizer::parseFile(std::u16string_view text) { return readFile<ViewSource>(text); }

// The lexer (text -> tokens) feeding the builder (tokens -> tree) as it goes.
template <class Source>
bool Tokenizer::read(Source& text) {
  Builder builder(*this);
  stringLeftOpen_ = false;
  Token* quoteSymbol = nullptr;

  // After a parser error the rest is only scanned: a lexer error further on
  // still decides the result (no error text), as when lexing comes first.
  auto atom = [&](auto make) {
    if (!builder.failed()) builder.atom(make());
  };
  auto integer = [&](int32_t value) { atom([&] { return sharedToken(Token::kInt, {}, value); }); };
  // Reads an identifier starting at i; false (logged) when it is too long.
  auto readIdentifier = [&](size_t& i) {
    const size_t start = i;
    while (true) {
      const int32_t c = text.at(i);
      if (c < 0 || !isIdentifierChar(static_cast<char16_t>(c))) break;
      if (i - start + 1 >= kIdentifierLimit) {
        LogWrite(LOG_WARN, u"識別子が長すぎます(%.30s...)\n", std::u16string(text.slice(start, 30)));
        return false;
      }
      ++i;
    }
    return true;
  };
  // An identifier as a token: integer, boolean or symbol.
  auto pushIdentifier = [&](size_t& i) {
    const size_t start = i;
    if (!readIdentifier(i)) return false;
    const std::u16string_view name = text.slice(start, i - start);
    if (isIntegerText(name)) {
      const Literal v = integerOf(name);
      if (v.beyond32) warnBeyond32(name);
      integer(static_cast<int32_t>(v.bits));
    } else if (name == u"#t" || name == u"#f") {
      atom([&] { return sharedToken(Token::kBool, {}, name == u"#t" ? 1 : 0); });
    } else {
      atom([&] { return sharedToken(Token::kSymbol, name, 0); });
    }
    return true;
  };

  size_t i = 0;
  for (int32_t c; (c = text.at(i)) >= 0;) {
    text.release(i);
    if (c == u'#') {
      const int32_t d = text.at(i + 1);
      if (d < 0) {
        if (!pushIdentifier(i)) return false;  // a '#' at the very end stays a '#'
        continue;
      }
      if (d == u'#') {
        ++i;
        continue;
      }
      if (d == u'\\') {
        const int32_t e = text.at(i + 2);
        if (e < 0) {
          LogWrite(LOG_WARN, u"文字定数が途中で終わっています(#\\)\n");
          return false;
        }
        integer(e);
        i += 3;
        continue;
      }
      if (d == u't' || d == u'f') {
        if (!pushIdentifier(i)) return false;
        continue;
      }
      if (d == u'u') {
        if (text.at(i + 5) < 0) {
          LogWrite(LOG_WARN, u"文字定数が途中で終わっています(#u)\n");
          return false;
        }
        int32_t v = 0;
        for (size_t k = i + 2; k < i + 6; ++k) {
          const int32_t h = text.at(k);
          if (!isHexDigit(static_cast<char16_t>(h))) break;
          v = v * 16 + hexValue(static_cast<char16_t>(h));
        }
        integer(v);
        i += 6;
        continue;
      }
      ++i;  // '#' before anything else is dropped
      continue;
    }
    if (c == u'(') {
      builder.open();
      ++i;
    } else if (c == u')') {
      builder.close();
      ++i;
    } else if (c == u'.') {
      builder.dot();
      ++i;
    } else if (c == u';') {
      for (int32_t e; (e = text.at(i)) >= 0 && e != u'\r' && e != u'\n';) ++i;
    } else if (c == u'\'') {
      ++i;
      const int32_t e = text.at(i);
      if (e >= 0 && isIdentifierStart(static_cast<char16_t>(e))) {
        const size_t start = i;
        if (!readIdentifier(i)) return false;
        if (!builder.failed()) {
          if (!quoteSymbol) quoteSymbol = sharedToken(Token::kSymbol, u"quote", 0);
          const std::u16string_view name = text.slice(start, i - start);
          builder.open();
          builder.atom(quoteSymbol);
          builder.atom(sharedToken(Token::kSymbol, name, 0));
          builder.close();
        }
      }
      // Any other quote mark is ignored.
    } else if (c == u'"') {
      const size_t start = ++i;
      for (int32_t e; (e = text.at(i)) >= 0 && e != u'"';) ++i;
      const size_t length = i - start;
      if (length > stringLimit_) {
        LogWrite(LOG_WARN, u"文字列が長すぎます(%.30s...)\n", std::u16string(text.slice(start, 30)));
        return false;
      }
      if (text.at(i) >= 0) {
        ++i;  // the closing quote
      } else {
        unclosed_ = true;
        stringLeftOpen_ = true;
      }
      atom([&] { return newToken(Token::kString, std::u16string(text.slice(start, length)), 0); });
    } else if (isDigit(static_cast<char16_t>(c))) {
      const size_t start = i;
      Literal v;
      const int32_t x = text.at(i + 1);
      const int32_t h = text.at(i + 2);
      if (c == u'0' && (x == u'x' || x == u'X') && h >= 0 && isHexDigit(static_cast<char16_t>(h))) {
        i += 2;
        for (int32_t e; (e = text.at(i)) >= 0 && isHexDigit(static_cast<char16_t>(e)); ++i) {
          v.push(16, static_cast<uint32_t>(hexValue(static_cast<char16_t>(e))));
        }
      } else {
        for (int32_t e; (e = text.at(i)) >= 0 && isDigit(static_cast<char16_t>(e)); ++i) {
          v.push(10, static_cast<uint32_t>(e - u'0'));
        }
      }
      if (v.beyond32) warnBeyond32(text.slice(start, i - start));
      integer(static_cast<int32_t>(v.bits));
    } else if (isIdentifierStart(static_cast<char16_t>(c))) {
      if (!pushIdentifier(i)) return false;
    } else {
      ++i;  // blanks, line ends and every other character
    }
  }

  if (builder.failed()) {
    if (builder.error()) error_ = builder.error();
    return false;
  }
  if (builder.unclosed()) unclosed_ = true;
  if (unclosed_) LogWrite(LOG_WARN, u"tokenizer : 閉じていない括弧または文字列でテキストが終わっています\n");
  Cell* root = nullptr;
  if (!builder.finishRoot(&root)) {
    if (builder.error()) error_ = builder.error();
    return false;
  }
  root_ = root;
  return true;
}

}  // namespace tokenizer
