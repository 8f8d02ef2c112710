// The installer's action list and file list, read from files in a temporary
// folder, and the wildcard selection of file-list entries.
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/format.h"
#include "app/registry.h"
#include "setup/setup_ins.h"
#include "setup/wildcard.h"
#include "tests/support/test_support.h"

namespace {

using namespace ns_SetupIns;

class SetupListsTest : public testing::Test {
 protected:
  std::u16string write(const std::string& name, const std::string& text) {
    return dir_.write(name, text).u16string();
  }
  bool readActions(const std::string& text) {
    actions_.clear();
    return SetupIns::readActionFile(write("st_menu.ins", text), &actions_);
  }
  std::vector<int32_t> codes(int32_t key) {
    std::vector<int32_t> out;
    if (actions_.count(key)) {
      for (const SharedRef<Action>& action : *actions_[key]) out.push_back(action->code);
    }
    return out;
  }
  template <class T>
  const T& action(int32_t key, size_t index) {
    return static_cast<const T&>(*(*actions_.at(key))[index]);
  }

  ScopedLogMask mask_{LOG_DEBUG | LOG_WARN};
  LogCapture log_;
  TempDir dir_;
  ActionTable actions_;
};

TEST_F(SetupListsTest, ActionFileReadsEveryFormOfItsLastActionList) {
  ASSERT_TRUE(readActions(
      "(action (9 (uninstall)))\n(other 1)\n"
      "(action (1 (copy @target@ (@source@ 2) \"data/*.ogg\") (make-coffee)\n"
      "  (reg-create HKEY_CURRENT_USER \"Software/k\" \"n\" 7)\n"
      "  (reg-create HKEY_LOCAL_MACHINE \"Software/k\" \"s\" \"text\")\n"
      "  (reg-create HKEY_CURRENT_USER \"Software/k\" \"dir\" @source@)\n"
      "  (reg-create HKEY_CURRENT_USER \"Software/k\" \"exe\" (@target@ \"bin/game\"))\n"
      "  (reg-create-subkey HKEY_LOCAL_MACHINE \"Software\" \"k\")\n"
      "  (create-start-menu 5) (create-desktop-short-cut)\n"
      "  (add-start-menu \"Manual\" (@target@ \"doc/manual.html\")) (uninstall))\n"
      " (2 (uninstall)) (2 (create-start-menu)))"));
  EXPECT_EQ(actions_.size(), 2u);
  EXPECT_EQ(codes(2), std::vector<int32_t>({10}));
  EXPECT_EQ(codes(1), std::vector<int32_t>({1, 2, 2, 2, 2, 3, 10, 11, 12, 20}));
  EXPECT_EQ(action<ActCopy>(1, 0).discIndex, 2);
  EXPECT_EQ(action<ActCopy>(1, 0).pattern, u"data/*.ogg");
  // hive, value name, kind, alias, integer, text
  const char16_t* regs[] = {u"80000001 n 0 0 7 ", u"80000002 s 1 0 0 text", u"80000001 dir 2 0 0 ",
                            u"80000001 exe 3 1 0 bin/game"};
  for (size_t i = 0; i < 4; ++i) {
    const auto& reg = action<ActRegCreateKey>(1, i + 1);
    EXPECT_EQ(reg.keyPath, u"Software/k");
    EXPECT_EQ(Format(u"%x %s %d %d %d %s", reg.hive, reg.valueName, reg.valueKind, reg.alias, reg.intValue,
                     reg.stringValue),
              regs[i]);
  }
  const auto& subKey = action<ActRegCreateSubKey>(1, 5);
  EXPECT_EQ(subKey.hive, HKEY_LOCAL_MACHINE_ID);
  EXPECT_EQ(subKey.keyPath + u"|" + subKey.subKey, u"Software|k");
  const auto& link = action<ActAddStartMenu>(1, 8);
  EXPECT_TRUE(link.targetIsRelative);
  EXPECT_EQ(link.name + u"|" + link.target, u"Manual|doc/manual.html");
}

TEST_F(SetupListsTest, MalformedGroupEndsItsListAndKeepsTheGroupsBefore) {
  const struct {
    const char* group;
    const char* message;  // logged at DEBUG, or empty
  } cases[] = {
      {"(2 (copy @source@ (@source@ 0) \"a\"))", "copy: コピー先のエイリアスには@target@しか使えません(@source@)\n"},
      {"(2 (copy @target@ (@cd@ 0) \"a\"))", "copy: コピー元のエイリアスには@source@しか使えません(@cd@)\n"},
      {"(2 (reg-create HKEY_USERS \"k\" \"v\" 1))",
       "reg-create-key: ハイブ名は HKEY_CURRENT_USER または HKEY_LOCAL_MACHINE のみです(HKEY_USERS)\n"},
      {"(2 (reg-create-subkey hkey_current_user \"k\" \"v\"))",
       "reg-create-subkey: ハイブ名は HKEY_CURRENT_USER または HKEY_LOCAL_MACHINE のみです(hkey_current_user)\n"},
      {"(2 (add-start-menu \"n\" (@source@ \"x\")))",
       "add-start-menu: リンク先のエイリアスには@target@しか使えません(@source@)\n"},
      {"(2 (copy @target@ (@source@ 0)))", ""},
      {"(2 (copy @target@ (@source@ \"0\") \"a\"))", ""},
      {"(2 (reg-create HKEY_CURRENT_USER \"k\" \"v\"))", ""},
      {"(2 (reg-create HKEY_CURRENT_USER \"k\" \"v\" (@target@ 5)))", ""},
      {"(2 (reg-create HKEY_CURRENT_USER \"k\" \"v\" @elsewhere@))", ""},
      {"(2 (reg-create-subkey HKEY_CURRENT_USER \"k\"))", ""},
      {"(2 (add-start-menu \"n\" \"/usr/bin/x\"))", ""},
      {"(2 (uninstall) (\"copy\"))", ""},
      {"(x (uninstall))", ""},
  };
  for (const auto& c : cases) {
    log_.clear();
    EXPECT_TRUE(readActions(std::string("(action (1 (uninstall)) ") + c.group + " (3 (uninstall)))"));
    EXPECT_EQ(actions_.size(), 1u) << c.group;
    EXPECT_EQ(codes(1), std::vector<int32_t>({20})) << c.group;
    if (*c.message) {
      EXPECT_TRUE(log_.contains(c.message)) << log_.all();
    }
  }
}

TEST_F(SetupListsTest, UnsafePathsAreSkippedAndTheRestOfTheirGroupKept) {
  const char* bad[] = {"../x", "/etc/passwd", "a//b", "a\\b", "a\x01" "b"};
  std::string ins = "(action (1 (copy @target@ (@source@ 0) 5)";
  std::string lst = "(file (0 (\"a/ok.txt\" \"4294967296\" 7 8)";
  for (const char* path : bad) {
    ins += std::string(" (copy @target@ (@source@ 0) \"") + path + "\")";
    lst += std::string(" (\"") + path + "\" 1 0 0)";
  }
  ins += " (add-start-menu \"a/b\" (@target@ \"x\")) (add-start-menu \"n\" (@target@ \"../x\"))"
         " (reg-create HKEY_CURRENT_USER \"k\" \"v\" (@source@ \"/abs\")) (copy @target@ (@source@ 0) \"ok/*\")))";
  lst += " (\"b\" 2 0 0)))";
  ASSERT_TRUE(readActions(ins));
  EXPECT_EQ(codes(1), std::vector<int32_t>({1}));
  EXPECT_EQ(action<ActCopy>(1, 0).pattern, u"ok/*");
  EXPECT_TRUE(log_.contains("copy: 不正なコピー元パスのアクションを無視します(../x)\n")) << log_.all();
  EXPECT_TRUE(log_.contains("add-start-menu: 不正な名前のアクションを無視します(a/b)\n"));
  EXPECT_TRUE(log_.contains("reg-create-key: 不正な相対パスのアクションを無視します(/abs)\n"));
  size_t warnings = 0;
  for (const std::string& line : log_.lines()) warnings += line.find("[WARN ]") != std::string::npos;
  EXPECT_EQ(warnings, 9u) << log_.all();

  log_.clear();
  FileTable files;
  ASSERT_TRUE(SetupIns::readFileList(write("st_menu.lst", lst), &files));
  ASSERT_EQ(files.count(0), 1u);
  const FileGroup& group = *files[0];
  ASSERT_EQ(group.size(), 2u);
  EXPECT_EQ(Format(u"%s %I64d %d %d", group[0].path, group[0].size, group[0].time, group[0].extra),
            u"a/ok.txt 4294967296 7 8");
  EXPECT_EQ(group[1].path, u"b");
  EXPECT_EQ(log_.lines().size(), 5u) << log_.all();
  EXPECT_TRUE(log_.contains("st_menu.lst: 不正なパスのファイルを無視します(/etc/passwd)\n"));
}

TEST_F(SetupListsTest, BrokenFilesAndEntriesFailWithTheirMessages) {
  for (const bool isList : {false, true}) {
    const std::string name = isList ? "st_menu.lst" : "st_menu.ins";
    const std::string head = isList ? "(file (0 (\"a\" 1 2 3)))" : "(action (0 (uninstall)))";
    // Writes the text (none: no file), reads it and answers the number of
    // groups read, negated and less one when the reader failed.
    auto read = [&](const std::optional<std::string>& text) {
      log_.clear();
      const std::u16string path = text ? write(name, *text) : (dir_.path() / name).u16string();
      if (isList) {
        FileTable files;
        return SetupIns::readFileList(path, &files) ? int(files.size()) : -1 - int(files.size());
      }
      ActionTable actions;
      return SetupIns::readActionFile(path, &actions) ? int(actions.size()) : -1 - int(actions.size());
    };
    const std::string folder = dir_.path().string() + "/";
    EXPECT_EQ(read(""), -1);
    EXPECT_TRUE(log_.contains(name + "ファイルが０バイト(" + folder + name + ")\n")) << log_.all();
    EXPECT_EQ(read(head.substr(0, head.size() - 1)), -1);
    EXPECT_TRUE(log_.contains(name + "ファイルの解析に失敗:unclosed parenthesis(" + folder + name + ")\n"));
    EXPECT_EQ(read(head + " (\"x\") " + head), -2);
    EXPECT_TRUE(log_.contains(name + "ファイルの解析に失敗(" + folder + name + ")\n"));
    EXPECT_EQ(read(head + " 5"), -2);
    std::filesystem::remove(dir_.path() / name);
    EXPECT_EQ(read(std::nullopt), -1);
    EXPECT_TRUE(log_.contains(name + "ファイルが見つからない(" + folder + name + ")\n")) << log_.all();
  }
  FileTable files;
  for (const char* entry : {"(\"a\" \"12x\" 0 0)", "(\"a\" -1 0 0)", "(\"a\" \"2000000000000\" 0 0)",
                            "(\"a\" 1 0)", "(\"a\" 1 0 \"0\")", "(a 1 0 0)", "\"a\""}) {
    files.clear();
    ASSERT_TRUE(SetupIns::readFileList(write("st_menu.lst", std::string("(file (0) (1 ") + entry + ") (2))"),
                                       &files));
    EXPECT_EQ(files.size(), 1u) << entry;
  }
}

TEST(Wildcard, PatternsSelectFileListEntriesByTheirFirstComponent) {
  FileGroup files;
  for (const char16_t* path : {u"readme", u"a.txt", u"B.TXT", u"sub/x.txt", u"sub/deeper/x.txt", u"music.ogg/in.dat",
                               u"abc", u"xabc", u"abcx", u"ab", u"a-b", u"Ａb.txt", u"end."}) {
    files.push_back({path, 1, 0, 0});
  }
  const struct {
    const char16_t* pattern;
    std::vector<int> selected;
    const char* message;  // logged at DEBUG, or empty
  } cases[] = {
      {u"*", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, ""},
      {u"**", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, ""},
      {u"*.*", {1, 2, 5, 11, 12}, ""},
      {u"*abc*", {6, 7, 8}, ""},
      {u"a*b", {9, 10}, ""},
      {u"ab*bc", {6}, ""},
      {u"*.TXT", {1, 2, 11}, ""},
      {u"A*", {1, 6, 8, 9, 10}, ""},
      {u"ａ*", {}, ""},
      {u"Ａ*", {11}, ""},
      {u"sub/*.txt", {3}, ""},
      {u"SUB/*", {3, 4}, ""},
      {u"*.ogg", {5}, ""},
      {u"README", {0}, ""},
      {u"sub/deeper/X.TXT", {4}, ""},
      {u"sub", {}, "指定ファイルがファイルリストにありません(sub)\n"},
      {u"a*b*c", {}, "未対応のワイルドカード指定です(a*b*c)\n"},
      {u"sub/*a*b", {}, "未対応のワイルドカード指定です(*a*b)\n"},
      {u"*a*b*", {}, "未対応のワイルドカード指定です(*a*b*)\n"},
  };
  ScopedLogMask mask(LOG_DEBUG | LOG_WARN);
  for (size_t i = 0; i < std::size(cases); ++i) {
    const auto& c = cases[i];
    LogCapture log;
    std::vector<const FileEntry*> out;
    collectCopyFiles(files, c.pattern, &out);
    std::vector<int> selected;
    for (const FileEntry* entry : out) selected.push_back(int(entry - files.data()));
    EXPECT_EQ(selected, c.selected) << "case " << i;
    EXPECT_EQ(log.contains("[DEBUG]"), *c.message != 0) << "case " << i << " " << log.all();
    if (*c.message) {
      EXPECT_TRUE(log.contains(c.message)) << log.all();
    }
  }
  const std::pair<const char16_t*, int> classes[] = {{u"", 0}, {u"*", 1}, {u"x*", 2}, {u"x*y", 3}, {u"*x*", 4},
                                                     {u"x**", 5}, {u"*x*y", 6}, {u"***", 7}, {u"*a*b*c*", 8}};
  for (const auto& [pattern, expected] : classes) EXPECT_EQ(classifyWildcard(pattern), expected) << expected;
  EXPECT_EQ(compareNoCaseN(u"abc", u"ABD", 2), 0);
  EXPECT_EQ(compareNoCaseN(u"abc", u"ABD", 3), -1);
  EXPECT_EQ(compareNoCaseN(u"ab", u"AbC", 9), -1);
  EXPECT_EQ(compareNoCaseN(u"abc", u"AB", 9), 1);
  EXPECT_EQ(compareNoCaseN(u"_", u"A", 1), -1);  // capitals fold to small letters
}

}  // namespace
