// The installer's copy: a source that ends before the size it had when the
// copy opened it (cut short while it is copied, at a chunk's end or inside
// one) is a failed copy that leaves the destination as it was.
#include "platform/install_fs.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;

struct CutAfterFirstChunk {
  fs::path source;
  uintmax_t size = 0;
  static bool call(void* self, uint64_t, uint64_t) {
    auto* cut = static_cast<CutAfterFirstChunk*>(self);
    if (cut->size != 0) fs::resize_file(cut->source, cut->size);
    cut->size = 0;
    return true;
  }
};

TEST(InstallFs, ASourceCutShortWhileCopiedFailsAndLeavesTheDestination) {
  TempDir dir;
  const fs::path source = dir.write("disc/big.dat", std::string(3 << 20, 'x'));
  dir.write("install/big.dat", "old");
  for (uintmax_t cutTo : {uintmax_t{1} << 20, uintmax_t{3} << 19}) {
    SCOPED_TRACE(cutTo);
    fs::resize_file(source, 3 << 20);
    CutAfterFirstChunk cut{source, cutTo};
    EXPECT_EQ(platform::CopyFileInto((dir.path() / "install").string(), "big.dat", source.string(),
                                     &CutAfterFirstChunk::call, &cut),
              EIO);
    ASSERT_EQ(fs::file_size(dir.path() / "install/big.dat"), 3u);
    std::ifstream in(dir.path() / "install/big.dat", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path() / "install"), fs::directory_iterator()), 1);
  }
}

}  // namespace
