// A second process for the settings file's crash test:
//   settings_writer <folder>
// writes two large settings, A to <folder>/a.ref and B to <folder>/b.ref,
// and A to <folder>/save/system.dat, each when it is missing, then
// <folder>/ready, and then rewrites system.dat with B, A, B, ... until it
// is killed.
// Exit status: 1 bad arguments, 3 a write failed.
#include <string>
#include <utility>

#include "app/file_helpers.h"
#include "gamestate/system_settings.h"
#include "platform/utf8.h"

namespace {

// About 1 MB of plain text: 200 string variables of 5000 characters.
SystemSettings Large(char16_t fill) {
  SystemSettings settings;
  for (int32_t i = 0; i < 200; ++i) {
    settings.sysflagString[i] = std::u16string(5000, fill);
    settings.sysflagInt[i] = i + 1;
  }
  return settings;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 1;
  const std::u16string folder = platform::FromUtf8(argv[1]);
  const std::u16string target = folder + u"/save/system.dat";
  SystemSettings a = Large(u'a');
  SystemSettings b = Large(u'b');
  for (const auto& [path, settings] :
       {std::pair{folder + u"/a.ref", &a}, std::pair{folder + u"/b.ref", &b}, std::pair{target, &a}}) {
    if (FileStatus(path) != 0 && !settings->writeFile(path, 1, 0, -1, false)) return 3;
  }
  if (WriteFileAtomically(folder + u"/ready", "", 0) != 0) return 3;
  for (;;) {
    if (!b.writeFile(target, 1, 0, -1, false) || !a.writeFile(target, 1, 0, -1, false)) return 3;
  }
}
