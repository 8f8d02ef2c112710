// Fuzzes the setup description reader: arbitrary bytes as the text of
// st_menu.ini and of patcher.ini (checks included), then every getter the
// installer reads, disc indexes at and past both ends included.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "app/log.h"
#include "setup/setup_ini.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SetLogLevelMask(0);
  // The reader's errors would flood the fuzzer's output.
  if (!freopen("/dev/null", "w", stdout)) return 0;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::u16string error;
  ns_SetupIni::SetupIni setup;
  setup.parseText(text, &error);
  std::u16string value = setup.getAuthorName() + setup.getProductTitle() + setup.getShortcutName() +
                         setup.getSaveFolder() + setup.getDiscIdFileName();
  for (const int32_t index : {-1, 0, 1, 9999, 10000}) {
    setup.getDiscId(index, &value);
    setup.getDiscName(index, &value);
  }
  setup.getSaveFolderLocation(-1);
  ns_SetupIni::PatcherIni patcher;
  patcher.parseText(text, &error);
  value = patcher.getPatchRoot() + patcher.getOldVersionKey() + patcher.getNewVersionKey();
  return 0;
}
