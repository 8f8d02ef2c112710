// Fuzzes the installer's small file reads: the disc identification file
// against an expected text, and the install folder's VERSION file. The
// input's first byte gives the length of the expected text (game code page
// bytes, decoded as the ini reader would), the rest is the file. A file
// matches exactly when it holds the expected text's bytes; a VERSION file
// reads when its size is 1 to 1000 bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/log.h"
#include "app/string_util.h"
#include "fuzz/fuzz_folder.h"
#include "platform/codepage.h"
#include "platform/utf8.h"
#include "setup/install_files.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SetLogLevelMask(0);
  MakeFuzzFolder("setup-files");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const size_t idLength = std::min<size_t>(data[0] % 64, size - 1);
  const std::u16string idText =
      platform::DecodeCP932(std::string_view(reinterpret_cast<const char*>(data) + 1, idLength));
  const std::string_view file(reinterpret_cast<const char*>(data) + 1 + idLength, size - 1 - idLength);
  const std::u16string folder = platform::FromUtf8(FuzzFolder().string());

  WriteFuzzFile("DISCID", file.data(), file.size());
  const std::string expected = WStringToMultiByte(idText);
  const int32_t match = checkDiscIdFile(folder + u"/discid", idText);
  if (match != (expected.empty() ? 4 : file == expected ? 0 : 2)) abort();

  WriteFuzzFile("VERSION", file.data(), file.size());
  std::u16string version;
  const bool read = readVersionFile(folder, &version);
  if (read != (!file.empty() && file.size() <= kMaxVersionBytes)) abort();
  if (read && version != Utf8OrCP932ToWString(file)) abort();
  return 0;
}
