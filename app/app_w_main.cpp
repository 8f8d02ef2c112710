// The app_w executable. For now it creates the game environment, reads the
// configuration file named on the command line into it, sets up the scene
// with the main window and runs frames until the window is closed; the rest
// of start-up (controller, scheduler) is built on top of it.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "app/event.h"
#include "app/event_queue.h"
#include "app/game_environment.h"
#include "app/log.h"
#include "app/main_window.h"
#include "app/timer.h"
#include "platform/std_streams.h"
#include "platform/utf8.h"
#include "scene/scene_setup.h"

int main(int argc, char** argv) {
  platform::IgnoreBrokenPipes();
  GetTimerManager()->setMainThread(std::this_thread::get_id());
  std::vector<std::u16string> args;
  for (int i = 1; i < argc; ++i) args.push_back(platform::FromUtf8(argv[i]));
  if (args.empty()) {
    LogWrite(LOG_WARN, u"USAGE: app_w.exe [-stdout logfname] [-loadpath <dir1>;<dir2>] srcfile.scm\n");
    return 0;
  }
  std::error_code ec;
  const std::u16string base = platform::FromUtf8(std::filesystem::current_path(ec).string());
  GameEnvironment environment(base, {u"."}, {});
  if (!environment.init(args.back())) return 1;
  LogWrite(LOG_WARN, u"%s: 読み込みました\n", args.back());

  if (!sceneInit(&environment)) return 1;
  // Until the controller answers application events, closing the window
  // ends the run; the other events are dropped.
  bool closed = false;
  while (!closed && PumpMessagesGuarded(0, false) != -1) {
    for (const auto& event : GetEventQueue().takeAll()) {
      const AppEvent* app = EventAs<AppEvent>(event.get());
      if (app && app->code == AppEvent::kClose) closed = true;
    }
  }
  sceneDetach();
  sceneRelease();
  DestroyMainWindow();
  return 0;
}
