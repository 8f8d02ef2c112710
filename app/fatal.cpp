#include "app/fatal.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/log.h"
#include "platform/message_box.h"

namespace {
AbortHook g_abortHook = nullptr;
std::atomic<bool> g_setupRunFailed{false};
}  // namespace

void SetAbortHook(AbortHook hook) { g_abortHook = hook; }

void SetSetupRunFailed(bool failed) { g_setupRunFailed.store(failed); }

bool SetupRunFailed() { return g_setupRunFailed.load(); }

void zep_abort(std::u16string_view message, std::u16string_view detail) {
  if (g_abortHook) g_abortHook(message);
  // What other threads (and this one) hold back for later is written first:
  // nothing logged before the end is lost.
  FlushHeldLogs();
  const std::u16string text(message);
  LogWrite(LOG_FATAL, u"zep_abort(): program aborted. msg=%s\n", text);
  fflush(nullptr);
  std::u16string box = text;
  if (!detail.empty()) {
    box += u"\n";
    box += detail;
    // A log line's own line end would leave an empty last line in the box.
    while (!box.empty() && box.back() == u'\n') box.pop_back();
  }
  platform::ShowMessageBox(box, u"異常終了", platform::MB_ICONEXCLAMATION);
  fflush(nullptr);
  std::_Exit(1);
}
