// The reader: a lexer that turns text into tokens and a parser that builds
// the tree from them with an explicit stack (no recursion, so nesting depth
// is bounded only by memory).
#include "script/tokenizer.h"

#include <new>

#include "app/log.h"

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

// Decimal digits into a 32-bit value; overflow wraps.
int32_t decimalValue(std::u16string_view digits) {
  uint32_t v = 0;
  for (char16_t c : digits) v = v * 10u + static_cast<uint32_t>(c - u'0');
  return static_cast<int32_t>(v);
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

int32_t integerOf(std::u16string_view s) {
  if (s[0] == u'-') return static_cast<int32_t>(0u - static_cast<uint32_t>(decimalValue(s.substr(1))));
  if (s[0] == u'+') return decimalValue(s.substr(1));
  return decimalValue(s);
}

}  // namespace

Tokenizer::Tokenizer(size_t stringLimit) : stringLimit_(stringLimit) { cells_.reserve(30000); }

Tokenizer::~Tokenizer() = default;

template <class T, class... A>
T* Tokenizer::add(A&&... args) {
  T* cell = new (std::nothrow) T(std::forward<A>(args)...);
  if (cell) cells_.emplace_back(cell);
  return cell;
}

Cons* Tokenizer::cons(Cell* car, Cell* cdr) { return add<Cons>(car, cdr); }
Token* Tokenizer::makeInt(int32_t value) { return add<Token>(Token::kInt, std::u16string(), value); }
Token* Tokenizer::makeBool(bool value) { return add<Token>(Token::kBool, std::u16string(), value ? 1 : 0); }
Token* Tokenizer::makeSymbol(std::u16string name) { return add<Token>(Token::kSymbol, std::move(name), 0); }
Token* Tokenizer::makeString(std::u16string text) { return add<Token>(Token::kString, std::move(text), 0); }

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

bool Tokenizer::parse(const char16_t* text) {
  return parse(text ? std::u16string_view(text) : std::u16string_view());
}

bool Tokenizer::parse(std::u16string_view text) {
  root_ = nullptr;
  error_.clear();
  unclosed_ = false;
  const size_t nul = text.find(u'\0');
  if (nul != std::u16string_view::npos) text = text.substr(0, nul);

  std::vector<Token*> tokens;
  tokens.reserve(text.size() / 3 + 100);
  if (!lex(text, tokens)) return false;
  return build(tokens);
}

bool Tokenizer::lex(std::u16string_view text, std::vector<Token*>& tokens) {
  Token* open = add<Token>(Token::kOpen, std::u16string(), 0);
  Token* close = add<Token>(Token::kClose, std::u16string(), 0);
  Token* quoteMark = add<Token>(Token::kQuote, std::u16string(), 0);
  Token* dot = add<Token>(Token::kDot, std::u16string(), 0);
  Token* quoteSymbol = makeSymbol(u"quote");
  if (!open || !close || !quoteMark || !dot || !quoteSymbol) return false;

  const size_t n = text.size();
  auto push = [&](Token* t) {
    if (!t) return false;
    tokens.push_back(t);
    return true;
  };
  // Reads an identifier starting at i; false (logged) when it is too long.
  auto readIdentifier = [&](size_t& i, std::u16string& out) {
    const size_t start = i;
    while (i < n && isIdentifierChar(text[i])) {
      if (i - start + 1 >= kIdentifierLimit) {
        LogWrite(LOG_WARN, u"識別子が長すぎます(%.30s...)\n", text.substr(start, 30));
        return false;
      }
      ++i;
    }
    out.assign(text.substr(start, i - start));
    return true;
  };
  // An identifier as a token: integer, boolean or symbol.
  auto pushIdentifier = [&](size_t& i) {
    std::u16string name;
    if (!readIdentifier(i, name)) return false;
    if (isIntegerText(name)) return push(makeInt(integerOf(name)));
    if (name == u"#t") return push(makeBool(true));
    if (name == u"#f") return push(makeBool(false));
    return push(makeSymbol(std::move(name)));
  };

  size_t i = 0;
  while (i < n) {
    const char16_t c = text[i];
    if (c == u'#') {
      if (i + 1 >= n) {
        if (!pushIdentifier(i)) return false;  // a '#' at the very end stays a '#'
        continue;
      }
      const char16_t d = text[i + 1];
      if (d == u'#') {
        ++i;
        continue;
      }
      if (d == u'\\') {
        if (i + 2 >= n) {
          LogWrite(LOG_WARN, u"文字定数が途中で終わっています(#\\)\n");
          return false;
        }
        if (!push(makeInt(text[i + 2]))) return false;
        i += 3;
        continue;
      }
      if (d == u't' || d == u'f') {
        if (!pushIdentifier(i)) return false;
        continue;
      }
      if (d == u'u') {
        if (i + 6 > n) {
          LogWrite(LOG_WARN, u"文字定数が途中で終わっています(#u)\n");
          return false;
        }
        int32_t v = 0;
        for (size_t k = i + 2; k < i + 6 && isHexDigit(text[k]); ++k) v = v * 16 + hexValue(text[k]);
        if (!push(makeInt(v))) return false;
        i += 6;
        continue;
      }
      ++i;  // '#' before anything else is dropped
      continue;
    }
    if (c == u'(') {
      tokens.push_back(open);
      ++i;
    } else if (c == u')') {
      tokens.push_back(close);
      ++i;
    } else if (c == u'.') {
      tokens.push_back(dot);
      ++i;
    } else if (c == u';') {
      while (i < n && text[i] != u'\r' && text[i] != u'\n') ++i;
    } else if (c == u'\'') {
      ++i;
      if (i < n && isIdentifierStart(text[i])) {
        std::u16string name;
        if (!readIdentifier(i, name)) return false;
        tokens.push_back(open);
        tokens.push_back(quoteSymbol);
        if (!push(makeSymbol(std::move(name)))) return false;
        tokens.push_back(close);
      } else {
        tokens.push_back(quoteMark);
      }
    } else if (c == u'"') {
      const size_t start = ++i;
      while (i < n && text[i] != u'"') ++i;
      const size_t length = i - start;
      if (length > stringLimit_) {
        LogWrite(LOG_WARN, u"文字列が長すぎます(%.30s...)\n", text.substr(start, 30));
        return false;
      }
      if (i < n) {
        ++i;  // the closing quote
      } else {
        unclosed_ = true;
      }
      if (!push(makeString(std::u16string(text.substr(start, length))))) return false;
    } else if (isDigit(c)) {
      if (c == u'0' && i + 2 < n && (text[i + 1] == u'x' || text[i + 1] == u'X') && isHexDigit(text[i + 2])) {
        uint32_t v = 0;
        for (i += 2; i < n && isHexDigit(text[i]); ++i) v = v * 16u + static_cast<uint32_t>(hexValue(text[i]));
        if (!push(makeInt(static_cast<int32_t>(v)))) return false;
      } else {
        const size_t start = i;
        while (i < n && isDigit(text[i])) ++i;
        if (!push(makeInt(decimalValue(text.substr(start, i - start))))) return false;
      }
    } else if (isIdentifierStart(c)) {
      if (!pushIdentifier(i)) return false;
    } else {
      ++i;  // blanks, line ends and every other character
    }
  }
  return true;
}

