// VMEvent: the scheduler's record of one event as the script side sees it: a
// kind code, the event it came from (shared), and two parameters of
// synthetic events. A value type; copies share the event. Main thread.
#pragma once

#include <cstdint>

#include "app/event.h"
#include "app/shared_ref.h"

struct VMEvent {
  // For an AppEvent its code, 40 for a key event, 41 for a mouse event, 30
  // for any other event, 0 for the per-frame tick; -1 means no event.
  int32_t code = -1;
  SharedRef<Event> event;
  int32_t param = 0;
  int32_t param2 = 0;
};

// The kind code of an event (see VMEvent::code).
inline int32_t eventKindOf(const Event& event) {
  if (const AppEvent* app = EventAs<AppEvent>(&event)) return app->code;
  if (EventAs<KeyEvent>(&event)) return 40;
  if (EventAs<MouseEvent>(&event)) return 41;
  return 30;
}
