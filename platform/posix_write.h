// The one loop that writes a whole buffer to a descriptor, shared by the
// files of platform/ that write files themselves. Any thread.
#pragma once

#include <string_view>

namespace platform {

// 0 when every byte was written, else errno (EIO for a write of nothing).
int WriteAllBytes(int fd, std::string_view bytes);

}  // namespace platform
