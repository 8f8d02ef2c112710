// Preparation and finalisation of a setup run: the install list's order
// (folders, then each disc's check and copies, then registry and launcher
// commands in action order, then registration), the copy of the setup
// program's own files, the runs that stop, the patch list and the uninstall
// record written at the end.
#include "setup/setup_api_impl.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/format.h"
#include "platform/process.h"
#include "platform/utf8.h"
#include "setup/setup_commands.h"
#include "setup/setup_ini.h"
#include "tests/support/test_support.h"

namespace {

using namespace libsetup;
using namespace ns_SetupIns;
using platform::FromUtf8;
using platform::ToUtf8;
namespace fs = std::filesystem;

class SetupPrepare : public testing::Test {
 protected:
  // Posts the request and answers its response once the state has moved on
  // (the worker queues the response first, then stores the state).
  std::unique_ptr<Response> ask(Request* request) {
    const int32_t before = worker_.stateForTests();
    std::unique_ptr<Request> owned(request);
    EXPECT_TRUE(worker_.postRequest(owned));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (worker_.stateForTests() == before && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return worker_.popResponse();
  }
  // A fresh run in state 2: actions of group `group`, files of the discs.
  std::unique_ptr<Response> prepare(int32_t mode, int32_t group, std::vector<Action*> actions,
                                    std::vector<std::pair<int32_t, FileEntry>> files, const std::u16string& install,
                                    const std::string& source = "src") {
    worker_.stop();
    auto table = MakeSharedRef<ActionTable>();
    (*table)[group] = MakeSharedRef<ActionGroup>();
    for (Action* action : actions) (*table)[group]->push_back(SharedRef<Action>(action));
    auto list = MakeSharedRef<FileTable>();
    for (auto& [disc, entry] : files) {
      if (!(*list)[disc]) (*list)[disc] = MakeSharedRef<FileGroup>();
      (*list)[disc]->push_back(entry);
    }
    EXPECT_TRUE(worker_.start());
    worker_.setRunForTests(mode, table, list, 5, install, path(source));
    return ask(new Req_Prepare(100));
  }
  std::u16string path(const std::string& name) const { return FromUtf8((dir_.path() / name).string()); }

  TempDir dir_;
  SetupAPIImpl worker_;
};

TEST_F(SetupPrepare, InstallListsFoldersDiscsActionsAndCopiesTheSetupProgram) {
  for (const char* name : {"st_menu.scm", "st_menu.ini", "st_menu.ins", "st_menu.lst", "setup/a.txt", "setup/.h"}) {
    dir_.write(std::string("src/") + name, name);
  }
  fs::permissions(dir_.write("src/setup/sub/run.sh", "#!/bin/sh\n"), fs::perms::owner_all);
  fs::create_symlink(dir_.path() / "src/st_menu.ini", dir_.path() / "src/setup/link.txt");
  fs::create_directory_symlink(dir_.path() / "src/setup/sub", dir_.path() / "src/setup/linked");
  auto* value = new ActRegCreateKey();
  const std::unique_ptr<Response> answer = prepare(
      Req_Setup::kModeInstall, 5,
      {new ActAddStartMenu(u"Play", true, u"game"), new ActCopy(2, u"movie/*"), value, new ActCopy(0, u"a/b/c.txt"),
       new ActCopy(0, u"A/D.TXT"), new ActRegCreateSubKey(1, u"K", u"s"), new ActCopy(0, u"none.txt"),
       new ActCreateStartMenu(), new ActUninstall(), new ActCreateDesktopShortCut(),
       new ActAddStartMenu(u"Web", false, u"/usr/bin/web"), new ActCopy(0, u"a/d.txt")},
      {{2, {u"movie/op.mpg", 100}}, {2, {u"movie/ed/e.mpg", 200}}, {2, {u"z.mpg", 400}}, {0, {u"a/b/c.txt", 10, 7}},
       {0, {u"a/d.txt", 20}}},
      path("inst"));
  ASSERT_NE(answer, nullptr);
  ASSERT_EQ(answer->code, Response::kDonePrepare);
  EXPECT_EQ(static_cast<Res_DonePrepare&>(*answer).commandCount, 18);
  EXPECT_EQ(static_cast<Res_DonePrepare&>(*answer).totalBytes, 13 * 256 + 350);

  const std::string inst = ToUtf8(path("inst"));
  const std::vector<std::string> expected = {
      "MKDIR: " + inst + "/a", "MKDIR: " + inst + "/a/b", "MKDIR: " + inst + "/movie", "MKDIR: " + inst + "/movie/ed",
      "CHANGE_DISC: discIndex = 0", "COPYFILE: a/b/c.txt -> a/b/c.txt", "COPYFILE: a/d.txt -> a/d.txt",
      "COPYFILE: a/d.txt -> a/d.txt",  // named twice, copied twice
      "CHANGE_DISC: discIndex = 2", "COPYFILE: movie/op.mpg -> movie/op.mpg",
      "COPYFILE: movie/ed/e.mpg -> movie/ed/e.mpg", "ADDSTARTMENU: [Play][" + inst + "/game]",
      "REG_SETKEY: " + ToUtf8(Format(u"%p", static_cast<const void*>(value))), "REG_MKSUBKEY: [1][K][s]",
      "CREATESTARTMENU:", "CREATEDESKTOPSHORTCUT:", "ADDSTARTMENU: [Web][/usr/bin/web]", "REGISTERPRODUCT:"};
  LogCapture log;
  for (const std::unique_ptr<Command>& command : worker_.commands()) command->describe(LOG_ERROR);
  ASSERT_EQ(log.lines().size(), expected.size()) << log.all();
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_NE(log.lines()[i].find("CMD_" + expected[i] + "\n"), std::string::npos) << log.lines()[i];
  }
  EXPECT_EQ(static_cast<const CmdCopyFile&>(*worker_.commands()[5]).time, 7);

