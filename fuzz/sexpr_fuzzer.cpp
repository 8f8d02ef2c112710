// Fuzzes the S-expression reader and printer: the input is decoded from the
// game code page (as files are) and also read as raw UTF-16; whatever reads
// is printed and read again.
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/log.h"
#include "app/string_util.h"
#include "script/cell_printer.h"
#include "script/tokenizer.h"

namespace {

void readAndPrint(const std::u16string& text, size_t limit) {
  tokenizer::Tokenizer reader(limit);
  if (!reader.parse(text)) return;
  const std::u16string printed = tokenizer::toText(reader.root());
  tokenizer::Tokenizer again(tokenizer::Tokenizer::kNoStringLimit);
  again.parse(printed);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SetLogLevelMask(0);
  // The reader's warnings would flood the fuzzer's output.
  freopen("/dev/null", "w", stdout);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  readAndPrint(MultiByteToWString(reinterpret_cast<const char*>(data), size),
               tokenizer::Tokenizer::kDefaultStringLimit);
  std::u16string wide(size / 2, u'\0');
  for (size_t i = 0; i + 1 < size; i += 2) wide[i / 2] = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
  readAndPrint(wide, tokenizer::Tokenizer::kNoStringLimit);
  return 0;
}
