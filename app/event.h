// The engine's events: application events raised by the GUI and built-in
// functions, and the mouse and key input events made from window input.
// Main thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class Event {
 public:
  Event(uint32_t typeId, int32_t parameter) : typeId_(typeId), parameter_(parameter) {}
  virtual ~Event() = default;
  virtual std::unique_ptr<Event> clone() const = 0;

  uint32_t typeId() const { return typeId_; }
  // Only application events use the parameter; input events keep 0.
  int32_t parameter() const { return parameter_; }

 private:
  uint32_t typeId_;
  int32_t parameter_;
};

// Stores the type id of a concrete event class and clones it by copy.
template <class T, uint32_t Id>
class EventImplBase : public Event {
 public:
  static constexpr uint32_t kTypeId = Id;

  explicit EventImplBase(int32_t parameter) : Event(Id, parameter) {}
  std::unique_ptr<Event> clone() const override {
    return std::make_unique<T>(static_cast<const T&>(*this));
  }
};

class AppEvent : public EventImplBase<AppEvent, 0x10001> {
 public:
  // Codes raised by the main window.
  static constexpr int32_t kClose = 6;
  static constexpr int32_t kDeactivated = 12;
  static constexpr int32_t kToggleScreenMode = 19;

  AppEvent(int32_t code, int32_t parameter) : EventImplBase(parameter), code(code) {}
  AppEvent(int32_t code, std::u16string text, int32_t parameter)
      : EventImplBase(parameter), code(code), text(std::move(text)) {}

  int32_t code;
  std::u16string text;
};

class MouseEvent : public EventImplBase<MouseEvent, 0x30002> {
 public:
  enum Action : int32_t { kRelease = 1, kPress = 2, kMove = 4, kWheel = 8 };
  enum Button : int32_t { kNone = 0, kLeft = 1, kRight = 2 };

  MouseEvent(int32_t x, int32_t y, int32_t action, int32_t button, int32_t wheel, int32_t parameter)
      : EventImplBase(parameter), x(x), y(y), action(action), button(button), wheel(wheel) {}

  int32_t x;  // logical screen coordinates
  int32_t y;
  int32_t action;
  int32_t button;
  int32_t wheel;  // raw wheel distance (120 per notch); 0 unless action is kWheel
};

class KeyEvent : public EventImplBase<KeyEvent, 0x30003> {
 public:
  enum Action : int32_t { kUp = 1, kDown = 2 };
  enum Modifier : uint32_t { kShift = 1, kCtrl = 2 };

  KeyEvent() : EventImplBase(0) {}

  uint32_t virtualKey = 0;  // Windows virtual-key number
  int32_t action = kDown;
  uint32_t modifiers = 0;   // held when the input was handled
  int32_t repeat = 0;       // 1 when the key was already down
};

// Posted when a choice is taken; the text is the chosen item's identifier.
class SelectedEvent : public EventImplBase<SelectedEvent, 0x10002> {
 public:
  explicit SelectedEvent(std::u16string text) : EventImplBase(0), text(std::move(text)) {}

  std::u16string text;
};

// Checked downcast: null when the event is of another type.
template <class T>
const T* EventAs(const Event* event) {
  return event && event->typeId() == T::kTypeId ? static_cast<const T*>(event) : nullptr;
}
