// Special folders from the XDG base-directory and user-dirs conventions.
#include "platform/special_folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "platform/process.h"

namespace platform {

namespace {

std::string homeFolder() {
  const char* home = getenv("HOME");
  if (home && *home) return home;
  if (const passwd* pw = getpwuid(getuid())) return pw->pw_dir ? pw->pw_dir : "";
  return {};
}

std::string withoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string dataHome() {
  const char* data = getenv("XDG_DATA_HOME");
  if (data && *data == '/') return withoutTrailingSlash(data);
  const std::string home = homeFolder();
  return home.empty() ? std::string() : home + "/.local/share";
}

// XDG_DESKTOP_DIR="$HOME/Desktop" in ~/.config/user-dirs.dirs.
std::string desktopFromUserDirs(const std::string& home) {
  const char* config = getenv("XDG_CONFIG_HOME");
  const std::string configHome = (config && *config == '/') ? std::string(config) : home + "/.config";
  std::ifstream in(configHome + "/user-dirs.dirs");
  std::string line;
  while (std::getline(in, line)) {
    const std::string key = "XDG_DESKTOP_DIR=";
    if (line.rfind(key, 0) != 0) continue;
    std::string value = line.substr(key.size());
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    if (value.rfind("$HOME", 0) == 0) value = home + value.substr(5);
    if (!value.empty() && value[0] == '/') return withoutTrailingSlash(value);
  }
  return {};
}

}  // namespace

std::string SpecialFolderPath(SpecialFolder folder) {
  switch (folder) {
    case SpecialFolder::kAppData:
      return dataHome();
    case SpecialFolder::kDesktop: {
      const std::string home = homeFolder();
      if (home.empty()) return {};
      const std::string fromFile = desktopFromUserDirs(home);
      return fromFile.empty() ? home + "/Desktop" : fromFile;
    }
    case SpecialFolder::kStartMenu: {
      const std::string data = dataHome();
      return data.empty() ? std::string() : data + "/applications";
    }
    case SpecialFolder::kProgramFiles:
      return IsEffectiveRoot() ? std::string("/opt") : dataHome();
    case SpecialFolder::kCommonStartMenu: {
      if (!IsEffectiveRoot()) return SpecialFolderPath(SpecialFolder::kStartMenu);
      const char* moved = getenv("ZEP_SYSTEM_APPLICATIONS_DIR");
      return moved && *moved == '/' ? withoutTrailingSlash(moved) : std::string("/usr/local/share/applications");
    }
    case SpecialFolder::kCommonDesktop:
      return IsEffectiveRoot() ? std::string() : SpecialFolderPath(SpecialFolder::kDesktop);
  }
  return {};
}

}  // namespace platform
