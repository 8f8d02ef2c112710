// Installs through the real app_w: a setup program (the sample's setup
// script under a configuration of the test's own) copies a two-disc game
// into a prefix in the test's folder, registers it and makes its launchers;
// a second install stops; the uninstaller started as "UninstallString" says
// removes what the install made and nothing else. The sample game's own
// setup installs, starts and uninstalls the same way.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "app/registry.h"
#include "platform/utf8.h"
#include "script/ap_value.h"
#include "tests/support/app_w_run.h"

namespace fs = std::filesystem;

namespace {

const fs::path kSampleSetup = fs::path(ZEP_SOURCE_DIR) / "examples" / "sample" / "setup";

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

// Every path below the folder, relative to it ("" when it is missing).
std::set<std::string> Walk(const fs::path& folder) {
  std::set<std::string> paths;
  if (!fs::exists(folder)) return paths;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    paths.insert(fs::relative(entry.path(), folder).string());
  }
  return paths;
}

int64_t UnixTime(const fs::path& file) {
  const auto written = std::chrono::file_clock::to_sys(fs::last_write_time(file));
  return std::chrono::time_point_cast<std::chrono::seconds>(written).time_since_epoch().count();
}

class AppWInstall : public AppWRun {
 protected:
  AppWInstall() {
    dir_.write("config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"" + desktop_.string() + "\"\n");
    fs::create_directories(desktop_);
  }

  // argv with the test's own registry, XDG folders and runtime folder.
  platform::ProcessResult runIsolated(const std::vector<std::string>& argv) {
    std::vector<std::string> command = {"env",
                                        "ZEP_REGISTRY_DIR=" + (dir_.path() / "registry").string(),
                                        "XDG_DATA_HOME=" + data_.string(),
                                        "XDG_CONFIG_HOME=" + (dir_.path() / "config").string(),
                                        "XDG_RUNTIME_DIR=" + dir_.path().string(),
                                        "SDL_VIDEODRIVER=offscreen",
                                        "ASAN_OPTIONS=detect_leaks=0"};
    command.insert(command.end(), argv.begin(), argv.end());
    return platform::RunProcess(command, true);
  }

  // The setup program from its folder: the install base and the folder of
  // disc 2 (when given) follow the configuration file.
  platform::ProcessResult install(const fs::path& setupFolder, const std::string& disc2 = "") {
    std::vector<std::string> argv = {(dir_.path() / "app_w").string(), "-d", "-workdir", setupFolder.string(),
                                     "st_menu.scm", prefix_.string()};
    if (!disc2.empty()) argv.push_back(disc2);
    return runIsolated(argv);
  }

  // "UninstallString" of the product, run as written.
  platform::ProcessResult uninstall(const std::u16string& productKey) {
    const std::string line = registryText(productKey, u"UninstallString");
    EXPECT_FALSE(line.empty());
    return runIsolated(SplitCommandLine(line));
  }

  static std::string registryText(const std::u16string& productKey, const std::u16string& name) {
    APValue value;
    int32_t error = 0;
    if (!Win32RegRead(HKEY_LOCAL_MACHINE_ID, u"SOFTWARE/Microsoft/Windows/CurrentVersion/Uninstall/" + productKey,
                      name, &value, &error) ||
        !value.isString()) {
      return "";
    }
    return platform::ToUtf8(value.svalue);
  }

  std::string registryFile() const { return ReadWholeFile(dir_.path() / "registry" / "HKLM.reg"); }

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

  // The test reads the registry the runs write.
  ScopedEnv registry_{"ZEP_REGISTRY_DIR", (dir_.path() / "registry").c_str()};
  const fs::path prefix_ = dir_.path() / "prefix";
  const fs::path data_ = dir_.path() / "data";
  const fs::path desktop_ = dir_.path() / "Desktop";
  const fs::path install_ = prefix_ / "Test Maker" / "Install Test";
  const fs::path menu_ = data_ / "applications" / "Test Maker" / "Install Test";
};

