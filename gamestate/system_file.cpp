// The system settings file: writing in five timed stages (prune, tree,
// print, code page, encode and atomic replace), reading (load and decode,
// code page, parse, tree), and the store that decides by the configuration
// which file is read and written. Main thread.
#include "gamestate/system_file.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "app/ee_codec.h"
#include "app/fatal.h"
#include "app/file_helpers.h"
#include "app/game_environment.h"
#include "app/log.h"
#include "app/string_util.h"
#include "platform/clock.h"
#include "platform/utf8.h"
#include "script/cell_printer.h"
#include "script/tokenizer.h"

namespace {

// The settings as they are with no file at all.
void clearSettings(SystemSettings& settings) {
  settings.sysflagInt.clear();
  settings.sysflagString.clear();
  settings.viewFlags.clear();
  settings.flowMode.clear();
}

// The printed tree of the settings; empty when the tokenizer ran out of
// memory.
std::u16string printedSettings(const SystemSettings& settings, int32_t version) {
  tokenizer::Tokenizer tk;
  const tokenizer::Cell* root = settings.toTree(tk, version);
  if (!root) return {};
  TokenizerSupportUtil::MyOStringStream out;
  tokenizer::printCell(root, out);
  return out.str();
}

// Each LF of a plain file was written as CR LF (text mode): the CR goes
// again. A CR of the settings' own text is kept, also one before an LF,
// which the writer wrote as CR CR LF.
void dropLineEndCarriageReturns(std::u16string& text) {
  size_t to = 0;
  for (size_t from = 0; from < text.size(); ++from) {
    if (text[from] == u'\r' && from + 1 < text.size() && text[from + 1] == u'\n') continue;
    text[to++] = text[from];
  }
  text.resize(to);
}

// What writing in text mode makes of the bytes: every LF becomes CR LF (in
// the code page, an LF byte is always a character of its own).
std::string withCrLfLineEnds(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 16);
  for (const char c : bytes) {
    if (c == '\n') out.push_back('\r');
    out.push_back(c);
  }
  return out;
}

// An EENZ block that does not decode to its input would replace a good file
// with a broken one.
bool decodesTo(const std::vector<uint8_t>& block, const std::string& plain) {
  std::vector<uint8_t> back;
  return DecodeEEBuffer(&back, block.data(), block.size()) == EEDecodeResult::kDecoded && back.size() == plain.size() &&
         std::equal(back.begin(), back.end(), plain.begin(),
                    [](uint8_t a, char b) { return a == static_cast<uint8_t>(b); });
}

int32_t elapsed(int64_t from, int64_t to) { return static_cast<int32_t>(to - from); }

}  // namespace

bool SystemSettings::writeFile(std::u16string_view path, int32_t version, int32_t encodeMode, int32_t routeID,
                               bool keepMemorySaves) {
  const int64_t start = platform::MonotonicMilliseconds();
  flowMode.prune(routeID, keepMemorySaves);
  const int64_t pruned = platform::MonotonicMilliseconds();

  int64_t built = pruned;
  int64_t printed = pruned;
  std::string bytes;
  {
    tokenizer::Tokenizer tk;
    const tokenizer::Cell* root = toTree(tk, version);
    built = platform::MonotonicMilliseconds();
    if (!root) {
      LogWrite(LOG_ERROR, u"システム設定ファイルの内容を作れません(%s)\n", std::u16string(path));
      return false;
    }
    TokenizerSupportUtil::MyOStringStream out;
    tokenizer::printCell(root, out);
    printed = platform::MonotonicMilliseconds();
    bytes = WStringToMultiByte(out.str());
  }
  const int64_t converted = platform::MonotonicMilliseconds();

  std::vector<uint8_t> block;
  if (encodeMode != 0) {
    const bool compress = encodeMode == 2;
    if (bytes.size() <= kMaxEEPlainSize) {
      EncodeEEBuffer(&block, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), compress);
    }
    if (block.empty() || (compress && !decodesTo(block, bytes))) {
      LogWrite(LOG_ERROR, u"エンコード処理に失敗\n");
      return false;
    }
  }
  if (encodeMode == 0) bytes = withCrLfLineEnds(bytes);
  const void* data = encodeMode != 0 ? static_cast<const void*>(block.data()) : bytes.data();
  const size_t size = encodeMode != 0 ? block.size() : bytes.size();
  // The atomic replace logs its own failures and leaves the old file whole.
  if (WriteFileAtomically(path, data, size, LOG_ERROR) != 0) return false;
  const int64_t written = platform::MonotonicMilliseconds();

  // "fwrite" counts the encoding with the write.
  LogWrite(LOG_TRACE, u"GC          : %5d ms\n", elapsed(start, pruned));
  LogWrite(LOG_TRACE, u"emittoken   : %5d ms\n", elapsed(pruned, built));
  LogWrite(LOG_TRACE, u"root->print : %5d ms\n", elapsed(built, printed));
  LogWrite(LOG_TRACE, u"ToSJIS      : %5d ms\n", elapsed(printed, converted));
  LogWrite(LOG_TRACE, u"fwrite      : %5d ms\n", elapsed(converted, written));
  return true;
}

