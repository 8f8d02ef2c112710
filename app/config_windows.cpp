// Reading ":color-table", ":select-window", ":message-window" and ":menu",
// and binding the part numbers their control points and key-wait icons
// name once ":parts" has been read.
#include "app/config_windows.h"

#include <span>
#include <string_view>
#include <type_traits>
#include <variant>

#include "app/config_reader.h"
#include "app/game_environment.h"
#include "app/log.h"

using tokenizer::Cell;
using tokenizer::Cons;
using tokenizer::Token;

namespace {

Cell* Cdr(Cell* c) { return tokenizer::cdrOr(c, nullptr); }

// A key of a record and the field it fills; the field's type chooses the
// value reader.
struct FieldRef {
  std::u16string_view key;
  std::variant<int32_t*, bool*, std::u16string*> target;
};

bool ReadKnownField(std::span<const FieldRef> fields, const ConfigEntry& entry) {
  for (const FieldRef& field : fields) {
    const bool read = std::visit(
        [&](auto* target) {
          using T = std::remove_pointer_t<decltype(target)>;
          if constexpr (std::is_same_v<T, int32_t>) {
            return ReadEntryInt(entry.key, entry.value, field.key, target);
          } else if constexpr (std::is_same_v<T, bool>) {
            return ReadEntryBool(entry.key, entry.value, field.key, target);
          } else {
            return ReadEntryString(entry.key, entry.value, field.key, target);
          }
        },
        field.target);
    if (read) return true;
  }
  return false;
}

// "<prefix>N-offset-x", "-offset-y", "-parts", "-event" for N below count:
// the record N of the list (grown first) takes the value. Any token is
// accepted: a non-integer offset or parts number reads 0, an event that is
// neither symbol nor string reads empty.
bool ReadControlPointKey(const ConfigEntry& entry, std::u16string_view prefix, int32_t count,
                         std::vector<Config::ControlPointConfig>* list) {
  if (entry.key.compare(0, prefix.size(), prefix) != 0) return false;
  for (int32_t i = 0; i < count; ++i) {
    const std::u16string offsetX = FormatString30(u"%s%d-offset-x", prefix, i);
    const std::u16string offsetY = FormatString30(u"%s%d-offset-y", prefix, i);
    const std::u16string parts = FormatString30(u"%s%d-parts", prefix, i);
    const std::u16string event = FormatString30(u"%s%d-event", prefix, i);
    if (entry.key != offsetX && entry.key != offsetY && entry.key != parts && entry.key != event) continue;
    if (list->size() < static_cast<size_t>(i) + 1) list->resize(i + 1);
    Config::ControlPointConfig& point = (*list)[i];
    const int32_t number = entry.value->type == Token::kInt ? entry.value->value : 0;
    if (entry.key == offsetX) {
      point.offsetX = number;
    } else if (entry.key == offsetY) {
      point.offsetY = number;
    } else if (entry.key == parts) {
      point.partsNo = number;
    } else {
      point.event = entry.value->getString();
    }
    return true;
  }
  return false;
}

// Walks the pair entries of a body; a shape error fails, an entry that read
// does not consume is logged with the message.
template <class F>
bool ReadPairEntries(Cell* entries, std::u16string_view unknownMessage, F&& read) {
  for (Cell* c = entries; tokenizer::isCons(c); c = static_cast<Cons*>(c)->cdr) {
    NoteConfigEntry(c);
    ConfigEntry entry;
    if (!ReadPairEntry(static_cast<Cons*>(c)->car, &entry)) return false;
    if (!read(entry)) LogWriteAt(LOG_WARN, ConfigEntryPlace(), unknownMessage, entry.key);
  }
  return true;
}

// The text of a list's head when it is a symbol or string, else empty.
std::u16string HeadText(Cell* element) {
  const Token* head = tokenizer::carAsToken(element);
  return head ? head->getString() : std::u16string();
}

// "(entryMap (N entry...) ...)": clears the table and stores each block
// under its number. False at the first block that is malformed; the blocks
// before it stay.
template <class Table, class ParseEntry>
bool ReadEntryMap(Table* table, Cell* element, ParseEntry&& parseEntry) {
  table->clear();
  for (Cell* c = Cdr(element); tokenizer::isCons(c); c = static_cast<Cons*>(c)->cdr) {
    NoteConfigEntry(c);
    Cell* block = static_cast<Cons*>(c)->car;
    const Token* number = tokenizer::carAsToken(block);
    if (!number || number->type != Token::kInt) return false;
    typename Table::mapped_type record;
    if (!parseEntry(&record, Cdr(block))) return false;
    (*table)[number->value] = std::move(record);
  }
  return true;
}

void BindControlPoints(GameEnvironment* env, std::vector<Config::ControlPointConfig>* points) {
  for (Config::ControlPointConfig& point : *points) point.parts = env->findPartsConfig(point.partsNo);
}

constexpr const char16_t* kSelectWindowKeys[Config::SelectWindow::kFieldCount] = {
    u"window-x",
    u"window-y",
    u"window-width",
    u"window-height-base",
    nullptr,
    u"window-color-r",
    u"window-color-g",
    u"window-color-b",
    u"window-color-a",
    u"cursor-color-r",
    u"cursor-color-g",
    u"cursor-color-b",
    u"cursor-color-a",
    u"item-width",
    u"item-height",
    u"item-height-gap",
    u"item-offset-x",
    u"item-offset-y",
    u"item-text-color.r",
    u"item-text-color.g",
    u"item-text-color.b",
    nullptr,
    u"item-text-edge-color.r",
    u"item-text-edge-color.g",
    u"item-text-edge-color.b",
    u"item-text-edge-color.a",
};

}  // namespace

