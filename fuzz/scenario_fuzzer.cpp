// Fuzzes the scenario compiler and the script machine: arbitrary bytes as a
// scenario file (decoded from the game code page), compiled as set 1 and as
// sub 1, then run for a bounded number of statements with every pending call
// answered at once. A malformed statement form ends the program by design;
// the abort hook turns that into the end of this input only.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/fatal.h"
#include "app/log.h"
#include "app/string_util.h"
#include "script/scenario_compiler.h"
#include "script/script_vm.h"

namespace {

struct Aborted {};

void throwOnAbort(std::u16string_view) { throw Aborted(); }

void runUnit(std::unique_ptr<CompiledUnit> unit, bool isSet) {
  if (!unit) return;
  ScriptVM vm(nullptr);
  vm.cache().insert(isSet ? CompiledUnitCache::kSet : CompiledUnitCache::kSub, 1, 1, std::move(unit));
  if ((isSet ? vm.exec_set(1, 1, 0) : vm.exec_sub(1, 1, 0)) != 1) return;
  for (int steps = 0; steps < 2000; ++steps) {
    const int32_t r = vm.execStatement();
    if (r == ScriptVM::kFinished || r == ScriptVM::kError) return;
    if (r == ScriptVM::kPendingCall) vm.setReflag(0);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SetLogLevelMask(0);
  SetAbortHook(&throwOnAbort);
  // Debug boxes print instead of showing; the log would flood the output.
  setenv("ZEP_NO_DIALOGS", "1", 1);
  if (!freopen("/dev/null", "w", stdout)) return 0;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::u16string text = MultiByteToWString(reinterpret_cast<const char*>(data), size);
  try {
    runUnit(CompileScenarioText(text, 1, -1, u"fuzz"), true);
    runUnit(CompileScenarioText(text, -1, 1, u"fuzz"), false);
  } catch (const Aborted&) {
  }
  return 0;
}
