// Installs through the real app_w: a setup program (the sample's setup
// script under a configuration of the test's own) copies a two-disc game
// into a prefix in the test's folder, registers it and makes its launchers;
// the uninstaller started as "UninstallString" says removes what the install
// made and nothing else. The sample game's own setup installs, starts and
// uninstalls the same way. Runs are a user's (as root they drop to the
// "nobody" account), except the one that installs as root.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "app/registry.h"
#include "platform/process.h"
#include "platform/utf8.h"
#include "script/ap_value.h"
#include "tests/support/app_w_run.h"

namespace fs = std::filesystem;

namespace {

const fs::path kSampleSetup = fs::path(ZEP_SOURCE_DIR) / "examples" / "sample" / "setup";
constexpr char kNobody[] = "65534";
const std::string kUninstallKey = "SOFTWARE/Microsoft/Windows/CurrentVersion/Uninstall/";

// A whole command line split at blanks outside double quotes.
std::vector<std::string> SplitCommandLine(const std::string& line) {
  std::vector<std::string> args;
  std::string arg;
  bool quoted = false, any = false;
  for (char c : line) {
    if (c == '"') {
      quoted = !quoted;
      any = true;
    } else if (c == ' ' && !quoted) {
      if (any) args.push_back(arg);
      arg.clear();
      any = false;
    } else {
      arg += c;
      any = true;
    }
  }
  if (any) args.push_back(arg);
  return args;
}

// Every path below the folder, relative to it (none when it is missing).
std::set<std::string> Walk(const fs::path& folder) {
  std::set<std::string> paths;
  if (!fs::exists(folder)) return paths;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    paths.insert(entry.path().lexically_relative(folder).string());
  }
  return paths;
}

int64_t UnixTime(const fs::path& file) {
  const auto written = std::chrono::file_clock::to_sys(fs::last_write_time(file));
  return std::chrono::time_point_cast<std::chrono::seconds>(written).time_since_epoch().count();
}

// Single quotes for sh.
std::string Quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

class AppWInstall : public AppWRun {
 protected:
  AppWInstall() {
    // A user's account has its data folder and the folder the game goes to;
    // the desktop folder only where a test makes it.
    dir_.write("config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"" + desktop_.string() + "\"\n");
    fs::create_directories(data_);
    fs::create_directories(prefix_);
    // As root, the user runs get into the test's folder.
    if (root_) fs::permissions(dir_.path().parent_path(), fs::perms::others_exec, fs::perm_options::add);
  }

  // argv as the test's user (nobody when the test runs as root, unless
  // asRoot_), with the test's own registry, XDG folders and runtime folder,
  // standard error joined to standard output; a umask that would hide files
  // from other users.
  std::vector<std::string> isolated(const std::vector<std::string>& argv) {
    std::vector<std::string> command;
    if (root_ && !asRoot_) {
      platform::RunProcess({"chown", "-R", std::string(kNobody) + ":" + kNobody, dir_.path().string()}, false);
      command = {"setpriv", "--reuid=" + std::string(kNobody), "--regid=" + std::string(kNobody), "--clear-groups"};
    }
    command.push_back("env");
    command.insert(command.end(), extraEnvironment_.begin(), extraEnvironment_.end());
    for (const std::string& part :
         {"HOME=" + dir_.path().string(), "ZEP_REGISTRY_DIR=" + (dir_.path() / "registry").string(),
          "XDG_DATA_HOME=" + data_.string(), "XDG_CONFIG_HOME=" + (dir_.path() / "config").string(),
          "XDG_RUNTIME_DIR=" + dir_.path().string(), "ZEP_SYSTEM_APPLICATIONS_DIR=" + apps_.string(),
          std::string("SDL_VIDEODRIVER=offscreen"), std::string("ASAN_OPTIONS=detect_leaks=0"), std::string("sh"),
          std::string("-c"), std::string("umask 077; exec \"$@\" 2>&1"), std::string("sh")}) {
      command.push_back(part);
    }
    command.insert(command.end(), argv.begin(), argv.end());
    return command;
  }

  platform::ProcessResult runIsolated(const std::vector<std::string>& argv) {
    return platform::RunProcess(isolated(argv), true);
  }

  // The setup program from its folder: the install base and the folder of
  // disc 2 (when given) follow the configuration file.
  std::vector<std::string> installArgs(const fs::path& setupFolder, const std::string& disc2 = "",
                                       const std::string& base = "") const {
    std::vector<std::string> argv = {(dir_.path() / "app_w").string(), "-d", "-workdir", setupFolder.string(),
                                     "st_menu.scm", base.empty() ? prefix_.string() : base};
    if (!disc2.empty()) argv.push_back(disc2);
    return argv;
  }
  platform::ProcessResult install(const fs::path& setupFolder, const std::string& disc2 = "") {
    return runIsolated(installArgs(setupFolder, disc2));
  }
  platform::ProcessResult installTestGame() { return install(dir_.path() / "disc1", (dir_.path() / "disc2").string()); }

  // The uninstall as the README gives it: the installed uninstaller in its
  // folder, with -d.
  platform::ProcessResult uninstallFrom(const fs::path& installFolder) {
    return runIsolated({(installFolder / "st_menu").string(), "-d", "-workdir", installFolder.string(), "st_menu.scm",
                        "-uninstall"});
  }

  // "UninstallString" of the product, run as written (with -d, which shows
  // the answers its script takes).
  platform::ProcessResult uninstall(const std::u16string& productKey) {
    const std::string line = registryText(productKey, u"UninstallString");
    EXPECT_FALSE(line.empty());
    std::vector<std::string> argv = SplitCommandLine(line);
    if (!argv.empty()) argv.insert(argv.begin() + 1, "-d");
    return runIsolated(argv);
  }

