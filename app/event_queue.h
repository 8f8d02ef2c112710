// The process-wide first-in first-out queue of events. The window input, the
// GUI, the movie player and built-in functions post into it; the
// controller's end-of-frame step drains it. Main thread only.
#pragma once

#include <deque>
#include <memory>

#include "app/event.h"

class EventQueue {
 public:
  void post(std::unique_ptr<Event> event);
  // Removes every queued event, oldest first.
  std::deque<std::unique_ptr<Event>> takeAll();
  bool empty() const { return events_.empty(); }
  size_t size() const { return events_.size(); }

 private:
  std::deque<std::unique_ptr<Event>> events_;
};

EventQueue& GetEventQueue();

// Appends the event at the back of the global queue, which owns it from now on.
void PostEvent(std::unique_ptr<Event> event);