Config::SelectWindow::SelectWindow()
    : fields{0, 0, 400, 300, 0, 0, 0, 0, 128, 0, 0, 0, 128, -1, 32, 0, 0, 0, 255, 255, 255, 255, 0, 0, 0, 0} {}

void Config::GetRange(const MessageWindowConfig& config, int32_t n, int32_t* x, int32_t* y) {
  if (n < 0) return;
  if (n == 0 || static_cast<size_t>(n) >= config.presets.size()) {
    *x = config.windowX;
    *y = config.windowY;
    return;
  }
  *x = config.presets[n].first;
  *y = config.presets[n].second;
}

bool ParseColorTable(Config::ColorTable* table, Cell* section) {
  for (Cell* c = Cdr(section); tokenizer::isCons(c); c = static_cast<Cons*>(c)->cdr) {
    NoteConfigEntry(c);
    Cell* element = static_cast<Cons*>(c)->car;
    const Token* index = tokenizer::carAsToken(element);
    if (!index || index->type != Token::kInt) return false;
    if (index->value < 0 || index->value > 65535) {
      LogWriteAt(LOG_WARN, ConfigEntryPlace(), u"カラーテーブルのテーブルインデックス値がおかしいです(%d)\n", index->value);
      return false;
    }
    uint32_t color;
    if (!ParseColorList(Cdr(element), &color)) return false;
    if (table->size() < static_cast<size_t>(index->value) + 1) table->resize(index->value + 1, 0);
    (*table)[index->value] = color;
  }
  return true;
}

bool ParseSelectWindowSection(Config::SelectWindowTable* table, Cell* section) {
  for (Cell* c = Cdr(section); tokenizer::isCons(c); c = static_cast<Cons*>(c)->cdr) {
    NoteConfigEntry(c);
    Cell* block = static_cast<Cons*>(c)->car;
    const Token* number = tokenizer::carAsToken(block);
    if (!number || number->type != Token::kInt) return false;

    Config::SelectWindow window;
    std::vector<FieldRef> fields;
    for (size_t i = 0; i < Config::SelectWindow::kFieldCount; ++i) {
      if (kSelectWindowKeys[i]) fields.push_back({kSelectWindowKeys[i], &window.fields[i]});
    }
    const bool ok = ReadPairEntries(Cdr(block), u"Config.SelectWindow:未知のエントリ<%s> - 無視されました\n",
                                    [&](const ConfigEntry& entry) { return ReadKnownField(fields, entry); });
    if (!ok) return false;

    if (!table->try_emplace(number->value, window).second) {
      LogWriteAt(LOG_WARN, ConfigPlaceOf(c), u"ウィンドウ設定番号が重複しています(%d)\n", number->value);
    }
  }
  return true;
}

