// Leaks a block on purpose, built with the leak-check hooks of the sanitizer
// app_w (its suppressions and kept libraries): the leak is the engine's kind,
// allocated by its own code, which the suppressions must never hide.
#include <cstdio>

int main() {
  int* block = new int[64];
  block[0] = 7;
  std::printf("%d\n", block[0]);
  block = nullptr;
  return 0;
}
