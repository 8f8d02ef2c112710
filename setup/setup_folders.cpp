// The worker's folder step and path rules: where an installed name, a disc
// name and the installed uninstaller lie, and the making of one folder for
// the folder and start-menu commands (recorded in the uninstall log). Worker
// thread.
#include <string>
#include <string_view>
#include <vector>

#include "app/log.h"
#include "setup/install_files.h"
#include "setup/install_primitives.h"
#include "setup/setup_api_impl.h"
#include "setup/setup_commands.h"

namespace {

// The command code makeFolder reports while it works.
constexpr int32_t kMkdirCode = 2;

}  // namespace

std::u16string SetupAPIImpl::installPath(std::u16string_view name) const {
  return installFolder_ + u"/" + std::u16string(name);
}

std::u16string SetupAPIImpl::mediaPath(std::u16string_view name) const {
  return mediaFolder_ + u"/" + std::u16string(name);
}

// The installed uninstaller is the engine itself, copied in as "st_menu".
std::u16string SetupAPIImpl::uninstallerPath() const { return installPath(u"st_menu"); }

// Answers 0 when the folder exists afterwards (also when it existed before;
// it is recorded either way, and so are the missing parents it made), 1 when
// it cannot be made now (access, a read-only or full disc), -2 when a file
// stands in its way or a missing parent cannot be made.
int32_t SetupAPIImpl::makeFolder(const std::u16string& folder, std::u16string_view recordFrom) {
  bool deletedFile = false;
  bool madeParents = false;
  for (;;) {
    setCurrent(kMkdirCode, folder);
    int32_t error = 0;
    if (createFolder(folder, &error)) break;
    if (error == kErrorPathNotFound) {
      // The parents that are missing now are this installation's own.
      std::vector<std::u16string> missing;
      for (size_t slash = folder.rfind(u'/'); slash != std::u16string::npos && slash > 0;
           slash = folder.rfind(u'/', slash - 1)) {
        const std::u16string parent = folder.substr(0, slash);
        if (isDirectory(parent) || parent.size() < recordFrom.size()) break;
        missing.push_back(parent);
      }
      // Once the whole path is made the next turn finds the folder; a second
      // missing parent means something removed it meanwhile.
      if (madeParents) {
        LogWrite(LOG_WARN, u"ディレクトリを作成できません(%s)\n", folder);
        return libsetup::kCmdFailed;
      }
      // Recorded before they are made: a run cut short in between leaves a
      // record of them, which a later run could not make again.
      for (const std::u16string& parent : missing) uninstallLog().addFolder(parent);
      if (!keepRecord()) return libsetup::kCmdFailed;
      int32_t pathError = 0;
      if (!createFolderPath(folder, &pathError)) {
        LogWrite(LOG_WARN, u"ディレクトリを作成できません(%s)\n", folder);
        return libsetup::kCmdFailed;
      }
      madeParents = true;
      continue;
    }
    if (error != kErrorAlreadyExists) return libsetup::kCmdRetry;
    // Read-only and hidden attributes do not exist here: an existing folder
    // is used as it is.
    if (isDirectory(folder)) break;
    if (deletedFile || !deleteFileForce(folder)) {
      LogWrite(LOG_WARN, u"同名のファイルがありディレクトリを作成できません(%s)\n", folder);
      return libsetup::kCmdFailed;
    }
    deletedFile = true;
  }
  uninstallLog().addFolder(folder);
  notifyShell(SHCNE_MKDIR_ID, folder);
  return libsetup::kCmdDone;
}