bool ParseMessageWindowEntry(Config::MessageWindowConfig* config, Cell* entries) {
  Config::MessageWindowConfig& w = *config;
  const FieldRef fields[] = {
      {u"window-position-x", &w.windowX},
      {u"window-position-y", &w.windowY},
      {u"window-width", &w.windowWidth},
      {u"window-height", &w.windowHeight},
      {u"window-bg-imageUrl", &w.bgImageUrl},
      {u"ta-offset-x", &w.taOffsetX},
      {u"ta-offset-y", &w.taOffsetY},
      {u"ta-width", &w.taWidth},
      {u"ta-height", &w.taHeight},
      {u"ta-bg-amikake", &w.taBgAmikake},
      {u"ta-bg-color.r", &w.taBgColor.r},
      {u"ta-bg-color.g", &w.taBgColor.g},
      {u"ta-bg-color.b", &w.taBgColor.b},
      {u"ta-bg-color.a", &w.taBgColor.a},
      {u"ta-font", &w.taFont},
      {u"ta-font-size", &w.taFontSize},
      {u"ta-font-color", &w.taFontColor},
      {u"ta-line-pitch", &w.taLinePitch},
      {u"ta-char-gap", &w.taCharGap},
      {u"ta-linenum", &w.taLineNum},
      {u"ta-chars-per-line", &w.taCharsPerLine},
      {u"ta-font-edge-color.r", &w.taFontEdgeColor.r},
      {u"ta-font-edge-color.g", &w.taFontEdgeColor.g},
      {u"ta-font-edge-color.b", &w.taFontEdgeColor.b},
      {u"ta-font-edge-color.a", &w.taFontEdgeColor.a},
      {u"ta-ruby-font", &w.taRubyFont},
      {u"ta-ruby-font-size", &w.taRubyFontSize},
      {u"ta-ruby-text-color.r", &w.taRubyTextColor.r},
      {u"ta-ruby-text-color.g", &w.taRubyTextColor.g},
      {u"ta-ruby-text-color.b", &w.taRubyTextColor.b},
      {u"ta-ruby-text-color.a", &w.taRubyTextColor.a},
      {u"ta-ruby-edge-color.r", &w.taRubyEdgeColor.r},
      {u"ta-ruby-edge-color.g", &w.taRubyEdgeColor.g},
      {u"ta-ruby-edge-color.b", &w.taRubyEdgeColor.b},
      {u"ta-ruby-edge-color.a", &w.taRubyEdgeColor.a},
      {u"ta-ruby-line-pitch", &w.taRubyLinePitch},
      {u"ta-keywait-icon", &w.keywaitIcon[0]},
      {u"ta-keywait-icon-1", &w.keywaitIcon[1]},
      {u"ta-display-speed-low", &w.displaySpeedLow},
      {u"ta-display-speed-middle", &w.displaySpeedMiddle},
      {u"ta-display-speed-high", &w.displaySpeedHigh},
      {u"ta-keywait-icon-posx", &w.keywaitIconPosX},
      {u"ta-keywait-icon-posy", &w.keywaitIconPosY},
  };
  return ReadPairEntries(
      entries, u"Config.MessaegWindow:未知のエントリ<%s> - 無視されました\n", [&](const ConfigEntry& entry) {
        return ReadKnownField(fields, entry) || ReadControlPointKey(entry, u"cp-", 6, &w.controlPoints) ||
               ReadControlPointKey(entry, u"cp-c0-", 7, &w.hiddenControlPoints);
      });
}

