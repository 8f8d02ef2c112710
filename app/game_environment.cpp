#include "app/game_environment.h"

#include <filesystem>

#include "app/config_reader.h"
#include "app/ee_codec.h"
#include "app/embedded_files.h"
#include "app/fatal.h"
#include "app/file_helpers.h"
#include "app/log.h"
#include "app/string_util.h"
#include "platform/file.h"
#include "platform/special_folders.h"
#include "platform/utf8.h"

namespace {

GameEnvironment* g_environment = nullptr;
std::u16string g_altSearchPath;

constexpr int32_t kCsidlAppData = 0x1a;

std::u16string resolve(const Config::NamingRule& rule, const APValue& value) {
  if (value.isString()) return value.svalue;
  if (value.isInt() && value.ivalue >= 0) return rule.pathOf(value.ivalue);
  return {};
}

bool isAbsolute(std::u16string_view path) { return !path.empty() && path[0] == u'/'; }

// A name that stays one folder entry: no "/" or "\\" and not "..".
bool isOneComponent(std::u16string_view name) {
  return name.find_first_of(u"/\\") == std::u16string_view::npos && name != u"..";
}

// False, with an ERROR naming the key, when the value would take the
// settings file out of its folder.
bool checkSaveValue(bool safe, const char16_t* section, const char16_t* key, const std::u16string& value) {
  if (!safe) LogWrite(LOG_ERROR, u"Config.%s:保存先のパスとして不適切<%s>(%s)\n", section, key, value);
  return safe;
}

}  // namespace

std::u16string Config::NamingRule::pathOf(int32_t n) const {
  if (extension.empty()) return FormatString1024(u"%s/%s%0*d", baseDir, baseName, digits, n);
  return FormatString1024(u"%s/%s%0*d.%s", baseDir, baseName, digits, n, extension);
}

namespace {

// The rule's path up to the number: "folder/name".
std::u16string numberPrefix(const Config::NamingRule& rule) { return rule.baseDir + u"/" + rule.baseName; }

bool equalIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) { return LowerAscii(a) == LowerAscii(b); }

}  // namespace

std::u16string Config::NamingRule::folder() const {
  const std::u16string prefix = numberPrefix(*this);
  return prefix.substr(0, prefix.rfind(u'/'));
}

bool Config::NamingRule::numberOf(std::u16string_view fileName, int32_t* n) const {
  const std::u16string prefix = numberPrefix(*this);
  const std::u16string_view head = std::u16string_view(prefix).substr(prefix.rfind(u'/') + 1);
  const std::u16string tail = extension.empty() ? std::u16string() : u"." + extension;
  if (fileName.size() <= head.size() + tail.size() || !equalIgnoringAsciiCase(fileName.substr(0, head.size()), head) ||
      !equalIgnoringAsciiCase(fileName.substr(fileName.size() - tail.size()), tail)) {
    return false;
  }
  const std::u16string_view number = fileName.substr(head.size(), fileName.size() - head.size() - tail.size());
  const size_t least = static_cast<size_t>(std::max(digits, 1));
  if (number.size() < least || (number.size() > least && number[0] == u'0')) return false;
  int64_t value = 0;
  for (const char16_t c : number) {
    if (c < u'0' || c > u'9') return false;
    value = value * 10 + (c - u'0');
    if (value > INT32_MAX) return false;
  }
  *n = static_cast<int32_t>(value);
  return true;
}

GameEnvironment::GameEnvironment(std::u16string baseFolder, std::vector<std::u16string> loadPaths,
                                 std::vector<std::u16string> furtherArgs)
    : baseFolder_(ToSlashPath(baseFolder)),
      storageFolder_(baseFolder_),
      loadPaths_(std::move(loadPaths)),
      furtherArgs_(std::move(furtherArgs)) {
  g_environment = this;
}

GameEnvironment::~GameEnvironment() {
  if (g_environment == this) g_environment = nullptr;
}

GameEnvironment* GetGameEnvironment() { return g_environment; }

bool GameEnvironment::init(std::u16string_view configFile) {
  if (!LoadSystemConfig(this, configFile) || !checkSaveLocation()) return false;
  ResolveMenuParts(this);
  ResolveMessageWindowParts(this);
  placeStorage();
  return true;
}