  const fs::path to = dir_.path() / "inst";
  EXPECT_EQ(fs::file_size(to / "st_menu"), fs::file_size(platform::ExecutablePath()));
  for (const char* name : {"st_menu", "setup/sub/run.sh"}) {
    EXPECT_NE(fs::status(to / name).permissions() & fs::perms::owner_exec, fs::perms::none) << name;
  }
  for (const char* name : {"st_menu.scm", "st_menu.ini", "st_menu.ins", "st_menu.lst", "setup/a.txt"}) {
    EXPECT_TRUE(fs::is_regular_file(to / name)) << name;
  }
  for (const char* name : {"setup/.h", "setup/link.txt", "setup/linked"}) {
    EXPECT_FALSE(fs::exists(fs::symlink_status(to / name))) << name;
  }
}

TEST_F(SetupPrepare, InstallStopsWithoutActionsDiscFolderOrSetupFile) {
  for (const char* name : {"st_menu.scm", "st_menu.ini", "st_menu.ins", "st_menu.lst"}) {
    dir_.write(std::string("src/") + name, name);
  }
  dir_.write("bare/st_menu.scm", "");
  const struct {
    int32_t group, disc;  // the run asks for group 5; the file list has disc 0
    const char* install;  // below the temporary folder unless it starts with "/" or "."
    const char* source;
    const char* line;  // with the last WARN line of the step that failed
  } cases[] = {
      {7, 0, "inst", "src", "存在しないアクション番号です(5)"},
      {5, 3, "inst", "src", ""},
      {5, 0, "/", "src", ""},
      {5, 0, "//", "src", ""},
      {5, 0, "./inst", "src", ""},
      {5, 0, "in\"st", "src", ""},
      {5, 0, "inst", "bare", "/bare/st_menu.ini:"},  // ファイルのコピーに失敗しました(source:destination)
  };
  const std::string build = "インストールアクションの生成に失敗しました";
  const std::string setupFiles = "セットアップファイルのインストールに失敗しました";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.install);
    ScopedLogMask mask(LOG_DEBUG | LOG_WARN);
    LogCapture log;
    const std::string install = c.install;
    const std::unique_ptr<Response> answer =
        prepare(Req_Setup::kModeInstall, c.group, {new ActCopy(c.disc, u"*")}, {{0, {u"a.txt", 1}}},
                install[0] == '/' || install[0] == '.' ? FromUtf8(install) : path(install), c.source);
    ASSERT_NE(answer, nullptr);
    ASSERT_EQ(answer->code, Response::kStopped);
    EXPECT_EQ(static_cast<Res_Stopped&>(*answer).errorCode, Res_Stopped::kErrorFailed);
    EXPECT_EQ(worker_.stateForTests(), kStateAborted);
    EXPECT_TRUE(log.contains(c.line)) << log.all();
    EXPECT_TRUE(log.contains(std::string(c.source) == "src" ? build : setupFiles)) << log.all();
  }
  EXPECT_FALSE(fs::exists("inst"));
  EXPECT_FALSE(fs::exists(dir_.path() / "in\"st"));
  EXPECT_TRUE(fs::exists(dir_.path() / "inst/st_menu.scm"));  // copied before the failure: stays
}

TEST_F(SetupPrepare, PatchWithoutGroupZeroHasNothingToDo) {
  dir_.write("inst/uninst.log", "((file) (dir) (reg) (reg-subkey))");
  const std::unique_ptr<Response> answer = prepare(Req_Setup::kModePatch, 0, {}, {{1, {u"a.txt", 5}}}, path("inst"));
  ASSERT_NE(answer, nullptr);
  ASSERT_EQ(answer->code, Response::kDonePrepare);
  EXPECT_EQ(static_cast<Res_DonePrepare&>(*answer).commandCount, 0);
  EXPECT_EQ(static_cast<Res_DonePrepare&>(*answer).totalBytes, 0);
}

TEST_F(SetupPrepare, FinalizeWritesTheRecordThenVersionOrStops) {
  fs::create_directories(dir_.path() / "inst");
  auto settings = MakeSharedRef<ns_SetupIni::SetupIni>();
  std::u16string error;
  settings->parseText("[setup]\nversion_key=2.5\n", &error);
  for (const char* install : {"inst", "missing/inst"}) {
    SCOPED_TRACE(install);
    worker_.stop();
    ASSERT_TRUE(worker_.start());
    worker_.setRunForTests(Req_Setup::kModeInstall, {}, {}, 0, path(install), path("src"));
    worker_.setSetupSettingsForTests(settings);
    worker_.prepareForTests({}, path(install), path("src"), kStateWorkDone);
    const std::unique_ptr<Response> answer = ask(new Req_Finalize());
    ASSERT_NE(answer, nullptr);
    const bool written = fs::is_regular_file(dir_.path() / install / "uninst.log");
    EXPECT_EQ(written, std::string(install) == "inst");
    // VERSION marks the installation complete, so it comes after the record.
    EXPECT_EQ(fs::exists(dir_.path() / install / "VERSION"), written);
    EXPECT_EQ(answer->code, written ? Response::kDoneFinalize : Response::kStopped);
    if (!written) {
      EXPECT_EQ(static_cast<Res_Stopped&>(*answer).errorCode, Res_Stopped::kErrorFailed);
    }
    EXPECT_EQ(worker_.stateForTests(), written ? kStateFinalized : kStateAborted);
  }
}

}  // namespace
