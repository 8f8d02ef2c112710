// A second process for the registry store's tests. It inherits the test's
// environment, so it uses the same hive files.
//   registry_writer <cu|lm> <key> dword <prefix> <count>
//     writes DWORD values prefix0 .. prefix<count-1>, each holding its index
//   registry_writer <cu|lm> <key> sz <name> <text>
//     writes one string value (the text as UTF-8)
//   registry_writer <cu|lm> <key> loop <name> <start>
//     writes the DWORD value start, start + 1, ... until killed, printing
//     each number on its own line once it is written
// Exit status: 0 written, 1 bad arguments, 3 a write failed.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/registry_store.h"
#include "platform/utf8.h"

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: registry_writer <cu|lm> <key> dword <prefix> <count> | sz <name> <text> | loop <name> <start>\n");
    return 1;
  }
  const std::string hiveName = argv[1];
  if (hiveName != "cu" && hiveName != "lm") return 1;
  const platform::RegistryHive hive =
      hiveName == "cu" ? platform::RegistryHive::kCurrentUser : platform::RegistryHive::kLocalMachine;
  const std::u16string key = platform::FromUtf8(argv[2]);
  const std::string mode = argv[3];

  if (mode == "sz") {
    platform::RegistryValue value;
    value.type = platform::kRegSz;
    value.text = platform::FromUtf8(argv[5]);
    return platform::RegistryWriteValue(hive, key, platform::FromUtf8(argv[4]), value) == platform::kRegOk ? 0 : 3;
  }
  if (mode == "loop") {
    const std::u16string name = platform::FromUtf8(argv[4]);
    for (uint32_t i = static_cast<uint32_t>(std::strtoul(argv[5], nullptr, 10));; ++i) {
      platform::RegistryValue value;
      value.type = platform::kRegDword;
      value.dword = i;
      if (platform::RegistryWriteValue(hive, key, name, value) != platform::kRegOk) return 3;
      std::printf("%u\n", i);
      std::fflush(stdout);
    }
  }
  if (mode != "dword") return 1;
  const std::string prefix = argv[4];
  const int count = std::atoi(argv[5]);
  for (int i = 0; i < count; ++i) {
    platform::RegistryValue value;
    value.type = platform::kRegDword;
    value.dword = static_cast<uint32_t>(i);
    const int rc = platform::RegistryWriteValue(hive, key, platform::FromUtf8(prefix + std::to_string(i)), value);
    if (rc != platform::kRegOk) {
      std::fprintf(stderr, "registry_writer: %s%d failed with %d\n", prefix.c_str(), i, rc);
      return 3;
    }
  }
  return 0;
}
