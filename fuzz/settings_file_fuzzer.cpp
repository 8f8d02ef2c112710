// Fuzzes the settings file reader: the input is the file (plain, or an
// "EENC" or "EENZ" block) that SystemSettings::readFile loads, decodes,
// parses and reads; nothing may end the process. Settings that were read
// must write, read back and write again to the same file.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "app/log.h"
#include "gamestate/system_settings.h"
#include "platform/utf8.h"

namespace {

constexpr int32_t kVersion = 1;

std::filesystem::path g_folder;

std::string bytesOf(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::u16string pathOf(const char* name) { return platform::FromUtf8((g_folder / name).string()); }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SetLogLevelMask(0);
  // The readers' warnings would flood the fuzzer's output.
  if (!freopen("/dev/null", "w", stdout)) return 0;
  // Memory-backed when there is one: every write syncs.
  const std::filesystem::path base = std::filesystem::is_directory("/dev/shm") ? std::filesystem::path("/dev/shm")
                                                                               : std::filesystem::temp_directory_path();
  std::string pattern = (base / "zep-settings-fuzz-XXXXXX").string();
  if (!mkdtemp(pattern.data())) std::abort();
  g_folder = pattern;
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(g_folder, ignored);
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  {
    std::ofstream out(g_folder / "input.dat", std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  SystemSettings settings;
  if (!settings.readFile(pathOf("input.dat"), kVersion, false)) return 0;
  if (!settings.writeFile(pathOf("first.dat"), kVersion, 0, -1, true)) abort();
  SystemSettings back;
  if (!back.readFile(pathOf("first.dat"), kVersion, false)) abort();
  if (!back.writeFile(pathOf("second.dat"), kVersion, 0, -1, true)) abort();
  if (bytesOf(g_folder / "first.dat") != bytesOf(g_folder / "second.dat")) abort();
  return 0;
}
