#include "app/config_reader.h"

#include <vector>

#include "app/config_flowmode.h"
#include "app/config_parts.h"
#include "app/config_sections.h"
#include "app/config_windows.h"
#include "app/file_helpers.h"
#include "app/game_environment.h"
#include "app/log.h"
#include "script/cell_printer.h"
#include "script/tokenizer.h"

using tokenizer::Cell;
using tokenizer::Cons;
using tokenizer::Token;

namespace {

// The line of the entry the section parsers came to last (0: none yet).
thread_local uint32_t t_entryLine = 0;
// The file being loaded, as the loader names it (empty outside a load).
thread_local std::u16string t_fileName;

// Names the file for the entry messages while a load runs.
class ConfigFileScope {
 public:
  explicit ConfigFileScope(const std::u16string& name) { t_fileName = name; }
  ~ConfigFileScope() { t_fileName.clear(); }
  ConfigFileScope(const ConfigFileScope&) = delete;
  ConfigFileScope& operator=(const ConfigFileScope&) = delete;
};

std::u16string placeOfLine(uint32_t line) {
  if (t_fileName.empty() || line == 0) return std::u16string();
  return tokenizer::PlaceText(t_fileName, {line, 0});
}

// The entry the running dispatch failed at, printed (main thread, at
// start-up).
std::u16string g_failedEntry;

// Entries longer than this are cut in the message.
constexpr size_t kMaxEntryText = 120;

}  // namespace

void NoteConfigEntry(const Cell* link) {
  if (const uint32_t line = tokenizer::lineOf(link)) t_entryLine = line;
}

std::u16string ConfigEntryPlace() { return placeOfLine(t_entryLine); }

std::u16string ConfigPlaceOf(const Cell* link) { return placeOfLine(tokenizer::lineOf(link)); }

void NoteFailedConfigEntry(const Cell* entry) {
  TokenizerSupportUtil::MyOStringStream out;
  tokenizer::printCell(entry, out);
  g_failedEntry = out.str();
  if (g_failedEntry.size() > kMaxEntryText) g_failedEntry = g_failedEntry.substr(0, kMaxEntryText) + u"...";
}

bool LoadSystemConfig(GameEnvironment* environment, std::u16string_view fileName) {
  const std::u16string name(fileName);
  std::vector<uint8_t> bytes;
  bool tooLarge = false;
  if (!environment->loadResource(&bytes, name, true, true, tokenizer::Tokenizer::kMaxFileBytes, &tooLarge)) {
    if (tooLarge) {
      LogWrite(LOG_WARN, u"コンフィグファイルの解析に失敗:%s(%s)\n", tokenizer::Tokenizer::kFileTooLargeError, name);
    } else {
      LogWrite(LOG_WARN, u"コンフィグファイルが見つからない(%s)\n", name);
    }
    return false;
  }
  if (bytes.empty()) {
    LogWrite(LOG_WARN, u"コンフィグファイルのサイズが0(%s)\n", name);
    return false;
  }
  WarnIfUtf8Text(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), name);
  tokenizer::Tokenizer reader;
  const bool parsed = reader.parseFile(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  std::vector<uint8_t>().swap(bytes);  // the cells hold copies of what they need
  if (!parsed) {
    LogWrite(LOG_WARN, u"コンフィグファイルの解析に失敗:%s(%s)\n", reader.error(),
             tokenizer::PlaceText(name, reader.errorAt()));
    return false;
  }
  uint32_t failedLine = 0;
  std::u16string failed;
  const ConfigFileScope scope(name);
  if (!DispatchConfigSections(environment, reader.root(), &failedLine, &failed)) {
    LogWrite(LOG_WARN, u"コンフィグファイルの読み込みに失敗(%s) %s\n", tokenizer::PlaceText(name, {failedLine, 0}), failed);
    return false;
  }
  return true;
}

