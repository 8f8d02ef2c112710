#include "app/event_queue.h"

void EventQueue::post(std::unique_ptr<Event> event) {
  if (event) events_.push_back(std::move(event));
}

std::deque<std::unique_ptr<Event>> EventQueue::takeAll() {
  std::deque<std::unique_ptr<Event>> out;
  out.swap(events_);
  return out;
}

EventQueue& GetEventQueue() {
  static EventQueue queue;
  return queue;
}

void PostEvent(std::unique_ptr<Event> event) { GetEventQueue().post(std::move(event)); }
