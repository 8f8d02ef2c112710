// The file helpers: the open-mode table with its sharing rules, sizes,
// status, and the write and delete policies for files that scripts name.
#include "app/file_helpers.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/log.h"
#include "app/string_util.h"
#include "platform/utf8.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Reads the rest of the stream in chunks of the given size.
std::string ReadChunks(FileStream& stream, size_t chunk) {
  std::string out;
  std::string buffer(chunk, '\0');
  for (;;) {
    const size_t got = stream.read(buffer.data(), 1, chunk);
    out.append(buffer.data(), got);
    if (got < chunk) break;
  }
  return out;
}

void WriteWithMode(std::u16string_view path, int mode, const std::string& bytes) {
  auto out = OpenFileByMode(path, mode);
  ASSERT_NE(out, nullptr);
  ASSERT_EQ(out->write(bytes.data(), 1, bytes.size()), bytes.size());
}

// True when one captured line has the level's prefix and ends with the
// message.
bool HasLine(const LogCapture& log, const std::string& level, const std::string& message) {
  for (const std::string& line : log.lines()) {
    if (line.rfind("[" + level, 0) == 0 && line.size() >= message.size() &&
        line.compare(line.size() - message.size(), message.size(), message) == 0) {
      return true;
    }
  }
  return false;
}

// Each test works in its own folder, made the current folder, with WARN
// lines enabled and captured.
class FileHelpersFixture : public testing::Test {
 protected:
  FileHelpersFixture() : oldMask_(GetLogLevelMask()) { SetLogLevelMask(LOG_WARN); }
  ~FileHelpersFixture() override { SetLogLevelMask(oldMask_); }

  uint32_t oldMask_;
  TempDir dir_;
  ScopedCurrentDir cwd_{dir_.path()};
  LogCapture log_;
};

class OpenFileByModeTest : public FileHelpersFixture {};

TEST_F(OpenFileByModeTest, BinaryWriteThenBinaryReadKeepsEveryByte) {
  const std::string bytes("head\r\n\0\xFF\r\rtail", 14);
  WriteWithMode(u"data.bin", 2, bytes);
  EXPECT_EQ(ReadAll(dir_.path() / "data.bin"), bytes);
  auto in = OpenFileByMode(u"data.bin", 0);
  ASSERT_NE(in, nullptr);
  EXPECT_EQ(ReadChunks(*in, 64), bytes);
  EXPECT_TRUE(log_.lines().empty()) << log_.all();
}

TEST_F(OpenFileByModeTest, TextWriteThenTextReadGivesTheLines) {
  WriteWithMode(u"lines.txt", 3, "first\nsecond\n");
  auto in = OpenFileByMode(u"lines.txt", 1);
  ASSERT_NE(in, nullptr);
  EXPECT_EQ(ReadChunks(*in, 64), "first\nsecond\n");
}

TEST_F(OpenFileByModeTest, TextReadDropsOnlyTheCarriageReturnOfCrLf) {
  dir_.write("crlf.txt", "a\r\nb\rc\r\r\n\r");
  auto in = OpenFileByMode(u"crlf.txt", 1);
  ASSERT_NE(in, nullptr);
  EXPECT_EQ(ReadChunks(*in, 64), "a\nb\rc\r\n\r");
}

TEST_F(OpenFileByModeTest, TextReadDropsCarriageReturnAcrossReadBoundaries) {
  dir_.write("crlf.txt", "(x . 1)\r\n(y . 2)\r\n\r\nend\r");
  for (size_t chunk : {1u, 2u, 8u, 9u}) {
    auto in = OpenFileByMode(u"crlf.txt", 1);
    ASSERT_NE(in, nullptr);
    EXPECT_EQ(ReadChunks(*in, chunk), "(x . 1)\n(y . 2)\n\nend\r") << "chunk " << chunk;
  }
}

TEST_F(OpenFileByModeTest, BinaryReadKeepsCarriageReturns) {
  dir_.write("crlf.txt", "a\r\nb");
  auto in = OpenFileByMode(u"crlf.txt", 0);
  ASSERT_NE(in, nullptr);
  EXPECT_EQ(ReadChunks(*in, 1), "a\r\nb");
}

