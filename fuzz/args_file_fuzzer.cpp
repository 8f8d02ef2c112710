// Fuzzes args.txt: the input is the file beside the executable that gives
// the arguments when there are none, then the options are read from them.
// Every line becomes one argument whole: none is empty, holds a "\n" or ends
// in "\r", the program name stays first, and the options end within the list.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/invoker.h"
#include "app/log.h"
#include "fuzz/fuzz_folder.h"
#include "platform/utf8.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SetLogLevelMask(0);
  // A missing option value or -h shows a box: headless, one line on
  // standard error.
  setenv("ZEP_NO_DIALOGS", "1", 1);
  MakeFuzzFolder("args");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::u16string path = platform::FromUtf8(WriteFuzzFile("args.txt", data, size).string());
  std::vector<std::u16string> args{u"app_w"};
  if (!ReadArgsFile(path, &args) || args.empty() || args[0] != u"app_w") abort();
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i].empty() || args[i].find(u'\n') != std::u16string::npos || args[i].back() == u'\r') abort();
  }
  InvokerOptions options;
  const size_t first = ParseInvokerOptions(args, &options);
  if (first > args.size() || (first < args.size() && !options.exitCode && args[first][0] == u'-')) abort();
  return 0;
}
