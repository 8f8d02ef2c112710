#include "setup/setup_ini.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "app/file_helpers.h"
#include "app/game_environment.h"
#include "app/log.h"
#include "app/string_util.h"

namespace ns_SetupIni {

namespace {

std::u16string Widen(std::string_view bytes) { return MultiByteToWString(bytes.data(), bytes.size()); }

}  // namespace

bool IniParser::parse(std::u16string_view path, std::u16string* error) {
  sections_.clear();
  const std::u16string given(path);
  const std::u16string existing = ExistingPath(path);
  // Text mode: the "\r" of CRLF line ends is gone before the lines are cut.
  std::unique_ptr<FileStream> file = OpenFileByMode(existing.empty() ? given : existing, 1);
  if (!file) {
    LogWrite(LOG_DEBUG, u"iniファイルのオープンに失敗しました(%s)\n", given);
    *error = u"ファイルオープンに失敗";
    return false;
  }
  const int64_t size = GetFileSize(file.get());
  if (size > static_cast<int64_t>(kMaxFileBytes)) {
    LogWrite(LOG_WARN, u"iniファイルが大きすぎます(%s)\n", given);
    *error = u"ファイルサイズが上限を超えています";
    return false;
  }
  std::string text;
  if (size > 0) {
    // Dropped carriage returns make the text at most as long as the file.
    text.resize(static_cast<size_t>(size));
    text.resize(file->read(text.data(), 1, text.size()));
  }
  if (size < 0 || file->error()) {
    LogWrite(LOG_WARN, u"iniファイルの読み込みに失敗しました(%s)\n", given);
    *error = u"ファイル読み込みに失敗";
    return false;
  }
  file.reset();
  return parseText(text, error);
}

bool IniParser::parseText(std::string_view text, std::u16string* error) {
  sections_.clear();
  // Pairs are collected until the next header or the end and then stored
  // under the header before them; pairs before the first header go with the
  // first section. A section name seen again keeps its first pairs.
  std::optional<std::u16string> header;
  Section pending;
  auto store = [&] {
    if (header) sections_.emplace(*header, std::move(pending));
    pending.clear();
  };
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    // A line is read as C text: it ends at its first NUL byte.
    line = line.substr(0, line.find('\0'));
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    if (line.size() >= 3 && line.front() == '[' && line.back() == ']') {
      // The first header does not store: what came before it joins it.
      if (header) store();
      header = Widen(line.substr(1, line.size() - 2));
      continue;
    }
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    std::u16string key = Widen(line.substr(0, equals));
    std::u16string value = Widen(line.substr(equals + 1));
    LogWrite(LOG_DEBUG, u"[%s] <%s>=<%s>\n", header ? *header : std::u16string(), key, value);
    pending.insert_or_assign(std::move(key), std::move(value));
  }
  store();
  return validate(error);
}

bool IniParser::validate(std::u16string*) const { return true; }

std::u16string IniParser::getValue(std::u16string_view section, std::u16string_view key,
                                   std::u16string_view fallback) const {
  const auto s = sections_.find(section);
  if (s == sections_.end()) return std::u16string(fallback);
  const auto v = s->second.find(key);
  return v == s->second.end() ? std::u16string(fallback) : v->second;
}

std::u16string IniParser::getSetupValue(std::u16string_view key, std::u16string_view fallback) const {
  return getValue(u"setup", key, fallback);
}

std::u16string IniParser::getMediaValue(std::u16string_view key, std::u16string_view fallback) const {
  return getValue(u"media", key, fallback);
}

std::u16string IniParser::getAuthorName() const { return getSetupValue(u"author_name", u""); }
std::u16string IniParser::getAuthorKey() const { return getSetupValue(u"author_key", u""); }
std::u16string IniParser::getProductTitle() const { return getSetupValue(u"product_title", u""); }
std::u16string IniParser::getProductKey() const { return getSetupValue(u"product_key", u""); }
std::u16string IniParser::getVersionKey() const { return getSetupValue(u"version_key", u""); }
std::u16string IniParser::getRunApp() const { return getSetupValue(u"runapp", u""); }
std::u16string IniParser::getShortcutName() const { return getSetupValue(u"shortcutname", u""); }
std::u16string IniParser::getSaveFolder() const { return getSetupValue(u"save_folder", u""); }
std::u16string IniParser::getExecLog() const { return getSetupValue(u"execlog", u""); }
std::u16string IniParser::getOldVersionKey() const { return getSetupValue(u"old_version_key", u""); }
std::u16string IniParser::getNewVersionKey() const { return getSetupValue(u"new_version_key", u""); }
std::u16string IniParser::getPatchRoot() const { return getSetupValue(u"patch_root", u""); }

int32_t IniParser::getSaveFolderLocation(int32_t fallback) const {
  const std::u16string value = getSetupValue(u"save_folder_location", u"");
  if (value == u"0") return 0;
  if (value == u"1") return 1;
  return fallback;
}

std::u16string IniParser::getDiscIdFileName() const { return getMediaValue(u"DISCIDFILENAME", u"DISCID"); }

bool IniParser::getDiscId(int32_t index, std::u16string* text) const {
  return getDiscValue(u"DISCID%04d", index, text);
}

bool IniParser::getDiscName(int32_t index, std::u16string* text) const {
  return getDiscValue(u"DISCNAME%04d", index, text);
}

bool IniParser::getDiscValue(std::u16string_view format, int32_t index, std::u16string* text) const {
  if (static_cast<uint32_t>(index) > static_cast<uint32_t>(kMaxDiscIndex)) {
    LogWrite(LOG_ERROR, u"ディスクインデックス値が範囲外です(%d)\n", index);
    return false;
  }
  *text = getMediaValue(Format(format, index), u"");
  return !text->empty();
}

}  // namespace ns_SetupIni
