// The S-expression tree every text format of the engine is read into and
// written from: conses and tokens. Cells belong to the Tokenizer that made
// them and die with it; a null cell is the empty list. Not thread-safe: a
// tree is used by one thread at a time.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tokenizer {

class MyOStream;

// Cells carry no virtual table: the kind says which class a cell is (a large
// scenario holds tens of millions of them, so every word counts). They are
// destroyed only as their own class, by the Tokenizer that owns them.
class Cell {
 public:
  enum Kind : int32_t { kCons = 1, kToken = 2 };

  explicit Cell(int32_t kind) : kind(kind) {}
  Cell(const Cell&) = delete;
  Cell& operator=(const Cell&) = delete;

  // Writes the cell as S-expression text.
  void print(MyOStream& out) const;

  const int32_t kind;

 protected:
  ~Cell() = default;
};

template <int32_t K>
class CellT : public Cell {
 public:
  CellT() : Cell(K) {}
};

class Cons : public CellT<Cell::kCons> {
 public:
  Cons(Cell* car, Cell* cdr) : car(car), cdr(cdr) {}
  void print(MyOStream& out) const;

  // The line (from 1) of the text where the element this link holds
  // begins: its "(" for a list. 0 for a cell a writer made. Tokens are
  // shared between their uses and keep no place: a reader that reports
  // where an element stands asks the link that holds it.
  uint32_t line = 0;
  Cell* car;  // null: the empty list
  Cell* cdr;  // null ends a proper list
};

// The line costs no room: it fills the padding after the kind.
static_assert(sizeof(Cons) == sizeof(int32_t) + sizeof(uint32_t) + 2 * sizeof(Cell*));

class Token : public CellT<Cell::kToken> {
 public:
  enum Type : int32_t {
    kOpen = 0,    // lexer only
    kClose = 1,   // lexer only
    kSymbol = 2,
    kInt = 3,
    kString = 4,
    kBool = 5,
    kQuote = 7,   // lexer only
    kDot = 8,     // lexer only
  };

  Token(int32_t type, std::u16string text, int32_t value)
      : type(type), text(std::move(text)), value(value) {}
  void print(MyOStream& out) const;

  // A symbol whose name is the given text.
  bool isSymbol(std::u16string_view name) const { return type == kSymbol && text == name; }
  // The text of a symbol or string; empty for any other token.
  std::u16string getString() const;

  int32_t type;
  std::u16string text;  // symbol name or string characters
  int32_t value;        // integer value, or 1/0 for a boolean
};

// Accessors on possibly null cells.
inline bool isCons(const Cell* c) { return c && c->kind == Cell::kCons; }
inline bool isToken(const Cell* c) { return c && c->kind == Cell::kToken; }
// The cdr of a cons, else the default.
Cell* cdrOr(Cell* c, Cell* fallback);
// The cdr of the cdr, falling back to the default at each step.
Cell* cddrOr(Cell* c, Cell* fallback);
// The car of a cons, else null.
Cell* carOf(Cell* c);
// The cell when it is a token, else null.
Token* asToken(Cell* c);
// The line of the element a link holds (Cons::line); 0 for anything else.
inline uint32_t lineOf(const Cell* link) { return isCons(link) ? static_cast<const Cons*>(link)->line : 0; }
// The car of a cons when that is a token, else null.
Token* carAsToken(Cell* c);

}  // namespace tokenizer
