// A second process for the atomic replace's shared-folder test:
//   replace_writer <path> <count>
// replaces the file count times with 64 KiB of one letter of its own.
// Exit status: 0 all written, 1 bad arguments, 3 a replace failed (its errno
// on standard error).
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "platform/file.h"

int main(int argc, char** argv) {
  if (argc != 3) return 1;
  const int count = std::atoi(argv[2]);
  const std::string bytes(65536, static_cast<char>('a' + std::random_device{}() % 26));
  for (int i = 0; i < count; ++i) {
    if (const int error = platform::ReplaceFileAtomically(argv[1], bytes); error != 0) {
      std::fprintf(stderr, "replace %d failed: errno %d\n", i, error);
      return 3;
    }
  }
  return 0;
}
