// The sample and tutorial games' committed pictures and sounds against the
// generator: a fresh run of make_sample_art must write every file exactly
// as examples/sample (with --tutorial, examples/tutorial; with --test-movies,
// tests/sound/movies) holds it, so neither the generator nor the files drift
// on their own.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/process.h"
#include "tests/support/test_support.h"

namespace {

std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

TEST(SampleArt, GeneratorRemakesTheCommittedPictures) {
  struct Game {
    std::vector<std::string> options;
    std::filesystem::path folder;
  };
  for (const Game& game :
       {Game{{}, SAMPLE_DIR}, Game{{"--tutorial"}, TUTORIAL_DIR}, Game{{"--test-movies"}, TEST_MOVIES_DIR}}) {
    TempDir out;
    ASSERT_FALSE(out.path().empty());
    std::vector<std::string> argv = {MAKE_SAMPLE_ART};
    argv.insert(argv.end(), game.options.begin(), game.options.end());
    argv.push_back(out.path().string());
    const platform::ProcessResult run = platform::RunProcess(argv, false);
    ASSERT_EQ(run.spawnError, 0);
    ASSERT_EQ(run.exitCode, 0);

    int written = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(out.path())) {
      if (!entry.is_regular_file()) continue;
      ++written;
      const std::filesystem::path relative = entry.path().lexically_relative(out.path());
      const std::filesystem::path committed = game.folder / relative;
      ASSERT_TRUE(std::filesystem::is_regular_file(committed)) << relative << " is not committed";
      EXPECT_TRUE(ReadBytes(entry.path()) == ReadBytes(committed))
          << relative << " differs: run build/tools/make_sample_art "
          << (game.options.empty() ? "" : game.options.front() + " ") << game.folder;
    }
    EXPECT_GT(written, 0);
    // And every committed picture, sound and movie comes from the generator.
    for (const auto& entry : std::filesystem::recursive_directory_iterator(game.folder)) {
      const std::filesystem::path extension = entry.path().extension();
      if (!entry.is_regular_file() ||
          (extension != ".png" && extension != ".ogg" && extension != ".wav" && extension != ".mpg")) {
        continue;
      }
      const std::filesystem::path relative = entry.path().lexically_relative(game.folder);
      EXPECT_TRUE(std::filesystem::is_regular_file(out.path() / relative)) << relative << " is not generated";
    }
  }
}

}  // namespace
