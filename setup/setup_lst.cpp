#include "setup/setup_lst.h"

#include <utility>

#include "app/config_reader.h"
#include "app/log.h"
#include "script/tokenizer.h"
#include "setup/safe_path.h"

using tokenizer::Cell;
using tokenizer::Cons;
using tokenizer::Token;

namespace ns_SetupIns {

namespace {

// A size from an integer, or from a string of decimal digits (sizes above
// 2^31 - 1 are written so); false for anything else or beyond the cap.
bool readEntrySize(const Token* token, int64_t* size) {
  if (token->type == Token::kInt) {
    *size = token->value;
  } else if (token->type == Token::kString && !token->text.empty()) {
    int64_t value = 0;
    for (const char16_t c : token->text) {
      if (c < u'0' || c > u'9') return false;
      value = value * 10 + (c - u'0');
      if (value > kMaxFileEntrySize) return false;
    }
    *size = value;
  } else {
    return false;
  }
  return *size >= 0 && *size <= kMaxFileEntrySize;
}

}  // namespace

bool readFileGroup(Cell* entries, FileGroup* group) {
  for (Cell* c = entries; tokenizer::isCons(c); c = static_cast<Cons*>(c)->cdr) {
    Cell* item = static_cast<Cons*>(c)->car;
    const Token* path = tokenizer::asToken(ListElement(item, 0));
    const Token* size = tokenizer::asToken(ListElement(item, 1));
    const Token* time = tokenizer::asToken(ListElement(item, 2));
    const Token* extra = tokenizer::asToken(ListElement(item, 3));
    if (!path || !size || !time || !extra || path->type != Token::kString || time->type != Token::kInt ||
        extra->type != Token::kInt) {
      return false;
    }
    FileEntry entry;
    if (!readEntrySize(size, &entry.size)) return false;
    if (!IsSafeRelativePath(path->text)) {
      LogWrite(LOG_WARN, u"st_menu.lst: 不正なパスのファイルを無視します(%s)\n", path->text);
      continue;
    }
    entry.path = path->text;
    entry.time = time->value;
    entry.extra = extra->value;
    group->push_back(std::move(entry));
  }
  return true;
}

}  // namespace ns_SetupIns