  static std::string registryText(const std::u16string& productKey, const std::u16string& name) {
    APValue value;
    int32_t error = 0;
    if (!Win32RegRead(HKEY_LOCAL_MACHINE_ID, platform::FromUtf8(kUninstallKey) + productKey, name, &value, &error) ||
        !value.isString()) {
      return "";
    }
    return platform::ToUtf8(value.svalue);
  }

  // Both hives as text (the header of an empty hive is no content).
  std::string registryContent() const {
    std::string all;
    for (const char* hive : {"HKCU.reg", "HKLM.reg"}) {
      const std::string text = ReadWholeFile(dir_.path() / "registry" / hive);
      all += text.substr(std::min(text.size(), text.find('\n') + 1));
    }
    return all;
  }

  // What an install may touch, as text, to compare before and after.
  std::string snapshot() const {
    std::string text = registryContent();
    for (const fs::path& folder : {prefix_, data_, desktop_, apps_}) {
      text += "\n" + folder.string() + ":";
      for (const std::string& path : Walk(folder)) text += " " + path;
    }
    return text;
  }

  // The two discs of the test game, their setup files and the setup script
  // of the sample. The list may add entries to disc 0.
  void writeDiscs(const std::string& extraEntries = "") {
    dir_.write("disc1/st_menu.scm",
               "(:product-info (:product-name . \"Install Test Setup\") (:savedata-usage . 2))\n"
               "(:system (:mutex-name . \"" + mutex_ + "\"))\n"
               "(:resource (:script-basedir \"setup/scene\") (:script-basename \"scene\") (:script-num-digits 4)\n"
               "  (:script-extension \"scm\") (:font-0-type 0) (:font-0-name \"IPAGothic\"))\n"
               "(:window (:window-title \"Setup\") (:window-width 160) (:window-height 120))\n");
    dir_.write("disc1/setup/scene/scene9010.scm",
               ReadWholeFile(kSampleSetup / "setup" / "scene" / "scene9010.scm"));
    dir_.write("disc1/st_menu.ini",
               "[setup]\nauthor_name=Test Maker\nauthor_key=TestMaker\nproduct_title=Install Test\n"
               "product_key=InstallTest\nversion_key=1.0.3\nrunapp=bin/run.sh\nshortcutname=Play Test\n"
               "save_folder=save\nsave_folder_location=0\nexeclog=install.log\n"
               "[media]\nDISCID0000=test-disc-1\nDISCNAME0000=Disc 1\nDISCID0001=test-disc-2\nDISCNAME0001=Disc 2\n");
    dir_.write("disc1/st_menu.ins",
               "(action (1 (copy @target@ (@source@ 0) \"*\") (copy @target@ (@source@ 1) \"data/*\")\n"
               "  (reg-create HKEY_CURRENT_USER \"Software/Test Maker/Install Test\" \"Path\" @target@)\n"
               "  (create-start-menu) (create-desktop-short-cut) (uninstall)))\n");
    dir_.write("disc1/st_menu.lst",
               "(file (0 (\"bin/run.sh\" 10 1500000000 0) (\"readme.txt\" 6 1400000000 0)" + extraEntries +
                   ")\n  (1 (\"data/deep/level.dat\" 5 1300000000 0)))\n");
    dir_.write("disc1/DISCID", "test-disc-1");
    fs::permissions(dir_.write("disc1/bin/run.sh", "#!/bin/sh\n"), fs::perms(0755));
    dir_.write("disc1/readme.txt", "readme");
    dir_.write("disc2/DISCID", "test-disc-2");
    dir_.write("disc2/data/deep/level.dat", "level");
  }

  static void expectSuccess(const platform::ProcessResult& result) {
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_NE(result.output.find("CallUserFunc(4111, 903, 104)"), std::string::npos) << result.output;
  }

  const bool root_ = platform::IsEffectiveRoot();
  bool asRoot_ = false;
  // "-u NAME" and "NAME=value" items for env, before the test's own.
  std::vector<std::string> extraEnvironment_;
  // The test reads the registry the runs write.
  ScopedEnv registry_{"ZEP_REGISTRY_DIR", (dir_.path() / "registry").c_str()};
  const fs::path prefix_ = dir_.path() / "prefix";
  const fs::path data_ = dir_.path() / "data";
  const fs::path desktop_ = dir_.path() / "Desktop";
  const fs::path apps_ = dir_.path() / "apps";  // the system's start menu, as root
  const fs::path install_ = prefix_ / "Test Maker" / "Install Test";
  const fs::path menu_ = data_ / "applications" / "Test Maker" / "Install Test";
};

