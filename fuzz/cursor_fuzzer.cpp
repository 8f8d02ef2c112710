// Fuzzes the cursor-file decoder (.cur, .ico, .ani) on an exact-size copy of
// the input, and checks what a successful decode promises its consumers:
// at least one frame, and pixels that match each frame's own size.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "gdev/cursor_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> bytes(data, data + size);
  CursorRecord record;
  if (DecodeCursorFile(bytes, &record)) {
    if (record.frames.empty()) abort();
    for (const CursorFrame& frame : record.frames) {
      if (frame.width < 1 || frame.width > 256 || frame.height < 1 || frame.height > 256) abort();
      if (frame.pixels.size() != static_cast<size_t>(frame.width) * static_cast<size_t>(frame.height) * 4) abort();
    }
    const CursorFrame& last = record.frames.back();
    if (record.width != last.width || record.height != last.height) abort();
  } else if (!record.frames.empty()) {
    abort();
  }
  return 0;
}
