// Helpers shared by the save-data and layer-state trees: tagged atoms and
// integer maps, read without trusting the tree's shape.
#include "gamestate/save_tree_helpers.h"

using tokenizer::Cell;
using tokenizer::Cons;
using tokenizer::Token;

namespace {

const Token* tokenOf(const Cell* c) {
  return tokenizer::isToken(c) ? static_cast<const Token*>(c) : nullptr;
}

const Token* intTokenOf(const Cell* c) {
  const Token* t = tokenOf(c);
  return (t && t->type == Token::kInt) ? t : nullptr;
}

}  // namespace

bool readTaggedCell(const Cell* cell, APValue& out) {
  const Token* t = tokenOf(cell);
  if (!t) return false;
  switch (t->type) {
    case Token::kSymbol:
    case Token::kString:
      out = APValue(t->text);
      return true;
    case Token::kInt:
      out = APValue(t->value);
      return true;
    case Token::kBool:
      out = APValue(t->value != 0);
      return true;
    default:
      return false;
  }
}

bool readIntMapEntry(const Cell* entry, std::u16string_view key, std::map<int32_t, int32_t>& out) {
  if (!tokenizer::isCons(entry)) return false;
  const Cons* head = static_cast<const Cons*>(entry);
  const Token* name = tokenOf(head->car);
  if (!name || !name->isSymbol(key)) return false;

  out.clear();
  for (const Cell* c = head->cdr; c;) {
    if (!tokenizer::isCons(c)) return false;  // an improper tail
    const Cons* link = static_cast<const Cons*>(c);
    if (!tokenizer::isCons(link->car)) return false;
    const Cons* pair = static_cast<const Cons*>(link->car);
    const Token* k = intTokenOf(pair->car);
    const Token* v = intTokenOf(pair->cdr);
    if (!k || !v) return false;
    out[k->value] = v->value;
    c = link->cdr;
  }
  return true;
}

Cell* writeIntMap(tokenizer::Tokenizer& tk, const std::map<int32_t, int32_t>& map) {
  // Prepending from the highest key leaves the list in ascending order.
  Cell* list = nullptr;
  for (auto it = map.rbegin(); it != map.rend(); ++it) {
    if (it->second == 0) continue;
    Token* k = tk.makeInt(it->first);
    Token* v = tk.makeInt(it->second);
    Cons* pair = (k && v) ? tk.cons(k, v) : nullptr;
    Cons* link = pair ? tk.cons(pair, list) : nullptr;
    if (!link) return nullptr;
    list = link;
  }
  return list;
}
