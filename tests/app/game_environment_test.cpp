// The game environment: naming rules, system-script numbers, save paths, the
// lookup order of findFile and the whole-file loader with its built-in files.
#include "app/game_environment.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "app/ee_codec.h"
#include "app/embedded_files.h"
#include "app/log.h"
#include "platform/utf8.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

std::u16string U(const fs::path& path) { return platform::FromUtf8(path.string()); }
std::string S(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

const uint8_t kSceneBytes[] = {'s', 'c', 'e', 'n', 'e'};
const uint8_t kCommonBytes[] = {'b', 'u', 'i', 'l', 't', '-', 'i', 'n'};
Bytes g_packedBytes;  // an "EENZ" block of "packed text", filled by the fixture

// Upper-case names on purpose: the table compares ignoring ASCII case.
EmbeddedFileRecord g_builtins[] = {
    {u"SCENE/VELKO0000.BSO", kSceneBytes, sizeof kSceneBytes, 0},
    {u"common.dat", kCommonBytes, sizeof kCommonBytes, 0},
    {u"X/A", kCommonBytes, sizeof kCommonBytes, 0},
    {u"scene/Packed.bso", nullptr, 0, 0},
};

// Each test runs in its own current folder (also the base folder), with the
// load paths ".", "pathA/" and "pathB", the test's built-in files, and TRACE
// and WARN lines captured.
class GameEnvironmentTest : public testing::Test {
 protected:
  GameEnvironmentTest() : oldMask_(GetLogLevelMask()) {
    SetLogLevelMask(LOG_TRACE | LOG_WARN);
    g_packedBytes.clear();
    const std::string packed = "packed text";
    EncodeEEBuffer(&g_packedBytes, reinterpret_cast<const uint8_t*>(packed.data()), packed.size(), true);
    g_builtins[3].data = g_packedBytes.data();
    g_builtins[3].size = static_cast<uint32_t>(g_packedBytes.size());
    RegisterEmbeddedFiles(g_builtins, std::size(g_builtins));
  }
  ~GameEnvironmentTest() override {
    RegisterEmbeddedFiles(nullptr, 0);
    SetAltResourceSearchPath(u"");
    SetLogLevelMask(oldMask_);
  }

  // True when every captured line is a TRACE line.
  bool onlyTrace() const {
    for (const std::string& line : log_.lines()) {
      if (line.rfind("[TRACE]", 0) != 0) return false;
    }
    return true;
  }

  uint32_t oldMask_;
  TempDir dir_;
  ScopedCurrentDir cwd_{dir_.path()};
  GameEnvironment env_{U(dir_.path()), {u".", u"pathA/", u"pathB"}, {}};
  LogCapture log_;
};

using GameEnvironmentDeathTest = GameEnvironmentTest;

TEST_F(GameEnvironmentTest, EachResolverFormatsWithItsOwnRule) {
  using Rule = Config::NamingRule Config::ResourceRecord::*;
  using Resolver = std::u16string (GameEnvironment::*)(const APValue&) const;
  const std::pair<Rule, Resolver> kinds[] = {
      {&Config::ResourceRecord::image, &GameEnvironment::getImagePath},
      {&Config::ResourceRecord::streamAnime, &GameEnvironment::getStreamAnimePath},
      {&Config::ResourceRecord::cellImage, &GameEnvironment::getCellImagePath},
      {&Config::ResourceRecord::music, &GameEnvironment::getMusicPath},
      {&Config::ResourceRecord::sound, &GameEnvironment::getSoundPath},
      {&Config::ResourceRecord::parts, &GameEnvironment::getPartsPath},
      {&Config::ResourceRecord::movie, &GameEnvironment::getMoviePath},
      {&Config::ResourceRecord::storage, &GameEnvironment::getStoragePath},
      {&Config::ResourceRecord::cursor, &GameEnvironment::getCursorPath},
  };
  // Distinct folders first, so a resolver reading another kind's rule shows.
  for (size_t i = 0; i < std::size(kinds); ++i) {
    env_.resource().*kinds[i].first = {u"dir" + std::u16string(1, u'0' + i), u"f", 3, u"ext"};
  }
  for (size_t i = 0; i < std::size(kinds); ++i) {
    const Resolver resolve = kinds[i].second;
    SCOPED_TRACE(i);
    EXPECT_EQ((env_.*resolve)(APValue(12)), u"dir" + std::u16string(1, u'0' + i) + u"/f012.ext");
    EXPECT_EQ((env_.*resolve)(APValue(-1)), u"");
    EXPECT_EQ((env_.*resolve)(APValue(u"as/given.x")), u"as/given.x");
    EXPECT_EQ((env_.*resolve)(APValue(true)), u"");
  }
}

TEST_F(GameEnvironmentTest, NumberedPathsPadDigitsDropAMissingExtensionAndNestVoicesByScene) {
  env_.resource().image = {u"bg", u"bg", 3, u"png"};
  EXPECT_EQ(env_.getImagePath(APValue(12)), u"bg/bg012.png");
  EXPECT_EQ(env_.getImagePath(APValue(0)), u"bg/bg000.png");
  EXPECT_EQ(env_.getImagePath(APValue(12345)), u"bg/bg12345.png");
  EXPECT_EQ(env_.getImagePath(APValue(-1)), u"");
  EXPECT_EQ(env_.getImagePath(APValue(u"bg/title.png")), u"bg/title.png");
  EXPECT_EQ(env_.getImagePath(APValue(u"")), u"");
  env_.resource().image.extension.clear();
  EXPECT_EQ(env_.getImagePath(APValue(12)), u"bg/bg012");

  env_.resource().script = {u"scene", u"velko", 4, u"bso"};
  EXPECT_EQ(env_.getScriptPath(7), u"scene/velko0007.bso");

  // Voices: a folder per scene, and the scene number again in the name.
  env_.resource().voice = {u"voice", 3, 4, u"v", u"ogg"};
  EXPECT_EQ(env_.getVoicePath(5, 12), u"voice/005/v0050012.ogg");
  EXPECT_EQ(env_.getVoicePath(1234, 56789), u"voice/1234/v123456789.ogg");
}

TEST_F(GameEnvironmentTest, ScriptNumbersFollowTheTableUnlessOverridden) {
  const int32_t builtin[13] = {9010, 9000, 9001, 9008, 9005, 9007, 9006, 9002, 9004, 9003, 9014, 9015, 9017};
  for (int32_t type = 0; type <= 12; ++type) EXPECT_EQ(env_.getScriptNo(type), builtin[type]) << type;

  env_.constants()[5] = 77;      // not an override key
  env_.constants()[40] = -1;     // ignored
  env_.constants()[43] = 1234;
  env_.constants()[52] = 0;      // 0 is a valid scenario number
  EXPECT_EQ(env_.getScriptNo(5), 9007);
  EXPECT_EQ(env_.getScriptNo(0), 9010);
  EXPECT_EQ(env_.getScriptNo(3), 1234);
  EXPECT_EQ(env_.getScriptNo(12), 0);
}

TEST_F(GameEnvironmentDeathTest, UnknownScriptTypeEndsTheProcess) {
  for (const int32_t type : {13, -1}) {
    const std::string pattern = "getScriptNo : 未知のスクリプトtype\\(" + std::to_string(type) + "\\)";
    EXPECT_EXIT(
        {
          SendStdoutToStderr();
          env_.getScriptNo(type);
        },
        testing::ExitedWithCode(1), pattern);
  }
}

TEST_F(GameEnvironmentTest, SystemSavePathIsRelativeUnlessLocationIsOne) {
  Config::SaveRule& save = env_.resource().save;
  save.baseDir = u"save";
  save.sysSaveName = u"sys.dat";
  save.sysSaveDefaultName = u"sysdef.dat";
  env_.productInfo().authorName = u"Maker";
  env_.productInfo().productName = u"Game";
  for (const int32_t location : {0, 2}) {
    env_.productInfo().saveFolderLocation = location;
    EXPECT_EQ(env_.getSysSavePath(), u"save/sys.dat");
  }
  EXPECT_EQ(env_.getSysSaveDefaultPath(), u"save/sysdef.dat");

  const fs::path data = std::getenv("XDG_DATA_HOME");
  env_.productInfo().saveFolderLocation = 1;
  EXPECT_EQ(env_.getSysSavePath(), U(data) + u"/Maker/Game/save/sys.dat");
  EXPECT_TRUE(fs::is_directory(data / "Maker/Game/save"));
  EXPECT_EQ(env_.getSysSavePath(), U(data) + u"/Maker/Game/save/sys.dat");  // folder already there
  EXPECT_EQ(env_.getSysSaveDefaultPath(), u"save/sysdef.dat");
  fs::remove_all(data / "Maker");
}

TEST_F(GameEnvironmentTest, FindFileLooksInBuiltinsThenAsGivenThenEachLoadPath) {
  dir_.write("common.dat", "disk");
  dir_.write("here.txt", "cwd");
  dir_.write("pathB/here.txt", "b");
  dir_.write("pathA/both.txt", "a");
  dir_.write("pathB/both.txt", "b");
  dir_.write("pathA/only_a.txt", "a");
  dir_.write("pathB/only_b.txt", "b");
  dir_.write("sub/Deeper/file.TXT", "deep");
  const std::u16string base = U(dir_.path());
  struct Case { std::u16string name; bool builtins, ok; std::u16string found; bool isBuiltin; };
  const Case cases[] = {
      {u"common.dat", true, true, u"common.dat", true},
      {u"COMMON.DAT", true, true, u"COMMON.DAT", true},
      {u"common.dat", false, true, u"common.dat", false},
      {u"scene/velko0000.bso", true, true, u"scene/velko0000.bso", true},
      {u"scene/velko0000.bso", false, false, u"", false},
      {u"here.txt", true, true, u"here.txt", false},
      {u"Here.TXT", true, true, u"here.txt", false},
      {u"both.txt", true, true, u"pathA/both.txt", false},
      {u"only_a.txt", true, true, u"pathA/only_a.txt", false},
      {u"ONLY_A.txt", true, true, u"pathA/only_a.txt", false},
      {u"only_b.txt", true, true, u"pathB/only_b.txt", false},
      {u"Only_B.Txt", true, true, u"pathB/only_b.txt", false},
      {u"SUB/deeper/FILE.txt", true, true, u"sub/Deeper/file.TXT", false},
      {base + u"/here.txt", true, true, base + u"/here.txt", false},
      {base + u"/SUB/DEEPER/file.txt", true, true, base + u"/sub/Deeper/file.TXT", false},
      {u"/only_b.txt", true, false, u"", false},  // absolute names skip the load paths
      {u"missing.txt", true, false, u"", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(platform::ToUtf8(c.name) + (c.builtins ? " with builtins" : ""));
    std::u16string found = u"untouched";
    bool isBuiltin = !c.isBuiltin;
    EXPECT_EQ(env_.findFile(c.name, &found, c.builtins, &isBuiltin), c.ok);
    if (!c.ok) continue;
    EXPECT_EQ(found, c.found);
    EXPECT_EQ(isBuiltin, c.isBuiltin);
  }
  // Load paths are joined with exactly one "/".
  EXPECT_EQ(JoinPath(u".", u"name"), u"./name");
  EXPECT_EQ(JoinPath(u"pathA/", u"name"), u"pathA/name");
  EXPECT_EQ(JoinPath(u"/abs/dir", u"sub/name"), u"/abs/dir/sub/name");
}

TEST_F(GameEnvironmentTest, LoaderDecodesBlocksAndPrefersBuiltins) {
  const std::string plain("plain\0data", 10);
  Bytes enc, zip;
  EncodeEEBuffer(&enc, reinterpret_cast<const uint8_t*>(plain.data()), plain.size(), false);
  EncodeEEBuffer(&zip, reinterpret_cast<const uint8_t*>(plain.data()), plain.size(), true);
  dir_.write("plain.bin", plain);
  dir_.write("enc.bin", S(enc));
  dir_.write("zip.bin", S(zip));
  dir_.write("empty.bin", "");
  dir_.write("common.dat", "disk");
  dir_.write("pathA/only_a.txt", "from a");
  const std::u16string base = U(dir_.path());
  struct Case { std::u16string path; bool builtins; std::string expected; };
  const Case cases[] = {
      {u"plain.bin", true, plain},
      {u"PLAIN.BIN", true, plain},
      {u"enc.bin", true, plain},
      {u"zip.bin", false, plain},
      {u"empty.bin", true, ""},
      {u"common.dat", true, "built-in"},
      {u"common.dat", false, "disk"},
      {u"scene/velko0000.bso", true, "scene"},
      {u"Scene/VELKO0000.bso", true, "scene"},
      {u"scene/packed.bso", true, "packed text"},
      {base + u"/scene/velko0000.bso", true, "scene"},
      {base + u"/common.dat", true, "built-in"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(platform::ToUtf8(c.path));
    Bytes bytes{'x'};  // stale content must go
    EXPECT_TRUE(LoadFileBytes(&bytes, c.path, c.builtins));
    EXPECT_EQ(S(bytes), c.expected);
  }

  Bytes bytes;
  EXPECT_TRUE(env_.loadResource(&bytes, u"common.dat", true, true));
  EXPECT_EQ(S(bytes), "built-in");
  EXPECT_TRUE(env_.loadResource(&bytes, u"ONLY_A.TXT", true, false));
  EXPECT_EQ(S(bytes), "from a");
  EXPECT_FALSE(env_.loadResource(&bytes, u"only_a.txt", false, false));  // no search: as given only
}

TEST_F(GameEnvironmentTest, BuiltinByAbsolutePathNeedsASlashAfterTheBaseFolder) {
  const std::u16string base = U(dir_.path());
  Bytes bytes;
  // "<base>x/a" lies beside the base folder, not inside it: no built-in "x/a".
  EXPECT_FALSE(LoadFileBytes(&bytes, base + u"x/a", true));
  EXPECT_FALSE(LoadFileBytes(&bytes, base + u"x/scene/velko0000.bso", true));
  EXPECT_FALSE(LoadFileBytes(&bytes, base + u"/scene/velko0000.bso", false));
  EXPECT_FALSE(LoadFileBytes(&bytes, u"/scene/velko0000.bso", true));
  EXPECT_TRUE(bytes.empty());
}

TEST_F(GameEnvironmentTest, CorruptBlockIsAFailedLoadWithAWarning) {
  const std::string cases[] = {
      std::string("EENZ\x0b\0\0\0", 8) + "not zlib at all",
      std::string("EENC\x64\0\0\0", 8) + "short",  // 100 bytes announced, 5 present
  };
  for (const std::string& block : cases) {
    dir_.write("bad.bin", block);
    log_.clear();
    Bytes bytes;
    EXPECT_FALSE(LoadFileBytes(&bytes, u"bad.bin", false));
    EXPECT_TRUE(bytes.empty());
    EXPECT_TRUE(log_.contains("[WARN ]")) << log_.all();
    EXPECT_TRUE(log_.contains("符号化データの復号に失敗しました(bad.bin)")) << log_.all();
  }
}

TEST_F(GameEnvironmentTest, MissingOrOversizedFileFailsWithTraceLinesOnly) {
  Bytes bytes;
  EXPECT_FALSE(LoadFileBytes(&bytes, u"missing.bin", true));
  EXPECT_TRUE(log_.contains("ファイルのオープンに失敗(missing.bin)")) << log_.all();
  EXPECT_FALSE(env_.loadResource(&bytes, u"missing.bin", true, true));
  EXPECT_TRUE(log_.contains("ファイルが見つからない(missing.bin)")) << log_.all();
  EXPECT_TRUE(onlyTrace()) << log_.all();

  // Sparse: nothing of that size is written to disk.
  const fs::path big = dir_.write("big.bin", "");
  fs::resize_file(big, (uint64_t{1} << 30) + 1);
  log_.clear();
  bool tooLarge = false;
  EXPECT_FALSE(LoadFileBytes(&bytes, u"big.bin", false, GameEnvironment::kMaxLoadSize, &tooLarge));
  EXPECT_TRUE(tooLarge);
  EXPECT_TRUE(bytes.empty());
  EXPECT_TRUE(onlyTrace()) << log_.all();

  // A smaller cap holds for the file and for what its block decodes to.
  const std::string plain(100, 'x');
  Bytes block;
  EncodeEEBuffer(&block, reinterpret_cast<const uint8_t*>(plain.data()), plain.size(), true);
  ASSERT_LT(block.size(), 100u);
  dir_.write("plain.bin", plain);
  dir_.write("block.bin", std::string(block.begin(), block.end()));
  EXPECT_TRUE(LoadFileBytes(&bytes, u"plain.bin", false, 100, &tooLarge));
  EXPECT_FALSE(tooLarge);
  EXPECT_FALSE(LoadFileBytes(&bytes, u"plain.bin", false, 99, &tooLarge));
  EXPECT_TRUE(tooLarge);
  EXPECT_FALSE(env_.loadResource(&bytes, u"block.bin", true, false, 99, &tooLarge));
  EXPECT_TRUE(tooLarge);
  EXPECT_TRUE(bytes.empty());
}

TEST_F(GameEnvironmentTest, SpecialFolderNumbers) {
  std::u16string path;
  int32_t error = 0;
  ASSERT_TRUE(GetSpecialFolderPath(0x1a, &path, &error));
  EXPECT_EQ(path, platform::FromUtf8(std::getenv("XDG_DATA_HOME")));

  path = u"kept";
  EXPECT_FALSE(GetSpecialFolderPath(0x05, &path, &error));
  EXPECT_NE(error, 0);
  EXPECT_EQ(path, u"kept");
}

TEST_F(GameEnvironmentTest, ResolveTriesThePathThenTheAltFolder) {
  dir_.write("here.png", "");
  dir_.write("alt/tex/a.png", "");
  const std::u16string alt = U(dir_.path() / "alt");
  EXPECT_EQ(ResolveWithAltSearchPath(u"tex/a.png"), u"");  // no alt folder yet
  for (const std::u16string& folder : {alt, alt + u"/"}) {
    SetAltResourceSearchPath(folder);
    EXPECT_EQ(ResolveWithAltSearchPath(u"here.png"), u"here.png");
    EXPECT_EQ(ResolveWithAltSearchPath(u"tex/a.png"), alt + u"/tex/a.png");
    EXPECT_EQ(ResolveWithAltSearchPath(u"TEX/A.PNG"), alt + u"/tex/a.png");
    EXPECT_EQ(ResolveWithAltSearchPath(u"tex/none.png"), u"");
  }
}

}  // namespace
