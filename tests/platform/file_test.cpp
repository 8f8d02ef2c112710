// Buffered files: sharing rules as advisory locks, text-mode reading, size,
// status and removal; the atomic replace.
#include "platform/file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/process.h"
#include "tests/support/test_support.h"

namespace {

using platform::File;

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Reads the rest of the file in chunks of the given size.
std::string ReadChunks(File& file, size_t chunk) {
  std::string out;
  std::string buffer(chunk, '\0');
  for (;;) {
    const size_t got = file.read(buffer.data(), 1, chunk);
    out.append(buffer.data(), got);
    if (got < chunk) break;
  }
  return out;
}

class FileTest : public testing::Test {
 protected:
  std::string pathOf(const std::string& name) const { return (dir_.path() / name).string(); }

  TempDir dir_;
};

TEST_F(FileTest, WrittenBytesReadBackInBinaryMode) {
  const std::string path = pathOf("data.bin");
  const std::string bytes("a\r\nb\0c\r", 7);
  {
    auto out = File::open(path, File::Access::Write, false);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->write(bytes.data(), 1, bytes.size()), bytes.size());
    EXPECT_TRUE(out->sync());
  }
  EXPECT_EQ(ReadAll(path), bytes);
  auto in = File::open(path, File::Access::Read, false);
  ASSERT_NE(in, nullptr);
  EXPECT_EQ(ReadChunks(*in, 64), bytes);
  EXPECT_TRUE(in->eof());
}

TEST_F(FileTest, WriteCreatesAndTruncates) {
  const std::string path = pathOf("new.txt");
  {
    auto out = File::open(path, File::Access::Write, false);
    ASSERT_NE(out, nullptr);
    out->write("long content", 1, 12);
  }
  EXPECT_EQ(ReadAll(path), "long content");
  {
    auto out = File::open(path, File::Access::Write, false);
    ASSERT_NE(out, nullptr);
    out->write("ab", 1, 2);
  }
  EXPECT_EQ(ReadAll(path), "ab");
}

TEST_F(FileTest, ReadCountsWholeElements) {
  dir_.write("seven.bin", "1234567");
  auto in = File::open(pathOf("seven.bin"), File::Access::Read, false);
  ASSERT_NE(in, nullptr);
  char buffer[16];
  EXPECT_EQ(in->read(buffer, 2, 8), 3u);
}

TEST_F(FileTest, OpeningMissingFileForReadFailsWithErrno) {
  int error = 0;
  EXPECT_EQ(File::open(pathOf("missing.txt"), File::Access::Read, false, &error), nullptr);
  EXPECT_EQ(error, ENOENT);
  EXPECT_FALSE(std::filesystem::exists(pathOf("missing.txt")));
}

TEST_F(FileTest, OpeningForWriteInMissingFolderFails) {
  int error = 0;
  EXPECT_EQ(File::open(pathOf("no/such/file.txt"), File::Access::Write, false, &error), nullptr);
  EXPECT_EQ(error, ENOENT);
}

// A folder or a FIFO is not a file: refused at once (a FIFO without a writer
// would otherwise block the open for ever).
TEST_F(FileTest, OnlyRegularFilesOpen) {
  std::filesystem::create_directory(pathOf("folder"));
  ASSERT_EQ(mkfifo(pathOf("fifo").c_str(), 0600), 0);
  for (const char* name : {"folder", "fifo"}) {
    int error = 0;
    EXPECT_EQ(File::open(pathOf(name), File::Access::Read, false, &error), nullptr) << name;
    EXPECT_NE(error, 0) << name;
  }
  EXPECT_EQ(File::open(pathOf("folder"), File::Access::Write, false), nullptr);
}

TEST_F(FileTest, WriterIsRefusedWhileReaderHoldsTheFileAndNothingIsTruncated) {
  dir_.write("shared.txt", "keep me");
  auto reader = File::open(pathOf("shared.txt"), File::Access::Read, false);
  ASSERT_NE(reader, nullptr);
  int error = 0;
  EXPECT_EQ(File::open(pathOf("shared.txt"), File::Access::Write, false, &error), nullptr);
  EXPECT_TRUE(error == EWOULDBLOCK || error == EAGAIN) << error;
  EXPECT_EQ(ReadAll(dir_.path() / "shared.txt"), "keep me");
  EXPECT_EQ(ReadChunks(*reader, 64), "keep me");
}

