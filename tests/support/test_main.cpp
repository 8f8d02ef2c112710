// The main of every test binary: a headless, sandboxed environment first
// (drivers, dialogs, and the XDG folders and registry store in a fresh
// temporary folder, inherited by any process a test starts), then GoogleTest.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  setenv("ZEP_NO_DIALOGS", "1", 0);
  setenv("LP_NUM_THREADS", "2", 0);
  setenv("MESA_SHADER_CACHE_DISABLE", "true", 0);

  // A death-test child (or any process a test starts) runs in its parent's
  // sandbox, which the parent removes.
  const char* inherited = getenv("ZEP_TEST_SANDBOX");
  const bool own = !(inherited && std::filesystem::is_directory(inherited));
  std::filesystem::path sandbox;
  if (own) {
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    std::string pattern = (base / "zep-test-XXXXXX").string();
    const char* root = mkdtemp(pattern.data());
    if (!root) return 2;
    sandbox = root;
  } else {
    sandbox = inherited;
  }
  for (const char* name : {"data", "config", "runtime", "registry", "applications"}) {
    std::filesystem::create_directories(sandbox / name);
  }
  setenv("XDG_DATA_HOME", (sandbox / "data").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (sandbox / "config").c_str(), 1);
  setenv("XDG_RUNTIME_DIR", (sandbox / "runtime").c_str(), 1);
  setenv("ZEP_REGISTRY_DIR", (sandbox / "registry").c_str(), 1);
  // As root the installer's menu entries go to the system's start menu.
  setenv("ZEP_SYSTEM_APPLICATIONS_DIR", (sandbox / "applications").c_str(), 1);
  setenv("ZEP_TEST_SANDBOX", sandbox.c_str(), 1);

  testing::InitGoogleTest(&argc, argv);
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const int rc = RUN_ALL_TESTS();
  if (own) {
    std::error_code ignored;
    std::filesystem::remove_all(sandbox, ignored);
  }
  return rc;
}
