// The installer's file operations and primitives: the disc check, the walker,
// folder making and removal, guarded copies, time stamps, the VERSION file,
// launchers and the path helpers.
#include "setup/install_files.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/install_fs.h"
#include "platform/utf8.h"
#include "setup/desktop_shortcut.h"
#include "setup/install_primitives.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;
using platform::FromUtf8;
using platform::ToUtf8;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::u16string U(const fs::path& path) { return FromUtf8(path.string()); }

TEST(InstallFiles, DiscIdFileAnswersByItsFourCasesAndIgnoresCase) {
  TempDir dir;
  const std::string id = platform::EncodeCP932(u"ゲーム1");
  dir.write("Disc/ID.TXT", id);
  dir.write("Disc/newline.txt", id + "\r\n");
  dir.write("Disc/other.txt", platform::EncodeCP932(u"ゲーム2"));
  const struct {
    const char* file;
    const char16_t* id;
    int32_t result;
  } cases[] = {
      {"Disc/ID.TXT", u"ゲーム1", 0}, {"disc/id.txt", u"ゲーム1", 0}, {"Disc/none.txt", u"ゲーム1", 1},
      {"Disc/newline.txt", u"ゲーム1", 2}, {"Disc/other.txt", u"ゲーム1", 2}, {"Disc/none.txt", u"", 4},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(checkDiscIdFile(U(dir.path() / c.file), c.id), c.result) << c.file;
  }
}

TEST(InstallFiles, ListFilesWalksMatchingFilesButNotLinkedFolders) {
  TempDir dir;
  const fs::path disc = dir.path() / "Disc";
  dir.write("Disc/a.txt", "a");
  dir.write("Disc/.hidden", "h");
  dir.write("Disc/sub/b.dat", "b");
  dir.write("Disc/sub/.h/c.txt", "c");
  dir.write("outside/secret.txt", "s");
  fs::create_directory_symlink(dir.path() / "outside", disc / "link");
  const std::u16string root = U(disc);

  std::vector<std::u16string> files;
  ASSERT_TRUE(listFiles(U(dir.path() / "disc/*.*"), true, false, &files));
  EXPECT_EQ(files, (std::vector<std::u16string>{root + u"/a.txt", root + u"/sub/b.dat"}));
  files.clear();
  ASSERT_TRUE(listFiles(root + u"/*.*", true, true, &files));
  EXPECT_EQ(files, (std::vector<std::u16string>{root + u"/.hidden", root + u"/a.txt", root + u"/sub/.h/c.txt",
                                                root + u"/sub/b.dat"}));
  files.clear();
  ASSERT_TRUE(listFiles(root + u"/?.TXT", false, true, &files));
  EXPECT_EQ(files, std::vector<std::u16string>{root + u"/a.txt"});
  files.clear();
  EXPECT_TRUE(listFiles(root + u"/missing/*.*", true, false, &files));
  EXPECT_TRUE(files.empty());
}

TEST(InstallFiles, FoldersAreMadeAndRemovedWithWindowsCodes) {
  TempDir dir;
  const std::u16string root = U(dir.path());
  int32_t error = 0;
  EXPECT_FALSE(makeParentFolders(u"file.txt", &error));
  EXPECT_TRUE(makeParentFolders(root + u"/a/b/file.txt", &error));
  EXPECT_TRUE(isDirectory(root + u"/a/b"));
  EXPECT_TRUE(makeParentFolders(root + u"/a/b/file.txt", &error));
  dir.write("plain", "x");
  EXPECT_FALSE(makeParentFolders(root + u"/plain/c/file.txt", &error));
  EXPECT_EQ(error, kErrorPathNotFound);

  EXPECT_FALSE(createFolder(root + u"/missing/c", &error));
  EXPECT_EQ(error, kErrorPathNotFound);
  EXPECT_FALSE(createFolder(root + u"/a", &error));
  EXPECT_EQ(error, kErrorAlreadyExists);
  EXPECT_FALSE(removeFolderForce(root + u"/a", &error));
  EXPECT_EQ(error, kErrorDirNotEmpty);
  EXPECT_TRUE(removeFolderForce(root + u"/a/b", &error));
  EXPECT_FALSE(deleteFileForce(root + u"/gone", &error));
  EXPECT_EQ(error, kErrorFileNotFound);
  EXPECT_TRUE(deleteFileForce(root + u"/plain", &error));
}

