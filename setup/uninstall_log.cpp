#include "setup/uninstall_log.h"

#include <cerrno>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <new>
#include <tuple>
#include <utility>

#include "app/config_reader.h"
#include "app/ee_codec.h"
#include "app/file_helpers.h"
#include "app/log.h"
#include "app/registry.h"
#include "app/string_util.h"
#include "platform/utf8.h"
#include "script/cell_printer.h"
#include "script/tokenizer.h"
#include "setup/registry_roots.h"

using tokenizer::Cell;
using tokenizer::Cons;
using tokenizer::Token;

bool UninstallLog::RegValue::operator<(const RegValue& other) const {
  return std::tie(hive, key, name) < std::tie(other.hive, other.key, other.name);
}

bool UninstallLog::RegSubKey::operator<(const RegSubKey& other) const {
  return std::tie(hive, key) < std::tie(other.hive, other.key);
}

namespace {

bool isNamedRoot(uint32_t hive) { return hive == HKEY_CURRENT_USER_ID || hive == HKEY_LOCAL_MACHINE_ID; }

// Puts item in front of list; null, with *failed set, when item is null or
// memory runs out.
Cell* prepend(tokenizer::Tokenizer& tk, Cell* item, Cell* list, bool* failed) {
  Cell* cell = item ? tk.cons(item, list) : nullptr;
  if (!cell) *failed = true;
  return cell;
}

// A new list of the cells in order, with the same failure rule.
Cell* makeList(tokenizer::Tokenizer& tk, std::initializer_list<Cell*> cells, bool* failed) {
  Cell* list = nullptr;
  for (auto it = std::rbegin(cells); it != std::rend(cells); ++it) list = prepend(tk, *it, list, failed);
  return list;
}

// Calls read on every element of a proper list; false when read does or the
// list ends in a non-null tail.
template <class Read>
bool readItems(Cell* items, Read read) {
  for (Cell* c = items; c; c = static_cast<Cons*>(c)->cdr) {
    if (!tokenizer::isCons(c) || !read(static_cast<Cons*>(c)->car)) return false;
  }
  return true;
}

const Token* tokenOfType(Cell* cell, int32_t type) {
  const Token* token = tokenizer::asToken(cell);
  return token && token->type == type ? token : nullptr;
}

// The first element of a list when it is a string token.
const Token* pathOf(Cell* item) { return tokenOfType(tokenizer::carOf(item), Token::kString); }

// The root named by the n-th element of a list.
bool hiveAt(Cell* item, size_t n, uint32_t* hive) {
  const Token* name = tokenOfType(ListElement(item, n), Token::kSymbol);
  return name && registryRootFromName(name->text, hive);
}

}  // namespace

void UninstallLog::addFile(std::u16string path) { files_.insert(std::move(path)); }

void UninstallLog::addFolder(std::u16string path) { folders_.insert(std::move(path)); }

void UninstallLog::addRegValue(uint32_t hive, std::u16string key, std::u16string name) {
  if (isNamedRoot(hive)) regValues_.insert(RegValue{hive, std::move(key), std::move(name)});
}

void UninstallLog::addRegSubKey(uint32_t hive, std::u16string key) {
  if (isNamedRoot(hive)) regSubKeys_.insert(RegSubKey{hive, std::move(key)});
}

Cell* UninstallLog::toCells(tokenizer::Tokenizer& tk) const {
  bool failed = false;
  // Each entry is built from its last item to its first, so it comes out in
  // the record's order.
  Cell* files = nullptr;
  for (auto it = files_.rbegin(); it != files_.rend(); ++it) {
    files = prepend(tk, makeList(tk, {tk.makeString(*it)}, &failed), files, &failed);
  }
  Cell* folders = nullptr;
  for (auto it = folders_.rbegin(); it != folders_.rend(); ++it) {
    folders = prepend(tk, makeList(tk, {tk.makeString(*it)}, &failed), folders, &failed);
  }
  Cell* values = nullptr;
  for (auto it = regValues_.rbegin(); it != regValues_.rend(); ++it) {
    Cell* item = makeList(
        tk, {tk.makeSymbol(registryRootName(it->hive)), tk.makeString(it->key), tk.makeString(it->name)}, &failed);
    values = prepend(tk, item, values, &failed);
  }
  Cell* subKeys = nullptr;
  for (auto it = regSubKeys_.rbegin(); it != regSubKeys_.rend(); ++it) {
    Cell* item = makeList(tk, {tk.makeSymbol(registryRootName(it->hive)), tk.makeString(it->key)}, &failed);
    subKeys = prepend(tk, item, subKeys, &failed);
  }
  Cell* form = tk.acons(nullptr, u"reg-subkey", subKeys);
  form = form ? tk.acons(form, u"reg", values) : nullptr;
  form = form ? tk.acons(form, u"dir", folders) : nullptr;
  form = form ? tk.acons(form, u"file", files) : nullptr;
  return failed ? nullptr : form;
}

