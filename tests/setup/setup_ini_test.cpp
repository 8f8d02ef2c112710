// The setup description files: line and section rules read from disk with
// either line end, the checks of st_menu.ini and patcher.ini with their
// messages, and the refusals of unreadable files and bad disc indexes.
#include "setup/setup_ini.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "app/log.h"
#include "app/string_util.h"
#include "platform/utf8.h"
#include "tests/support/test_support.h"

namespace {

using ns_SetupIni::PatcherIni;
using ns_SetupIni::SetupIni;

// True when a line of the level ("DEBUG", "ERROR") ends with the text.
bool Logged(const LogCapture& log, const std::string& level, const std::string& text) {
  for (const std::string& line : log.lines()) {
    if (line.rfind("[" + level + "]", 0) == 0 && line.ends_with(text)) return true;
  }
  return false;
}

TEST(SetupIniFile, ReadsLinesAndSectionsTheSameWithLfAndCrLf) {
  // 750 two-byte characters whose second byte is "\": the line is read whole.
  const std::u16string longValue(750, u'ソ');
  const std::vector<std::string> lines = {
      "; comment", "# comment", "pre=before", "[]", "[setup]", "author_name=a=b", "author_key=AK",
      "product_title=" + WStringToMultiByte(u"タイトル"), "product_key=PK", "version_key=VK", "runapp=game",
      "shortcutname=Game", "save_folder=saves/game", "save_folder_location=1", "execlog=log.txt", " spaced = v ",
      "long=" + WStringToMultiByte(longValue), "no pair here", "[setup]", "author_key=second", "[media]",
      "DISCID0000=id0", "DISCNAME0000=Disc 1", "DISCID0002=id2", "DISCNAME0002=Disc 3", "[x]", "k=first", "k=last"};
  const std::u16string expected[][3] = {
      {u"setup", u"pre", u"before"}, {u"setup", u"author_name", u"a=b"}, {u"setup", u"author_key", u"AK"},
      {u"setup", u"product_title", u"タイトル"}, {u"setup", u" spaced ", u" v "}, {u"setup", u"long", longValue},
      {u"x", u"k", u"last"}, {u"x", u"tail", u"t"}, {u"x", u"missing", u"fallback"}};
  for (const std::string end : {"\n", "\r\n"}) {
    SCOPED_TRACE(end.size());
    TempDir dir;
    // The last line has no line end; the file name differs in case.
    std::string text;
    for (const std::string& line : lines) text += line + end;
    dir.write("St_Menu.INI", text + "tail=t");
    ScopedLogMask mask(LOG_DEBUG);
    LogCapture log;
    SetupIni ini;
    std::u16string error = u"untouched";
    ASSERT_TRUE(ini.parse(platform::FromUtf8((dir.path() / "st_menu.ini").string()), &error));
    EXPECT_EQ(error, u"untouched");
    for (const auto& [section, key, value] : expected) EXPECT_EQ(ini.getValue(section, key, u"fallback"), value);
    EXPECT_EQ(ini.getSaveFolderLocation(-1), 1);
    EXPECT_EQ(ini.getDiscIdFileName(), u"DISCID");
    EXPECT_TRUE(Logged(log, "DEBUG", "[] <pre>=<before>\n")) << log.all();
    std::u16string disc;
    EXPECT_TRUE(ini.getDiscName(2, &disc));
    EXPECT_EQ(disc, u"Disc 3");
    EXPECT_FALSE(ini.getDiscId(1, &disc));
    for (const int32_t index : {-1, 10000}) {
      EXPECT_FALSE(ini.getDiscId(index, &disc) || ini.getDiscName(index, &disc));
      EXPECT_TRUE(Logged(log, "ERROR", "ディスクインデックス値が範囲外です(" + std::to_string(index) + ")\n"));
    }
  }
}

TEST(SetupIniValidate, ReportsTheFirstFailingCheck) {
  const std::u16string location = u"save_folder_locationが不正です(0 or 1)";
  const std::u16string discs = u"DISCIDnnnnとDISCNAMEnnnnの数が合いません";
  // A valid file with the first `from` replaced by `to`.
  const struct {
    std::string from, to;
    std::u16string message;
  } cases[] = {
      {"author_name=", "x=", u"author_nameが空です"},
      {"author_key=AK", "author_key=", u"author_keyが空です"},
      {"product_title=", "x=", u"product_titleが空です"},
      {"product_key=", "x=", u"product_keyが空です"},
      {"version_key=", "x=", u"version_keyが空です"},
      {"runapp=", "x=", u"runappが空です"},
      {"shortcutname=", "x=", u"shortcutnameが空です"},
      {"save_folder=", "x=", u"save_folderが空です"},
      {"execlog=", "x=", u"execlogが空です"},
      {"location=0", "location=01", location},
      {"location=0", "location= 1", location},
      {"location=0", "location=2", location},
      {"[media]\n", "[media]\nDISCIDFILENAME=\n", u"DISCIDFILENAMEが空です"},
      {"DISCID0000=", "x=", u"DISCID0000は必須です"},
      {"DISCNAME0000=", "x=", u"DISCNAME0000は必須です"},
      {"Disc 1\n", "Disc 1\nDISCID0001=1\n", discs},
      // Names that become paths stay inside their folders.
      {"shortcutname=Game", "shortcutname=../../x", u"shortcutnameが不正です"},
      {"author_name=Maker", "author_name=a/b", u"author_nameが不正です"},
      {"product_title=Game", "product_title=\"Game\"", u"product_titleが不正です"},
      {"save_folder=saves/game", "save_folder=a/../../b", u"save_folderが不正です"},
      {"runapp=game", "runapp=../../bin/sh", u"runappが不正です"},
      {"runapp=game", "runapp=/bin/sh", u"runappが不正です"},
      {"[media]\n", "[media]\nDISCIDFILENAME=a\\ID\n", u"DISCIDFILENAMEが不正です"},
      // Checks stop at the first failure; a gap ends the disc list.
      {"location=0", "location=2\nauthor_name=", u"author_nameが空です"},
      {"Disc 1\n", "Disc 1\nDISCIDFILENAME=ID.TXT\nDISCID0002=id2\nDISCNAME0002=Disc 3\n", u""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.to);
    std::string text =
        "[setup]\nauthor_name=Maker\nauthor_key=AK\nproduct_title=Game\nproduct_key=PK\nversion_key=VK\n"
        "runapp=game\nshortcutname=Game\nsave_folder=saves/game\nsave_folder_location=0\nexeclog=log\n"
        "[media]\nDISCID0000=id0\nDISCNAME0000=Disc 1\n";
    text.replace(text.find(c.from), c.from.size(), c.to);
    SetupIni ini;
    std::u16string error;
    EXPECT_EQ(ini.parseText(text, &error), c.message.empty());
    EXPECT_EQ(error, c.message);
  }
}

TEST(PatcherIniValidate, RequiresEveryKeyInOrder) {
  const std::vector<std::string> keys = {"product_title", "product_key", "old_version_key", "new_version_key",
                                         "patch_root"};
  for (size_t missing = 0; missing <= keys.size(); ++missing) {
    std::string text = "[setup]\n";
    for (size_t i = 0; i < keys.size(); ++i) text += keys[i] + (i == missing ? "=\n" : "=v\n");
    PatcherIni ini;
    std::u16string error;
    EXPECT_EQ(ini.parseText(text, &error), missing == keys.size());
    EXPECT_EQ(error, missing == keys.size() ? u"" : platform::FromUtf8(keys[missing] + "が空です"));
  }
}

TEST(SetupIniFile, RefusesFilesItCannotOpenOrThatAreTooLarge) {
  TempDir dir;
  dir.write("big.ini", "[setup]\n" + std::string(SetupIni::kMaxFileBytes, ';'));
  ScopedLogMask mask(LOG_DEBUG);
  LogCapture log;
  const std::pair<const char*, std::u16string> files[] = {{"missing.ini", u"ファイルオープンに失敗"},
                                                          {"big.ini", u"ファイルサイズが上限を超えています"}};
  for (const auto& [name, message] : files) {
    SetupIni ini;
    std::u16string error;
    EXPECT_FALSE(ini.parse(platform::FromUtf8((dir.path() / name).string()), &error));
    EXPECT_EQ(error, message);
  }
  const std::string missing = (dir.path() / "missing.ini").string();
  EXPECT_TRUE(Logged(log, "DEBUG", "iniファイルのオープンに失敗しました(" + missing + ")\n")) << log.all();
}

}  // namespace
