// The S-expression reader and the arena of cells. A Tokenizer owns every cell
// it creates (by parsing or through the constructors writers use) and frees
// them all at once when destroyed. One thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "script/ap_value.h"
#include "script/cell.h"

namespace tokenizer {

template <class Source>
class Lexer;

// A place in a text: line and column from 1 (the column in UTF-16 units);
// line 0 when the place is not known, column 0 when only the line is.
struct TextPosition {
  uint32_t line = 0;
  uint32_t column = 0;
};

// "name:line:column", "name:line" or "name", as far as the place is known
// (an empty name stays empty): the file argument of the loaders' messages.
std::u16string PlaceText(std::u16string_view name, TextPosition at);

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
  // Where a failed read stopped: the token or character at fault (the ")"
  // without a partner, the dot, the string or identifier too long), the "("
  // of the innermost list left open, the '"' of a string left open, or the
  // line of a NUL byte. Line 0 after a success or when memory ran out.
  TextPosition errorAt() const { return errorAt_; }

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
  // Cells in blocks that never move: no allocation per cell, and all are
  // freed at once. Each block holds twice the cells of the one before, up to
  // about 64 KiB.
  template <class T>
  class CellBlocks {
   public:
    CellBlocks() = default;
    CellBlocks(const CellBlocks&) = delete;
    CellBlocks& operator=(const CellBlocks&) = delete;
    ~CellBlocks();
    // Throws std::bad_alloc when memory runs out.
    template <class... A>
    T* make(A&&... args) {
      if (used_ == capacity_) [[unlikely]] grow();
      T* cell = ::new (static_cast<void*>(cells_ + used_)) T(std::forward<A>(args)...);
      ++used_;
      return cell;
    }

   private:
    struct Block {
      T* cells;
      size_t capacity;
    };
    void grow();

    std::vector<Block> blocks_;  // the last one is cells_
    T* cells_ = nullptr;
    size_t used_ = 0;
    size_t capacity_ = 0;
  };

  template <class Source>
  friend class Lexer;

  template <class Source>
  bool read(Source& source);
  template <class Source, class Text>
  bool readFile(Text text);
  Token* newToken(int32_t type, std::u16string text, int32_t value);
  // The one token of this tokenizer for an integer, boolean or symbol.
  Token* sharedToken(int32_t type, std::u16string_view text, int32_t value);
  Token* sharedInt(int32_t value);
  void growSharedTable();

  size_t stringLimit_;
  CellBlocks<Cons> conses_;
  CellBlocks<Token> tokens_;
  // Open addressing over the shared tokens; a power of two in size. A slot
  // keeps bits of the token's hash with its type, and its value, so that a
  // probe reads the token itself only for a likely match.
  struct SharedSlot {
    Token* token;
    uint32_t tag;
    int32_t value;
  };
  std::vector<SharedSlot> shared_;
  size_t sharedCount_ = 0;
  // The shared tokens of the integers kSmallIntFirst up to kSmallIntFirst +
  // kSmallInts - 1 (most integers of a scenario), by value; these are not in
  // shared_. Made at the first integer.
  static constexpr int32_t kSmallIntFirst = -64;
  static constexpr uint32_t kSmallInts = 4096;
  std::unique_ptr<Token*[]> smallInts_;
  Cell* root_ = nullptr;
  std::u16string error_;
  TextPosition errorAt_;
  bool unclosed_ = false;
  bool stringLeftOpen_ = false;
  TextPosition openStringAt_;  // the '"' of a string the text left open
};

}  // namespace tokenizer