bool UninstallLog::fromCells(Cell* root) {
  Cell* form = tokenizer::carOf(root);
  return readItems(form, [this](Cell* entry) {
    const Token* name = tokenOfType(tokenizer::carOf(entry), Token::kSymbol);
    if (!name) return false;
    Cell* items = static_cast<Cons*>(entry)->cdr;
    if (name->text == u"file" || name->text == u"dir") {
      std::set<std::u16string>& paths = name->text == u"file" ? files_ : folders_;
      return readItems(items, [&paths](Cell* item) {
        const Token* path = pathOf(item);
        if (path) paths.insert(path->text);
        return path != nullptr;
      });
    }
    if (name->text == u"reg") {
      return readItems(items, [this](Cell* item) {
        uint32_t hive = 0;
        const Token* key = tokenOfType(ListElement(item, 1), Token::kString);
        const Token* value = tokenOfType(ListElement(item, 2), Token::kString);
        if (!hiveAt(item, 0, &hive) || !key || !value) return false;
        addRegValue(hive, key->text, value->text);
        return true;
      });
    }
    if (name->text == u"reg-subkey") {
      return readItems(items, [this](Cell* item) {
        uint32_t hive = 0;
        const Token* key = tokenOfType(ListElement(item, 1), Token::kString);
        if (!hiveAt(item, 0, &hive) || !key) return false;
        addRegSubKey(hive, key->text);
        return true;
      });
    }
    return true;  // an entry of another kind is passed over
  });
}

bool writeUninstallLog(std::u16string_view installFolder, const UninstallLog& log) {
  std::u16string path;
  if (!ResolveWritePath(installFolder, kUninstallLogName, &path)) return false;
  tokenizer::Tokenizer tk;
  const Cell* form = log.toCells(tk);
  if (!form) {
    LogWrite(LOG_ERROR, u"ファイルの書き込みに失敗(%s,errno=%d)\n", path, ENOMEM);
    return false;
  }
  const std::string text = platform::ToUtf8(tokenizer::toText(form));
  return WriteFileAtomically(path, text.data(), text.size(), LOG_ERROR) == 0;
}