struct Progress {
  std::vector<uint64_t> copied;
  uint64_t total = 0;
  size_t stopAfter = SIZE_MAX;
  static bool call(void* self, uint64_t copied, uint64_t total) {
    auto* p = static_cast<Progress*>(self);
    p->copied.push_back(copied);
    p->total = total;
    return p->copied.size() < p->stopAfter;
  }
};

TEST(InstallFiles, CopyKeepsModeReportsChunksAndLeavesDestinationOnCancel) {
  TempDir dir;
  const std::string bytes(5 * (1 << 19) + 7, 'x');  // two whole chunks and a part
  const fs::path source = dir.write("disc/run.sh", bytes);
  fs::permissions(source, fs::perms(0755));
  fs::create_directories(dir.path() / "install");
  const std::u16string install = U(dir.path() / "install");

  Progress progress;
  int32_t error = -1;
  ASSERT_TRUE(copyFileWithProgress(install, install + u"/run.sh", U(dir.path() / "DISC/RUN.SH"), &error,
                                   &Progress::call, &progress));
  EXPECT_EQ(error, 0);
  EXPECT_EQ(ReadAll(dir.path() / "install/run.sh"), bytes);
  EXPECT_EQ(progress.copied, (std::vector<uint64_t>{1 << 20, 2 << 20, bytes.size()}));
  EXPECT_EQ(progress.total, bytes.size());
  EXPECT_EQ(fs::status(dir.path() / "install/run.sh").permissions(), fs::perms(0755));

  dir.write("install/old.dat", "old");
  Progress cancel;
  cancel.stopAfter = 1;
  EXPECT_FALSE(copyFileWithProgress(install, install + u"/old.dat", U(source), &error, &Progress::call, &cancel));
  EXPECT_EQ(error, kErrorRequestAborted);
  EXPECT_EQ(ReadAll(dir.path() / "install/old.dat"), "old");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path() / "install"), fs::directory_iterator()), 2);

  EXPECT_FALSE(copyFilePlain(install, install + u"/x.dat", U(dir.path() / "disc/none"), &error));
  EXPECT_EQ(error, kErrorFileNotFound);

  // An installed "<name>.tmp" is no copy's leftover; an empty file reports
  // its one step.
  dir.write("install/old.dat.tmp", "kept");
  Progress empty;
  ASSERT_TRUE(copyFileWithProgress(install, install + u"/old.dat", U(dir.write("disc/empty", "")), &error,
                                   &Progress::call, &empty));
  EXPECT_EQ(ReadAll(dir.path() / "install/old.dat.tmp"), "kept");
  EXPECT_EQ(empty.copied, (std::vector<uint64_t>{0}));
}

TEST(InstallFiles, CopiesAndRemovalsStayInsideTheirFoldersAndFollowNoLink) {
  TempDir dir;
  const fs::path source = dir.write("disc/data.bin", "data");
  fs::create_directories(dir.path() / "install/real");
  dir.write("outside/kept.txt", "kept");
  fs::create_directory_symlink(dir.path() / "outside", dir.path() / "install/real/link");
  const std::u16string install = U(dir.path() / "install");
  for (const std::u16string& destination :
       {install + u"/real/link/data.bin", install + u"/../outside/data.bin", U(dir.path() / "outside/data.bin")}) {
    int32_t error = 0;
    EXPECT_FALSE(copyFilePlain(install, destination, U(source), &error)) << ToUtf8(destination);
    EXPECT_EQ(error, kErrorAccessDenied);
  }
  // The walk itself follows no link, whatever checked the path before.
  EXPECT_EQ(platform::CopyFileInto(ToUtf8(install), "real/link/data.bin", source.string(), nullptr, nullptr), EACCES);

  // Removals: nothing behind a link goes; a link itself does, its target
  // stays.
  fs::create_symlink(dir.path() / "outside/kept.txt", dir.path() / "install/alias.txt");
  int32_t error = 0;
  EXPECT_FALSE(deleteFileBelow(install, install + u"/real/link/kept.txt", &error));
  EXPECT_EQ(error, kErrorRefusedPath);
  EXPECT_TRUE(deleteFileBelow(install, install + u"/alias.txt", &error));
  EXPECT_EQ(ReadAll(dir.path() / "outside/kept.txt"), "kept");
}

