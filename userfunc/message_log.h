// The message log behind the backlog screen: every page cleared in user mode,
// each text a script adds and each choice record, oldest first, as laid-out
// texts with the room each takes in the page view. Kept by UserfuncImpl for
// its lifetime, never saved, grown without a limit by design; only built-in
// 4300 empties it. Also the plain-text layout and the measure of a whole
// laid-out text that the entries are made with. Main thread.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "scene/line_layout.h"

namespace Config {
struct MessageWindowConfig;
}  // namespace Config

// The voice that goes with a logged page; -1 everywhere when none.
struct LogVoice {
  int32_t group = -1;
  int32_t number = -1;
  int32_t volume = -1;  // the voice volume setting it was started with

  bool isSet() const { return group >= 0 && number >= 0; }
};

struct MessageLogEntry {
  enum Kind : int32_t {
    kSeparator = 1,
    kMessage = 2,
    kChoiceNote = 3,      // the choice caption and the answer lines
    kChoiceTaken = 4,     // a choice offered and taken
    kChoiceNotTaken = 5,  // a choice offered and not taken
  };

  int32_t kind = kSeparator;
  LaidOutText text;  // empty for a separator
  // Vertical room in the page view, pixels.
  int32_t height = 0;
  // Added to the y of the voice icon and of the text when shown.
  int32_t iconOffset = 0;
  int32_t textOffset = 0;
  LogVoice voice;
};

// What log entries are laid out with: the message window's text settings.
// Font sizes are bounded like those of the window's own layout.
struct MessageLogStyle {
  int32_t fontSize = 0;
  int32_t rubyFontSize = 0;
  uint8_t font = 0;
  int32_t rubyLinePitch = 0;  // the measure's gap
  int32_t linePitch = 0;      // added below each message entry

  static MessageLogStyle of(const Config::MessageWindowConfig& config);
};

class MessageLog {
 public:
  const std::vector<MessageLogEntry>& entries() const { return entries_; }
  size_t size() const { return entries_.size(); }
  // Null past the end.
  const MessageLogEntry* at(int64_t index) const;
  // Sum of every entry's height, saturated to the 32-bit range; 0 when empty.
  int32_t totalHeight() const;

  void clear() { entries_.clear(); }
  void append(MessageLogEntry entry) { entries_.push_back(std::move(entry)); }

 private:
  std::vector<MessageLogEntry> entries_;
};

// One line holding one segment of one glyph per character, every glyph in
// the given colours (0xAARRGGBB) and font slot; the line's top is 0 and its
// height the font size. Nothing is measured or broken. An empty text gives
// font sizes 0 and no line.
LaidOutText layoutPlainText(std::u16string_view text, uint32_t color, uint32_t edgeColor, int32_t fontSize,
                            int32_t rubyFontSize, uint8_t font);

// The height a laid-out text takes with the gap below each line that has
// segments. Without lines: the font size, plus ruby font size + gap when the
// ruby font size is set (*offset := that ruby room, else 0). With lines: the
// lowest reach (top + height + gap of a line with segments, or of an empty
// one when the ruby font size is set; else its top); *offset := that minus
// the first line's top, *span := that minus the lowest level (top + height
// + gap of a line with segments, else its top). Out pointers may be null;
// the values saturate to the 32-bit range.
int32_t measureLaidOutText(const LaidOutText& text, int32_t gap, int32_t* offset, int32_t* span);

// Entry builders. A message entry from the window's page gets at least 32
// pixels below its icon offset when it carries a voice; one from a script's
// text does not. Both add the line pitch to their height; a choice line
// does not.
MessageLogEntry makePageEntry(LaidOutText text, const LogVoice& voice, const MessageLogStyle& style);
MessageLogEntry makeScriptTextEntry(std::u16string_view text, const LogVoice& voice, const MessageLogStyle& style);
MessageLogEntry makeChoiceEntry(int32_t kind, std::u16string_view text, uint32_t color, uint32_t edgeColor,
                                const MessageLogStyle& style);
MessageLogEntry makeSeparatorEntry(int32_t height);
