// The actions of an installation ("st_menu.ins": copy files, registry
// values and subkeys, shortcuts, the uninstaller) in groups keyed by the
// action number, and the readers of "st_menu.ins" and "st_menu.lst". Both
// files are read on the main thread; the tables are only read afterwards, by
// the main thread and the setup worker.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/shared_ref.h"
#include "setup/setup_lst.h"

namespace ns_SetupIns {

class Action {
 public:
  static constexpr int32_t kCopy = 1;
  static constexpr int32_t kRegCreateKey = 2;
  static constexpr int32_t kRegCreateSubKey = 3;
  static constexpr int32_t kCreateStartMenu = 10;
  static constexpr int32_t kCreateDesktopShortCut = 11;
  static constexpr int32_t kAddStartMenu = 12;
  static constexpr int32_t kUninstall = 20;

  explicit Action(int32_t code) : code(code) {}
  virtual ~Action() = default;
  Action(const Action&) = delete;
  Action& operator=(const Action&) = delete;

  const int32_t code;
};

// (copy @target@ (@source@ DISC) PATTERN)
class ActCopy : public Action {
 public:
  ActCopy(int32_t discIndex, std::u16string pattern)
      : Action(kCopy), discIndex(discIndex), pattern(std::move(pattern)) {}

  int32_t discIndex;       // also the key of the disc's file group
  std::u16string pattern;  // a safe relative path, possibly with "*"
};

// (reg-create HIVE KEYPATH VALUENAME VALUE)
class ActRegCreateKey : public Action {
 public:
  enum ValueKind : int32_t {
    kInteger = 0,
    kString = 1,
    kAliasFolder = 2,  // the folder of the alias itself
    kAliasPath = 3,    // the alias folder + "/" + stringValue
  };

  ActRegCreateKey() : Action(kRegCreateKey) {}

  uint32_t hive = 0;  // HKEY_CURRENT_USER_ID or HKEY_LOCAL_MACHINE_ID
  std::u16string keyPath;
  std::u16string valueName;
  int32_t valueKind = kInteger;
  int32_t alias = 0;  // kinds 2 and 3: 1 the target folder, 0 the source folder
  std::u16string stringValue;
  int32_t intValue = 0;
};

// (reg-create-subkey HIVE KEYPATH SUBKEY)
class ActRegCreateSubKey : public Action {
 public:
  ActRegCreateSubKey(uint32_t hive, std::u16string keyPath, std::u16string subKey)
      : Action(kRegCreateSubKey), hive(hive), keyPath(std::move(keyPath)), subKey(std::move(subKey)) {}

  uint32_t hive;
  std::u16string keyPath;
  std::u16string subKey;
};

class ActCreateStartMenu : public Action {
 public:
  ActCreateStartMenu() : Action(kCreateStartMenu) {}
};

class ActCreateDesktopShortCut : public Action {
 public:
  ActCreateDesktopShortCut() : Action(kCreateDesktopShortCut) {}
};

// (add-start-menu NAME (@target@ RELPATH))
class ActAddStartMenu : public Action {
 public:
  ActAddStartMenu(std::u16string name, bool targetIsRelative, std::u16string target)
      : Action(kAddStartMenu), name(std::move(name)), targetIsRelative(targetIsRelative), target(std::move(target)) {}

  std::u16string name;    // one safe path component
  bool targetIsRelative;  // true: target is relative to the install folder
  std::u16string target;
};

class ActUninstall : public Action {
 public:
  ActUninstall() : Action(kUninstall) {}
};

// The actions of one group in file order.
using ActionGroup = std::vector<SharedRef<Action>>;
// Action number -> its group.
using ActionTable = std::map<int32_t, SharedRef<ActionGroup>>;

class SetupIns {
 public:
  // Read "st_menu.ins" / "st_menu.lst" from disk (an encoded block is
  // decoded; game code page text). A missing, empty or unparsable file, or a
  // top-level form that is no list headed by a symbol, is logged at WARN and
  // gives false; the table keeps what was stored until then. Of several
  // "action" ("file") lists only the last counts; a malformed group ends its
  // list and the groups before it stay.
  static bool readActionFile(std::u16string_view path, ActionTable* table);
  static bool readFileList(std::u16string_view path, FileTable* table);

  // The same for the file's bytes; path only names the file in messages.
  static bool readActionText(std::string_view bytes, std::u16string_view path, ActionTable* table);
  static bool readFileListText(std::string_view bytes, std::u16string_view path, FileTable* table);
};

}  // namespace ns_SetupIns