bool Tokenizer::build(std::vector<Token*>& tokens) {
  struct Level {
    std::vector<Cell*> items;
    ptrdiff_t dotAt = -1;  // number of items before the dot; -1 without one
  };
  std::vector<Level> stack(1);

  auto fail = [&](const char16_t* message) {
    error_ = message;
    return false;
  };
  // Adds an element to the innermost level; after a dot only one may follow.
  auto addItem = [&](Cell* cell) {
    Level& level = stack.back();
    if (level.dotAt >= 0 && static_cast<ptrdiff_t>(level.items.size()) > level.dotAt) {
      return fail(u"dot must appear inter tokens");
    }
    level.items.push_back(cell);
    return true;
  };
  // The list of a finished level: proper, or dotted when it had a dot.
  auto finish = [&](Level& level, Cell*& out) {
    Cell* tail = nullptr;
    ptrdiff_t count = static_cast<ptrdiff_t>(level.items.size());
    if (level.dotAt >= 0) {
      if (count != level.dotAt + 1) return fail(u"dot must appear inter tokens");
      tail = level.items.back();
      --count;
    }
    for (ptrdiff_t k = count - 1; k >= 0; --k) {
      tail = cons(level.items[static_cast<size_t>(k)], tail);
      if (!tail) return false;
    }
    out = tail;
    return true;
  };

  for (Token* t : tokens) {
    switch (t->type) {
      case Token::kOpen:
        stack.emplace_back();
        break;
      case Token::kClose: {
        if (stack.size() == 1) return fail(u"unbalanced parenthesis");
        Level level = std::move(stack.back());
        stack.pop_back();
        Cell* list = nullptr;
        if (!finish(level, list) || !addItem(list)) return false;
        break;
      }
      case Token::kSymbol:
      case Token::kInt:
      case Token::kString:
      case Token::kBool:
        if (!addItem(t)) return false;
        break;
      case Token::kDot: {
        Level& level = stack.back();
        if (level.items.empty()) return fail(u"dot must appear inter tokens");
        if (level.dotAt >= 0) return fail(u"dot must not appear twice or more");
        level.dotAt = static_cast<ptrdiff_t>(level.items.size());
        break;
      }
      default:
        break;  // the quote mark
    }
  }
  if (stack.size() > 1) unclosed_ = true;
  if (unclosed_) LogWrite(LOG_WARN, u"tokenizer : 閉じていない括弧または文字列でテキストが終わっています\n");
  Cell* root = nullptr;
  if (!finish(stack.front(), root)) return false;
  root_ = root;
  return true;
}

}  // namespace tokenizer