bool loadMaybeEncodedFile(std::u16string_view path, std::vector<uint8_t>* out) {
  const std::u16string name(path);
  LogWrite(LOG_TRACE, u"loading from %s\n", name);
  const std::unique_ptr<FileStream> file = OpenFileByMode(path, 0);
  if (!file) {
    LogWrite(LOG_TRACE, u"ファイルのオープンに失敗(%s)\n", name);
    return false;
  }
  const int64_t size = GetFileSize(file.get());
  if (size < 0 || static_cast<uint64_t>(size) > kMaxEEPlainSize) return false;
  std::vector<uint8_t> bytes;
  try {
    bytes.resize(static_cast<size_t>(size));
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (!bytes.empty() && file->read(bytes.data(), 1, bytes.size()) != bytes.size()) return false;
  decodeMaybeEncoded(&bytes);
  *out = std::move(bytes);
  return true;
}

void decodeMaybeEncoded(std::vector<uint8_t>* bytes) {
  if (bytes->empty()) return;
  std::vector<uint8_t> decoded;
  if (DecodeEEBuffer(&decoded, bytes->data(), bytes->size()) == EEDecodeResult::kDecoded) {
    *bytes = std::move(decoded);
  } else {
    LogWrite(LOG_TRACE, u"may not be encoded\n");
  }
}

bool readUninstallLog(std::u16string_view installFolder, UninstallLog* log) {
  std::u16string path(installFolder);
  path += u'/';
  path += kUninstallLogName;
  std::vector<uint8_t> bytes;
  if (!loadMaybeEncodedFile(path, &bytes)) {
    LogWrite(LOG_WARN, u"uninst.logファイルが見つからない(%s)\n", path);
    return false;
  }
  return readUninstallLogBytes(bytes, path, log);
}

bool readUninstallLogBytes(const std::vector<uint8_t>& bytes, std::u16string_view name, UninstallLog* log) {
  const std::u16string path(name);
  if (bytes.empty()) {
    LogWrite(LOG_WARN, u"uninst.logファイルが０バイト(%s)\n", path);
    return false;
  }
  // parseFile, not parse: a cut-off log must not pass for a shorter one.
  tokenizer::Tokenizer tk(tokenizer::Tokenizer::kNoStringLimit);
  const std::string_view raw(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (!tk.parseFile(Utf8OrCP932ToWString(raw))) {
    LogWrite(LOG_WARN, u"uninst.logファイルの解析に失敗:%s(%s)\n", tk.error(), path);
    return false;
  }
  // A log that fails halfway is not used at all.
  UninstallLog read;
  if (!read.fromCells(tk.root())) {
    LogWrite(LOG_WARN, u"uninst.logファイルの解析に失敗(%s)\n", path);
    return false;
  }
  for (const std::u16string& file : read.files()) log->addFile(file);
  for (const std::u16string& folder : read.folders()) log->addFolder(folder);
  for (const UninstallLog::RegValue& value : read.regValues()) log->addRegValue(value.hive, value.key, value.name);
  for (const UninstallLog::RegSubKey& key : read.regSubKeys()) log->addRegSubKey(key.hive, key.key);
  return true;
}

namespace {

// The components of an absolute path with empty ones folded; false for a
// relative path or one with a "." or ".." component.
bool splitLoggedPath(std::u16string_view path, std::vector<std::u16string_view>* parts) {
  if (path.empty() || path.front() != u'/') return false;
  size_t start = 1;
  while (start <= path.size()) {
    size_t end = path.find(u'/', start);
    if (end == std::u16string_view::npos) end = path.size();
    const std::u16string_view part = path.substr(start, end - start);
    if (part == u"." || part == u"..") return false;
    if (!part.empty()) parts->push_back(part);
    start = end + 1;
  }
  return true;
}

// The components of a place with "." and "dir/.." folded. A relative place,
// the root itself and one that climbs above the root hold nothing: no parts.
std::vector<std::u16string_view> splitPlace(std::u16string_view path) {
  std::vector<std::u16string_view> parts;
  if (path.empty() || path.front() != u'/') return parts;
  size_t start = 1;
  while (start <= path.size()) {
    size_t end = path.find(u'/', start);
    if (end == std::u16string_view::npos) end = path.size();
    const std::u16string_view part = path.substr(start, end - start);
    if (part == u"..") {
      if (parts.empty()) return parts;
      parts.pop_back();
    } else if (!part.empty() && part != u".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  return parts;
}

// True when parts lie below the place (or are the place, when allowed).
bool isBelow(const std::vector<std::u16string_view>& parts, std::u16string_view place, bool placeItself) {
  const std::vector<std::u16string_view> base = splitPlace(place);
  if (base.empty() || parts.size() < base.size() || (parts.size() == base.size() && !placeItself)) return false;
  for (size_t i = 0; i < base.size(); ++i) {
    if (parts[i] != base[i]) return false;
  }
  return true;
}

// True when parts are the place itself.
bool isPlace(const std::vector<std::u16string_view>& parts, std::u16string_view place) {
  return isBelow(parts, place, true) && parts.size() == splitPlace(place).size();
}

bool isDesktopEntryName(std::u16string_view name) {
  constexpr std::u16string_view kEnding = u".desktop";
  return name.size() > kEnding.size() && name.substr(name.size() - kEnding.size()) == kEnding;
}

// The folder that holds the desktop launcher.
std::u16string_view folderOf(std::u16string_view file) {
  const size_t slash = file.rfind(u'/');
  return slash == std::u16string_view::npos ? std::u16string_view() : file.substr(0, slash);
}

}  // namespace

bool IsUninstallable(UninstallKind kind, std::u16string_view path, const UninstallScope& scope,
                     std::u16string* base) {
  std::vector<std::u16string_view> parts;
  std::u16string_view from;
  bool allowed = false;
  if (splitLoggedPath(path, &parts) && !parts.empty()) {
    if (kind == UninstallKind::kFolder) {
      if (isPlace(parts, scope.installFolder) || isPlace(parts, scope.programsFolder)) {
        allowed = true;
      } else if (isBelow(parts, scope.installFolder, false)) {
        allowed = true;
        from = scope.installFolder;
      } else if (isBelow(parts, scope.programsFolder, false) && isBelow(splitPlace(scope.menuFolder), path, true)) {
        allowed = true;
        from = scope.programsFolder;
      }
    } else if (isBelow(parts, scope.installFolder, false)) {
      allowed = true;
      from = scope.installFolder;
    } else if (isDesktopEntryName(parts.back()) && isBelow(parts, scope.menuFolder, false) &&
               parts.size() == splitPlace(scope.menuFolder).size() + 1 &&
               isBelow(parts, scope.programsFolder, false)) {
      allowed = true;
      from = scope.programsFolder;
    } else if (isDesktopEntryName(parts.back()) && isPlace(parts, scope.desktopFile)) {
      allowed = true;
      from = folderOf(scope.desktopFile);
    }
  }
  if (!allowed) LogWrite(LOG_WARN, u"uninst.log: 削除対象として不適切なパスを無視します(%s)\n", std::u16string(path));
  if (allowed && base) *base = std::u16string(from);
  return allowed;
}