TEST_F(AppWInstall, InstallsTwoDiscsStopsASecondInstallAndUninstallsAllOfIt) {
  writeDiscs();
  fs::create_directories(desktop_);
  const std::string before = snapshot();
  platform::ProcessResult result = installTestGame();
  expectSuccess(result);
  for (const char* expected : {"CallUserFunc(4111, 900, 100)", "CallUserFunc(4111, 901, 101)",
                               "CallUserFunc(4111, 904, 1)", "CallUserFunc(4111, 902, 103)"}) {
    EXPECT_NE(result.output.find(expected), std::string::npos) << expected << "\n" << result.output;
  }

  // The game's files with the listed times and normal modes, the setup
  // program's files and the records.
  EXPECT_EQ(ReadWholeFile(install_ / "bin/run.sh"), "#!/bin/sh\n");
  EXPECT_EQ(fs::status(install_ / "bin/run.sh").permissions(), fs::perms(0755));
  EXPECT_EQ(UnixTime(install_ / "bin/run.sh"), 1500000000);
  EXPECT_EQ(UnixTime(install_ / "readme.txt"), 1400000000);
  EXPECT_EQ(ReadWholeFile(install_ / "data/deep/level.dat"), "level");
  EXPECT_EQ(UnixTime(install_ / "data/deep/level.dat"), 1300000000);
  EXPECT_EQ(ReadWholeFile(install_ / "VERSION"), "1.0.3");
  EXPECT_EQ(fs::status(install_ / "st_menu").permissions(), fs::perms(0755));
  for (const char* name : {"st_menu.scm", "st_menu.ini", "st_menu.ins", "st_menu.lst", "setup/scene/scene9010.scm"}) {
    EXPECT_TRUE(fs::exists(install_ / name)) << name;
  }
  EXPECT_NE(ReadWholeFile(install_ / "uninst.log").find((install_ / "data/deep/level.dat").string()),
            std::string::npos);
  EXPECT_EQ(registryText(u"InstallTest", u"DisplayName"), "Install Test");
  EXPECT_EQ(registryText(u"InstallTest", u"InstallLocation"), install_.string());
  EXPECT_EQ(SplitCommandLine(registryText(u"InstallTest", u"UninstallString")),
            (std::vector<std::string>{(install_ / "st_menu").string(), "-workdir", install_.string(), "st_menu.scm",
                                      "-uninstall"}));
  const std::string menuEntry = ReadWholeFile(menu_ / "Play Test.desktop");
  EXPECT_NE(menuEntry.find("bin/run.sh"), std::string::npos) << menuEntry;
  EXPECT_NE(menuEntry.find("\nX-Zep-Install=" + install_.string() + "\n"), std::string::npos) << menuEntry;
  EXPECT_NE(ReadWholeFile(menu_ / "アンインストール.desktop").find("-uninstall"), std::string::npos);
  EXPECT_NE(ReadWholeFile(desktop_ / "Play Test.desktop").find("bin/run.sh"), std::string::npos);

  // Installed already: the setup run stops at once, says so and fails.
  result = installTestGame();
  EXPECT_EQ(result.exitCode, 1) << result.output;
  EXPECT_NE(result.output.find("RES_STOPPED : errcode=3\n"), std::string::npos) << result.output;
  EXPECT_NE(result.output.find("[Install Test Setup] 既にインストールされているのでセットアップを中止しました"),
            std::string::npos)
      << result.output;

  // A file of the user's in the install folder stays, with its folder; all
  // the rest goes, the start menu and the registry keys the install made
  // too.
  dir_.write("prefix/Test Maker/Install Test/mine.txt", "mine");
  result = uninstall(u"InstallTest");
  expectSuccess(result);
  EXPECT_EQ(Walk(prefix_), (std::set<std::string>{"Test Maker", "Test Maker/Install Test",
                                                  "Test Maker/Install Test/mine.txt"}));
  fs::remove_all(prefix_ / "Test Maker");
  EXPECT_EQ(snapshot(), before);
}

TEST_F(AppWInstall, ListEntriesLeadingOutOfTheInstallFolderAreLoggedAndSkipped) {
  const fs::path absolute = dir_.path() / "absolute.txt";
  writeDiscs(" (\"../escape.txt\" 4 0 0) (\"" + absolute.string() + "\" 4 0 0)");
  dir_.write("escape.txt", "away");
  const platform::ProcessResult result = installTestGame();
  expectSuccess(result);
  for (const std::string& entry : {std::string("../escape.txt"), absolute.string()}) {
    EXPECT_NE(result.output.find("st_menu.lst: 不正なパスのファイルを無視します(" + entry + ")"), std::string::npos)
        << entry << "\n" << result.output;
  }
  EXPECT_TRUE(fs::exists(install_ / "readme.txt"));
  EXPECT_TRUE(fs::exists(install_ / "data/deep/level.dat"));
  EXPECT_FALSE(fs::exists(absolute));
  for (const std::string& path : Walk(prefix_)) {
    EXPECT_TRUE(path == "Test Maker" || path.rfind("Test Maker/Install Test", 0) == 0) << path;
  }
  EXPECT_FALSE(fs::exists(prefix_ / "escape.txt"));
}

TEST_F(AppWInstall, SampleGameInstallsWithoutADesktopStartsAndUninstallsToWhatWasThere) {
  const std::string before = snapshot();
  platform::ProcessResult result = install(kSampleSetup);
  expectSuccess(result);
  // No desktop folder (or, as root, no desktop for all users): no desktop
  // launcher, and the install goes on.
  EXPECT_NE(result.output.find("デスクトップショートカットは作成しません"), std::string::npos) << result.output;
  EXPECT_FALSE(fs::exists(desktop_));
  const fs::path installed = prefix_ / "zep sample" / "Sample Game";
  const fs::path sample = kSampleSetup.parent_path();
  // Every file of the game is listed, so installed as it is (the setup
  // files, the disc's mark and what test runs of the game leave in
  // storage/ aside).
  for (const std::string& name : Walk(sample)) {
    if (!fs::is_regular_file(sample / name) || name.rfind("setup/", 0) == 0 || name.rfind("storage/", 0) == 0 ||
        name == "DISCID") {
      continue;
    }
    EXPECT_TRUE(ReadWholeFile(installed / name) == ReadWholeFile(sample / name)) << name;
  }
  EXPECT_TRUE(fs::exists(data_ / "applications/zep sample/Sample Game/Sample Game.desktop"));
  // The movie module beside the installed engine, which plays the story's movie.
  EXPECT_TRUE(ReadWholeFile(installed / "libzep_movie.so") == ReadWholeFile(dir_.path() / "libzep_movie.so"));

  // The installed engine starts the installed game, whose scripts run until
  // a quit signal ends it normally.
  result = runIsolated({"timeout", "--preserve-status", "-s", "TERM", "3", (installed / "st_menu").string(), "-d",
                        "-workdir", installed.string(), "game.scm"});
  EXPECT_EQ(result.exitCode, 0) << result.output.substr(0, 4000);
  EXPECT_NE(result.output.find("CallUserFunc("), std::string::npos);

  // The uninstall leaves the game's saves, on purpose.
  const fs::path saves = data_ / "zep sample";
  ASSERT_TRUE(fs::exists(saves / "Sample Game/save/system.dat"));
  result = uninstall(u"ZepSampleGame");
  expectSuccess(result);
  fs::remove_all(saves);
  EXPECT_EQ(snapshot(), before);
}