bool ParseMessageWindowSection(Config::MessageWindowTable* table, Cell* section) {
  Cell* body = Cdr(section);
  bool triedSingleWindow = false;
  for (Cell* c = body; tokenizer::isCons(c); c = static_cast<Cons*>(c)->cdr) {
    NoteConfigEntry(c);
    Cell* element = static_cast<Cons*>(c)->car;
    const std::u16string head = HeadText(element);
    if (head == u"entryMap" && ReadEntryMap(table, element, ParseMessageWindowEntry)) continue;
    if (!triedSingleWindow) {
      // "(:message-window (key . value) ...)": the whole body is window 0.
      triedSingleWindow = true;
      Config::MessageWindowConfig window;
      if (ParseMessageWindowEntry(&window, body)) {
        (*table)[0] = std::move(window);
        break;
      }
    }
    LogWriteAt(LOG_WARN, ConfigPlaceOf(c), u"Config.MessageWindow:未知のエントリ<%s> - 無視されました\n", head);
  }
  if (table->find(0) == table->end()) {
    NoteConfigEntry(section);  // the section's own line: no entry is at fault
    LogWriteAt(LOG_ERROR, ConfigEntryPlace(), u"Config.MessageWindow:0番が定義されていません");
    return false;
  }
  return true;
}

bool ParseMenuEntry(Config::MenuConfigEntry* entry, Cell* entries) {
  std::u16string position;
  const FieldRef fields[] = {
      {u"position", &position},
      {u"menu-width", &entry->menuWidth},
      {u"sensor-width", &entry->sensorWidth},
      {u"bg-imageUrl", &entry->bgImageUrl},
  };
  const bool ok = ReadPairEntries(
      entries, u"Config.MenuConfigEntry:未知のエントリ<%s> - 無視されました\n", [&](const ConfigEntry& e) {
        return ReadKnownField(fields, e) || ReadControlPointKey(e, u"cp-", 16, &entry->controlPoints);
      });
  if (!ok) return false;
  static constexpr std::pair<std::u16string_view, int32_t> kPositions[] = {
      {u"left", Config::MenuConfigEntry::kLeft},
      {u"right", Config::MenuConfigEntry::kRight},
      {u"top", Config::MenuConfigEntry::kTop},
      {u"bottom", Config::MenuConfigEntry::kBottom},
  };
  for (const auto& [word, code] : kPositions) {
    if (position == word) entry->position = code;
  }
  return true;
}

bool ParseMenuSection(Config::MenuTable* table, Cell* section) {
  for (Cell* c = Cdr(section); tokenizer::isCons(c); c = static_cast<Cons*>(c)->cdr) {
    NoteConfigEntry(c);
    Cell* element = static_cast<Cons*>(c)->car;
    const std::u16string head = HeadText(element);
    if (head == u"entryMap" && ReadEntryMap(table, element, ParseMenuEntry)) continue;
    LogWriteAt(LOG_WARN, ConfigPlaceOf(c), u"Config.MenuConfig:未知のエントリ<%s> - 無視されました\n", head);
  }
  return true;
}

void ResolveMenuEntryParts(GameEnvironment* environment, Config::MenuConfigEntry* entry) {
  BindControlPoints(environment, &entry->controlPoints);
}

void ResolveMenuParts(GameEnvironment* environment) {
  for (auto& [number, entry] : environment->menuTable()) ResolveMenuEntryParts(environment, &entry);
}

void ResolveMessageWindowParts(GameEnvironment* environment) {
  for (auto& [number, window] : environment->messageWindowTable()) {
    if (window.presets.empty()) window.presets.emplace_back(window.windowX, window.windowY);
    for (size_t i = 0; i < window.keywaitIcon.size(); ++i) {
      window.keywaitIconParts[i] = environment->findPartsConfig(window.keywaitIcon[i]);
    }
    BindControlPoints(environment, &window.controlPoints);
    BindControlPoints(environment, &window.hiddenControlPoints);
  }
}
