#include "setup/setup_ins.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/config_reader.h"
#include "app/game_environment.h"
#include "app/log.h"
#include "script/tokenizer.h"
#include "setup/registry_roots.h"
#include "setup/safe_path.h"

using tokenizer::Cell;
using tokenizer::Cons;
using tokenizer::Token;

namespace ns_SetupIns {

namespace {

constexpr std::u16string_view kTargetAlias = u"@target@";
constexpr std::u16string_view kSourceAlias = u"@source@";

// The messages and head symbol of one of the two grouped files.
struct GroupedFile {
  std::u16string_view head;
  const char16_t* notFound;
  const char16_t* empty;
  const char16_t* parseFailed;  // the tokenizer's error, then the path
  const char16_t* badForm;
};

constexpr GroupedFile kActionFile = {
    u"action",
    u"st_menu.insファイルが見つからない(%s)\n",
    u"st_menu.insファイルが０バイト(%s)\n",
    u"st_menu.insファイルの解析に失敗:%s(%s)\n",
    u"st_menu.insファイルの解析に失敗(%s)\n",
};

constexpr GroupedFile kFileList = {
    u"file",
    u"st_menu.lstファイルが見つからない(%s)\n",
    u"st_menu.lstファイルが０バイト(%s)\n",
    u"st_menu.lstファイルの解析に失敗:%s(%s)\n",
    u"st_menu.lstファイルの解析に失敗(%s)\n",
};

Cell* restOf(Cell* list) { return tokenizer::cdrOr(list, nullptr); }

const Token* tokenOfType(Cell* cell, int32_t type) {
  const Token* token = tokenizer::asToken(cell);
  return token && token->type == type ? token : nullptr;
}

// "(SYMBOL VALUE ...)": the symbol, with *value set to the second element
// when it has the given type; null otherwise.
const Token* aliasListOf(Cell* list, int32_t type, const Token** value) {
  const Token* alias = tokenOfType(tokenizer::carOf(list), Token::kSymbol);
  if (!alias) return nullptr;
  *value = tokenOfType(ListElement(list, 1), type);
  return *value ? alias : nullptr;
}

// Each reader below answers false when the form fails its group, and leaves
// *action empty when the form is skipped.

bool readCopy(Cell* args, SharedRef<Action>* action) {
  const Token* destination = tokenOfType(ListElement(args, 0), Token::kSymbol);
  const Token* disc = nullptr;
  const Token* source = aliasListOf(ListElement(args, 1), Token::kInt, &disc);
  const Token* pattern = tokenizer::asToken(ListElement(args, 2));
  if (!destination || !source || !pattern) return false;
  if (destination->text != kTargetAlias) {
    LogWrite(LOG_DEBUG, u"copy: コピー先のエイリアスには@target@しか使えません(%s)\n", destination->text);
    return false;
  }
  if (source->text != kSourceAlias) {
    LogWrite(LOG_DEBUG, u"copy: コピー元のエイリアスには@source@しか使えません(%s)\n", source->text);
    return false;
  }
  std::u16string text = pattern->type == Token::kString ? pattern->text : std::u16string();
  if (!IsSafeRelativePath(text)) {
    LogWrite(LOG_WARN, u"copy: 不正なコピー元パスのアクションを無視します(%s)\n", text);
    return true;
  }
  *action = SharedRef<Action>(new ActCopy(disc->value, std::move(text)));
  return true;
}

// A hive symbol of one of the two roots; logs the message with the symbol's
// text otherwise.
bool readHive(const Token* symbol, const char16_t* message, uint32_t* hive) {
  if (registryRootFromName(symbol->text, hive)) return true;
  LogWrite(LOG_DEBUG, message, symbol->text);
  return false;
}

bool readRegCreate(Cell* args, SharedRef<Action>* action) {
  const Token* hiveName = tokenOfType(ListElement(args, 0), Token::kSymbol);
  const Token* keyPath = tokenOfType(ListElement(args, 1), Token::kString);
  const Token* valueName = tokenOfType(ListElement(args, 2), Token::kString);
  if (!hiveName || !keyPath || !valueName) return false;
  auto made = std::make_unique<ActRegCreateKey>();
  if (!readHive(hiveName,
                u"reg-create-key: ハイブ名は HKEY_CURRENT_USER または HKEY_LOCAL_MACHINE のみです(%s)\n",
                &made->hive)) {
    return false;
  }
  Cell* value = ListElement(args, 3);
  const Token* token = tokenizer::asToken(value);
  if (tokenizer::isCons(value)) {
    const Token* relative = nullptr;
    const Token* alias = aliasListOf(value, Token::kString, &relative);
    if (!alias || (alias->text != kTargetAlias && alias->text != kSourceAlias)) return false;
    made->valueKind = ActRegCreateKey::kAliasPath;
    made->alias = alias->text == kTargetAlias ? 1 : 0;
    made->stringValue = relative->text;
  } else if (token && token->type == Token::kInt) {
    made->valueKind = ActRegCreateKey::kInteger;
    made->intValue = token->value;
  } else if (token && token->type == Token::kString) {
    made->valueKind = ActRegCreateKey::kString;
    made->stringValue = token->text;
  } else if (token && (token->isSymbol(kTargetAlias) || token->isSymbol(kSourceAlias))) {
    made->valueKind = ActRegCreateKey::kAliasFolder;
    made->alias = token->isSymbol(kTargetAlias) ? 1 : 0;
  } else {
    return false;
  }
  if (made->valueKind == ActRegCreateKey::kAliasPath && !IsSafeRelativePath(made->stringValue)) {
    LogWrite(LOG_WARN, u"reg-create-key: 不正な相対パスのアクションを無視します(%s)\n", made->stringValue);
    return true;
  }
  made->keyPath = keyPath->text;
  made->valueName = valueName->text;
  *action = SharedRef<Action>(made.release());
  return true;
}

bool readRegCreateSubKey(Cell* args, SharedRef<Action>* action) {
  const Token* hiveName = tokenOfType(ListElement(args, 0), Token::kSymbol);
  const Token* keyPath = tokenOfType(ListElement(args, 1), Token::kString);
  const Token* subKey = tokenOfType(ListElement(args, 2), Token::kString);
  if (!hiveName || !keyPath || !subKey) return false;
  uint32_t hive = 0;
  if (!readHive(hiveName,
                u"reg-create-subkey: ハイブ名は HKEY_CURRENT_USER または HKEY_LOCAL_MACHINE のみです(%s)\n", &hive)) {
    return false;
  }
  *action = SharedRef<Action>(new ActRegCreateSubKey(hive, keyPath->text, subKey->text));
  return true;
}

bool readAddStartMenu(Cell* args, SharedRef<Action>* action) {
  const Token* name = tokenizer::asToken(ListElement(args, 0));
  const Token* target = nullptr;
  const Token* alias = aliasListOf(ListElement(args, 1), Token::kString, &target);
  if (!name || !alias) return false;
  if (alias->text != kTargetAlias) {
    LogWrite(LOG_DEBUG, u"add-start-menu: リンク先のエイリアスには@target@しか使えません(%s)\n", alias->text);
    return false;
  }
  std::u16string text = name->type == Token::kString ? name->text : std::u16string();
  if (!IsSafeComponent(text)) {
    LogWrite(LOG_WARN, u"add-start-menu: 不正な名前のアクションを無視します(%s)\n", text);
    return true;
  }
  if (!IsSafeRelativePath(target->text)) {
    LogWrite(LOG_WARN, u"add-start-menu: 不正なリンク先のアクションを無視します(%s)\n", target->text);
    return true;
  }
  *action = SharedRef<Action>(new ActAddStartMenu(std::move(text), true, target->text));
  return true;
}

// The forms of one group (the elements after its key); false fails the
// group.
bool readActionGroup(Cell* forms, ActionGroup* group) {
  for (Cell* c = forms; tokenizer::isCons(c); c = static_cast<Cons*>(c)->cdr) {
    Cell* form = static_cast<Cons*>(c)->car;
    const Token* word = tokenOfType(tokenizer::carOf(form), Token::kSymbol);
    if (!word) return false;
    Cell* args = restOf(form);
    SharedRef<Action> action;
    bool ok = true;
    if (word->text == u"copy") {
      ok = readCopy(args, &action);
    } else if (word->text == u"reg-create") {
      ok = readRegCreate(args, &action);
    } else if (word->text == u"reg-create-subkey") {
      ok = readRegCreateSubKey(args, &action);
    } else if (word->text == u"create-start-menu") {
      action = SharedRef<Action>(new ActCreateStartMenu());
    } else if (word->text == u"create-desktop-short-cut") {
      action = SharedRef<Action>(new ActCreateDesktopShortCut());
    } else if (word->text == u"add-start-menu") {
      ok = readAddStartMenu(args, &action);
    } else if (word->text == u"uninstall") {
      action = SharedRef<Action>(new ActUninstall());
    }
    if (!ok) return false;
    if (action) group->push_back(std::move(action));
  }
  return true;
}

// The steps both files share: parse, then walk the top-level lists. Each
// list headed by the file's symbol replaces the whole table with its groups
// "(KEY ...)", read by readGroup until the first malformed one.
template <class Group, class ReadGroup>
bool readGroupedText(const GroupedFile& file, std::string_view bytes, std::u16string_view path,
                     std::map<int32_t, SharedRef<Group>>* table, ReadGroup readGroup) {
  if (bytes.empty()) {
    LogWrite(LOG_WARN, file.empty, path);
    return false;
  }
  tokenizer::Tokenizer reader;
  if (!reader.parseFile(bytes)) {
    LogWrite(LOG_WARN, file.parseFailed, reader.error(), path);
    return false;
  }
  for (Cell* c = reader.root(); tokenizer::isCons(c); c = static_cast<Cons*>(c)->cdr) {
    Cell* list = static_cast<Cons*>(c)->car;
    const Token* head = tokenOfType(tokenizer::carOf(list), Token::kSymbol);
    if (!head) {
      LogWrite(LOG_WARN, file.badForm, path);
      return false;
    }
    if (head->text != file.head) continue;
    table->clear();
    for (Cell* g = restOf(list); tokenizer::isCons(g); g = static_cast<Cons*>(g)->cdr) {
      Cell* group = static_cast<Cons*>(g)->car;
      const Token* key = tokenOfType(tokenizer::carOf(group), Token::kInt);
      if (!key) break;
      SharedRef<Group> items(new Group());
      if (!readGroup(restOf(group), items.get())) break;
      (*table)[key->value] = std::move(items);
    }
  }
  return true;
}

template <class Group, class ReadGroup>
bool readGroupedFile(const GroupedFile& file, std::u16string_view path, std::map<int32_t, SharedRef<Group>>* table,
                     ReadGroup readGroup) {
  std::vector<uint8_t> bytes;
  bool tooLarge = false;
  if (!LoadFileBytes(&bytes, path, false, tokenizer::Tokenizer::kMaxFileBytes, &tooLarge)) {
    if (tooLarge) {
      LogWrite(LOG_WARN, file.parseFailed, tokenizer::Tokenizer::kFileTooLargeError, path);
    } else {
      LogWrite(LOG_WARN, file.notFound, path);
    }
    return false;
  }
  return readGroupedText(file, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), path,
                         table, readGroup);
}

}  // namespace

bool SetupIns::readActionFile(std::u16string_view path, ActionTable* table) {
  return readGroupedFile(kActionFile, path, table, readActionGroup);
}

bool SetupIns::readFileList(std::u16string_view path, FileTable* table) {
  return readGroupedFile(kFileList, path, table, readFileGroup);
}

bool SetupIns::readActionText(std::string_view bytes, std::u16string_view path, ActionTable* table) {
  return readGroupedText(kActionFile, bytes, path, table, readActionGroup);
}

bool SetupIns::readFileListText(std::string_view bytes, std::u16string_view path, FileTable* table) {
  return readGroupedText(kFileList, bytes, path, table, readFileGroup);
}

}  // namespace ns_SetupIns
