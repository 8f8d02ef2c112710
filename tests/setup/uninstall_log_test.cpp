// The uninstall log: its file form round-trips in the record's order, older
// CP932 and encoded logs read, bad logs are refused with their message and
// leave the record alone, and the uninstall stays inside the places an
// installation writes to.
#include "setup/uninstall_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/ee_codec.h"
#include "app/registry.h"
#include "platform/codepage.h"
#include "platform/utf8.h"
#include "script/cell_printer.h"
#include "script/tokenizer.h"
#include "setup/setup_files.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;
using platform::FromUtf8;
using platform::ToUtf8;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string Encoded(const std::string& text, bool compress) {
  std::vector<uint8_t> out;
  EncodeEEBuffer(&out, reinterpret_cast<const uint8_t*>(text.data()), text.size(), compress);
  return std::string(out.begin(), out.end());
}

std::u16string Printed(const UninstallLog& log) {
  tokenizer::Tokenizer tk;
  return tokenizer::toText(log.toCells(tk));
}

TEST(UninstallLog, WritesEveryCollectionInOrderAndReadsBackPathsOutsideCP932) {
  TempDir dir;
  const std::u16string folder = FromUtf8(dir.path().string());
  UninstallLog log;
  // Korean and an emoji have no CP932 form; a backslash is no escape.
  const std::u16string odd = folder + u"/데이터/😀 a\\b.txt";
  log.addFile(folder + u"/b.txt");
  log.addFile(odd);
  log.addFile(folder + u"/a.txt");
  log.addFolder(folder + u"/데이터");
  log.addFolder(folder);
  log.addRegValue(HKEY_LOCAL_MACHINE_ID, u"SOFTWARE/maker/game", u"path");
  log.addRegValue(HKEY_CURRENT_USER_ID, u"SOFTWARE/maker/game", u"키");
  log.addRegValue(0x80000003, u"SOFTWARE/maker/game", u"lost");
  log.addRegSubKey(HKEY_LOCAL_MACHINE_ID, u"SOFTWARE/maker");
  log.addRegSubKey(HKEY_CURRENT_USER_ID, u"SOFTWARE/maker");
  ASSERT_TRUE(writeUninstallLog(folder, log));

  const std::string d = dir.path().string();
  EXPECT_EQ(ReadAll(dir.path() / "uninst.log"),
            "((file (\"" + d + "/a.txt\") (\"" + d + "/b.txt\") (\"" + ToUtf8(odd) + "\")) (dir (\"" + d + "\") (\"" + d +
                "/데이터\")) (reg (HKEY_CURRENT_USER \"SOFTWARE/maker/game\" \"키\") (HKEY_LOCAL_MACHINE "
                "\"SOFTWARE/maker/game\" \"path\")) "
                "(reg-subkey (HKEY_CURRENT_USER \"SOFTWARE/maker\") (HKEY_LOCAL_MACHINE \"SOFTWARE/maker\")))");

  UninstallLog back;
  ASSERT_TRUE(readUninstallLog(folder, &back));
  EXPECT_EQ(Printed(back), Printed(log));

  EXPECT_EQ(uninstallerPath(u"/opt/game"), u"/opt/game/st_menu");
}

TEST(UninstallLog, ReadsCP932AndEncodedLogsAndPassesOverOtherEntries) {
  const std::u16string form =
      u"(file (\"/opt/ゲーム/a.txt\")) (dir (\"/opt/ゲーム\")) (reg (HKEY_LOCAL_MACHINE \"SOFTWARE/作者\" \"値\")) "
      u"(reg-subkey (HKEY_CURRENT_USER \"SOFTWARE/作者\"))";
  const std::u16string text = u"((extra (1 2))\n " + form + u")\n(file (\"/ignored\"))";
  const std::string cp932 = platform::EncodeCP932(text);
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"cp932", cp932},
      {"EENC utf-8", Encoded(ToUtf8(text), false)},
      {"EENZ cp932", Encoded(cp932, true)},
  };
  for (const auto& c : cases) {
    TempDir dir;
    dir.write("uninst.log", c.bytes);
    UninstallLog log;
    ASSERT_TRUE(readUninstallLog(FromUtf8(dir.path().string()), &log)) << c.name;
    EXPECT_EQ(Printed(log), u"(" + form + u")") << c.name;
  }
}

