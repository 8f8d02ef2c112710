#include "script/cell.h"

#include "script/cell_printer.h"

namespace tokenizer {

void Cell::print(MyOStream& out) const { printCell(this, out); }

std::u16string Token::getString() const {
  return (type == kSymbol || type == kString) ? text : std::u16string();
}

Cell* cdrOr(Cell* c, Cell* fallback) { return isCons(c) ? static_cast<Cons*>(c)->cdr : fallback; }

Cell* cddrOr(Cell* c, Cell* fallback) {
  if (!isCons(c)) return fallback;
  Cell* d = static_cast<Cons*>(c)->cdr;
  return isCons(d) ? static_cast<Cons*>(d)->cdr : fallback;
}

Cell* carOf(Cell* c) { return isCons(c) ? static_cast<Cons*>(c)->car : nullptr; }

Token* asToken(Cell* c) { return isToken(c) ? static_cast<Token*>(c) : nullptr; }

Token* carAsToken(Cell* c) { return asToken(carOf(c)); }

}  // namespace tokenizer