void GameEnvironment::placeStorage() {
  storageFolder_ = baseFolder_;
  if (platform::IsWritableFolder(platform::ToUtf8(baseFolder_.empty() ? u"." : baseFolder_))) return;
  const std::u16string settings = getSysSavePath();
  const std::u16string folder = settings.substr(0, settings.rfind(u'/'));
  if (folder.empty() || folder == settings) return;
  storageFolder_ = folder;
  LogWrite(LOG_DEBUG, u"ゲームフォルダに書き込めないため、ストレージファイルはセーブフォルダに書き込みます(%s)\n", folder);
}

SharedRef<XGChipConfig::ConfigBase> GameEnvironment::findPartsConfig(int32_t number) const {
  const auto it = parts_.find(number);
  return it != parts_.end() ? it->second : SharedRef<XGChipConfig::ConfigBase>();
}

int32_t GameEnvironment::getScriptNo(int32_t type) const {
  static constexpr int32_t kBuiltin[13] = {9010, 9000, 9001, 9008, 9005, 9007, 9006,
                                           9002, 9004, 9003, 9014, 9015, 9017};
  if (type < 0 || type > 12) {
    const std::u16string line = Format(u"getScriptNo : 未知のスクリプトtype(%d)", type);
    LogWrite(LOG_ERROR, u"%s\n", line);
    zep_abort(u"getScriptNo : 未知のスクリプトtype", line);
  }
  const int32_t configured = LookupIntMap(constants_, type + 40, -1);
  return configured >= 0 ? configured : kBuiltin[type];
}

int32_t LookupIntMap(const std::map<int32_t, int32_t>& table, int32_t key, int32_t fallback) {
  const auto it = table.find(key);
  return it != table.end() ? it->second : fallback;
}

std::u16string GameEnvironment::getScriptPath(int32_t number) const { return resource_.script.pathOf(number); }
std::u16string GameEnvironment::getImagePath(const APValue& v) const { return resolve(resource_.image, v); }
std::u16string GameEnvironment::getStreamAnimePath(const APValue& v) const { return resolve(resource_.streamAnime, v); }
std::u16string GameEnvironment::getCellImagePath(const APValue& v) const { return resolve(resource_.cellImage, v); }
std::u16string GameEnvironment::getMusicPath(const APValue& v) const { return resolve(resource_.music, v); }
std::u16string GameEnvironment::getSoundPath(const APValue& v) const { return resolve(resource_.sound, v); }
std::u16string GameEnvironment::getPartsPath(const APValue& v) const { return resolve(resource_.parts, v); }
std::u16string GameEnvironment::getMoviePath(const APValue& v) const { return resolve(resource_.movie, v); }
std::u16string GameEnvironment::getStoragePath(const APValue& v) const { return resolve(resource_.storage, v); }
std::u16string GameEnvironment::getCursorPath(const APValue& v) const { return resolve(resource_.cursor, v); }

std::u16string GameEnvironment::findStoragePath(const APValue& value) const {
  const std::u16string name = getStoragePath(value);
  if (storageFolder_ == baseFolder_ || name.empty() || isAbsolute(name)) return name;
  const std::u16string saved = ExistingPath(JoinPath(storageFolder_, ToSlashPath(name)));
  return saved.empty() ? name : saved;
}

std::vector<std::u16string> GameEnvironment::storageFilesInRange(int32_t first, int32_t last) const {
  namespace fs = std::filesystem;
  const Config::NamingRule& rule = resource_.storage;
  const std::u16string folder = rule.folder();
  std::multimap<int32_t, std::u16string> found;
  std::error_code error;
  for (fs::directory_iterator it(platform::ToUtf8(JoinPath(storageFolder_, folder)), error);
       !error && it != fs::directory_iterator(); it.increment(error)) {
    const std::u16string name = platform::FromUtf8(it->path().filename().string());
    int32_t n = 0;
    if (rule.numberOf(name, &n) && n >= first && n <= last) found.emplace(n, folder + u"/" + name);
  }
  std::vector<std::u16string> paths;
  for (auto& [n, path] : found) paths.push_back(std::move(path));
  return paths;
}

std::u16string GameEnvironment::getVoicePath(int32_t scene, int32_t voice) const {
  const Config::VoiceRule& r = resource_.voice;
  return FormatString1024(u"%s/%0*d/%s%0*d%0*d.%s", r.baseDir, r.sceneDigits, scene, r.prefix, r.sceneDigits,
                          scene, r.voiceDigits, voice, r.extension);
}

