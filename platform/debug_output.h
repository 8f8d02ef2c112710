// Stand-in for the Windows debugger output channel. Linux has no such channel:
// the log already goes to standard output, so this is a no-op. Any thread.
#pragma once

#include <string_view>

namespace platform {

void DebugOutput(std::u16string_view text);

}  // namespace platform