TEST_F(OpenFileByModeTest, WriteModesTruncateAnExistingFile) {
  for (int mode : {2, 3}) {
    dir_.write("old.txt", "previous content");
    WriteWithMode(u"old.txt", mode, "new");
    EXPECT_EQ(ReadAll(dir_.path() / "old.txt"), "new") << "mode " << mode;
  }
}

TEST_F(OpenFileByModeTest, WriteModeCreatesUnderAJapaneseName) {
  WriteWithMode(u"セーブ01.dat", 2, "s");
  EXPECT_EQ(ReadAll(dir_.path() / fs::path(u8"セーブ01.dat")), "s");
}

TEST_F(OpenFileByModeTest, ModeOutsideTableLogsErrorAndGivesNull) {
  EXPECT_EQ(OpenFileByMode(u"never.txt", 4), nullptr);
  EXPECT_TRUE(HasLine(log_, "ERROR", "不正なモード定数(4)\n")) << log_.all();
  EXPECT_FALSE(fs::exists(dir_.path() / "never.txt"));
}

TEST_F(OpenFileByModeTest, NegativeModeLogsErrorAndGivesNull) {
  dir_.write("exists.txt", "x");
  EXPECT_EQ(OpenFileByMode(u"exists.txt", -1), nullptr);
  EXPECT_TRUE(HasLine(log_, "ERROR", "不正なモード定数(-1)\n")) << log_.all();
}

TEST_F(OpenFileByModeTest, MissingFileGivesNullWithoutMessage) {
  EXPECT_EQ(OpenFileByMode(u"missing.txt", 0), nullptr);
  EXPECT_EQ(OpenFileByMode(u"missing.txt", 1), nullptr);
  EXPECT_EQ(OpenFileByMode(u"no/such/folder/out.txt", 2), nullptr);
  EXPECT_TRUE(log_.lines().empty()) << log_.all();
  EXPECT_FALSE(fs::exists(dir_.path() / "missing.txt"));
}

TEST_F(OpenFileByModeTest, ReadersShareButKeepWritersOut) {
  dir_.write("shared.txt", "contents");
  auto first = OpenFileByMode(u"shared.txt", 0);
  auto second = OpenFileByMode(u"shared.txt", 1);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(OpenFileByMode(u"shared.txt", 2), nullptr);
  EXPECT_EQ(OpenFileByMode(u"shared.txt", 3), nullptr);
  // The refused writer must not have truncated the file.
  EXPECT_EQ(ReadChunks(*first, 64), "contents");
  EXPECT_EQ(ReadAll(dir_.path() / "shared.txt"), "contents");
}

TEST_F(OpenFileByModeTest, WriterKeepsEveryoneOut) {
  auto writer = OpenFileByMode(u"busy.txt", 2);
  ASSERT_NE(writer, nullptr);
  EXPECT_EQ(OpenFileByMode(u"busy.txt", 0), nullptr);
  EXPECT_EQ(OpenFileByMode(u"busy.txt", 1), nullptr);
  EXPECT_EQ(OpenFileByMode(u"busy.txt", 2), nullptr);
  writer.reset();
  EXPECT_NE(OpenFileByMode(u"busy.txt", 0), nullptr);
}

class FileSizeTest : public FileHelpersFixture {};

TEST_F(FileSizeTest, NullStreamIsMinusOne) { EXPECT_EQ(GetFileSize(nullptr), -1); }

TEST_F(FileSizeTest, SizeOfOpenFiles) {
  dir_.write("five.bin", "12345");
  dir_.write("empty.bin", "");
  dir_.write("crlf.txt", "a\r\nb\r\n");
  auto five = OpenFileByMode(u"five.bin", 0);
  auto empty = OpenFileByMode(u"empty.bin", 0);
  auto text = OpenFileByMode(u"crlf.txt", 1);
  ASSERT_NE(five, nullptr);
  ASSERT_NE(empty, nullptr);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(GetFileSize(five.get()), 5);
  EXPECT_EQ(GetFileSize(empty.get()), 0);
  EXPECT_EQ(GetFileSize(text.get()), 6);  // the bytes on disk, carriage returns included
}

