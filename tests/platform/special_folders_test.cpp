// The special folders from the XDG variables, the user-dirs file and the
// home folder.
#include "platform/special_folders.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/process.h"
#include "tests/support/test_support.h"

namespace {

using platform::SpecialFolder;
using platform::SpecialFolderPath;

// HOME points at a fresh folder; the XDG variables are cleared.
class SpecialFoldersTest : public testing::Test {
 protected:
  std::string home() const { return dir_.path().string() + "/home"; }

  TempDir dir_;
  ScopedEnv home_{"HOME", (dir_.path() / "home").c_str()};
  ScopedEnv data_{"XDG_DATA_HOME", nullptr};
  ScopedEnv config_{"XDG_CONFIG_HOME", nullptr};
};

TEST_F(SpecialFoldersTest, DataFoldersFollowXdgDataHome) {
  struct Case {
    const char* dataHome;  // null: unset
    std::string expected;
  };
  for (const Case& c : {Case{"/srv/data", "/srv/data"}, Case{"/srv/data//", "/srv/data"},
                        Case{nullptr, home() + "/.local/share"}, Case{"", home() + "/.local/share"},
                        Case{"relative/data", home() + "/.local/share"}}) {
    SCOPED_TRACE(c.dataHome ? c.dataHome : "(unset)");
    ScopedEnv data("XDG_DATA_HOME", c.dataHome);
    EXPECT_EQ(SpecialFolderPath(SpecialFolder::kAppData), c.expected);
    EXPECT_EQ(SpecialFolderPath(SpecialFolder::kStartMenu), c.expected + "/applications");
    EXPECT_EQ(SpecialFolderPath(SpecialFolder::kProgramFiles),
              platform::IsEffectiveRoot() ? std::string("/opt") : c.expected);
  }
}

// As root the all-users folders are the system's: no desktop, and the start
// menu that ZEP_SYSTEM_APPLICATIONS_DIR moves.
TEST_F(SpecialFoldersTest, AllUsersFoldersAreTheSystemsAsRoot) {
  const bool root = platform::IsEffectiveRoot();
  ScopedEnv data("XDG_DATA_HOME", "/srv/data");
  for (const char* moved : {"/srv/apps/", static_cast<const char*>(nullptr)}) {
    ScopedEnv apps("ZEP_SYSTEM_APPLICATIONS_DIR", moved);
    EXPECT_EQ(SpecialFolderPath(SpecialFolder::kCommonStartMenu),
              !root ? "/srv/data/applications" : moved ? "/srv/apps" : "/usr/local/share/applications");
  }
  EXPECT_EQ(SpecialFolderPath(SpecialFolder::kCommonDesktop), root ? "" : home() + "/Desktop");
}

TEST_F(SpecialFoldersTest, DesktopComesFromUserDirsElseHomeDesktop) {
  EXPECT_EQ(SpecialFolderPath(SpecialFolder::kDesktop), home() + "/Desktop");

  // Default place of the file: $HOME/.config.
  dir_.write("home/.config/user-dirs.dirs",
             "# written by xdg-user-dirs-update\nXDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n"
             "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n");
  EXPECT_EQ(SpecialFolderPath(SpecialFolder::kDesktop), home() + "/Schreibtisch");

  ScopedEnv config("XDG_CONFIG_HOME", (dir_.path() / "config").c_str());
  EXPECT_EQ(SpecialFolderPath(SpecialFolder::kDesktop), home() + "/Desktop");
  dir_.write("config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"/data/デスクトップ/\"\n");
  EXPECT_EQ(SpecialFolderPath(SpecialFolder::kDesktop), "/data/デスクトップ");
  dir_.write("config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"relative\"\n");
  EXPECT_EQ(SpecialFolderPath(SpecialFolder::kDesktop), home() + "/Desktop");
}

}  // namespace