// A kill at every step of the work, at its preparation, once the work is
// done (registered, not finalised) and at its finalisation: the next install
// takes the half install over, and its uninstall leaves nothing behind.
// The sweep runs in parts, each killing at every kInstallKillParts-th step,
// so that a part stays well within the test time limit under the sanitizers.
constexpr int kInstallKillParts = 4;

class AppWInstallKilled : public AppWInstall, public testing::WithParamInterface<int> {};

TEST_P(AppWInstallKilled, AnInstallKilledAnywhereIsTakenOverAndUninstalledWithoutATrace) {
  writeDiscs();
  fs::create_directories(desktop_);
  const std::string before = snapshot();
  const auto isStep = [](const std::string& line) {
    return line.find("SetupAPIImpl::req_Prepare(") != std::string::npos ||
           line.find("] CMD_") != std::string::npos || line.find("] RES_DONEWORK") != std::string::npos ||
           line.find("CallUserFunc(9009,") != std::string::npos;
  };
  // The steps of a whole run, one log line each.
  platform::ProcessResult result = installTestGame();
  expectSuccess(result);
  size_t steps = 0;
  for (size_t start = 0; start < result.output.size();) {
    const size_t end = std::min(result.output.find('\n', start), result.output.size());
    if (isStep(result.output.substr(start, end - start))) ++steps;
    start = end + 1;
  }
  ASSERT_GE(steps, 12u) << result.output;
  expectSuccess(uninstall(u"InstallTest"));
  ASSERT_EQ(snapshot(), before);

  const std::string pidFile = (dir_.path() / "pid").string();
  for (size_t kill = 1 + static_cast<size_t>(GetParam()); kill <= steps; kill += kInstallKillParts) {
    SCOPED_TRACE("killed at step " + std::to_string(kill));
    std::string command = "sh -c 'echo $$ > \"$0\"; exec \"$@\"' " + Quoted(pidFile);
    for (const std::string& arg : isolated(installArgs(dir_.path() / "disc1", (dir_.path() / "disc2").string()))) {
      command += " " + Quoted(arg);
    }
    command += " | { n=0; while IFS= read -r line; do case \"$line\" in *req_Prepare\\(*|*\"] CMD_\"*|"
               "*\"] RES_DONEWORK\"*|*\"CallUserFunc(9009,\"*) n=$((n+1)); [ $n -eq " + std::to_string(kill) +
               " ] && kill -9 $(cat " + Quoted(pidFile) + ");; esac; done; }";
    platform::RunProcess({"sh", "-c", command}, false);
    // A run the kill came too late for is complete; any other is taken over.
    if (!fs::exists(install_ / "VERSION")) expectSuccess(installTestGame());
    expectSuccess(uninstall(u"InstallTest"));
    ASSERT_EQ(snapshot(), before);
  }
}

INSTANTIATE_TEST_SUITE_P(Parts, AppWInstallKilled, testing::Range(0, kInstallKillParts));

TEST_F(AppWInstall, RelativeAndClimbingInstallFoldersAndAnUnsafeLauncherAreRefusedWithTheirRule) {
  writeDiscs();
  const std::string before = snapshot();
  const struct {
    std::string base;
    const char* line;
  } cases[] = {{"prefix", "インストール先が絶対パスではありません(prefix/Test Maker/Install Test)"},
               {prefix_.string() + "/../prefix", "インストール先に「.」や「..」のフォルダ名は使えません("}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.base);
    const platform::ProcessResult result =
        runIsolated(installArgs(dir_.path() / "disc1", (dir_.path() / "disc2").string(), c.base));
    EXPECT_EQ(result.exitCode, 1) << result.output;
    EXPECT_NE(result.output.find(c.line), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("RES_STOPPED : errcode=2\n"), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("[Install Test Setup] セットアップを中止しました"), std::string::npos);
    EXPECT_EQ(snapshot(), before);
    EXPECT_FALSE(fs::exists(dir_.path() / "disc1/prefix"));
  }
  // Setup files that fail their checks stop the run the same way.
  std::string text = ReadWholeFile(dir_.path() / "disc1/st_menu.ini");
  text.replace(text.find("runapp=bin/run.sh"), 17, "runapp=../../bin/sh");
  dir_.write("disc1/st_menu.ini", text);
  const platform::ProcessResult result = install(dir_.path() / "disc1");
  EXPECT_EQ(result.exitCode, 1) << result.output;
  EXPECT_NE(result.output.find("runappが不正です(./st_menu.ini)"), std::string::npos) << result.output;
  EXPECT_NE(result.output.find("[Install Test Setup] セットアップを中止しました"), std::string::npos);
  EXPECT_EQ(snapshot(), before);
}

