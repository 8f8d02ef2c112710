// The S-expression reader and the arena of cells. A Tokenizer owns every cell
// it creates (by parsing or through the constructors writers use) and frees
// them all at once when destroyed. One thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
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
  bool parse(std::u16string_view text);
  bool parse(const char16_t* text);

  Cell* root() const { return root_; }
  const std::u16string& error() const { return error_; }
  bool unclosed() const { return unclosed_; }

  // Constructors for writers; each cell belongs to this tokenizer. Null when
  // memory runs out.
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
  template <class T, class... A>
  T* add(A&&... args);
  bool lex(std::u16string_view text, std::vector<Token*>& tokens);
  bool build(std::vector<Token*>& tokens);

  size_t stringLimit_;
  std::vector<std::unique_ptr<Cell>> cells_;
  Cell* root_ = nullptr;
  std::u16string error_;
  bool unclosed_ = false;
};

}  // namespace tokenizer