bool GameEnvironment::checkSaveLocation() const {
  const Config::SaveRule& save = resource_.save;
  if (save.sysSaveName.empty()) return true;  // no settings file
  // Under the application-data folder every part is relative to it; a
  // folder of its own may be absolute.
  const bool underAppData = product_.saveFolderLocation == 1;
  const bool folderSafe = (!underAppData && isAbsolute(save.baseDir)) || RelativePathStaysBelow(save.baseDir);
  const bool nameSafe = isOneComponent(save.sysSaveName) && save.sysSaveName != u".";
  return checkSaveValue(nameSafe, u"Resource", u":save-syssave-name", save.sysSaveName) &&
         checkSaveValue(folderSafe, u"Resource", u":save-basedir", save.baseDir) &&
         (!underAppData ||
          (checkSaveValue(isOneComponent(product_.authorName), u"ProductInfo", u":author-name",
                          product_.authorName) &&
           checkSaveValue(isOneComponent(product_.productName), u"ProductInfo", u":product-name",
                          product_.productName)));
}

std::u16string GameEnvironment::getSysSavePath() const {
  const Config::SaveRule& save = resource_.save;
  if (product_.saveFolderLocation != 1) return save.baseDir + u"/" + save.sysSaveName;
  std::u16string appData;
  int32_t error = 0;
  if (!GetSpecialFolderPath(kCsidlAppData, &appData, &error)) {
    const std::u16string line = Format(u"内部エラー：特殊フォルダ(CSIDL_APPDATA)を取得できません(%d)", error);
    LogWrite(LOG_ERROR, u"%s\n", line);
    zep_abort(u"内部エラー：特殊フォルダ(CSIDL_APPDATA)を取得できません", line);
  }
  const std::u16string folder =
      appData + u"/" + product_.authorName + u"/" + product_.productName + u"/" + save.baseDir;
  std::error_code ignored;
  std::filesystem::create_directories(platform::ToUtf8(folder), ignored);
  return folder + u"/" + save.sysSaveName;
}

std::u16string GameEnvironment::getSysSaveDefaultPath() const {
  return resource_.save.baseDir + u"/" + resource_.save.sysSaveDefaultName;
}

bool GameEnvironment::findFile(std::u16string_view name, std::u16string* found, bool searchBuiltins,
                               bool* isBuiltin) const {
  if (searchBuiltins && FindEmbeddedFile(name)) {
    *found = std::u16string(name);
    if (isBuiltin) *isBuiltin = true;
    return true;
  }
  if (isBuiltin) *isBuiltin = false;
  std::u16string path = ExistingPath(name);
  if (!path.empty()) {
    *found = std::move(path);
    return true;
  }
  if (isAbsolute(name)) return false;
  for (const std::u16string& folder : loadPaths_) {
    path = ExistingPath(JoinPath(folder, name));
    if (!path.empty()) {
      *found = std::move(path);
      return true;
    }
  }
  return false;
}

bool GameEnvironment::loadResource(std::vector<uint8_t>* bytes, std::u16string_view name, bool search,
                                   bool searchBuiltins, size_t maxSize, bool* tooLarge) const {
  std::u16string path(name);
  if (search) {
    bool builtin = false;
    if (!findFile(name, &path, searchBuiltins, &builtin)) {
      LogWrite(LOG_TRACE, u"ファイルが見つからない(%s)\n", std::u16string(name));
      return false;
    }
  }
  return LoadFileBytes(bytes, path, searchBuiltins, maxSize, tooLarge);
}