TEST(UninstallLog, BadLogsAreRefusedWithTheirMessageAndLeaveTheRecordAlone) {
  const struct {
    bool present;
    std::string bytes;
    const char* message;
  } cases[] = {
      {false, "", "uninst.logファイルが見つからない("},
      {true, "", "uninst.logファイルが０バイト("},
      {true, "((file (\"/g/a\")) (dir)", "uninst.logファイルの解析に失敗:unclosed parenthesis("},
      {true, "((file (\"/g/a\")) (reg (HKEY_USERS \"k\" \"v\")))", "uninst.logファイルの解析に失敗("},
      {true, "((file (\"/g/a\") \"/g/b\"))", "uninst.logファイルの解析に失敗("},
      {true, "file", "uninst.logファイルの解析に失敗("},
      {true, std::string("EENC\x10\0\0\0garbage", 15), "uninst.logファイルの解析に失敗:NUL byte"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    if (c.present) dir.write("uninst.log", c.bytes);
    UninstallLog log;
    log.addFile(u"/kept");
    LogCapture capture;
    EXPECT_FALSE(readUninstallLog(FromUtf8(dir.path().string()), &log)) << c.message;
    EXPECT_TRUE(capture.contains(c.message)) << capture.all();
    EXPECT_EQ(Printed(log), u"((file (\"/kept\")) (dir) (reg) (reg-subkey))") << c.message;
  }
}

TEST(UninstallLog, OnlyPlacesAnInstallationWritesToAreUninstallable) {
  const UninstallScope scope{u"/opt/game/", u"/home/u/.local/share/applications",
                             u"/home/u/.local/share/applications/Maker/Game", u"/home/u/Desktop/Play.desktop"};
  const std::u16string menu = u"/home/u/.local/share/applications";
  const struct {
    UninstallKind kind;
    const char16_t* path;
    const char16_t* base;  // null: refused
  } cases[] = {
      {UninstallKind::kFile, u"/opt/game/data/a.png", u"/opt/game/"},
      {UninstallKind::kFile, u"/opt/game//data/a.png", u"/opt/game/"},
      {UninstallKind::kFile, u"/opt/gameX/a.png", nullptr},
      {UninstallKind::kFile, u"/opt/game", nullptr},
      {UninstallKind::kFile, u"/opt/game/../etc/passwd", nullptr},
      {UninstallKind::kFile, u"opt/game/a.png", nullptr},
      {UninstallKind::kFolder, u"/opt/game", u""},
      {UninstallKind::kFolder, u"/opt/game/data", u"/opt/game/"},
      {UninstallKind::kFile, u"/home/u/.local/share/applications/Maker/Game/Play.desktop", menu.c_str()},
      {UninstallKind::kFile, u"/home/u/.local/share/applications/Maker/Game/notes.txt", nullptr},
      {UninstallKind::kFile, u"/home/u/.local/share/applications/Maker/Other.desktop", nullptr},
      {UninstallKind::kFile, u"/home/u/.local/share/applications/Maker/Game/sub/Play.desktop", nullptr},
      {UninstallKind::kFolder, u"/home/u/.local/share/applications/Maker/Game", menu.c_str()},
      {UninstallKind::kFolder, u"/home/u/.local/share/applications/Maker", menu.c_str()},
      {UninstallKind::kFolder, u"/home/u/.local/share/applications", u""},
      {UninstallKind::kFolder, u"/home/u/.local/share/applications/Other", nullptr},
      {UninstallKind::kFolder, u"/home/u/.local/share", nullptr},
      {UninstallKind::kFile, u"/home/u/Desktop/Play.desktop", u"/home/u/Desktop"},
      {UninstallKind::kFile, u"/home/u/Desktop/Other.desktop", nullptr},
      {UninstallKind::kFile, u"/home/u/Desktop/notes.txt", nullptr},
  };
  for (const auto& c : cases) {
    LogCapture capture;
    std::u16string base = u"unset";
    EXPECT_EQ(IsUninstallable(c.kind, c.path, scope, &base), c.base != nullptr) << ToUtf8(c.path);
    if (c.base) {
      EXPECT_EQ(base, c.base) << ToUtf8(c.path);
    }
    EXPECT_EQ(capture.contains("uninst.log: 削除対象として不適切なパスを無視します(" + ToUtf8(c.path)), !c.base);
  }
  // A relative or root place holds nothing.
  const UninstallScope odd{u"game", u"/", u"/", u""};
  EXPECT_FALSE(IsUninstallable(UninstallKind::kFile, u"/game/a", odd));
  EXPECT_FALSE(IsUninstallable(UninstallKind::kFile, u"/a.desktop", odd));
}

}  // namespace