// An edited record names another program's launchers, a file behind a
// linked folder and another program's registry items: none of them goes.
TEST_F(AppWInstall, AForgedRecordDeletesNothingTheInstallDidNotMake) {
  writeDiscs();
  fs::create_directories(desktop_);
  int32_t error = 0;
  ASSERT_TRUE(Win32RegWrite(HKEY_CURRENT_USER_ID, u"Software/Other", u"Value", APValue(int32_t{7}), &error));
  ASSERT_TRUE(Win32RegWrite(HKEY_LOCAL_MACHINE_ID, platform::FromUtf8(kUninstallKey) + u"Other", u"DisplayName",
                            APValue(std::u16string(u"Other")), &error));
  const std::vector<fs::path> others = {
      dir_.write("data/applications/other.desktop", "[Desktop Entry]\nExec=/usr/bin/other\n"),
      dir_.write("data/applications/Test Maker/Install Test/other.desktop", "[Desktop Entry]\nX-Zep-Install=/x\n"),
      dir_.write("Desktop/Other.desktop", "[Desktop Entry]\nExec=/usr/bin/other\n"),
      dir_.write("outside/kept.txt", "kept"), dir_.write("outside.txt", "outside")};
  const std::string otherRegistry = registryContent();
  expectSuccess(installTestGame());

  fs::create_directory_symlink(dir_.path() / "outside", install_ / "linked");
  std::string log = ReadWholeFile(install_ / "uninst.log");
  const auto insertAfter = [&log](const std::string& entry, const std::string& items) {
    const size_t at = log.find("(" + entry);
    ASSERT_NE(at, std::string::npos) << log;
    log.insert(at + 1 + entry.size(), " " + items);
  };
  insertAfter("file", "(\"" + others[0].string() + "\") (\"" + others[1].string() + "\") (\"" + others[2].string() +
                          "\") (\"" + (install_ / "linked/kept.txt").string() + "\") (\"" + others[4].string() +
                          "\")");
  insertAfter("reg-subkey", "(HKEY_LOCAL_MACHINE \"" + kUninstallKey + "Other\") (HKEY_CURRENT_USER \"Software\")");
  insertAfter("reg", "(HKEY_CURRENT_USER \"Software/Other\" \"Value\")");
  dir_.write("prefix/Test Maker/Install Test/uninst.log", log);

  const platform::ProcessResult result = uninstall(u"InstallTest");
  expectSuccess(result);
  for (const fs::path& other : others) EXPECT_TRUE(fs::exists(other)) << other;
  EXPECT_EQ(Walk(prefix_), (std::set<std::string>{"Test Maker", "Test Maker/Install Test",
                                                  "Test Maker/Install Test/linked"}));
  EXPECT_EQ(registryContent(), otherRegistry);
  EXPECT_EQ(Walk(desktop_), std::set<std::string>{"Other.desktop"});
  EXPECT_NE(result.output.find("作られたものではないので削除しません(" + others[1].string() + ")"), std::string::npos)
      << result.output;
}

TEST_F(AppWInstall, ARecordedFileThatBecameAFolderIsAskedAbout) {
  writeDiscs();
  expectSuccess(installTestGame());
  fs::remove(install_ / "readme.txt");
  fs::create_directories(install_ / "readme.txt/notes");
  const platform::ProcessResult result = uninstall(u"InstallTest");
  EXPECT_EQ(result.exitCode, 1) << result.output;
  const std::string path = (install_ / "readme.txt").string();
  EXPECT_NE(result.output.find("ファイルを削除できません(31:" + path + ")"), std::string::npos) << result.output;
  EXPECT_NE(result.output.find("RES_RETRYORABORT : cmdcode=3, file=" + path + "\n"), std::string::npos);
  EXPECT_NE(result.output.find("[Install Test Setup] 次のファイルを処理できないのでセットアップを中止しました：" + path),
            std::string::npos)
      << result.output;
  // The registration stays: the uninstall can run again.
  EXPECT_FALSE(registryText(u"InstallTest", u"UninstallString").empty());
}

// Without its record an uninstall still takes the registration and the
// setup program's own files away; what only the record named stays.
TEST_F(AppWInstall, WithoutItsRecordAnUninstallStillUnregistersAndRemovesTheSetupFiles) {
  writeDiscs();
  expectSuccess(installTestGame());
  fs::remove(install_ / "uninst.log");
  const platform::ProcessResult result = uninstall(u"InstallTest");
  expectSuccess(result);
  EXPECT_NE(result.output.find("uninst.logファイルが見つからない("), std::string::npos) << result.output;
  EXPECT_EQ(registryText(u"InstallTest", u"InstallLocation"), "");
  EXPECT_EQ(Walk(install_), (std::set<std::string>{"bin", "bin/run.sh", "data", "data/deep", "data/deep/level.dat",
                                                   "readme.txt"}));
}

