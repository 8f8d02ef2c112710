// The text-input box: its model (caption, prompt, the edited text with its
// selection, the limit and how it closed), and ShowInputBox, which runs a
// model through the box the window installed. The model needs no window, so
// it is what the tests drive. Main thread.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

class InputBoxModel {
 public:
  // How the box closed: still open, cancelled, confirmed.
  enum Code : int32_t { kOpen = 0, kCancelled = 1, kConfirmed = 2 };
  // The longest text the box takes when the caller gives no usable limit.
  static constexpr int32_t kDefaultLimit = 32767;

  // The text starts as the first maxLength characters of initial, selected
  // whole. maxLength < 1 stands for kDefaultLimit. An empty caption or
  // prompt keeps the box's own ("入力ボックス", "入力してください").
  InputBoxModel(std::u16string_view caption, std::u16string_view prompt, std::u16string_view initial,
                int32_t maxLength);

  const std::u16string& caption() const { return caption_; }
  const std::u16string& prompt() const { return prompt_; }
  const std::u16string& text() const { return text_; }
  int32_t maxLength() const { return maxLength_; }
  // The selection is [selectionStart, selectionEnd) in UTF-16 units; the
  // caret sits at one of its ends (both equal when nothing is selected).
  size_t selectionStart() const { return std::min(anchor_, caret_); }
  size_t selectionEnd() const { return std::max(anchor_, caret_); }
  size_t caret() const { return caret_; }

  // Typed text replaces the selection; what would pass the limit is dropped
  // (never half a surrogate pair).
  void insert(std::u16string_view typed);
  // Backspace and Delete: the selection, else one character before or after
  // the caret.
  void eraseBackward();
  void eraseForward();
  // Caret moves; extend keeps the other end of the selection.
  void moveLeft(bool extend);
  void moveRight(bool extend);
  void moveHome(bool extend);
  void moveEnd(bool extend);
  void selectAll();
  // Places the caret at a character index (clamped), e.g. from a click.
  void moveTo(size_t index, bool extend);

  // OK: the result is the text, at most maxLength characters. Cancel: the
  // result is cleared. Either closes the box; later calls change nothing.
  void confirm();
  void cancel();
  Code code() const { return code_; }
  bool isOpen() const { return code_ == kOpen; }
  const std::u16string& result() const { return result_; }

 private:
  void eraseSelection();
  // One character step from index, keeping surrogate pairs whole.
  size_t stepBack(size_t index) const;
  size_t stepForward(size_t index) const;

  std::u16string caption_;
  std::u16string prompt_;
  std::u16string text_;
  std::u16string result_;
  int32_t maxLength_;
  size_t anchor_ = 0;
  size_t caret_ = 0;
  Code code_ = kOpen;
};

// Runs a box until it closes (drawn in the game window, modal). A runner
// that cannot show the box cancels it.
using InputBoxRunner = void (*)(InputBoxModel* box);
// Installs the runner (null removes it); returns the previous one.
InputBoxRunner SetInputBoxRunner(InputBoxRunner runner);

// Shows the box. Confirmed: true and *text the entered text. Otherwise (also
// without a runner): false and *text the initial text as given, not cut.
bool ShowInputBox(std::u16string_view caption, std::u16string_view prompt, std::u16string_view initial,
                  int32_t maxLength, std::u16string* text);
