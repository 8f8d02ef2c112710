// The user's special folders, XDG style. Any thread.
#pragma once

#include <string>

namespace platform {

enum class SpecialFolder {
  kAppData,       // $XDG_DATA_HOME, default ~/.local/share
  kDesktop,       // XDG_DESKTOP_DIR of ~/.config/user-dirs.dirs, else ~/Desktop
  kStartMenu,     // $XDG_DATA_HOME/applications
  kProgramFiles,  // /opt as root, else $XDG_DATA_HOME
  // The all-users folders: as root the system's start menu,
  // $ZEP_SYSTEM_APPLICATIONS_DIR when set, else /usr/local/share/applications,
  // and no desktop (empty); for anyone else the user's own.
  kCommonStartMenu,
  kCommonDesktop,
};

// The folder's path ("/" separators, no trailing "/"); empty when it cannot
// be had (no home folder).
std::string SpecialFolderPath(SpecialFolder folder);

}  // namespace platform
