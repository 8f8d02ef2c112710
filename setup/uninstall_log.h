// The record of what an installation made ("uninst.log" in the install
// folder): files, folders, registry values and registry subkeys, its file
// form, its writer and reader, and the check that keeps an uninstall inside
// the places an installation could have written to. Worker thread; the
// record is touched by no other thread.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "script/cell.h"

namespace tokenizer {
class Tokenizer;
}

// The file name of the record in the install folder.
constexpr char16_t kUninstallLogName[] = u"uninst.log";

class UninstallLog {
 public:
  struct RegValue {
    uint32_t hive = 0;  // HKEY_CURRENT_USER_ID or HKEY_LOCAL_MACHINE_ID
    std::u16string key;
    std::u16string name;
    bool operator<(const RegValue& other) const;
    bool operator==(const RegValue& other) const = default;
  };
  struct RegSubKey {
    uint32_t hive = 0;
    std::u16string key;
    bool operator<(const RegSubKey& other) const;
    bool operator==(const RegSubKey& other) const = default;
  };

  // Each adds the item unless it is present. Paths are full paths with "/".
  // A registry item under any root but the two the file can name is not
  // recorded (it could not be written back).
  void addFile(std::u16string path);
  void addFolder(std::u16string path);
  void addRegValue(uint32_t hive, std::u16string key, std::u16string name);
  void addRegSubKey(uint32_t hive, std::u16string key);

  // Ordinal order of the UTF-16 units; registry items by root (as an
  // unsigned number), then key, then value name.
  const std::set<std::u16string>& files() const { return files_; }
  const std::set<std::u16string>& folders() const { return folders_; }
  const std::set<RegValue>& regValues() const { return regValues_; }
  const std::set<RegSubKey>& regSubKeys() const { return regSubKeys_; }

  // The file form, always all four entries in this order, items in the
  // record's order:
  //   ((file ("path") ...) (dir ("path") ...)
  //    (reg (HIVE "key" "name") ...) (reg-subkey (HIVE "key") ...))
  // Null when the tokenizer runs out of memory.
  tokenizer::Cell* toCells(tokenizer::Tokenizer& tk) const;
  // Adds the items of the first top-level form of root (the parse result);
  // no form adds nothing. Entries under other symbols are passed over. False
  // at the first item of the wrong shape or with an unknown root name; what
  // was added before it stays.
  bool fromCells(tokenizer::Cell* root);

 private:
  std::set<std::u16string> files_;
  std::set<std::u16string> folders_;
  std::set<RegValue> regValues_;
  std::set<RegSubKey> regSubKeys_;
};

// Writes the record as UTF-8 text to installFolder + "/uninst.log", through
// the write-path guard and the atomic replace (an old log stays whole when
// the write fails; the replace logs why).
bool writeUninstallLog(std::u16string_view installFolder, const UninstallLog& log);

// Reads installFolder + "/uninst.log" (UTF-8 text, else CP932 text, either
// possibly an encoded block) and adds its items to *log. False, with a WARN
// and *log untouched, for a missing, unreadable, empty or malformed file.
bool readUninstallLog(std::u16string_view installFolder, UninstallLog* log);

// Reads the bytes of a log, as loadMaybeEncodedFile gives them, into *log,
// with the messages of readUninstallLog naming path.
bool readUninstallLogBytes(const std::vector<uint8_t>& bytes, std::u16string_view path, UninstallLog* log);

// Reads a whole file of at most 1 GiB into *out and decodes it when it is an
// encoded block; other data stay as read. An empty file gives no bytes.
// False when the file cannot be opened, sized or read.
bool loadMaybeEncodedFile(std::u16string_view path, std::vector<uint8_t>* out);
// The decoding step of loadMaybeEncodedFile: an encoded block is replaced by
// its plain bytes; other data, and a block that does not decode, stay.
void decodeMaybeEncoded(std::vector<uint8_t>* bytes);

// The places an installation makes things in. Folders are absolute; an empty
// or relative one holds nothing.
struct UninstallScope {
  std::u16string installFolder;
  // The start menu, and in it the product's own folder of launchers
  // (programs/author/product).
  std::u16string programsFolder;
  std::u16string menuFolder;
  // The one launcher on the desktop: desktop/<shortcut name>.desktop.
  std::u16string desktopFile;
};

enum class UninstallKind { kFile, kFolder };

// True for what the uninstall list may delete: a file below the install
// folder; a folder that is the install folder or lies below it; a ".desktop"
// file directly in the product's menu folder, and the desktop launcher; the
// menu folder and the folders above it up to the start menu itself (made by
// the installation when they were missing, removed only when empty).
// Compared component by component with empty components folded
// ("/opt/gameX" is not below "/opt/game"). *base (when given) receives the
// folder the removal walks down from, without following links: the install
// folder, the start menu or the desktop folder (empty for the install folder
// and the start menu themselves). Anything else, and any relative path or
// one with a "." or ".." component, logs a WARN and gives false.
bool IsUninstallable(UninstallKind kind, std::u16string_view path, const UninstallScope& scope,
                     std::u16string* base = nullptr);

// The end of an uninstall, once its list has run: deletes the record, then
// removes the install folder, the maker's folder above it and the folders
// above those that the record names (made by the install on its way), each
// only when empty, deepest first. Nothing is removed for a folder that
// InstallFolderFault refuses.
void removeRecordAndInstallFolder(std::u16string_view installFolder, const UninstallLog& log);