TEST(InstallFiles, TimeStampsBefore1970AndVersionTextAsUtf8) {
  TempDir dir;
  const fs::path file = dir.write("f.bin", "x");
  ASSERT_TRUE(setFileTimeFromUnix(U(file), -86400));
  const auto written = std::chrono::file_clock::to_sys(fs::last_write_time(file));
  EXPECT_EQ(std::chrono::time_point_cast<std::chrono::seconds>(written).time_since_epoch().count(), -86400);
  EXPECT_FALSE(setFileTimeFromUnix(U(dir.path() / "none"), 0));

  const fs::path version = dir.path() / "VERSION";
  EXPECT_FALSE(writeTextFileAnsi(U(version), u""));
  EXPECT_FALSE(fs::exists(version));
  ASSERT_TRUE(writeTextFileAnsi(U(version), u"1.0 版 😀"));
  EXPECT_EQ(ReadAll(version), "1.0 版 😀");
}

// Splits an Exec= value as a desktop launcher does: string escapes first,
// then quoting (a reserved character outside quotes is a fault), then "%%".
std::vector<std::string> ParseExec(const std::string& value) {
  std::string unescaped;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\' || i + 1 == value.size()) {
      unescaped += value[i];
      continue;
    }
    const char c = value[++i];
    unescaped += c == 's' ? ' ' : c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
  }
  std::vector<std::string> args;
  std::string arg;
  bool inArg = false, quoted = false;
  for (size_t i = 0; i < unescaped.size(); ++i) {
    const char c = unescaped[i];
    if (quoted) {
      if (c == '"') {
        quoted = false;
      } else if (c == '\\' && i + 1 < unescaped.size() &&
                 std::string("\"`$\\").find(unescaped[i + 1]) != std::string::npos) {
        arg += unescaped[++i];
      } else {
        EXPECT_TRUE(c != '`' && c != '$' && c != '\\') << "unescaped " << c;
        arg += c;
      }
    } else if (c == ' ') {
      if (inArg) args.push_back(arg);
      arg.clear();
      inArg = false;
    } else if (c == '"') {
      quoted = inArg = true;
    } else {
      EXPECT_EQ(std::string("\t\n'\\><~|&;$*?#()`").find(c), std::string::npos) << "unquoted " << c;
      arg += c;
      inArg = true;
    }
  }
  EXPECT_FALSE(quoted);
  if (inArg) args.push_back(arg);
  for (std::string& a : args) {
    for (size_t p = a.find("%%"); p != std::string::npos; p = a.find("%%", p + 1)) a.erase(p, 1);
  }
  return args;
}

std::string KeyOf(const std::string& text, const std::string& key) {
  const size_t at = text.find("\n" + key + "=");
  if (at == std::string::npos) return "<none>";
  const size_t start = at + key.size() + 2;
  return text.substr(start, text.find('\n', start) - start);
}