bool SystemSettings::readFile(std::u16string_view path, int32_t version, bool builtinsFirst) {
  return ReadSettingsFile(*this, path, version, builtinsFirst, false) != SettingsReadResult::kFailed;
}

SettingsReadResult ReadSettingsFile(SystemSettings& settings, std::u16string_view path, int32_t version,
                                    bool builtinsFirst, bool checkLoss) {
  const std::u16string name(path);
  std::u16string text;
  bool encoded = false;
  // Bytes after a compressed block: nothing the writer makes.
  size_t unread = 0;
  {
    std::vector<uint8_t> bytes;
    if (!LoadFileBytes(&bytes, path, builtinsFirst, GameEnvironment::kMaxLoadSize, nullptr, &encoded, &unread) ||
        bytes.empty()) {
      return SettingsReadResult::kFailed;
    }
    // The default file is the game's author's text.
    if (builtinsFirst) WarnIfUtf8Text(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), name);
    text = BytesToWString(bytes);
  }
  // An encoded block holds the text as it was printed.
  if (!encoded) dropLineEndCarriageReturns(text);

  tokenizer::Tokenizer tk(tokenizer::Tokenizer::kNoStringLimit);
  // A file that ends inside a list or string was cut short: reading what
  // is there would pass for the whole settings.
  if (!tk.parseFile(text)) {
    LogWrite(LOG_WARN, u"システム設定ファイルの解析に失敗:%s(%s)\n", tk.error(), name);
    return SettingsReadResult::kFailed;
  }
  if (!tk.root()) {
    LogWrite(LOG_WARN, u"システム設定ファイルの解析に失敗(%s)\n", name);
    return SettingsReadResult::kFailed;
  }
  // The file holds one list; anything after it is not read.
  if (!settings.fromTree(tokenizer::carOf(tk.root()), version)) {
    LogWrite(LOG_WARN, u"システム設定ファイルの解析に失敗(%s)\n", name);
    return SettingsReadResult::kFailed;
  }
  if (!checkLoss) return SettingsReadResult::kComplete;
  // The writer's text is canonical: settings that print as the file did
  // hold all of it. U+FFFD stands for bytes that were no character.
  const bool lossy =
      unread > 0 || text.find(u'\uFFFD') != std::u16string::npos || printedSettings(settings, version) != text;
  return lossy ? SettingsReadResult::kLossy : SettingsReadResult::kComplete;
}

std::u16string SettingsBackupPath(std::u16string_view path) { return std::u16string(path) + u".bak"; }