class FileStatusTest : public FileHelpersFixture {};

TEST_F(FileStatusTest, ZeroForExistingPathsOnly) {
  dir_.write("here.txt", "x");
  dir_.write("sub/日本語.txt", "x");
  EXPECT_EQ(FileStatus(u"here.txt"), 0);
  EXPECT_EQ(FileStatus(u"sub"), 0);
  EXPECT_EQ(FileStatus(u"sub/日本語.txt"), 0);
  EXPECT_EQ(FileStatus(ToSlashPath(dir_.path().u16string() + u"/here.txt")), 0);
  EXPECT_NE(FileStatus(u"gone.txt"), 0);
  EXPECT_NE(FileStatus(u"sub/gone.txt"), 0);
  EXPECT_NE(FileStatus(u""), 0);
}

class DeleteRelativeFileTest : public FileHelpersFixture {};

TEST_F(DeleteRelativeFileTest, RefusedPathsAreLoggedAndLeftAlone) {
  // Files each refused path could reach if it were not refused.
  dir_.write("b", "b");
  dir_.write("x", "x");
  dir_.write("a/keep", "k");
  dir_.write("C:/x", "drive");
  const fs::path outside = dir_.path() / "outside.txt";
  std::ofstream(outside) << "o";
  fs::create_directory(dir_.path() / "work");
  ScopedCurrentDir inWork(dir_.path() / "work");

  for (const std::u16string path :
       {u"", u"C:/x", u"c:\\x", u"/x", u"\\x", u"a/../b", u"a\\..\\b", u"..", u"../outside.txt",
        u"work/..", u"ok/../../outside.txt"}) {
    log_.clear();
    EXPECT_EQ(DeleteRelativeFile(path), 0) << testing::PrintToString(platform::ToUtf8(path));
    const std::string expected = "削除ファイルパスとして不適切(" + platform::ToUtf8(path) + ")\n";
    EXPECT_TRUE(HasLine(log_, "WARN", expected)) << log_.all();
    EXPECT_EQ(log_.lines().size(), 1u) << log_.all();
  }
  EXPECT_TRUE(fs::exists(dir_.path() / "b"));
  EXPECT_TRUE(fs::exists(dir_.path() / "x"));
  EXPECT_TRUE(fs::exists(dir_.path() / "C:/x"));
  EXPECT_TRUE(fs::exists(outside));
}

TEST_F(DeleteRelativeFileTest, ExistingRelativeFileIsDeleted) {
  dir_.write("save/slot01.dat", "data");
  EXPECT_EQ(DeleteRelativeFile(u"save/slot01.dat"), 0);
  EXPECT_FALSE(fs::exists(dir_.path() / "save/slot01.dat"));
  EXPECT_TRUE(fs::exists(dir_.path() / "save"));
  EXPECT_TRUE(log_.lines().empty()) << log_.all();
}

TEST_F(DeleteRelativeFileTest, BackslashSeparatedPathIsDeleted) {
  dir_.write("save/slot02.dat", "data");
  EXPECT_EQ(DeleteRelativeFile(u"save\\slot02.dat"), 0);
  EXPECT_FALSE(fs::exists(dir_.path() / "save/slot02.dat"));
}

TEST_F(DeleteRelativeFileTest, DotsInsideANameAreNotAParentComponent) {
  dir_.write("..data", "1");
  dir_.write("a..b", "2");
  dir_.write("dir/...", "3");
  EXPECT_EQ(DeleteRelativeFile(u"..data"), 0);
  EXPECT_EQ(DeleteRelativeFile(u"a..b"), 0);
  EXPECT_EQ(DeleteRelativeFile(u"dir/..."), 0);
  EXPECT_FALSE(fs::exists(dir_.path() / "..data"));
  EXPECT_FALSE(fs::exists(dir_.path() / "a..b"));
  EXPECT_FALSE(fs::exists(dir_.path() / "dir/..."));
  EXPECT_TRUE(log_.lines().empty()) << log_.all();
}