TEST(InstallFiles, LaunchersRunTheTargetWithExactlyTheArguments) {
  TempDir dir;
  ScopedEnv home("HOME", dir.path().c_str());
  const ScopedEnv noUserDirs("XDG_CONFIG_HOME", (dir.path() / "config").c_str());
  fs::create_directories(dir.path() / "Desktop");
  const std::u16string target = U(dir.path()) + u"/My Game/run \"1\" $HOME `id` 100% a\\b.sh";
  const std::u16string arguments = uR"(-a "b c" "" "d\"e" f\g $x 50%% `id`)";
  int32_t code = 0;
  ASSERT_TRUE(createShortcutForPaths(U(dir.path() / "Desktop/ゲーム.lnk"), target, arguments, U(dir.path()), target,
                                     0, U(dir.path()) + u"/My Game", &code));
  const fs::path launcher = dir.path() / "Desktop/ゲーム.desktop";
  const std::string text = ReadAll(launcher);
  EXPECT_EQ(text.rfind("[Desktop Entry]\nType=Application\n", 0), 0u) << text;
  EXPECT_EQ(ParseExec(KeyOf(text, "Exec")),
            (std::vector<std::string>{ToUtf8(target), "-a", "b c", "", "d\"e", "f\\g", "$x", "50%%", "`id`"}));
  EXPECT_EQ(KeyOf(text, "Name"), "ゲーム");
  EXPECT_EQ(KeyOf(text, "Path"), dir.path().string());
  EXPECT_EQ(KeyOf(text, "Icon"), "<none>");
  EXPECT_EQ(KeyOf(text, "Terminal"), "false");
  EXPECT_EQ(KeyOf(text, "Categories"), "Game;");
  EXPECT_EQ(KeyOf(text, "X-Zep-Install"), dir.path().string() + "/My Game");
  EXPECT_EQ(fs::status(launcher).permissions() & fs::perms::owner_exec, fs::perms::owner_exec);

  // Elsewhere (the start menu): readable by all, not executable, and an icon
  // of its own.
  fs::create_directories(dir.path() / "menu");
  ASSERT_TRUE(createShortcutForPaths(U(dir.path() / "menu/Uninstall.lnk"), u"/opt/g/st_menu", u"-uninstall", u"",
                                     u"/opt/g/icon.png", 0, u"/opt/g", &code));
  const std::string menu = ReadAll(dir.path() / "menu/Uninstall.desktop");
  EXPECT_EQ(KeyOf(menu, "Exec"), "/opt/g/st_menu -uninstall");
  EXPECT_EQ(KeyOf(menu, "Path"), "<none>");
  EXPECT_EQ(KeyOf(menu, "Icon"), "/opt/g/icon.png");
  EXPECT_EQ(fs::status(dir.path() / "menu/Uninstall.desktop").permissions(), fs::perms(0644));

  // Whose launcher it is: the mark decides; a launcher without one is the
  // installation's when it runs or works in the folder.
  EXPECT_TRUE(DesktopEntryMadeBy(menu, u"/opt/g"));
  EXPECT_FALSE(DesktopEntryMadeBy(menu, u"/opt"));
  EXPECT_FALSE(DesktopEntryMadeBy(menu, u"/opt/g/st"));
  const std::string old = "[Desktop Entry]\nExec=\"/opt/my g/run\" -x\nPath=/srv/game\n";
  for (const char16_t* folder : {u"/opt/my g", u"/srv/game"}) EXPECT_TRUE(DesktopEntryMadeBy(old, folder));
  for (const char16_t* folder : {u"/opt/my", u"/opt/my g/ru", u"/srv/gam"}) {
    EXPECT_FALSE(DesktopEntryMadeBy(old, folder)) << ToUtf8(folder);
  }
}

TEST(InstallFiles, PathHelpers) {
  const struct {
    const char16_t* path;
    bool ok;
    const char16_t* parent;
  } parents[] = {{u"/opt/game/run", true, u"/opt/game"}, {u"/run", true, u"/"}, {u"game/run", false, u""},
                 {u"/opt/game/", false, u""}, {u"", false, u""}};
  for (const auto& c : parents) {
    std::u16string folder;
    EXPECT_EQ(parentFolderOfDrivePath(c.path, &folder), c.ok) << ToUtf8(c.path);
    EXPECT_EQ(folder, c.parent) << ToUtf8(c.path);
  }
  const struct {
    const char16_t* in;
    const char16_t* out;
  } quotes[] = {{u"", u""}, {u"/opt/game", u"/opt/game"}, {u"/opt/my game", u"\"/opt/my game\""},
                {u"\"/opt/my game\"", u"\"/opt/my game\""}, {u"全角　空白", u"\"全角　空白\""}};
  for (const auto& c : quotes) {
    std::u16string text = c.in;
    quoteIfSpaced(&text, u'"');
    EXPECT_EQ(text, c.out) << ToUtf8(c.in);
  }
}

}  // namespace