namespace {

// The file a configuration uses, or none (usage 2, no file name, no
// environment).
struct FileRule {
  GameEnvironment* environment = nullptr;
  int32_t usage = 2;
};

FileRule ruleOf(const StateMgr& state) {
  FileRule rule;
  rule.environment = state.environment();
  if (!rule.environment) return rule;
  if (rule.environment->resource().save.sysSaveName.empty()) {
    LogWrite(LOG_DEBUG, u"システム設定ファイル名の設定がないため、ファイルを使いません\n");
    return rule;
  }
  rule.usage = rule.environment->getSavedataUsage();
  return rule;
}

// Makes room for a new backup: an existing one is never replaced. The
// backups move up by one (".bak" to ".bak.1", ".bak.1" to ".bak.2"), the
// oldest of three going. False, with a WARN, when one cannot be moved.
bool makeRoomForBackup(const std::u16string& path) {
  const std::u16string backup = SettingsBackupPath(path);
  const std::u16string names[] = {backup, backup + u".1", backup + u".2"};
  for (int i = 1; i >= 0; --i) {
    const std::string from = platform::ToUtf8(names[i]);
    std::error_code error;
    if (!std::filesystem::exists(std::filesystem::symlink_status(from, error))) continue;
    std::filesystem::rename(from, platform::ToUtf8(names[i + 1]), error);
    if (error) {
      LogWrite(LOG_WARN, u"システム設定ファイルの退避に失敗しました(%s)\n", names[i + 1]);
      return false;
    }
    LogWrite(LOG_WARN, u"以前の退避ファイルを移しました(%s -> %s)\n", names[i], names[i + 1]);
  }
  return true;
}

// Copies the file, as it lies on disk, to its backup.
void copyToBackup(const std::u16string& path) {
  const std::u16string backup = SettingsBackupPath(path);
  std::vector<uint8_t> raw;
  std::unique_ptr<FileStream> in = OpenFileByMode(path, 0);
  const int64_t size = GetFileSize(in.get());
  bool copied = size >= 0;
  if (copied) {
    raw.resize(static_cast<size_t>(size));
    copied = raw.empty() || in->read(raw.data(), 1, raw.size()) == raw.size();
  }
  in.reset();
  if (copied && !makeRoomForBackup(path)) return;
  if (copied) copied = WriteFileAtomically(backup, raw.data(), raw.size()) == 0;
  if (!copied) {
    LogWrite(LOG_WARN, u"システム設定ファイルの退避に失敗しました(%s)\n", backup);
    return;
  }
  LogWrite(LOG_WARN, u"システム設定ファイルの一部を読み込めないため、元のファイルを退避しました(%s)\n", backup);
}

// Moves an unreadable user file out of the way of the default; false when
// it exists and cannot be moved.
bool moveToBackup(const std::u16string& path) {
  const std::string from = platform::ToUtf8(path);
  std::error_code error;
  if (!std::filesystem::exists(std::filesystem::symlink_status(from, error))) return true;
  if (!makeRoomForBackup(path)) return false;
  const std::u16string backup = SettingsBackupPath(path);
  std::filesystem::rename(from, platform::ToUtf8(backup), error);
  if (error) {
    LogWrite(LOG_WARN, u"システム設定ファイルの退避に失敗しました(%s)\n", backup);
    return false;
  }
  LogWrite(LOG_WARN, u"読み込めないシステム設定ファイルを退避しました(%s)\n", backup);
  return true;
}

// Reads the default file (built-in files first); a game without one cannot
// start.
void readDefaultOrAbort(StateMgr& state, const GameEnvironment& environment) {
  const std::u16string path = environment.getSysSaveDefaultPath();
  if (state.settings().readFile(path, environment.getSavedataVersion(), true)) return;
  const std::u16string line = Format(u"規定のシステム設定ファイルの読み込みに失敗しました(%s)", path);
  LogWrite(LOG_ERROR, u"%s\n", line);
  zep_abort(u"規定のシステム設定ファイルの読み込みに失敗しました", line);
}

}  // namespace

SettingsFileStore* SettingsFileStore::instance() {
  static SettingsFileStore store;
  return &store;
}

bool SettingsFileStore::load(StateMgr& state) {
  const FileRule rule = ruleOf(state);
  if (!rule.environment) return true;
  if (rule.usage == 2) {
    clearSettings(state.settings());
    return true;
  }
  const std::u16string path = rule.environment->getSysSavePath();
  // Only a file that is written again can lose what was not read.
  const bool writable = rule.usage == 0;
  const SettingsReadResult result =
      ReadSettingsFile(state.settings(), path, rule.environment->getSavedataVersion(), false, writable);
  if (result == SettingsReadResult::kLossy && writable) copyToBackup(path);
  return result != SettingsReadResult::kFailed;
}

bool SettingsFileStore::loadDefault(StateMgr& state) {
  const FileRule rule = ruleOf(state);
  bool result = true;
  if (!rule.environment || rule.usage == 2) {
    clearSettings(state.settings());
  } else if (rule.usage == 0) {
    readDefaultOrAbort(state, *rule.environment);
    const std::u16string path = rule.environment->getSysSavePath();
    result =
        moveToBackup(path) && state.settings().writeFile(path, rule.environment->getSavedataVersion(),
                                                         rule.environment->productInfo().savedataEncmode, -1, false);
  } else if (rule.usage == 1) {
    readDefaultOrAbort(state, *rule.environment);
  } else {
    return false;
  }
  state.setRouteID(-1);
  state.setLastSPID(-1);
  return result;
}

bool SettingsFileStore::save(StateMgr& state) {
  const FileRule rule = ruleOf(state);
  if (!rule.environment || rule.usage != 0) return true;
  const std::u16string path = rule.environment->getSysSavePath();
  if (state.settings().writeFile(path, rule.environment->getSavedataVersion(),
                                 rule.environment->productInfo().savedataEncmode, state.getRouteID(), true)) {
    return true;
  }
  LogWrite(LOG_ERROR, u"システム設定ファイルの保存に失敗しました(%s)\n", path);
  return false;
}
