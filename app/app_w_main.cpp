// The app_w executable: the main thread becomes the timer manager's thread,
// the UTF-8 command line becomes UTF-16, and the invoker does the rest
// (app/invoker.h).
#include <string>
#include <thread>
#include <vector>

#include "app/invoker.h"
#include "app/timer.h"
#include "platform/std_streams.h"
#include "platform/utf8.h"

int main(int argc, char** argv) {
  platform::IgnoreBrokenPipes();
  GetTimerManager()->setMainThread(std::this_thread::get_id());
  std::vector<std::u16string> args;
  for (int i = 0; i < argc; ++i) args.push_back(platform::FromUtf8(argv[i]));
  return InvokerMain(args);
}