// As root the launchers go to the system's start menu, there is no desktop
// launcher, and every installed file is readable by the players whatever
// the disc's modes and the umask.
TEST_F(AppWInstall, AnInstallAsRootServesEveryUser) {
  if (!root_) GTEST_SKIP() << "not root";
  asRoot_ = true;
  writeDiscs();
  fs::create_directories(desktop_);
  fs::permissions(dir_.path() / "disc1/readme.txt", fs::perms(0400));
  fs::permissions(dir_.path() / "disc1/bin/run.sh", fs::perms(0700));
  const std::string before = snapshot();
  const platform::ProcessResult result = installTestGame();
  expectSuccess(result);
  EXPECT_NE(result.output.find("全ユーザー共通のデスクトップがないので"), std::string::npos) << result.output;
  const fs::path menu = apps_ / "Test Maker" / "Install Test";
  for (const char* name : {"Play Test.desktop", "アンインストール.desktop"}) {
    EXPECT_EQ(fs::status(menu / name).permissions(), fs::perms(0644)) << name;
  }
  EXPECT_TRUE(Walk(desktop_).empty());
  EXPECT_FALSE(fs::exists(data_ / "applications"));
  for (const auto& [name, mode] : {std::pair<const char*, unsigned>{"readme.txt", 0644}, {"bin/run.sh", 0755},
                                   {"st_menu", 0755}, {"st_menu.ini", 0644}, {"bin", 0755}, {"data/deep", 0755},
                                   {"", 0755}, {"..", 0755}}) {
    EXPECT_EQ(fs::status(install_ / name).permissions(), fs::perms(mode)) << name;
  }
  expectSuccess(uninstall(u"InstallTest"));
  EXPECT_EQ(snapshot(), before);
}

// The runs of a user, and (where the test runs as root) of root.
class AppWInstallAs : public AppWInstall, public testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    if (GetParam() && !root_) GTEST_SKIP() << "not root";
    asRoot_ = GetParam();
  }
};

INSTANTIATE_TEST_SUITE_P(UserAndRoot, AppWInstallAs, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "Root" : "User"; });

// A disc file cut short while it is copied: the copy stops at its first
// chunk, when the file is truncated. Nothing is registered then, and the
// uninstaller in the install folder removes what the stopped install made,
// by its record.
TEST_P(AppWInstallAs, AFileCutShortWhileCopiedIsAskedAboutAndTheStoppedInstallUninstalls) {
  writeDiscs(" (\"big.dat\" 0 0 0)");
  const fs::path big = dir_.path() / "disc1/big.dat";
  const std::string before = snapshot();
  platform::ProcessResult result;
  // Disc 1 is the setup folder, which the script names ".".
  const std::string question = "RES_RETRYORABORT : cmdcode=1, file=./big.dat\n";
  // A copy that wins the race completes; the next try has a larger file.
  for (int attempt = 0; attempt < 3 && result.output.find(question) == std::string::npos; ++attempt) {
    if (attempt > 0) {
      expectSuccess(result);
      expectSuccess(uninstall(u"InstallTest"));
    }
    std::ofstream(big, std::ios::binary | std::ios::trunc).close();
    fs::resize_file(big, uintmax_t{256} << (20 + attempt));
    std::atomic<bool> done{false};
    std::thread cutter([&] {
      while (!done) {
        std::error_code error;
        for (fs::directory_iterator it(install_, error), end; !error && it != end; it.increment(error)) {
          if (it->path().filename().string().rfind("big.dat.tmp", 0) == 0 && fs::file_size(it->path(), error) > 0) {
            fs::resize_file(big, 0, error);
            return;
          }
        }
      }
    });
    result = installTestGame();
    done = true;
    cutter.join();
  }
  ASSERT_NE(result.output.find(question), std::string::npos) << result.output;
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.output.find("[Install Test Setup] 次のファイルを処理できないのでセットアップを中止しました：./big.dat"),
            std::string::npos)
      << result.output;
  EXPECT_EQ(registryText(u"InstallTest", u"InstallLocation"), "");
  const platform::ProcessResult removed = uninstallFrom(install_);
  expectSuccess(removed);
  EXPECT_EQ(snapshot(), before) << removed.output;
}

// The README's install of the sample, from a copy without its DISCID, into
// "$HOME/Games", which does not exist yet: the script says which disc it
// did not find, app_w exits with 1, and the README's uninstall leaves
// nothing, not even the base folder.
TEST_P(AppWInstallAs, TheSampleWithoutItsDiscIdSaysSoAndItsUninstallerLeavesNothing) {
  const fs::path disc = dir_.path() / "sample";
  fs::copy(kSampleSetup.parent_path(), disc, fs::copy_options::recursive);
  fs::remove(disc / "DISCID");
  const fs::path base = dir_.path() / "Games";
  const std::string before = snapshot();
  const platform::ProcessResult result = runIsolated(installArgs(disc / "setup", "", base.string()));
  EXPECT_EQ(result.exitCode, 1) << result.output;
  EXPECT_NE(result.output.find("[Sample Game Setup] Sample Gameが見つからないのでセットアップを中止しました"),
            std::string::npos)
      << result.output;
  EXPECT_EQ(registryText(u"ZepSampleGame", u"InstallLocation"), "");
  const platform::ProcessResult removed = uninstallFrom(base / "zep sample" / "Sample Game");
  expectSuccess(removed);
  EXPECT_FALSE(fs::exists(base)) << removed.output;
  EXPECT_EQ(snapshot(), before);
}

