#include "platform/debug_output.h"

namespace platform {

void DebugOutput(std::u16string_view) {}

}  // namespace platform
