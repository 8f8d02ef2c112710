// The one reaction to a broken internal invariant: log, show the box, end
// the process with exit code 1; and the failed setup run, which ends the
// process with 1 too once it runs to its end. Any thread.
#pragma once

#include <string_view>

// Logs "zep_abort(): program aborted. msg=%s\n" at FATAL, flushes the
// standard streams, shows a box captioned "異常終了" and exits with code 1.
// The box shows the message, and under it `detail` when there is one: the
// log line that says what stopped the program (without its level and
// time), so that the box names what the log names (a file, a line, a form).
[[noreturn]] void zep_abort(std::u16string_view message, std::u16string_view detail = {});

// A hook that runs first in zep_abort (null: none). Fuzz targets install one
// that throws, to end just the input that reached a broken invariant; if it
// returns, the process ends as usual.
using AbortHook = void (*)(std::u16string_view message);
void SetAbortHook(AbortHook hook);

// Set by the setup built-ins as their run goes: true while its last setup
// response was a stop or a retry question still unanswered. A run that ends
// so exits with code 1 (a shell sees a failed install).
void SetSetupRunFailed(bool failed);
bool SetupRunFailed();
