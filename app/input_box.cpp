// The input box's model and ShowInputBox. The drawn box lives with the main
// window and installs itself as the runner. Main thread.
#include "app/input_box.h"

#include <algorithm>

namespace {

InputBoxRunner g_runner = nullptr;

bool isHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// The first `count` units of text, one less when that would split a pair.
std::u16string_view cutAt(std::u16string_view text, size_t count) {
  if (count >= text.size()) return text;
  if (count > 0 && isHighSurrogate(text[count - 1]) && isLowSurrogate(text[count])) --count;
  return text.substr(0, count);
}

}  // namespace

InputBoxModel::InputBoxModel(std::u16string_view caption, std::u16string_view prompt, std::u16string_view initial,
                             int32_t maxLength)
    : caption_(caption.empty() ? std::u16string(u"入力ボックス") : std::u16string(caption)),
      prompt_(prompt.empty() ? std::u16string(u"入力してください") : std::u16string(prompt)),
      maxLength_(maxLength < 1 ? kDefaultLimit : maxLength) {
  text_ = cutAt(initial, static_cast<size_t>(maxLength_));
  anchor_ = 0;
  caret_ = text_.size();
}

void InputBoxModel::eraseSelection() {
  const size_t start = selectionStart();
  text_.erase(start, selectionEnd() - start);
  anchor_ = caret_ = start;
}

void InputBoxModel::insert(std::u16string_view typed) {
  if (!isOpen()) return;
  eraseSelection();
  const size_t room = static_cast<size_t>(maxLength_) - std::min(text_.size(), static_cast<size_t>(maxLength_));
  const std::u16string_view kept = cutAt(typed, room);
  text_.insert(caret_, kept);
  caret_ += kept.size();
  anchor_ = caret_;
}

size_t InputBoxModel::stepBack(size_t index) const {
  if (index == 0) return 0;
  --index;
  if (index > 0 && isLowSurrogate(text_[index]) && isHighSurrogate(text_[index - 1])) --index;
  return index;
}

size_t InputBoxModel::stepForward(size_t index) const {
  if (index >= text_.size()) return text_.size();
  ++index;
  if (index < text_.size() && isLowSurrogate(text_[index]) && isHighSurrogate(text_[index - 1])) ++index;
  return index;
}

void InputBoxModel::eraseBackward() {
  if (!isOpen()) return;
  if (anchor_ == caret_) anchor_ = stepBack(caret_);
  eraseSelection();
}

void InputBoxModel::eraseForward() {
  if (!isOpen()) return;
  if (anchor_ == caret_) anchor_ = stepForward(caret_);
  eraseSelection();
}

void InputBoxModel::moveTo(size_t index, bool extend) {
  caret_ = std::min(index, text_.size());
  if (caret_ > 0 && caret_ < text_.size() && isLowSurrogate(text_[caret_]) && isHighSurrogate(text_[caret_ - 1])) {
    --caret_;
  }
  if (!extend) anchor_ = caret_;
}

void InputBoxModel::moveLeft(bool extend) {
  // Without extend, a selection collapses to its start.
  if (!extend && anchor_ != caret_) return moveTo(selectionStart(), false);
  moveTo(stepBack(caret_), extend);
}

void InputBoxModel::moveRight(bool extend) {
  if (!extend && anchor_ != caret_) return moveTo(selectionEnd(), false);
  moveTo(stepForward(caret_), extend);
}

void InputBoxModel::moveHome(bool extend) { moveTo(0, extend); }
void InputBoxModel::moveEnd(bool extend) { moveTo(text_.size(), extend); }

void InputBoxModel::selectAll() {
  anchor_ = 0;
  caret_ = text_.size();
}

void InputBoxModel::confirm() {
  if (!isOpen()) return;
  result_ = cutAt(text_, static_cast<size_t>(maxLength_));
  code_ = kConfirmed;
}

void InputBoxModel::cancel() {
  if (!isOpen()) return;
  result_.clear();
  code_ = kCancelled;
}

InputBoxRunner SetInputBoxRunner(InputBoxRunner runner) {
  InputBoxRunner previous = g_runner;
  g_runner = runner;
  return previous;
}

bool ShowInputBox(std::u16string_view caption, std::u16string_view prompt, std::u16string_view initial,
                  int32_t maxLength, std::u16string* text) {
  InputBoxModel box(caption, prompt, initial, maxLength);
  if (g_runner) g_runner(&box);
  if (box.isOpen()) box.cancel();
  if (box.code() == InputBoxModel::kConfirmed) {
    *text = box.result();
    return true;
  }
  *text = std::u16string(initial);
  return false;
}
