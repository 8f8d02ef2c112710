// The system settings file on disk: the reader behind
// SystemSettings::readFile (which also tells whether the settings lost
// something of the file), and SettingsFileStore, the store the StateMgr
// loads and saves through by the configuration's usage, version and encode
// mode. The writer is SystemSettings::writeFile. Main thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "gamestate/state_mgr.h"

enum class SettingsReadResult {
  kFailed,    // missing, empty, unreadable, unparsable, truncated or at another version
  kComplete,  // the settings hold everything the file held
  // Read, but writing the settings back would not give the file's text: an
  // element was dropped or refused, a key was not known, or a byte was no
  // character of the code page.
  kLossy,
};

// SystemSettings::readFile; only with checkLoss is kLossy told apart from
// kComplete (it prints the settings once more).
SettingsReadResult ReadSettingsFile(SystemSettings& settings, std::u16string_view path, int32_t version,
                                    bool builtinsFirst, bool checkLoss);

// Where a user file that must not be lost is kept: "<path>.bak"; the two
// before it are "<path>.bak.1" and "<path>.bak.2".
std::u16string SettingsBackupPath(std::u16string_view path);

// The settings file by `:savedata-usage`: 0 read the user file (the default
// file as fallback, written at once as the user file) and write it; 1 read
// only; 2 no file. A configuration without `:save-syssave-name` has no
// settings file and works as 2, as does a StateMgr without an environment.
// A user file is never lost: one that cannot be read is renamed to its
// backup before the default replaces it, and one read with a loss is copied
// there first; an older backup moves up (three are kept). Holds no state: one instance serves every StateMgr.
class SettingsFileStore final : public SystemFileStore {
 public:
  static SettingsFileStore* instance();

  bool load(StateMgr& state) override;
  // A default file that cannot be read (usage 0 and 1) ends the process.
  bool loadDefault(StateMgr& state) override;
  // False, after an ERROR naming the file, when the write fails.
  bool save(StateMgr& state) override;
};