TEST_F(AppWInstall, InstallsTwoDiscsStopsASecondInstallAndUninstallsAllOfIt) {
  writeDiscs();
  platform::ProcessResult result = install(dir_.path() / "disc1", (dir_.path() / "disc2").string());
  ASSERT_EQ(result.exitCode, 0) << result.output;
  for (const char* expected : {"CallUserFunc(4111, 900, 100)", "CallUserFunc(4111, 901, 101)",
                               "CallUserFunc(4111, 904, 1)", "CallUserFunc(4111, 902, 103)",
                               "CallUserFunc(4111, 903, 104)"}) {
    EXPECT_NE(result.output.find(expected), std::string::npos) << expected << "\n" << result.output;
  }

  // The game's files with the listed times and the disc's mode bits, the
  // setup program's files and the records.
  EXPECT_EQ(ReadWholeFile(install_ / "bin/run.sh"), "#!/bin/sh\n");
  EXPECT_EQ(fs::status(install_ / "bin/run.sh").permissions(), fs::perms(0755));
  EXPECT_EQ(UnixTime(install_ / "bin/run.sh"), 1500000000);
  EXPECT_EQ(UnixTime(install_ / "readme.txt"), 1400000000);
  EXPECT_EQ(ReadWholeFile(install_ / "data/deep/level.dat"), "level");
  EXPECT_EQ(UnixTime(install_ / "data/deep/level.dat"), 1300000000);
  EXPECT_EQ(ReadWholeFile(install_ / "VERSION"), "1.0.3");
  EXPECT_NE((fs::status(install_ / "st_menu").permissions() & fs::perms::owner_exec), fs::perms::none);
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
  EXPECT_NE(ReadWholeFile(menu_ / "アンインストール.desktop").find("-uninstall"), std::string::npos);
  EXPECT_NE(ReadWholeFile(desktop_ / "Play Test.desktop").find("bin/run.sh"), std::string::npos);

  // Installed already: the setup run stops at once.
  result = install(dir_.path() / "disc1", (dir_.path() / "disc2").string());
  EXPECT_EQ(result.exitCode, 0) << result.output;
  EXPECT_NE(result.output.find("CallUserFunc(4111, 900, 1)"), std::string::npos) << result.output;
  EXPECT_NE(result.output.find("RES_STOPPED : errcode=3\n"), std::string::npos) << result.output;

  // A file of the user's in the install folder stays, with its folder; the
  // forged log's file outside the install folder stays too.
  dir_.write("prefix/Test Maker/Install Test/mine.txt", "mine");
  const fs::path outside = dir_.write("outside.txt", "outside");
  std::string log = ReadWholeFile(install_ / "uninst.log");
  const size_t files = log.find("(file");
  ASSERT_NE(files, std::string::npos) << log;
  log.insert(files + 5, " (\"" + outside.string() + "\")");
  dir_.write("prefix/Test Maker/Install Test/uninst.log", log);

  result = uninstall(u"InstallTest");
  EXPECT_EQ(result.exitCode, 0) << result.output;
  EXPECT_EQ(Walk(prefix_), (std::set<std::string>{"Test Maker", "Test Maker/Install Test",
                                                  "Test Maker/Install Test/mine.txt"}));
  EXPECT_TRUE(fs::exists(outside));
  EXPECT_EQ(Walk(data_), (std::set<std::string>{"applications"}));
  EXPECT_EQ(Walk(desktop_), std::set<std::string>{});
  EXPECT_EQ(registryFile().find("InstallTest"), std::string::npos) << registryFile();
}

TEST_F(AppWInstall, ListEntriesLeadingOutOfTheInstallFolderAreLoggedAndSkipped) {
  const fs::path absolute = dir_.path() / "absolute.txt";
  writeDiscs(" (\"../escape.txt\" 4 0 0) (\"" + absolute.string() + "\" 4 0 0)");
  dir_.write("escape.txt", "away");
  const platform::ProcessResult result = install(dir_.path() / "disc1", (dir_.path() / "disc2").string());
  ASSERT_EQ(result.exitCode, 0) << result.output;
  EXPECT_NE(result.output.find("CallUserFunc(4111, 903, 104)"), std::string::npos) << result.output;
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

TEST_F(AppWInstall, SampleGameInstallsStartsAndUninstalls) {
  platform::ProcessResult result = install(kSampleSetup);
  ASSERT_EQ(result.exitCode, 0) << result.output;
  EXPECT_NE(result.output.find("CallUserFunc(4111, 903, 104)"), std::string::npos) << result.output;
  const fs::path installed = prefix_ / "zep sample" / "Sample Game";
  const fs::path sample = kSampleSetup.parent_path();
  for (const char* name : {"game.scm", "scene/scene9010.scm", "voice/001/v0010001.ogg", "save/default.dat"}) {
    EXPECT_TRUE(ReadWholeFile(installed / name) == ReadWholeFile(sample / name)) << name;
  }

  // The installed engine starts the installed game, whose scripts run until
  // a quit signal ends it normally.
  result = runIsolated({"timeout", "--preserve-status", "-s", "TERM", "3", (installed / "st_menu").string(), "-d",
                        "-workdir", installed.string(), "game.scm"});
  EXPECT_EQ(result.exitCode, 0) << result.output.substr(0, 4000);
  EXPECT_NE(result.output.find("CallUserFunc("), std::string::npos);

  result = uninstall(u"ZepSampleGame");
  EXPECT_EQ(result.exitCode, 0) << result.output;
  EXPECT_EQ(Walk(prefix_), std::set<std::string>{});
  EXPECT_FALSE(fs::exists(data_ / "applications" / "zep sample"));
  EXPECT_EQ(registryFile().find("ZepSampleGame"), std::string::npos) << registryFile();
}

}  // namespace