// The player moved a folder away and left a link in its place: the
// uninstall passes over the link and what lies behind it, and removes the
// rest.
TEST_P(AppWInstallAs, AFolderReplacedByALinkIsPassedOverAndTheRestUninstalls) {
  writeDiscs();
  fs::create_directories(desktop_);
  const std::string before = snapshot();
  expectSuccess(installTestGame());
  const fs::path moved = dir_.path() / "elsewhere/data";
  fs::create_directories(moved.parent_path());
  fs::rename(install_ / "data", moved);
  fs::create_directory_symlink(moved, install_ / "data");
  const platform::ProcessResult result = uninstall(u"InstallTest");
  expectSuccess(result);
  for (const char* path : {"data/deep/level.dat", "data/deep", "data"}) {
    EXPECT_NE(result.output.find("uninst.log: 削除対象として不適切なパスを無視します(" + (install_ / path).string() + ")"),
              std::string::npos)
        << path << "\n" << result.output;
  }
  EXPECT_EQ(ReadWholeFile(moved / "deep/level.dat"), "level");
  EXPECT_EQ(Walk(prefix_), (std::set<std::string>{"Test Maker", "Test Maker/Install Test",
                                                  "Test Maker/Install Test/data"}));
  fs::remove_all(prefix_ / "Test Maker");
  EXPECT_EQ(snapshot(), before);
}

// Folders an install cannot keep are refused before anything is made.
TEST_P(AppWInstallAs, NonUtf8AndOverlongInstallFoldersAreRefusedBeforeAnythingIsMade) {
  writeDiscs();
  const std::string before = snapshot();
  std::string deep = prefix_.string();
  while (deep.size() < 4000) deep += "/" + std::string(200, 'd');
  const struct {
    std::string base;
    const char* line;
  } cases[] = {{prefix_.string() + "/caf\xe9", "インストール先のフォルダ名がUTF-8ではありません("},
               {prefix_.string() + "/" + std::string(256, 'n'), "インストール先のパスが長すぎます("},
               {deep, "インストール先のパスが長すぎます("}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    const platform::ProcessResult result =
        runIsolated(installArgs(dir_.path() / "disc1", (dir_.path() / "disc2").string(), c.base));
    EXPECT_EQ(result.exitCode, 1) << result.output;
    EXPECT_NE(result.output.find(c.line), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("[Install Test Setup] セットアップを中止しました"), std::string::npos);
    EXPECT_EQ(snapshot(), before);
  }
}

// Kills at every command boundary of an uninstall, in parts that run as
// tests of their own (every twelfth boundary each, so that a part stays
// short under the sanitizers too): while st_menu is there, the same
// uninstall command finishes the uninstall; once it is gone, an install
// takes the rest over and its uninstall finishes. Either way nothing of the
// install is left, the base folder it made included. Each boundary after a
// part's first starts from a copy of what its install made.
constexpr int kUninstallKillParts = 12;

class AppWUninstallKilled : public AppWInstall, public testing::WithParamInterface<std::tuple<bool, int>> {
 protected:
  void SetUp() override {
    if (std::get<0>(GetParam()) && !root_) GTEST_SKIP() << "not root";
    asRoot_ = std::get<0>(GetParam());
  }
};

