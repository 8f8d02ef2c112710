#include "userfunc/message_log.h"

#include <algorithm>
#include <limits>

#include "app/config_windows.h"
#include "app/saturate.h"
#include "scene/markup_layout.h"

namespace {

// Room below the icon offset of a voiced page, for the voice icon.
constexpr int64_t kVoiceIconRoom = 32;


void setOut(int32_t* out, int64_t v) {
  if (out) *out = SaturateToInt32(v);
}

// Kind, laid-out text, offsets and height (measure + extra) of a text entry.
MessageLogEntry measuredEntry(int32_t kind, LaidOutText text, int32_t gap) {
  MessageLogEntry entry;
  entry.kind = kind;
  entry.height = measureLaidOutText(text, gap, &entry.iconOffset, &entry.textOffset);
  entry.text = std::move(text);
  return entry;
}

}  // namespace

MessageLogStyle MessageLogStyle::of(const Config::MessageWindowConfig& config) {
  MessageLogStyle style;
  style.fontSize = std::clamp(config.taFontSize, kMarkupMinFontSize, kMarkupMaxFontSize);
  style.rubyFontSize = std::clamp(config.taRubyFontSize, kMarkupMinFontSize, kMarkupMaxFontSize);
  style.font = static_cast<uint8_t>(std::clamp(config.taFont, 0, 255));
  style.rubyLinePitch = config.taRubyLinePitch;
  style.linePitch = config.taLinePitch;
  return style;
}

const MessageLogEntry* MessageLog::at(int64_t index) const {
  if (index < 0 || static_cast<uint64_t>(index) >= entries_.size()) return nullptr;
  return &entries_[static_cast<size_t>(index)];
}

int32_t MessageLog::totalHeight() const {
  int64_t sum = 0;
  for (const MessageLogEntry& e : entries_) sum = SaturateToInt32(sum + e.height);
  return static_cast<int32_t>(sum);
}

LaidOutText layoutPlainText(std::u16string_view text, uint32_t color, uint32_t edgeColor, int32_t fontSize,
                            int32_t rubyFontSize, uint8_t font) {
  LaidOutText out;
  if (text.empty()) return out;
  out.fontSize = fontSize;
  out.rubyFontSize = rubyFontSize;
  TextSegment segment;
  segment.baseSize = fontSize;
  segment.rubySize = rubyFontSize;
  segment.base.reserve(text.size());
  for (char16_t c : text) {
    GlyphItem g;
    g.character = c;
    g.font = font;
    g.step = 1;
    g.color = color;
    g.edgeColor = edgeColor;
    segment.base.push_back(g);
  }
  LaidOutLine line;
  line.top = 0;
  line.height = fontSize;
  line.line.baseSize = fontSize;
  line.line.rubySize = rubyFontSize;
  line.line.segments.push_back(std::move(segment));
  out.lines.push_back(std::move(line));
  return out;
}

int32_t measureLaidOutText(const LaidOutText& text, int32_t gap, int32_t* offset, int32_t* span) {
  const int64_t base = text.fontSize;
  const int64_t ruby = text.rubyFontSize;
  if (text.lines.empty()) {
    const int64_t rubyRoom = ruby == 0 ? 0 : ruby + gap;
    setOut(offset, rubyRoom);
    setOut(span, rubyRoom + base);
    return SaturateToInt32(rubyRoom + base);
  }
  int64_t reach = std::numeric_limits<int64_t>::min();
  int64_t level = std::numeric_limits<int64_t>::min();
  for (const LaidOutLine& line : text.lines) {
    const bool hasItems = !line.line.segments.empty();
    const int64_t bottom = static_cast<int64_t>(line.top) + line.height + gap;
    reach = std::max(reach, hasItems || ruby != 0 ? bottom : line.top);
    level = std::max(level, hasItems ? bottom : line.top);
  }
  setOut(offset, reach - text.lines.front().top);
  setOut(span, reach - level);
  return SaturateToInt32(reach);
}

MessageLogEntry makePageEntry(LaidOutText text, const LogVoice& voice, const MessageLogStyle& style) {
  MessageLogEntry entry = measuredEntry(MessageLogEntry::kMessage, std::move(text), style.rubyLinePitch);
  int64_t h = entry.height;
  if (voice.isSet() && h - entry.iconOffset < kVoiceIconRoom) h = entry.iconOffset + kVoiceIconRoom;
  entry.height = SaturateToInt32(h + style.linePitch);
  entry.voice = voice;
  return entry;
}

MessageLogEntry makeScriptTextEntry(std::u16string_view text, const LogVoice& voice, const MessageLogStyle& style) {
  MessageLogEntry entry =
      measuredEntry(MessageLogEntry::kMessage,
                    layoutPlainText(text, 0xFFFFFFFFu, 0xFF000000u, style.fontSize, style.rubyFontSize, style.font),
                    style.rubyLinePitch);
  entry.height = SaturateToInt32(static_cast<int64_t>(entry.height) + style.linePitch);
  entry.voice = voice;
  return entry;
}

MessageLogEntry makeChoiceEntry(int32_t kind, std::u16string_view text, uint32_t color, uint32_t edgeColor,
                                const MessageLogStyle& style) {
  return measuredEntry(kind, layoutPlainText(text, color, edgeColor, style.fontSize, style.rubyFontSize, style.font),
                       style.rubyLinePitch);
}

MessageLogEntry makeSeparatorEntry(int32_t height) {
  MessageLogEntry entry;
  entry.kind = MessageLogEntry::kSeparator;
  entry.height = height;
  return entry;
}