TEST_F(FileTest, WriterIsAdmittedOnceTheReaderCloses) {
  dir_.write("shared.txt", "old");
  {
    auto reader = File::open(pathOf("shared.txt"), File::Access::Read, false);
    ASSERT_NE(reader, nullptr);
  }
  auto writer = File::open(pathOf("shared.txt"), File::Access::Write, false);
  EXPECT_NE(writer, nullptr);
}

TEST_F(FileTest, TwoReadersShareTheFile) {
  dir_.write("shared.txt", "both");
  auto first = File::open(pathOf("shared.txt"), File::Access::Read, false);
  auto second = File::open(pathOf("shared.txt"), File::Access::Read, true);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(ReadChunks(*first, 64), "both");
  EXPECT_EQ(ReadChunks(*second, 64), "both");
}

TEST_F(FileTest, WriterExcludesReadersAndOtherWriters) {
  auto writer = File::open(pathOf("busy.txt"), File::Access::Write, false);
  ASSERT_NE(writer, nullptr);
  writer->write("partial", 1, 7);
  writer->flush();
  EXPECT_EQ(File::open(pathOf("busy.txt"), File::Access::Read, false), nullptr);
  EXPECT_EQ(File::open(pathOf("busy.txt"), File::Access::Write, false), nullptr);
  EXPECT_EQ(ReadAll(dir_.path() / "busy.txt"), "partial");
}

TEST_F(FileTest, TextModeDropsCarriageReturnOfCrLfOnly) {
  dir_.write("lines.txt", std::string("a\r\nb\rc\r\r\nd\n\re\r"));
  auto in = File::open(pathOf("lines.txt"), File::Access::Read, true);
  ASSERT_NE(in, nullptr);
  EXPECT_EQ(ReadChunks(*in, 256), "a\nb\rc\r\nd\n\re\r");
}

TEST_F(FileTest, TextModeDropsCarriageReturnAcrossReadBoundaries) {
  const std::string content = "one\r\ntwo\r\n\r\nthree\rfour\r\n";
  const std::string expected = "one\ntwo\n\nthree\rfour\n";
  dir_.write("lines.txt", content);
  for (size_t chunk : {1u, 2u, 3u, 4u, 5u, 7u}) {
    auto in = File::open(pathOf("lines.txt"), File::Access::Read, true);
    ASSERT_NE(in, nullptr);
    EXPECT_EQ(ReadChunks(*in, chunk), expected) << "chunk " << chunk;
  }
}

TEST_F(FileTest, TextModeFillsTheRequestedCount) {
  dir_.write("lines.txt", "a\r\nb\r\nc");
  auto in = File::open(pathOf("lines.txt"), File::Access::Read, true);
  ASSERT_NE(in, nullptr);
  char buffer[4] = {};
  ASSERT_EQ(in->read(buffer, 1, 4), 4u);
  EXPECT_EQ(std::string(buffer, 4), "a\nb\n");
  ASSERT_EQ(in->read(buffer, 1, 4), 1u);
  EXPECT_EQ(buffer[0], 'c');
}

TEST_F(FileTest, BinaryModeKeepsCarriageReturns) {
  dir_.write("lines.txt", "a\r\nb");
  auto in = File::open(pathOf("lines.txt"), File::Access::Read, false);
  ASSERT_NE(in, nullptr);
  EXPECT_EQ(ReadChunks(*in, 1), "a\r\nb");
}

TEST_F(FileTest, SizeIsTheFileLength) {
  dir_.write("ten.bin", "0123456789");
  dir_.write("empty.bin", "");
  auto ten = File::open(pathOf("ten.bin"), File::Access::Read, false);
  auto empty = File::open(pathOf("empty.bin"), File::Access::Read, false);
  ASSERT_NE(ten, nullptr);
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(ten->size(), 10);
  EXPECT_EQ(empty->size(), 0);
  EXPECT_FALSE(ten->eof());
}

TEST_F(FileTest, SizeOfWrittenFileAfterFlush) {
  auto out = File::open(pathOf("grow.bin"), File::Access::Write, false);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(out->size(), 0);
  out->write("abcdef", 2, 3);
  ASSERT_TRUE(out->flush());
  EXPECT_EQ(out->size(), 6);
}

