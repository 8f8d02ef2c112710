// The setup program's own files, which an installation copies into the
// install folder so that the uninstall can run from there, and which the
// uninstall removes again at its end. Constants only, any thread.
#pragma once

#include <array>
#include <string>
#include <string_view>

// In the order they are copied and removed: the engine executable, the
// setup program's configuration, and its ini, action and file-list files.
inline constexpr std::array<std::u16string_view, 5> kSetupFileNames = {
    u"st_menu", u"st_menu.scm", u"st_menu.ini", u"st_menu.ins", u"st_menu.lst"};

// The movie module beside the engine executable, which the installed engine
// loads from beside itself; copied with the executable when the running
// engine has one, and removed with the setup files.
inline constexpr std::u16string_view kMovieModuleFileName = u"libzep_movie.so";

// The uninstaller the start-menu link and the Add/Remove Programs entry run
// (with "-uninstall"): the copied engine executable.
inline std::u16string uninstallerPath(std::u16string_view installFolder) {
  std::u16string path(installFolder);
  path += u"/";
  path += kSetupFileNames[0];
  return path;
}

// The product's Add/Remove Programs key in HKEY_LOCAL_MACHINE: it marks an
// installation and holds its install folder and uninstall command.
inline std::u16string ProductUninstallKey(std::u16string_view productKey) {
  std::u16string key = u"SOFTWARE/Microsoft/Windows/CurrentVersion/Uninstall/";
  key += productKey;
  return key;
}
