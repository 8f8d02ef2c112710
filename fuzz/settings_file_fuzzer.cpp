// Fuzzes the settings file reader: the input is the file (plain, or an
// "EENC" or "EENZ" block) that SystemSettings::readFile loads, decodes,
// parses and reads; nothing may end the process. Settings that were read
// must write, read back and write again to the same file.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/log.h"
#include "fuzz/fuzz_folder.h"
#include "gamestate/system_settings.h"
#include "platform/utf8.h"

namespace {

constexpr int32_t kVersion = 1;

std::u16string pathOf(const char* name) { return platform::FromUtf8((FuzzFolder() / name).string()); }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SetLogLevelMask(0);
  // The readers' warnings would flood the fuzzer's output.
  if (!freopen("/dev/null", "w", stdout)) return 0;
  MakeFuzzFolder("settings");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WriteFuzzFile("input.dat", data, size);
  SystemSettings settings;
  if (!settings.readFile(pathOf("input.dat"), kVersion, false)) return 0;
  if (!settings.writeFile(pathOf("first.dat"), kVersion, 0, -1, true)) abort();
  SystemSettings back;
  if (!back.readFile(pathOf("first.dat"), kVersion, false)) abort();
  if (!back.writeFile(pathOf("second.dat"), kVersion, 0, -1, true)) abort();
  if (ReadFuzzFile(FuzzFolder() / "first.dat") != ReadFuzzFile(FuzzFolder() / "second.dat")) abort();
  return 0;
}