TEST_F(FileTest, StatPathReportsFilesAndFolders) {
  dir_.write("here.txt", "x");
  std::filesystem::create_directory(dir_.path() / "folder");
  EXPECT_EQ(platform::StatPath(pathOf("here.txt")), 0);
  EXPECT_EQ(platform::StatPath(pathOf("folder")), 0);
  EXPECT_EQ(platform::StatPath(pathOf("gone.txt")), ENOENT);
}

TEST_F(FileTest, RemoveFileDeletesAndReportsErrno) {
  dir_.write("doomed.txt", "x");
  EXPECT_EQ(platform::RemoveFile(pathOf("doomed.txt")), 0);
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / "doomed.txt"));
  EXPECT_EQ(platform::RemoveFile(pathOf("doomed.txt")), ENOENT);
}

TEST_F(FileTest, Utf8PathsWork) {
  const std::string path = pathOf("セーブ.dat");
  {
    auto out = File::open(path, File::Access::Write, false);
    ASSERT_NE(out, nullptr);
    out->write("s", 1, 1);
  }
  EXPECT_EQ(platform::StatPath(path), 0);
  EXPECT_TRUE(std::filesystem::exists(dir_.path() / std::filesystem::path(u8"セーブ.dat")));
}

TEST_F(FileTest, ReplaceKeepsTheModeAndRemovesOnlyItsOwnLeftovers) {
  namespace fs = std::filesystem;
  dir_.write("save.dat", "old");
  fs::permissions(dir_.path() / "save.dat", fs::perms(0600));
  // What interrupted replaces of this file left (a writer whose pid no
  // process has, older writers' names two hours old); files that only look
  // so; and the temporary files of live writers (this process, and an older
  // writer's name a minute old).
  const std::vector<std::string> stale = {"save.dat.tmp", "save.dat.tmp7ffffff0-3", "save.dat.tmp4242"};
  char live[64];
  std::snprintf(live, sizeof live, "save.dat.tmp%x-99", static_cast<unsigned>(getpid()));
  const std::vector<std::string> others = {"save.dat.tmpl", "save.dat.tmp1f-3.bak", "other.dat.tmp1f2e-3", live,
                                           "save.dat.tmp77"};
  for (const std::string& name : stale) {
    dir_.write(name, "partial");
    if (name.find('-') == std::string::npos) {
      fs::last_write_time(dir_.path() / name, fs::file_time_type::clock::now() - std::chrono::hours(2));
    }
  }
  for (const std::string& name : others) dir_.write(name, "keep");
  fs::last_write_time(dir_.path() / "save.dat.tmp77", fs::file_time_type::clock::now() - std::chrono::minutes(1));
  // A reader of the old file neither blocks the replace nor sees it.
  auto reader = File::open(pathOf("save.dat"), File::Access::Read, false);
  ASSERT_NE(reader, nullptr);

  ASSERT_EQ(platform::ReplaceFileAtomically(pathOf("save.dat"), std::string("new\0data", 8)), 0);
  EXPECT_EQ(ReadAll(pathOf("save.dat")), std::string("new\0data", 8));
  EXPECT_EQ(ReadChunks(*reader, 16), "old");
  EXPECT_EQ(fs::status(dir_.path() / "save.dat").permissions() & fs::perms::all, fs::perms(0600));
  for (const std::string& name : stale) EXPECT_FALSE(fs::exists(dir_.path() / name)) << name;
  for (const std::string& name : others) EXPECT_EQ(ReadAll(pathOf(name)), "keep") << name;
}

// Two processes sharing a save folder replace the same file 100 times each,
// at once: none of the 200 replaces fails, the file is one writer's whole,
// and no temporary file is left.
TEST_F(FileTest, TwoProcessesReplacingOneFileAtOnceNeverFail) {
  const std::string run = "'" ZEP_REPLACE_WRITER "' '" + pathOf("system.dat") + "' 100";
  const platform::ProcessResult result =
      platform::RunProcess({"sh", "-c", run + " & first=$!; " + run + "; second=$?; wait $first; echo $? $second"}, true);
  EXPECT_EQ(result.output, "0 0\n");
  const std::string bytes = ReadAll(pathOf("system.dat"));
  ASSERT_EQ(bytes.size(), 65536u);
  EXPECT_EQ(bytes, std::string(bytes.size(), bytes[0]));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), std::filesystem::directory_iterator()), 1);
}

}  // namespace
