// Reading the ":flowmode" section: the "spMap" table of numbered save-point
// blocks, the "connList" list of connections, and the finishing pass that
// links connections to their save points and groups save points by page.
#include "app/config_flowmode.h"

#include <string_view>

#include "app/config_reader.h"
#include "app/log.h"

using tokenizer::Cell;
using tokenizer::Cons;
using tokenizer::Token;
using Config::FlowmodeConfig;

namespace {

using SavePoint = FlowmodeConfig::SavePoint;
using Connection = FlowmodeConfig::Connection;

Cell* Rest(Cell* list) { return static_cast<Cons*>(list)->cdr; }

struct IntKey {
  std::u16string_view key;
  int32_t SavePoint::*field;
};

constexpr IntKey kSavePointInts[] = {
    {u"initialState", &SavePoint::initialState}, {u"type", &SavePoint::type}, {u"x", &SavePoint::x},
    {u"y", &SavePoint::y}, {u"page", &SavePoint::page}, {u"imageNo", &SavePoint::imageNo},
};

// The entries of one numbered block. False on a shape error; unknown keys
// and values of the wrong type are logged and skipped.
bool ReadSavePoint(Cell* entries, SavePoint* point) {
  for (Cell* c = entries; tokenizer::isCons(c); c = Rest(c)) {
    NoteConfigEntry(c);
    ConfigEntry entry;
    if (!ReadPairEntry(tokenizer::carOf(c), &entry)) return false;
    bool known = false;
    for (const IntKey& k : kSavePointInts) {
      if (ReadEntryInt(entry.key, entry.value, k.key, &(point->*k.field))) {
        known = true;
        break;
      }
    }
    if (!known) {
      known = ReadEntryString(entry.key, entry.value, u"text1", &point->text1) ||
              ReadEntryString(entry.key, entry.value, u"text2", &point->text2);
    }
    if (!known) {
      LogWriteAt(LOG_WARN, ConfigEntryPlace(), u"Config.FlowmodeConfig.Savepoint:未知のエントリ<%s> - 無視されました\n", entry.key);
    }
  }
  return true;
}

bool ReadConnection(Cell* entries, Connection* connection) {
  for (Cell* c = entries; tokenizer::isCons(c); c = Rest(c)) {
    NoteConfigEntry(c);
    ConfigEntry entry;
    if (!ReadPairEntry(tokenizer::carOf(c), &entry)) return false;
    const bool known = ReadEntryInt(entry.key, entry.value, u"from", &connection->from) ||
                       ReadEntryInt(entry.key, entry.value, u"to", &connection->to) ||
                       ReadEntryInt(entry.key, entry.value, u"outDir", &connection->outDir) ||
                       ReadEntryInt(entry.key, entry.value, u"inDir", &connection->inDir);
    if (!known) {
      LogWriteAt(LOG_WARN, ConfigEntryPlace(), u"Config.FlowmodeConfig.Connection:未知のエントリ<%s> - 無視されました\n", entry.key);
    }
  }
  return true;
}

// "(spMap (N entry...) ...)": replaces the whole map. A bad block ends the
// table with false; the save points stored before it stay.
bool ReadSavePointTable(Cell* blocks, FlowmodeConfig* config) {
  config->spMap.clear();
  for (Cell* c = blocks; tokenizer::isCons(c); c = Rest(c)) {
    NoteConfigEntry(c);
    Cell* block = tokenizer::carOf(c);
    const Token* number = tokenizer::carAsToken(block);
    if (!number || number->type != Token::kInt) return false;
    SavePoint point;
    if (!ReadSavePoint(Rest(block), &point)) return false;
    config->spMap[number->value] = std::move(point);
  }
  return true;
}

// "(connList (entry...) ...)": replaces the whole list. An empty or bad
// element ends the list with false; the connections appended before stay.
bool ReadConnectionList(Cell* elements, FlowmodeConfig* config) {
  config->connections.clear();
  for (Cell* c = elements; tokenizer::isCons(c); c = Rest(c)) {
    NoteConfigEntry(c);
    Cell* element = tokenizer::carOf(c);
    if (!tokenizer::isCons(element)) return false;
    Connection connection;
    if (!ReadConnection(element, &connection)) return false;
    config->connections.push_back(connection);
  }
  return true;
}

}  // namespace

bool ParseFlowmodeSection(FlowmodeConfig* config, Cell* section) {
  for (Cell* c = tokenizer::cdrOr(section, nullptr); tokenizer::isCons(c); c = Rest(c)) {
    NoteConfigEntry(c);
    Cell* element = tokenizer::carOf(c);
    const Token* head = tokenizer::carAsToken(element);
    const std::u16string word = head ? head->getString() : std::u16string();
    bool ok = false;
    if (word == u"spMap") {
      ok = ReadSavePointTable(Rest(element), config);
    } else if (word == u"connList") {
      ok = ReadConnectionList(Rest(element), config);
    }
    if (!ok) LogWriteAt(LOG_WARN, ConfigPlaceOf(c), u"Config.FlowmodeConfig:未知のエントリ<%s> - 無視されました\n", word);
  }
  return FinishFlowmodeConfig(config);
}

bool FinishFlowmodeConfig(FlowmodeConfig* config) {
  // Everything derived is rebuilt from the owned lists, so nothing refers to
  // what an earlier section or block stored.
  config->pages.clear();
  for (auto& entry : config->spMap) {
    entry.second.outgoing.clear();
    entry.second.incoming.clear();
  }
  for (const Connection& connection : config->connections) {
    auto source = config->spMap.find(connection.from);
    if (source == config->spMap.end()) return false;
    source->second.outgoing[connection.to] = connection;
    auto destination = config->spMap.find(connection.to);
    if (destination == config->spMap.end()) return false;
    destination->second.incoming[connection.from] = connection;
  }
  for (const auto& [number, point] : config->spMap) config->pages[point.page].push_back(number);
  return true;
}

namespace Config {

const FlowmodeConfig::SavePoint* FlowmodeConfig::findSavePoint(int32_t number) const {
  auto it = spMap.find(number);
  return it == spMap.end() ? nullptr : &it->second;
}

}  // namespace Config
