// Fuzzes the installer's action and file-list readers: arbitrary bytes read
// both as "st_menu.ins" and as "st_menu.lst", then every copy action's
// pattern selects from every file group read.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>
#include <vector>

#include "app/log.h"
#include "setup/setup_ins.h"
#include "setup/wildcard.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SetLogLevelMask(0);
  // The readers' warnings would flood the fuzzer's output.
  if (!freopen("/dev/null", "w", stdout)) return 0;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  ns_SetupIns::ActionTable actions;
  ns_SetupIns::FileTable files;
  ns_SetupIns::SetupIns::readActionText(bytes, u"st_menu.ins", &actions);
  ns_SetupIns::SetupIns::readFileListText(bytes, u"st_menu.lst", &files);
  std::vector<const ns_SetupIns::FileEntry*> selected;
  for (const auto& [number, group] : actions) {
    for (const SharedRef<ns_SetupIns::Action>& action : *group) {
      if (action->code != ns_SetupIns::Action::kCopy) continue;
      const auto* copy = static_cast<const ns_SetupIns::ActCopy*>(action.get());
      for (const auto& [disc, entries] : files) collectCopyFiles(*entries, copy->pattern, &selected);
    }
  }
  for (const auto& [disc, entries] : files) collectCopyFiles(*entries, u"*a*", &selected);
  return 0;
}
