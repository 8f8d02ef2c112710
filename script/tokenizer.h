// The S-expression reader and the arena of cells. A Tokenizer owns every cell
// it creates (by parsing or through the constructors writers use) and frees
// them all at once when destroyed. One thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "script/ap_value.h"
#include "script/cell.h"

namespace tokenizer {

class Tokenizer {
 public:
  // Scenario and configuration text allow strings of at most 2970
  // characters; the settings and save-file reader reads without a limit.
  static constexpr size_t kDefaultStringLimit = 2970;
  static constexpr size_t kNoStringLimit = SIZE_MAX;
  // The largest configuration or scenario file the loaders read (bytes, after
  // an encoded block is decoded).
  static constexpr size_t kMaxFileBytes = size_t{64} << 20;
  // The loaders' reason for refusing a larger file.
  static constexpr const char16_t* kFileTooLargeError = u"file larger than 64 MiB";

  explicit Tokenizer(size_t stringLimit = kDefaultStringLimit);
  ~Tokenizer();
  Tokenizer(const Tokenizer&) = delete;
  Tokenizer& operator=(const Tokenizer&) = delete;

  // Reads the text up to its end or its first NUL. True with root() set to
  // the list of the top-level forms (null for an empty text). False after a
  // lexer error (logged at WARN; no root, no error text) or a parser error
  // (error() holds "unbalanced parenthesis", "dot must appear inter tokens"
  // or "dot must not appear twice or more").
  //
  // A list or string still open at the end of the text does not fail the
  // read: the open lists are dropped, a WARN is logged and unclosed() says so.
  // Readers that must not accept a truncated file check it.
  //
  // An integer literal beyond 32 bits keeps its value modulo 2^32 and logs
  // one WARN naming the literal. Symbols, integers and booleans read from one
  // text may share one token: parsed tokens are read-only.
  bool parse(std::u16string_view text);
  bool parse(const char16_t* text);

  // Reads a whole configuration or scenario file: CP932 bytes, decoded a
  // piece at a time (the file is never held as UTF-16 text). Stricter than
  // parse(): a NUL byte followed by anything but NUL bytes fails with error()
  // "NUL byte at offset N" (N counted in bytes), and a list or string still
  // open at the end fails with "unclosed parenthesis" or "unclosed string"
  // (no root). Otherwise the same as parse() of the decoded text.
  bool parseFile(std::string_view bytes);
  // The same checks for a file already decoded (N counted in UTF-16 units).
  bool parseFile(std::u16string_view text);

  Cell* root() const { return root_; }
  const std::u16string& error() const { return error_; }
  bool unclosed() const { return unclosed_; }

  // Constructors for writers; each cell belongs to this tokenizer and is a
  // new one. Null when memory runs out.
  Cons* cons(Cell* car, Cell* cdr);
  Token* makeInt(int32_t value);
  Token* makeBool(bool value);
  Token* makeSymbol(std::u16string name);
  Token* makeString(std::u16string text);
  // cons(cons(symbol key, value), list)
  Cons* acons(Cell* list, std::u16string key, Cell* value);
  // Boolean, integer or string token of the value's type.
  Token* makeToken(const APValue& value);
  // A new list with the elements in reverse order. A non-cons tail adds one
  // null element and ends the walk; null gives null.
  Cell* reverseList(Cell* list);

 private:
  template <class Source>
  bool read(Source& source);
  template <class Source, class Text>
  bool readFile(Text text);
  Token* newToken(int32_t type, std::u16string text, int32_t value);
  // The one token of this tokenizer for an integer, boolean or symbol.
  Token* sharedToken(int32_t type, std::u16string_view text, int32_t value);
  void growSharedTable();

  size_t stringLimit_;
  // Cells live in blocks (no allocation of their own); a deque never moves
  // what it holds.
  std::deque<Cons> conses_;
  std::deque<Token> tokens_;
  // Open addressing over the shared tokens; a power of two in size.
  std::vector<Token*> shared_;
  size_t sharedCount_ = 0;
  Cell* root_ = nullptr;
  std::u16string error_;
  bool unclosed_ = false;
  bool stringLeftOpen_ = false;
};

}  // namespace tokenizer
