// platform::FindPathIgnoringCase: game folders reference files in any mix of
// upper and lower case, the disk holds one spelling.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/file.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;

class PathCaseTest : public testing::Test {
 protected:
  PathCaseTest() {
    dir_.write("Data/Sub/File.TXT", "f");
    dir_.write("Data/readme.md", "r");
    dir_.write("exact/name.txt", "lower");
    dir_.write("exact/Name.txt", "mixed");
    dir_.write("twins/x.txt", "lower");
    dir_.write("twins/X.TXT", "upper");
  }

  TempDir dir_;
  ScopedCurrentDir cwd_{dir_.path()};
};

TEST_F(PathCaseTest, RelativePathsFindTheDiskSpellingAndStayRelative) {
  const std::pair<std::string, std::string> cases[] = {
      {"exact/name.txt", "exact/name.txt"},  // the exact spelling wins over a sibling
      {"exact/Name.txt", "exact/Name.txt"},
      {"data/sub/file.txt", "Data/Sub/File.TXT"},
      {"DATA/SUB/FILE.TXT", "Data/Sub/File.TXT"},
      {"Data/SUB/File.TXT", "Data/Sub/File.TXT"},  // only the middle component differs
      {"data/Sub/File.TXT", "Data/Sub/File.TXT"},  // only the first
      {"DATA/sub", "Data/Sub"},                     // a folder
      {"./DATA/README.MD", "./Data/readme.md"},
      {"Data/Sub/../README.md", "Data/Sub/../readme.md"},
  };
  for (const auto& [query, expected] : cases) {
    EXPECT_EQ(platform::FindPathIgnoringCase(query), expected) << query;
  }
}

TEST_F(PathCaseTest, AbsolutePathsFindTheDiskSpelling) {
  const std::string base = dir_.path().string();
  EXPECT_EQ(platform::FindPathIgnoringCase(base + "/data/SUB/file.txt"), base + "/Data/Sub/File.TXT");
  EXPECT_EQ(platform::FindPathIgnoringCase(base + "/Data/Sub/File.TXT"), base + "/Data/Sub/File.TXT");
  EXPECT_EQ(platform::FindPathIgnoringCase(base + "/DATA"), base + "/Data");
}

TEST_F(PathCaseTest, MissingComponentGivesEmpty) {
  const std::string base = dir_.path().string();
  for (const std::string& query : {std::string("Data/nope/File.TXT"), std::string("data/sub/missing.txt"),
                                   std::string("nope"), std::string("Data/readme.md/x"),
                                   base + "/DATA/Nope", std::string("")}) {
    EXPECT_EQ(platform::FindPathIgnoringCase(query), "") << query;
  }
}

TEST_F(PathCaseTest, NameMatchingTwoSpellingsGivesOneThatExists) {
  const std::string found = platform::FindPathIgnoringCase("TWINS/X.txt");
  EXPECT_TRUE(found == "twins/x.txt" || found == "twins/X.TXT") << found;
  EXPECT_TRUE(fs::is_regular_file(found)) << found;
}

}  // namespace