TEST_P(AppWUninstallKilled, AtEveryCommandBoundaryTheNextRunFinishesTheUninstall) {
  writeDiscs();
  fs::create_directories(desktop_);
  const fs::path base = prefix_ / "new/base";
  const fs::path installed = base / "Test Maker" / "Install Test";
  const auto install = [&] {
    return runIsolated(installArgs(dir_.path() / "disc1", (dir_.path() / "disc2").string(), base.string()));
  };
  const std::string before = snapshot();
  expectSuccess(install());
  const fs::path kept = dir_.path() / "installed";
  const std::vector<fs::path> touched = {prefix_, data_, desktop_, apps_, dir_.path() / "registry"};
  fs::create_directories(kept);
  for (size_t i = 0; i < touched.size(); ++i) {
    if (fs::exists(touched[i])) fs::copy(touched[i], kept / std::to_string(i), fs::copy_options::recursive);
  }

  // Boundaries 0 (before the first command) to the number of commands.
  const size_t first = static_cast<size_t>(std::get<1>(GetParam()));
  size_t commands = SIZE_MAX;
  for (size_t n = first; n <= commands; n += kUninstallKillParts) {
    SCOPED_TRACE("killed after command " + std::to_string(n));
    if (n != first) {
      for (size_t i = 0; i < touched.size(); ++i) {
        if (fs::exists(kept / std::to_string(i))) {
          fs::copy(kept / std::to_string(i), touched[i],
                   fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        }
      }
    }
    extraEnvironment_ = {"ZEP_TEST_UNINSTALL_KILL_AFTER=" + std::to_string(n)};
    const platform::ProcessResult result = uninstallFrom(installed);
    extraEnvironment_.clear();
    ASSERT_EQ(result.exitCode, -1) << result.output;
    const std::string prepared = "RES_DONEPREPARE : commands=";
    const size_t at = result.output.find(prepared);
    ASSERT_NE(at, std::string::npos) << result.output;
    commands = std::stoul(result.output.substr(at + prepared.size()));
    ASSERT_GE(commands, 30u) << result.output;
    if (!fs::exists(installed / "st_menu")) expectSuccess(install());
    expectSuccess(uninstallFrom(installed));
    ASSERT_EQ(snapshot(), before);
  }
}

INSTANTIATE_TEST_SUITE_P(UserAndRoot, AppWUninstallKilled,
                         testing::Combine(testing::Bool(), testing::Range(0, kUninstallKillParts)),
                         [](const testing::TestParamInfo<std::tuple<bool, int>>& info) {
                           return std::string(std::get<0>(info.param) ? "Root" : "User") + "Part" +
                                  std::to_string(std::get<1>(info.param));
                         });

// The disc prompt (9020) of a setup script that asks for disc 2, the first
// folder "/nowhere", and keeps the answer in system variable 900. The
// programs the runs find are those in bin/ (a shell, and zenity where a
// test puts one there).
class AppWDiscPrompt : public AppWInstallAs {
 protected:
  AppWDiscPrompt() {
    writeDiscs();
    dir_.write("disc1/setup/scene/scene9010.scm",
               "(a3:define-set (0 0)\n"
               " (a3:call-user-func 9002 0)\n"
               " (a3:call-user-func 9005 0 0 \".\" \".\")\n"
               " (a3:call-user-func 9014 0 10000)\n"
               " (a3:call-user-func 4100 5 \"/nowhere\")\n"
               " (a3:call-user-func 9020 0 1 5)\n"
               " (a3:call-user-func 4111 900 (a3:idref-reflag))\n"
               " (a3:call-user-func 9003 0)\n"
               " (a3:call-user-func 6000))\n");
    fs::create_directories(dir_.path() / "bin");
    fs::create_symlink("/bin/sh", dir_.path() / "bin/sh");
    extraEnvironment_ = {"PATH=" + (dir_.path() / "bin").string()};
  }

  // A display to show dialogs on (the engine's window stays offscreen),
  // and a session bus that is not there: with none named, libdbus (which
  // SDL's video start opens) would fork the engine, start-up threads and
  // all, to start one for the display.
  void withDisplay() {
    extraEnvironment_.insert(extraEnvironment_.begin(), {"-u", "ZEP_NO_DIALOGS"});
    extraEnvironment_.push_back("DISPLAY=:zep-test");
    extraEnvironment_.push_back("DBUS_SESSION_BUS_ADDRESS=unix:path=" + (dir_.path() / "no-bus").string());
  }

  void writeZenity(const std::string& body) {
    fs::permissions(dir_.write("bin/zenity", "#!/bin/sh\n" + body), fs::perms(0755));
  }

  platform::ProcessResult prompt() { return install(dir_.path() / "disc1"); }

  // The prompt run in the background and sent SIGTERM once its output holds
  // `ready` (and half a second later): it must still run then and end
  // within 2 s, its prompt answering 0. Its output.
  std::string promptEndedByQuitSignal(const std::string& ready) {
    const fs::path out = dir_.path() / "prompt.out";
    std::vector<std::string> argv = {
        "sh", "-c",
        "out=$1; ready=$2; shift 2; \"$@\" > \"$out\" 2>&1 & pid=$!; i=0; "
        "while ! grep -qF -e \"$ready\" \"$out\" && [ $i -lt 400 ]; do sleep 0.05; i=$((i+1)); done; sleep 0.5; "
        "kill -0 $pid && t0=$(date +%s%N) && kill -TERM $pid && wait $pid && "
        "echo \"ms=$(( ($(date +%s%N) - t0) / 1000000 ))\"",
        "sh", out.string(), ready};
    for (const std::string& arg : isolated(installArgs(dir_.path() / "disc1"))) argv.push_back(arg);
    const std::string shell = platform::RunProcess(argv, true).output;
    const std::string output = ReadWholeFile(out);
    const size_t at = shell.find("ms=");
    EXPECT_NE(at, std::string::npos) << shell << output.substr(0, 4000);
    if (at != std::string::npos) {
      EXPECT_LT(std::stol(shell.substr(at + 3)), 2000);
    }
    EXPECT_NE(output.find("CallUserFunc(4111, 900, 0)"), std::string::npos) << output.substr(0, 4000);
    return output;
  }
};

INSTANTIATE_TEST_SUITE_P(UserAndRoot, AppWDiscPrompt, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "Root" : "User"; });

TEST_P(AppWDiscPrompt, WithoutZenityItAsksInTheInputBoxOrWithoutADisplayAnswersCancelled) {
  // No display: cancelled at once, and the log says what is missing.
  const platform::ProcessResult result = prompt();
  EXPECT_EQ(result.exitCode, 0) << result.output;
  EXPECT_NE(result.output.find("ダイアログに使うzenityが見つかりません"), std::string::npos) << result.output;
  EXPECT_NE(result.output.find("CallUserFunc(4111, 900, 0)"), std::string::npos) << result.output;
  // A display: the input box waits for the player until a quit signal.
  withDisplay();
  promptEndedByQuitSignal("ダイアログに使うzenityが見つかりません");
}

TEST_P(AppWDiscPrompt, ZenityGetsAUtf8LocaleFailsWithItsExitCodeAndAQuitSignalEndsItsLoop) {
  withDisplay();
  writeZenity("printf '%s' \"$LC_ALL\" > '" + (dir_.path() / "locale").string() + "'\nexit 255\n");
  extraEnvironment_.insert(extraEnvironment_.begin(), {"-u", "LC_ALL", "-u", "LC_CTYPE"});
  extraEnvironment_.push_back("LANG=C");
  platform::ProcessResult result = prompt();
  EXPECT_NE(result.output.find("フォルダ選択ダイアログ(zenity)が失敗しました(255)"), std::string::npos) << result.output;
  EXPECT_NE(result.output.find("CallUserFunc(4111, 900, -1)"), std::string::npos) << result.output;
  EXPECT_EQ(ReadWholeFile(dir_.path() / "locale"), "C.UTF-8");

  // The right disc chosen: its folder's length.
  const std::string disc2 = (dir_.path() / "disc2").string();
  writeZenity("echo '" + disc2 + "'\n");
  result = prompt();
  EXPECT_NE(result.output.find("CallUserFunc(4111, 900, " + std::to_string(disc2.size()) + ")"), std::string::npos)
      << result.output;

  // A wrong disc, again and again, until a quit signal.
  writeZenity("echo /nowhere\n");
  promptEndedByQuitSignal("正しいディスクをセットしてください");
}

}  // namespace