bool LoadFileBytes(std::vector<uint8_t>* bytes, std::u16string_view path, bool searchBuiltins, size_t maxSize,
                   bool* tooLarge, bool* encoded, size_t* unread) {
  const std::u16string given(path);
  LogWrite(LOG_TRACE, u"loading from %s\n", given);
  bytes->clear();
  if (tooLarge) *tooLarge = false;
  if (encoded) *encoded = false;
  if (unread) *unread = 0;
  auto refuseLarge = [&] {
    if (tooLarge) *tooLarge = true;
    std::vector<uint8_t>().swap(*bytes);
    return false;
  };
  bool loaded = false;
  if (searchBuiltins) {
    std::u16string name = ToSlashPath(path);
    if (const GameEnvironment* env = GetGameEnvironment()) {
      // An absolute path inside the base folder names a built-in file by its
      // relative name.
      const std::u16string& base = env->baseFolder();
      if (isAbsolute(name) && !base.empty() && name.size() > base.size() &&
          name.compare(0, base.size(), base) == 0 &&
          (name[base.size()] == u'/' || base.back() == u'/')) {
        name.erase(0, base.size());
        while (!name.empty() && name[0] == u'/') name.erase(0, 1);
      }
    }
    if (const EmbeddedFileRecord* file = FindEmbeddedFile(name)) {
      LogWrite(LOG_TRACE, u"embed_objからロードします %s\n", name);
      if (file->size > maxSize) return refuseLarge();
      bytes->assign(file->data, file->data + file->size);
      loaded = true;
    }
  }
  if (!loaded) {
    const std::u16string existing = ExistingPath(path);
    std::unique_ptr<FileStream> file = OpenFileByMode(existing.empty() ? given : existing, 0);
    if (!file) {
      LogWrite(LOG_TRACE, u"ファイルのオープンに失敗(%s)\n", given);
      return false;
    }
    const int64_t size = GetFileSize(file.get());
    if (size < 0) return false;
    if (static_cast<uint64_t>(size) > maxSize) return refuseLarge();
    bytes->resize(static_cast<size_t>(size));
    if (size > 0 && file->read(bytes->data(), 1, bytes->size()) != bytes->size()) {
      bytes->clear();
      return false;
    }
  }
  if (bytes->empty()) return true;
  std::vector<uint8_t> decoded;
  switch (DecodeEEBuffer(&decoded, bytes->data(), bytes->size(), unread)) {
    case EEDecodeResult::kDecoded:
      if (decoded.size() > maxSize) return refuseLarge();
      bytes->swap(decoded);
      if (encoded) *encoded = true;
      return true;
    case EEDecodeResult::kNotEncoded:
      LogWrite(LOG_TRACE, u"may not be encoded\n");
      return true;
    case EEDecodeResult::kFailed:
      LogWrite(LOG_WARN, u"符号化データの復号に失敗しました(%s)\n", given);
      bytes->clear();
      return false;
  }
  return false;
}

std::u16string ExistingPath(std::u16string_view path) {
  if (path.empty()) return {};
  const std::string utf8 = platform::ToUtf8(path);
  if (platform::StatPath(utf8) == 0) return std::u16string(path);
  const std::string found = platform::FindPathIgnoringCase(utf8);
  return found.empty() ? std::u16string() : platform::FromUtf8(found);
}

std::u16string JoinPath(std::u16string_view folder, std::u16string_view name) {
  if (folder.empty()) return std::u16string(name);
  std::u16string out(folder);
  if (out.back() != u'/') out.push_back(u'/');
  size_t skip = 0;
  while (skip < name.size() && name[skip] == u'/') ++skip;
  out.append(name.substr(skip));
  return out;
}

bool GetSpecialFolderPath(int32_t csidl, std::u16string* path, int32_t* error) {
  platform::SpecialFolder which;
  switch (csidl) {
    case 0x1a: which = platform::SpecialFolder::kAppData; break;
    case 0x00:
    case 0x10: which = platform::SpecialFolder::kDesktop; break;
    case 0x19: which = platform::SpecialFolder::kCommonDesktop; break;
    case 0x02: which = platform::SpecialFolder::kStartMenu; break;
    case 0x17: which = platform::SpecialFolder::kCommonStartMenu; break;
    case 0x26: which = platform::SpecialFolder::kProgramFiles; break;
    default:
      if (error) *error = 2;
      return false;
  }
  const std::string folder = platform::SpecialFolderPath(which);
  if (folder.empty()) {
    if (error) *error = 2;
    return false;
  }
  *path = platform::FromUtf8(folder);
  return true;
}

void SetAltResourceSearchPath(std::u16string folder) { g_altSearchPath = ToSlashPath(folder); }

std::u16string ResolveWithAltSearchPath(std::u16string_view path) {
  std::u16string found = ExistingPath(path);
  if (!found.empty()) return found;
  if (g_altSearchPath.empty()) return {};
  return ExistingPath(JoinPath(g_altSearchPath, path));
}