bool DispatchConfigSections(GameEnvironment* env, Cell* root, uint32_t* failedLine, std::u16string* failed) {
  g_failedEntry.clear();
  for (Cell* c = root; tokenizer::isCons(c); c = static_cast<Cons*>(c)->cdr) {
    Cell* section = static_cast<Cons*>(c)->car;
    t_entryLine = static_cast<Cons*>(c)->line;
    // Atoms, and empty lists, between sections are skipped.
    if (!tokenizer::isCons(section)) continue;
    const Token* head = tokenizer::carAsToken(section);
    if (!head || head->type != Token::kSymbol) {
      if (failedLine) *failedLine = t_entryLine;
      if (failed) {
        NoteFailedConfigEntry(section);
        *failed = g_failedEntry;
      }
      return false;
    }
    const std::u16string& word = head->text;
    bool ok;
    if (word == u":product-info") {
      ok = ParseProductInfo(&env->productInfo(), section);
    } else if (word == u":system") {
      ok = ParseSystemSection(&env->systemRecord(), section);
    } else if (word == u":resource") {
      ok = ParseResourceSection(&env->resource(), section);
    } else if (word == u":flag-constants") {
      ok = ParseConstants(&env->constants(), &env->stringConstants(), section, false);
    } else if (word == u":string-constants") {
      ok = ParseConstants(&env->constants(), &env->stringConstants(), section, true);
    } else if (word == u":key") {
      ok = ParseKeySection(&env->keyMap(), section);
    } else if (word == u":window") {
      ok = ParseWindowSection(&env->window(), section);
    } else if (word == u":color-table") {
      ok = ParseColorTable(&env->colorTable(), section);
    } else if (word == u":menu") {
      ok = ParseMenuSection(&env->menuTable(), section);
    } else if (word == u":message-window") {
      ok = ParseMessageWindowSection(&env->messageWindowTable(), section);
    } else if (word == u":select-window") {
      ok = ParseSelectWindowSection(&env->selectWindowTable(), section);
    } else if (word == u":parts") {
      ok = ParsePartsSection(&env->partsTable(), section, env);
    } else if (word == u":flowmode") {
      ok = ParseFlowmodeSection(&env->flowmode(), section);
    } else {
      LogWriteAt(LOG_WARN, ConfigPlaceOf(c), u"Config:使用されなかったエントリ<%s>\n", word);
      continue;
    }
    if (!ok) {
      if (failedLine) *failedLine = t_entryLine;
      if (failed) *failed = g_failedEntry.empty() ? word : word + u" " + g_failedEntry;
      return false;
    }
  }
  return true;
}

bool ReadEntryInt(std::u16string_view key, const Token* value, std::u16string_view expected, int32_t* out) {
  if (key != expected || !value || value->type != Token::kInt) return false;
  *out = value->value;
  return true;
}

bool ReadEntryBool(std::u16string_view key, const Token* value, std::u16string_view expected, bool* out) {
  if (key != expected || !value || value->type != Token::kBool) return false;
  *out = value->value != 0;
  return true;
}

bool ReadEntryString(std::u16string_view key, const Token* value, std::u16string_view expected,
                     std::u16string* out) {
  if (key != expected || !value || value->type != Token::kString) return false;
  *out = value->text;
  return true;
}

bool ParseColorList(Cell* list, uint32_t* out) {
  Cell* items[4] = {};
  Cell* c = list;
  for (int i = 0; i < 4 && tokenizer::isCons(c); ++i, c = static_cast<Cons*>(c)->cdr) {
    items[i] = static_cast<Cons*>(c)->car;
  }
  for (int i = 0; i < 3; ++i) {
    if (!tokenizer::isToken(items[i])) return false;
  }
  auto intOf = [](Cell* cell, int32_t fallback) {
    const Token* t = tokenizer::asToken(cell);
    return t && t->type == Token::kInt ? t->value : fallback;
  };
  auto clamp = [](int32_t v) { return static_cast<uint32_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); };
  const uint32_t r = clamp(intOf(items[0], 0));
  const uint32_t g = clamp(intOf(items[1], 0));
  const uint32_t b = clamp(intOf(items[2], 0));
  uint32_t a = 255;
  if (tokenizer::isToken(items[3])) a = clamp(intOf(items[3], 0));
  *out = (a << 24) | (r << 16) | (g << 8) | b;
  return true;
}

bool ReadPairEntry(Cell* element, ConfigEntry* entry) {
  if (!tokenizer::isCons(element)) return false;
  const Token* key = tokenizer::carAsToken(element);
  Token* value = PairValue(element);
  if (!key || key->type != Token::kSymbol || !value) return false;
  entry->key = key->text;
  entry->value = value;
  return true;
}

bool ReadListEntry(Cell* element, ConfigEntry* entry) {
  if (!tokenizer::isCons(element)) return false;
  const Token* key = tokenizer::carAsToken(element);
  Token* value = tokenizer::carAsToken(tokenizer::cdrOr(element, nullptr));
  if (!key || key->type != Token::kSymbol || !value) return false;
  entry->key = key->text;
  entry->value = value;
  return true;
}

Token* PairValue(Cell* entry) { return tokenizer::asToken(tokenizer::cdrOr(entry, nullptr)); }

std::u16string StringTokenOr(const Cell* cell, std::u16string_view fallback) {
  if (tokenizer::isToken(cell)) {
    const Token* t = static_cast<const Token*>(cell);
    if (t->type == Token::kString) return t->text;
  }
  return std::u16string(fallback);
}

Cell* FourthTailOr(Cell* list, Cell* fallback) {
  Cell* c = list;
  for (int i = 0; i < 3; ++i) {
    if (!tokenizer::isCons(c)) return fallback;
    c = static_cast<Cons*>(c)->cdr;
  }
  return c;
}

size_t ListLength(Cell* list) {
  size_t n = 0;
  for (Cell* c = list; tokenizer::isCons(c); c = static_cast<Cons*>(c)->cdr) ++n;
  return n;
}

Cell* ListElement(Cell* list, size_t n) {
  Cell* c = list;
  for (size_t i = 0; i < n && tokenizer::isCons(c); ++i) c = static_cast<Cons*>(c)->cdr;
  return tokenizer::isCons(c) ? static_cast<Cons*>(c)->car : nullptr;
}
