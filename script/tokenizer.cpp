// The reader: a lexer that turns text into tokens and a builder that makes
// the tree from each token as it comes, with an explicit stack (no
// recursion, so nesting depth is bounded only by memory). Nothing but the
// cells themselves is kept per token: no token list, no copy of the text.
// The lexer classifies units below 0x80 through one table and scans a
// contiguous window of text; file bytes are decoded into that window a piece
// at a time, ASCII directly and every other run through the code page.
#include "script/tokenizer.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <type_traits>

#include "app/log.h"
#include "app/string_util.h"

namespace tokenizer {

namespace {

constexpr size_t kIdentifierLimit = 3000;

// What a unit below 0x80 starts (the low four bits) and whether it may begin
// or continue an identifier. Units from 0x80 on are blanks to the lexer.
enum : uint8_t {
  kBlank = 0,  // blanks, line ends and every character not named below
  kIdentifier,
  kHash,
  kDigit,
  kOpen,
  kClose,
  kDot,
  kComment,
  kQuoteMark,
  kStringMark,
  kClassMask = 0x0F,
  kStartsIdentifier = 0x10,
  kInIdentifier = 0x20,
};

struct CharTable {
  uint8_t flags[128] = {};
};

constexpr CharTable makeCharTable() {
  CharTable t;
  for (char c = 'a'; c <= 'z'; ++c) t.flags[static_cast<int>(c)] = kIdentifier | kStartsIdentifier | kInIdentifier;
  for (char c = 'A'; c <= 'Z'; ++c) t.flags[static_cast<int>(c)] = kIdentifier | kStartsIdentifier | kInIdentifier;
  for (const char* p = "!#$%&*+,-/:<=>?\\^_{|}~@"; *p; ++p) {
    t.flags[static_cast<int>(*p)] = kIdentifier | kStartsIdentifier | kInIdentifier;
  }
  t.flags[static_cast<int>('#')] = kHash | kStartsIdentifier | kInIdentifier;
  for (char c = '0'; c <= '9'; ++c) t.flags[static_cast<int>(c)] = kDigit | kInIdentifier;
  t.flags[static_cast<int>('.')] = kDot | kInIdentifier;
  t.flags[static_cast<int>('(')] = kOpen;
  t.flags[static_cast<int>(')')] = kClose;
  t.flags[static_cast<int>(';')] = kComment;
  t.flags[static_cast<int>('\'')] = kQuoteMark;
  t.flags[static_cast<int>('"')] = kStringMark;
  return t;
}

constexpr CharTable kChars = makeCharTable();

inline uint8_t flagsOf(char16_t c) { return c < 0x80 ? kChars.flags[c] : 0; }

bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

bool isHexDigit(char16_t c) {
  return isDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

int hexValue(char16_t c) {
  if (isDigit(c)) return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  return c - u'A' + 10;
}

bool isIdentifierStart(char16_t c) { return (flagsOf(c) & kStartsIdentifier) != 0; }

bool isIdentifierChar(char16_t c) { return (flagsOf(c) & kInIdentifier) != 0; }

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

uint32_t clampTo32(size_t n) { return static_cast<uint32_t>(std::min<size_t>(n, UINT32_MAX)); }

std::u16string decimalText(size_t n) {
  const std::string digits = std::to_string(n);
  return std::u16string(digits.begin(), digits.end());
}

// The first NUL of the text, or npos.
size_t findNul(std::string_view bytes) { return bytes.find('\0'); }

size_t findNul(std::u16string_view text) {
  const char16_t* p = text.data();
  const size_t n = text.size();
  size_t i = 0;
  for (uint64_t word; i + 4 <= n; i += 4) {
    std::memcpy(&word, p + i, sizeof word);
    if ((word - 0x0001000100010001ull) & ~word & 0x8000800080008000ull) break;  // a zero unit
  }
  for (; i < n; ++i) {
    if (p[i] == 0) return i;
  }
  return std::u16string_view::npos;
}

// The text of parse(): a view, NUL-free, all of it in the window at once.
class ViewSource {
 public:
  explicit ViewSource(std::u16string_view text) : text_(text) {}
  const char16_t* data() const { return text_.data(); }
  size_t size() const { return text_.size(); }
  bool more(size_t, size_t*) { return false; }

 private:
  std::u16string_view text_;
};

bool isLeadByte(uint8_t c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// The units of the code page's characters from 0x80 on, as the code-page
// decoder gives them, asked once per process: a two-byte character by its
// two bytes, a one-byte character by its byte. 0 where the decoder gives no
// single unit or U+FFFD (a bad pair, a lone first byte): a run with such a
// character is left to the decoder itself. The decoder keeps no state from
// one character to the next, so a run of known characters decodes to their
// units one by one.
class CodePageTable {
 public:
  static const CodePageTable& get() {
    static const CodePageTable table;
    return table;
  }

  char16_t pair(uint8_t lead, uint8_t trail) const { return pairs_[leadIndex(lead)][trail]; }
  char16_t single(uint8_t b) const { return singles_[b - 0x80]; }

 private:
  static constexpr int kLeads = (0x9F - 0x81 + 1) + (0xFC - 0xE0 + 1);
  // The second bytes of the code page's two-byte characters; a pair with any
  // other second byte is left to the decoder.
  static constexpr uint8_t kFirstTrail = 0x40;
  static constexpr uint8_t kLastTrail = 0xFC;

  static int leadIndex(uint8_t lead) { return lead <= 0x9F ? lead - 0x81 : lead - 0xE0 + (0x9F - 0x81 + 1); }

  static char16_t unitOf(const char* bytes, size_t length) {
    const std::u16string units = MultiByteToWString(bytes, length);
    return units.size() == 1 && units[0] != 0xFFFD ? units[0] : 0;
  }

  CodePageTable() {
    for (int b = 0x80; b <= 0xFF; ++b) {
      const char byte = static_cast<char>(b);
      singles_[b - 0x80] = isLeadByte(static_cast<uint8_t>(b)) ? 0 : unitOf(&byte, 1);
      if (!isLeadByte(static_cast<uint8_t>(b))) continue;
      for (int t = kFirstTrail; t <= kLastTrail; ++t) {
        const char two[2] = {byte, static_cast<char>(t)};
        pairs_[leadIndex(static_cast<uint8_t>(b))][t] = unitOf(two, 2);
      }
    }
  }

  char16_t pairs_[kLeads][256] = {};
  char16_t singles_[128] = {};
};

// The text of parseFile(): CP932 bytes decoded a piece at a time into a
// window that holds the current token and what follows it. ASCII bytes are
// their own units; every run of other bytes (up to the next ASCII byte that
// starts a character, the run the whole-text decoder converts in one go)
// goes through the code page, so the units are exactly those of decoding the
// whole file at once.
class BytesSource {
 public:
  explicit BytesSource(std::string_view bytes) : bytes_(bytes) {}

  const char16_t* data() const { return window_.get(); }
  size_t size() const { return size_; }

  // Decodes the next piece behind the window, first dropping the units
  // before `keep` once they are half a piece or more (*dropped says how
  // many: every index into the window moves down by it). False at the end of
  // the bytes, with nothing changed.
  bool more(size_t keep, size_t* dropped) {
    *dropped = 0;
    if (next_ >= bytes_.size()) return false;
    if (keep >= kPieceBytes / 2) {
      std::memmove(window_.get(), window_.get() + keep, (size_ - keep) * sizeof(char16_t));
      size_ -= keep;
      *dropped = keep;
    }
    const size_t target = std::min(bytes_.size(), next_ + kPieceBytes);
    const char* b = bytes_.data();
    while (next_ < target) {
      if (static_cast<uint8_t>(b[next_]) < 0x80) {
        const size_t end = asciiRunEnd(next_, target);
        reserve(end - next_);
        char16_t* out = window_.get() + size_;
        for (size_t k = next_; k < end; ++k) *out++ = static_cast<uint8_t>(b[k]);
        size_ += end - next_;
        next_ = end;
      } else {
        const size_t end = codePageRunEnd(next_);
        if (!decodeKnown(next_, end)) {
          const std::u16string units = MultiByteToWString(b + next_, end - next_);
          reserve(units.size());
          std::memcpy(window_.get() + size_, units.data(), units.size() * sizeof(char16_t));
          size_ += units.size();
        }
        next_ = end;
      }
    }
    return true;
  }

 private:
  static constexpr size_t kPieceBytes = size_t{1} << 16;

  // The end of the ASCII bytes from k, at most `limit`.
  size_t asciiRunEnd(size_t k, size_t limit) const {
    const char* b = bytes_.data();
    for (uint64_t word; k + 8 <= limit; k += 8) {
      std::memcpy(&word, b + k, 8);
      if (word & 0x8080808080808080ull) break;
    }
    while (k < limit && static_cast<uint8_t>(b[k]) < 0x80) ++k;
    return k;
  }

  // The end of the run of characters from k that do not start with an ASCII
  // byte (a two-byte character's second byte may be ASCII).
  size_t codePageRunEnd(size_t k) const {
    const size_t n = bytes_.size();
    while (k < n && static_cast<uint8_t>(bytes_[k]) >= 0x80) {
      k += (isLeadByte(static_cast<uint8_t>(bytes_[k])) && k + 1 < n) ? 2 : 1;
    }
    return k;
  }

  // Appends the units of the run [k, end) when the table knows each of its
  // characters; false (nothing appended) otherwise.
  bool decodeKnown(size_t k, size_t end) {
    const CodePageTable& table = CodePageTable::get();
    reserve(end - k);  // at most one unit a byte
    char16_t* out = window_.get() + size_;
    const size_t n = bytes_.size();
    size_t written = 0;
    while (k < end) {
      const uint8_t c = static_cast<uint8_t>(bytes_[k]);
      char16_t unit;
      if (isLeadByte(c) && k + 1 < n) {
        unit = table.pair(c, static_cast<uint8_t>(bytes_[k + 1]));
        k += 2;
      } else {
        unit = table.single(c);
        k += 1;
      }
      if (unit == 0) return false;
      out[written++] = unit;
    }
    size_ += written;
    return true;
  }

  void reserve(size_t extra) {
    if (size_ + extra <= capacity_) return;
    const size_t capacity = std::max(size_ + extra, std::max<size_t>(capacity_ * 2, kPieceBytes + 64));
    std::unique_ptr<char16_t[]> bigger(new char16_t[capacity]);
    if (size_ > 0) std::memcpy(bigger.get(), window_.get(), size_ * sizeof(char16_t));
    window_ = std::move(bigger);
    capacity_ = capacity;
  }

  std::string_view bytes_;
  size_t next_ = 0;  // the first byte not yet decoded
  std::unique_ptr<char16_t[]> window_;
  size_t size_ = 0;
  size_t capacity_ = 0;
};

// Builds the tree from the lexer's tokens as they come, with an explicit
// stack of open lists. After the first error it ignores the rest. Each
// token comes with its place in the text: the links keep the lines, an
// error keeps the place of the token at fault.
class Builder {
 public:
  explicit Builder(Tokenizer& tokenizer) : tokenizer_(tokenizer) { levels_.emplace_back(); }

  bool failed() const { return failed_; }
  const char16_t* error() const { return error_; }
  TextPosition errorAt() const { return errorAt_; }
  bool unclosed() const { return levels_.size() > 1; }
  // The "(" of the innermost list still open.
  TextPosition unclosedAt() const { return levels_.back().at; }

  void open(TextPosition at) {
    if (failed_) return;
    levels_.emplace_back();
    levels_.back().at = at;
  }
  void close(TextPosition at) {
    if (failed_) return;
    if (levels_.size() == 1) return fail(u"unbalanced parenthesis", at);
    Cell* list = nullptr;
    const bool finished = finish(levels_.back(), &list, at);
    const uint32_t line = levels_.back().at.line;
    levels_.pop_back();
    if (finished) add(list, TextPosition{line, 0});
  }
  void dot(TextPosition at) {
    if (failed_) return;
    Level& level = levels_.back();
    if (level.count == 0) return fail(u"dot must appear inter tokens", at);
    if (level.dotAt >= 0) return fail(u"dot must not appear twice or more", at);
    level.dotAt = static_cast<ptrdiff_t>(level.count);
    level.dotPlace = at;
  }
  void atom(Cell* cell, TextPosition at) {
    if (failed_) return;
    if (!cell) return outOfMemory();
    add(cell, at);
  }
  // The list of the top-level forms; false after an error.
  bool finishRoot(Cell** root) { return !failed_ && finish(levels_.front(), root, levels_.front().dotPlace); }

 private:
  struct Level {
    Cons* head = nullptr;
    Cons* tail = nullptr;
    Cell* dotted = nullptr;  // the element after the dot
    size_t count = 0;
    ptrdiff_t dotAt = -1;  // number of elements before the dot; -1 without one
    TextPosition at;        // its "("
    TextPosition dotPlace;  // its dot
  };

  void fail(const char16_t* message, TextPosition at) {
    failed_ = true;
    error_ = message;
    errorAt_ = at;
  }
  void outOfMemory() { failed_ = true; }

  // Adds an element to the innermost level; after a dot only one may follow.
  void add(Cell* cell, TextPosition at) {
    Level& level = levels_.back();
    if (level.dotAt >= 0) {
      if (static_cast<ptrdiff_t>(level.count) > level.dotAt) return fail(u"dot must appear inter tokens", at);
      level.dotted = cell;
      ++level.count;
      return;
    }
    Cons* link = tokenizer_.cons(cell, nullptr);
    if (!link) return outOfMemory();
    link->line = at.line;
    if (level.tail) {
      level.tail->cdr = link;
    } else {
      level.head = link;
    }
    level.tail = link;
    ++level.count;
  }

  // The list of a finished level: proper, or dotted when it had a dot.
  // `at` is where it ends (its ")").
  bool finish(const Level& level, Cell** out, TextPosition at) {
    if (level.dotAt >= 0) {
      if (static_cast<ptrdiff_t>(level.count) != level.dotAt + 1) {
        fail(u"dot must appear inter tokens", at);
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
  TextPosition errorAt_;
};

}  // namespace

std::u16string PlaceText(std::u16string_view name, TextPosition at) {
  std::u16string text(name);
  if (at.line == 0 || name.empty()) return text;
  text += u":" + decimalText(at.line);
  if (at.column != 0) text += u":" + decimalText(at.column);
  return text;
}

Tokenizer::Tokenizer(size_t stringLimit) : stringLimit_(stringLimit) {}

Tokenizer::~Tokenizer() = default;

template <class T>
void Tokenizer::CellBlocks<T>::grow() {
  constexpr size_t kFirst = 32;
  constexpr size_t kMost = (size_t{64} << 10) / sizeof(T);
  const size_t capacity = capacity_ == 0 ? kFirst : std::min(capacity_ * 2, kMost);
  blocks_.reserve(blocks_.size() + 1);  // the push below cannot fail after the allocation
  T* cells = static_cast<T*>(::operator new(capacity * sizeof(T)));
  blocks_.push_back(Block{cells, capacity});
  cells_ = cells;
  used_ = 0;
  capacity_ = capacity;
}

template <class T>
Tokenizer::CellBlocks<T>::~CellBlocks() {
  for (size_t b = 0; b < blocks_.size(); ++b) {
    const Block& block = blocks_[b];
    if constexpr (!std::is_trivially_destructible_v<T>) {
      const size_t used = b + 1 == blocks_.size() ? used_ : block.capacity;
      for (size_t k = 0; k < used; ++k) block.cells[k].~T();
    }
    ::operator delete(block.cells);
  }
}

Cons* Tokenizer::cons(Cell* car, Cell* cdr) {
  try {
    return conses_.make(car, cdr);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

Token* Tokenizer::newToken(int32_t type, std::u16string text, int32_t value) {
  try {
    return tokens_.make(type, std::move(text), value);
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

// Four units at a time.
inline size_t hashOf(int32_t type, std::u16string_view text, int32_t value) {
  uint64_t h = ((static_cast<uint64_t>(static_cast<uint32_t>(type)) << 32) | static_cast<uint32_t>(value)) ^
               (text.size() * 0x9E3779B97F4A7C15ull);
  const char16_t* p = text.data();
  size_t n = text.size();
  for (; n >= 4; p += 4, n -= 4) {
    uint64_t word;
    std::memcpy(&word, p, sizeof word);
    h = (h ^ word) * 0xff51afd7ed558ccdull;
    h ^= h >> 32;
  }
  uint64_t rest = 0;
  for (size_t k = 0; k < n; ++k) rest |= static_cast<uint64_t>(p[k]) << (16 * k);
  h = (h ^ rest) * 0xc4ceb9fe1a85ec53ull;
  return static_cast<size_t>(h ^ (h >> 29));
}

// The slot tag: high bits of the hash, and the token type in the low three
// (the shared types are 2, 3 and 5).
uint32_t tagOf(size_t hash, int32_t type) {
  return (static_cast<uint32_t>(static_cast<uint64_t>(hash) >> 32) & ~7u) | static_cast<uint32_t>(type & 7);
}

bool sameText(const std::u16string& a, std::u16string_view b) {
  return a.size() == b.size() && (b.empty() || std::memcmp(a.data(), b.data(), b.size() * sizeof(char16_t)) == 0);
}

}  // namespace

Token* Tokenizer::sharedToken(int32_t type, std::u16string_view text, int32_t value) {
  if (shared_.empty()) {
    try {
      shared_.assign(256, SharedSlot{nullptr, 0, 0});
    } catch (const std::bad_alloc&) {
      return nullptr;
    }
  }
  const size_t hash = hashOf(type, text, value);
  const uint32_t tag = tagOf(hash, type);
  const size_t mask = shared_.size() - 1;
  size_t at = hash & mask;
  for (; shared_[at].token; at = (at + 1) & mask) {
    const SharedSlot& slot = shared_[at];
    if (slot.tag != tag || slot.value != value) continue;
    // Integers and booleans have no text: type and value are the token.
    if (type != Token::kSymbol || sameText(slot.token->text, text)) return slot.token;
  }
  Token* token = nullptr;
  try {
    token = newToken(type, std::u16string(text), value);
  } catch (const std::bad_alloc&) {
    return nullptr;  // the copy of the text
  }
  if (!token) return nullptr;
  shared_[at] = SharedSlot{token, tag, value};
  if (++sharedCount_ * 4 > shared_.size() * 3) growSharedTable();
  return token;
}

Token* Tokenizer::sharedInt(int32_t value) {
  const uint32_t index = static_cast<uint32_t>(value) - static_cast<uint32_t>(kSmallIntFirst);
  if (index >= kSmallInts) return sharedToken(Token::kInt, {}, value);
  if (!smallInts_) {
    smallInts_.reset(new (std::nothrow) Token* [kSmallInts] {});
    if (!smallInts_) return nullptr;
  }
  Token*& token = smallInts_[index];
  if (!token) token = newToken(Token::kInt, {}, value);
  return token;
}

void Tokenizer::growSharedTable() {
  std::vector<SharedSlot> bigger;
  try {
    bigger.assign(shared_.size() * 2, SharedSlot{nullptr, 0, 0});
  } catch (const std::bad_alloc&) {
    return;  // stays usable, only fuller
  }
  const size_t mask = bigger.size() - 1;
  for (const SharedSlot& slot : shared_) {
    if (!slot.token) continue;
    size_t at = hashOf(slot.token->type, slot.token->text, slot.token->value) & mask;
    while (bigger[at].token) at = (at + 1) & mask;
    bigger[at] = slot;
  }
  shared_.swap(bigger);
}

bool Tokenizer::parse(const char16_t* text) {
  return parse(text ? std::u16string_view(text) : std::u16string_view());
}

bool Tokenizer::parse(std::u16string_view text) {
  root_ = nullptr;
  error_.clear();
  errorAt_ = {};
  unclosed_ = false;
  const size_t nul = findNul(text);
  if (nul != std::u16string_view::npos) text = text.substr(0, nul);
  ViewSource source(text);
  return read(source);
}

template <class Source, class Text>
bool Tokenizer::readFile(Text text) {
  root_ = nullptr;
  error_.clear();
  errorAt_ = {};
  unclosed_ = false;
  const size_t nul = findNul(text);
  if (nul != Text::npos) {
    if (text.find_first_not_of(typename Text::value_type(0), nul) != Text::npos) {
      error_ = u"NUL byte at offset " + decimalText(nul);
      // "\n" is never the second byte of a code-page character.
      const size_t lines = static_cast<size_t>(std::count(text.begin(), text.begin() + nul, '\n'));
      errorAt_.line = clampTo32(lines + 1);
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


// The lexer (text -> tokens) feeding the builder (tokens -> tree) as it
// goes. Indices are into the source's window: i_ is the unit being read,
// start_ the first unit the current token still needs (what the window
// keeps when it moves on).
template <class Source>
class Lexer {
 public:
  Lexer(Tokenizer& owner, Source& source)
      : owner_(owner), source_(source), builder_(owner), data_(source.data()), size_(source.size()) {}

  Builder& builder() { return builder_; }

  // Reads the whole text; false after a lexer error (logged at WARN). After
  // a parser error the rest is only scanned: a lexer error further on still
  // decides the result (no error text), as when lexing comes first.
  bool run() {
    for (;;) {
      start_ = i_;
      if (i_ >= size_) {
        if (!more()) return true;
        continue;
      }
      const char16_t c = data_[i_];
      switch (flagsOf(c) & kClassMask) {
        case kBlank:
          do {
            if (data_[i_] == u'\n') newLine(i_);
            ++i_;
          } while (i_ < size_ && (flagsOf(data_[i_]) & kClassMask) == kBlank);
          break;
        case kIdentifier:
          if (!pushIdentifier()) return false;
          break;
        case kOpen:
          builder_.open(here());
          ++i_;
          break;
        case kClose:
          builder_.close(here());
          ++i_;
          break;
        case kDot:
          builder_.dot(here());
          ++i_;
          break;
        case kStringMark:
          if (!readString()) return false;
          break;
        case kDigit:
          readNumber(c);
          break;
        case kHash:
          if (!readHash()) return false;
          break;
        case kComment:
          pass([](char16_t e) { return e != u'\r' && e != u'\n'; });
          break;
        case kQuoteMark:
          if (!readQuoted()) return false;
          break;
      }
    }
  }

 private:
  // Decodes more text into the window; false at the end of the text.
  bool more() {
    size_t dropped = 0;
    if (!source_.more(start_, &dropped)) return false;
    start_ -= dropped;
    i_ -= dropped;
    base_ += dropped;
    data_ = source_.data();
    size_ = source_.size();
    return true;
  }

  // Places. Every line end the reading passes is counted where it is
  // consumed: between tokens, inside a string, or as the character of a
  // "#\\" or "#u" sequence. The place of the unit at window index `index`
  // on the current line:
  TextPosition placeOf(size_t index) const {
    return TextPosition{clampTo32(line_), clampTo32(base_ + index - lineStart_ + 1)};
  }
  // The place of the token being read.
  TextPosition here() const { return placeOf(start_); }
  // A line end at window index `index`.
  void newLine(size_t index) {
    ++line_;
    lineStart_ = base_ + index + 1;
  }
  // The line ends of the units [from, to) of the window.
  void countLines(size_t from, size_t to) {
    for (size_t k = from; k < to; ++k) {
      if (data_[k] == u'\n') newLine(k);
    }
  }

  // A lexer error: logged by the caller, placed at the token.
  bool failHere() {
    owner_.errorAt_ = here();
    return false;
  }

  // The unit `ahead` units after i_, or -1 past the end of the text.
  int32_t peek(size_t ahead) {
    while (i_ + ahead >= size_) {
      if (!more()) return -1;
    }
    return data_[i_ + ahead];
  }

  // Moves i_ on while `take` accepts the unit at i_, keeping the window
  // from start_.
  template <class Take>
  void scan(Take take) {
    for (;;) {
      while (i_ < size_ && take(data_[i_])) ++i_;
      if (i_ < size_ || !more()) return;
    }
  }

  // The same for units that are not kept (comments).
  template <class Take>
  void pass(Take take) {
    for (;;) {
      while (i_ < size_ && take(data_[i_])) ++i_;
      start_ = i_;
      if (i_ < size_ || !more()) return;
    }
  }

  // The units from start_ to i_.
  std::u16string_view token() const { return std::u16string_view(data_ + start_, i_ - start_); }

  // Up to n units from start_ (fewer at the end of the text).
  std::u16string_view fromStart(size_t n) {
    while (size_ - start_ < n && more()) {
    }
    return std::u16string_view(data_ + start_, std::min(n, size_ - start_));
  }

  template <class Make>
  void atom(Make make) {
    if (!builder_.failed()) builder_.atom(make(), here());
  }

  void integer(int32_t value) {
    atom([&] { return owner_.sharedInt(value); });
  }

  // Reads an identifier from start_ up to i_; false (logged) when it is too
  // long.
  bool readIdentifier() {
    scan([&](char16_t e) { return isIdentifierChar(e) && i_ - start_ < kIdentifierLimit; });
    if (i_ - start_ < kIdentifierLimit) return true;
    LogWrite(LOG_WARN, u"識別子が長すぎます(%.30s...)\n", std::u16string(fromStart(30)));
    return failHere();
  }

  // An identifier as a token: integer, boolean or symbol.
  bool pushIdentifier() {
    if (!readIdentifier()) return false;
    const std::u16string_view name = token();
    const char16_t first = name[0];
    if ((first == u'+' || first == u'-') && isIntegerText(name)) {
      const Literal v = integerOf(name);
      if (v.beyond32) warnBeyond32(name);
      integer(static_cast<int32_t>(v.bits));
    } else if (first == u'#' && (name == u"#t" || name == u"#f")) {
      atom([&] { return owner_.sharedToken(Token::kBool, {}, name == u"#t" ? 1 : 0); });
    } else {
      atom([&] { return owner_.sharedToken(Token::kSymbol, name, 0); });
    }
    return true;
  }

  // '#' at i_.
  bool readHash() {
    const int32_t d = peek(1);
    if (d < 0) return pushIdentifier();  // a '#' at the very end stays a '#'
    if (d == u'#') {
      ++i_;
      return true;
    }
    if (d == u'\\') {
      const int32_t e = peek(2);
      if (e < 0) {
        LogWrite(LOG_WARN, u"文字定数が途中で終わっています(#\\)\n");
        return failHere();
      }
      integer(e);
      if (e == u'\n') newLine(i_ + 2);
      i_ += 3;
      return true;
    }
    if (d == u't' || d == u'f') return pushIdentifier();
    if (d == u'u') {
      if (peek(5) < 0) {
        LogWrite(LOG_WARN, u"文字定数が途中で終わっています(#u)\n");
        return failHere();
      }
      int32_t v = 0;
      for (size_t k = 2; k < 6; ++k) {
        const char16_t h = data_[i_ + k];
        if (!isHexDigit(h)) break;
        v = v * 16 + hexValue(h);
      }
      integer(v);
      countLines(i_ + 2, i_ + 6);
      i_ += 6;
      return true;
    }
    ++i_;  // '#' before anything else is dropped
    return true;
  }

  // '\'' at i_: before an identifier, the list (quote symbol); before
  // anything else ignored.
  bool readQuoted() {
    const TextPosition mark = here();
    ++i_;
    const int32_t e = peek(0);
    if (e < 0 || !isIdentifierStart(static_cast<char16_t>(e))) return true;
    start_ = i_;
    if (!readIdentifier()) return false;
    if (builder_.failed()) return true;
    if (!quoteSymbol_) quoteSymbol_ = owner_.sharedToken(Token::kSymbol, u"quote", 0);
    const TextPosition name = here();
    builder_.open(mark);
    builder_.atom(quoteSymbol_, mark);
    builder_.atom(owner_.sharedToken(Token::kSymbol, token(), 0), name);
    builder_.close(name);
    return true;
  }

  // '"' at i_: the units up to the next '"' (no escapes), or to the end of
  // the text.
  bool readString() {
    const TextPosition mark = here();
    start_ = ++i_;
    const size_t limit = owner_.stringLimit_;
    const size_t most = limit == SIZE_MAX ? limit : limit + 1;  // one past the limit fails
    scan([&](char16_t e) { return e != u'"' && i_ - start_ < most; });
    const size_t length = i_ - start_;
    if (length > limit) {
      LogWrite(LOG_WARN, u"文字列が長すぎます(%.30s...)\n", std::u16string(fromStart(30)));
      owner_.errorAt_ = mark;
      return false;
    }
    const std::u16string_view text = token();
    countLines(start_, i_);
    if (i_ < size_) {
      ++i_;  // the closing quote
    } else {
      owner_.unclosed_ = true;
      owner_.stringLeftOpen_ = true;
      owner_.openStringAt_ = mark;
    }
    if (!builder_.failed()) builder_.atom(owner_.newToken(Token::kString, std::u16string(text), 0), mark);
    return true;
  }

  // A digit at i_: "0x" and hexadecimal digits, or decimal digits.
  void readNumber(char16_t c) {
    Literal v;
    const int32_t x = c == u'0' ? peek(1) : -1;
    if ((x == u'x' || x == u'X') && peek(2) >= 0 && isHexDigit(data_[i_ + 2])) {
      i_ += 2;
      scan([&](char16_t e) {
        if (!isHexDigit(e)) return false;
        v.push(16, static_cast<uint32_t>(hexValue(e)));
        return true;
      });
    } else {
      scan([&](char16_t e) {
        if (!isDigit(e)) return false;
        v.push(10, static_cast<uint32_t>(e - u'0'));
        return true;
      });
    }
    if (v.beyond32) warnBeyond32(token());
    integer(static_cast<int32_t>(v.bits));
  }

  Tokenizer& owner_;
  Source& source_;
  Builder builder_;
  const char16_t* data_;
  size_t size_;
  size_t i_ = 0;
  size_t start_ = 0;
  Token* quoteSymbol_ = nullptr;
  // Places: line_ is the line being read; lineStart_ is where it begins and
  // base_ where the window begins, both counted in units from the start of
  // the text.
  size_t line_ = 1;
  size_t lineStart_ = 0;
  size_t base_ = 0;
};

template <class Source>
bool Tokenizer::read(Source& source) {
  stringLeftOpen_ = false;
  Lexer<Source> lexer(*this, source);
  if (!lexer.run()) return false;
  Builder& builder = lexer.builder();
  if (builder.failed()) {
    if (builder.error()) error_ = builder.error();
    errorAt_ = builder.errorAt();
    return false;
  }
  if (builder.unclosed()) unclosed_ = true;
  if (unclosed_) {
    LogWrite(LOG_WARN, u"tokenizer : 閉じていない括弧または文字列でテキストが終わっています\n");
    // The string, when one is open, is the last thing read.
    errorAt_ = stringLeftOpen_ ? openStringAt_ : builder.unclosedAt();
  }
  Cell* root = nullptr;
  if (!builder.finishRoot(&root)) {
    if (builder.error()) error_ = builder.error();
    errorAt_ = builder.errorAt();
    return false;
  }
  root_ = root;
  return true;
}

}  // namespace tokenizer