TEST_F(DeleteRelativeFileTest, JapaneseNameIsDeleted) {
  dir_.write("セーブ.dat", "x");
  EXPECT_EQ(DeleteRelativeFile(u"セーブ.dat"), 0);
  EXPECT_FALSE(fs::exists(dir_.path() / fs::path(u8"セーブ.dat")));
}

TEST_F(DeleteRelativeFileTest, MissingFileLogsFailureAndGivesMinusOne) {
  EXPECT_EQ(DeleteRelativeFile(u"missing.dat"), -1);
  EXPECT_TRUE(HasLine(log_, "WARN", "ファイルの削除に失敗(missing.dat)\n")) << log_.all();
}

TEST_F(DeleteRelativeFileTest, FailureMessageNamesThePathAsGiven) {
  EXPECT_EQ(DeleteRelativeFile(u"no\\such.dat"), -1);
  EXPECT_TRUE(HasLine(log_, "WARN", "ファイルの削除に失敗(no\\such.dat)\n")) << log_.all();
}

TEST_F(DeleteRelativeFileTest, FolderIsNotDeleted) {
  dir_.write("folder/inside.txt", "x");
  EXPECT_EQ(DeleteRelativeFile(u"folder"), -1);
  EXPECT_TRUE(fs::exists(dir_.path() / "folder/inside.txt"));
  EXPECT_TRUE(HasLine(log_, "WARN", "ファイルの削除に失敗(folder)\n")) << log_.all();
}

TEST_F(DeleteRelativeFileTest, SecondDeleteOfTheSameFileFails) {
  dir_.write("once.txt", "x");
  EXPECT_EQ(DeleteRelativeFile(u"once.txt"), 0);
  EXPECT_EQ(DeleteRelativeFile(u"once.txt"), -1);
}

class ResolveWritePathTest : public FileHelpersFixture {};

TEST_F(ResolveWritePathTest, NamesFromDataStayInsideTheirFolder) {
  fs::create_directories("save/sub");
  fs::create_directories("outside");
  fs::create_symlink("sub", "save/inner");
  fs::create_symlink(fs::absolute("outside"), "save/out");
  fs::create_symlink("../outside/x.dat", "save/escape.dat");
  fs::create_symlink("nowhere/x.dat", "save/dangling.dat");
  fs::create_symlink("save", "linked-save");
  struct Case {
    std::u16string folder;
    std::u16string name;
    std::u16string joined;  // empty: refused
  };
  const std::vector<Case> cases = {
      {u"save/", u"sub\\slot02.dat", u"save/sub/slot02.dat"},
      {u"save", u"./a/../inner//b.dat", u"save/inner/b.dat"},
      {u"linked-save", u"..セーブ.dat", u"linked-save/..セーブ.dat"},
      {u"save", u"", u""},
      {u"save", u"sub/..", u""},
      {u"save", u"sub/../../slot.dat", u""},
      {u"save", u"..\\slot.dat", u""},
      {u"save", u"/tmp/slot.dat", u""},
      {u"save", u"C:slot.dat", u""},
      {u"save", u"out/f.dat", u""},
      {u"save", u"escape.dat", u""},
      {u"save", u"dangling.dat", u""},
  };

  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(platform::ToUtf8(c.folder + u" + " + c.name)));
    log_.clear();
    std::u16string out = u"untouched";
    if (c.joined.empty()) {
      EXPECT_FALSE(ResolveWritePath(c.folder, c.name, &out));
      EXPECT_EQ(out, u"untouched");
      const std::string expected = "書き込みファイルパスとして不適切(" + platform::ToUtf8(c.name) + ")\n";
      EXPECT_TRUE(HasLine(log_, "WARN", expected)) << log_.all();
    } else {
      EXPECT_TRUE(ResolveWritePath(c.folder, c.name, &out));
      EXPECT_EQ(platform::ToUtf8(out), platform::ToUtf8(c.joined));
      EXPECT_TRUE(log_.lines().empty()) << log_.all();
    }
  }
  EXPECT_TRUE(fs::is_empty("outside"));
}

}  // namespace
