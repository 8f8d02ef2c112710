// The copy of the setup program's own files into the install folder during
// install preparation, so that the uninstall can run from there (and the
// installed game plays its movies): the running engine with the movie module
// beside it and its fixed files, then the source's "setup" folder. Removing
// them again is the uninstall's part. Worker thread.
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "app/log.h"
#include "platform/file.h"
#include "platform/process.h"
#include "platform/utf8.h"
#include "setup/install_files.h"
#include "setup/install_primitives.h"
#include "setup/setup_api_impl.h"
#include "setup/setup_files.h"
#include "setup/uninstall_log.h"

namespace {

bool isLink(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_symlink(std::filesystem::symlink_status(path, error));
}

// Copies one file to a path below the install folder, making its folders
// first (a folder that cannot be made fails the copy).
bool copySetupFile(std::u16string_view installFolder, const std::u16string& destination,
                   const std::u16string& source) {
  int32_t error = 0;
  makeParentFolders(destination, &error);
  if (copyFilePlain(installFolder, destination, source, &error)) return true;
  LogWrite(LOG_WARN, u"ファイルのコピーに失敗しました(%s:%s)\n", source, destination);
  return false;
}

}  // namespace

namespace {

// The files of the source's optional "setup" folder, as found on the disc,
// each with its name below the source folder ("setup/..." in the found
// case). A link in the folder's place, and links below it, are left out
// (what they lead to is no part of the setup program). False when the folder
// cannot be walked.
bool setupFolderFiles(const std::u16string& source, std::vector<std::pair<std::u16string, std::u16string>>* out) {
  const std::string setup = platform::FindPathIgnoringCase(platform::ToUtf8(source + u"/setup"));
  if (setup.empty() || isLink(setup)) return true;
  const std::u16string base = platform::FromUtf8(setup);
  const size_t relativeStart = base.rfind(u'/') + 1;
  std::vector<std::u16string> files;
  if (!listFiles(base + u"/*.*", true, false, &files)) return false;
  for (const std::u16string& file : files) {
    if (file.size() <= base.size() || file.compare(0, base.size(), base) != 0 || file[base.size()] != u'/') continue;
    if (isLink(platform::ToUtf8(file))) continue;
    out->emplace_back(file, file.substr(relativeStart));
  }
  return true;
}

}  // namespace

std::vector<std::u16string> setupFileNamesBelow(std::u16string_view sourceFolder) {
  std::vector<std::u16string> names(kSetupFileNames.begin(), kSetupFileNames.end());
  names.emplace_back(kMovieModuleFileName);
  names.emplace_back(kUninstallLogName);
  names.emplace_back(u"VERSION");
  std::vector<std::pair<std::u16string, std::u16string>> files;
  setupFolderFiles(std::u16string(sourceFolder), &files);
  for (auto& file : files) names.push_back(std::move(file.second));
  return names;
}

bool installSetupFiles(std::u16string_view sourceFolder, std::u16string_view installFolder) {
  const std::u16string source(sourceFolder);
  const std::u16string install(installFolder);
  for (std::u16string_view name : kSetupFileNames) {
    // The setup program is this engine: it comes from the running process,
    // so the source need not hold it.
    const std::u16string from = name == kSetupFileNames[0] ? platform::FromUtf8(platform::ExecutablePath())
                                                           : source + u"/" + std::u16string(name);
    if (!copySetupFile(install, install + u"/" + std::u16string(name), from)) return false;
  }
  // The installed engine plays movies through the module beside it.
  const std::u16string executable = platform::FromUtf8(platform::ExecutablePath());
  const std::u16string module =
      executable.substr(0, executable.rfind(u'/') + 1) + std::u16string(kMovieModuleFileName);
  std::error_code missing;
  if (std::filesystem::is_regular_file(platform::ToUtf8(module), missing) &&
      !copySetupFile(install, install + u"/" + std::u16string(kMovieModuleFileName), module)) {
    return false;
  }

  // The "setup" folder is optional; the names below keep the found case
  // from "setup" on.
  std::vector<std::pair<std::u16string, std::u16string>> files;
  if (!setupFolderFiles(source, &files)) {
    LogWrite(LOG_WARN, u"ファイルのコピーに失敗しました(%s:%s)\n", source + u"/setup", install + u"/setup");
    return false;
  }
  for (const auto& [file, relative] : files) {
    if (!copySetupFile(install, install + u"/" + relative, file)) return false;
  }
  return true;
}
