// Built-in -1 and 4300-4322: a line of scenario text into the message window
// with its read mark and the skip decision, the text codes "clear", "wait-e"
// and "wait-w", the message log that cleared pages, script texts and choice
// records go into, and its two views through the second parts layer. The
// scene is reached only through its facade.
#include <algorithm>
#include <cstdint>
#include <set>
#include <vector>

#include "app/config_windows.h"
#include "app/log.h"
#include "gamestate/state_mgr.h"
#include "scene/scene_facade.h"
#include "sound/sound_glue.h"
#include "userfunc/finalizers.h"
#include "userfunc/scene_config.h"
#include "userfunc/userfunc_impl.h"

namespace {

// Text codes of built-in -1, as the scenario compiler writes them.
constexpr int32_t kCodeClear = -1;
constexpr int32_t kCodeWaitE = -2;
constexpr int32_t kCodeWaitW = -3;

// Log text is laid out like message window 0, or like the default window
// when the configuration has no window 0.
MessageLogStyle logStyle() {
  if (const Config::MessageWindowConfig* config = findMsgwinConfig(0)) return MessageLogStyle::of(*config);
  return MessageLogStyle::of(Config::MessageWindowConfig{});
}

// A colour of the log from ":flag-constants".
uint32_t logColor(const StateMgr& state, int32_t key, uint32_t fallback) {
  return static_cast<uint32_t>(state.getFlagConstant(key, static_cast<int32_t>(fallback)));
}

// For a line that may be skipped: whether skipping goes on. Message skip
// that a forced wait interrupted starts again here, silencing the voice of
// the skipped line.
bool continueSkip(UserfuncImpl& userfuncs) {
  if (userfuncs.isSkipActive()) return true;
  StateMgr& state = userfuncs.stateMgr();
  if (state.getResumeSkip() == 0) return false;
  SoundSfxStop(UserfuncImpl::kVoiceChannel);
  state.setSkipping(1);
  state.setResumeSkip(0);
  return true;
}

std::unique_ptr<UFResult> voiceField(const MessageLog& log, int32_t index, int32_t LogVoice::*field) {
  const MessageLogEntry* entry = log.at(index);
  return UserfuncImpl::make_value_ufresult(entry ? entry->voice.*field : -2);
}

}  // namespace

// (text or code, line id): the line id is -1 when the scenario gives none.
std::unique_ptr<UFResult> UserfuncImpl::uf_text(const Args& args) {
  const APValue& value = args[0];
  const int32_t lineId = args.size() > 1 ? intArg(args, 1) : -1;
  StateMgr& state = stateMgr();
  if (!state.isUserMode()) return writeText(value, false, 0, lineId);

  const int32_t displayMode = state.getTextOutputSetting();
  bool skip = false;
  if (lineId >= 0) {
    switch (state.getSkipSetting()) {
      case 0:  // skip off
        state.markTextRead(lineId);
        break;
      case 1: {  // skip read lines only; a code only tests the mark
        const bool wasRead = value.isString() ? state.markTextRead(lineId) != 0 : state.isTextRead(lineId) != 0;
        if (wasRead) {
          skip = continueSkip(*this);
        } else if (!state.isForceSkip()) {
          stopSkipForEffect();
        }
        break;
      }
      case 2:  // skip everything
        state.markTextRead(lineId);
        skip = continueSkip(*this);
        break;
      default:
        break;
    }
  }
  return writeText(value, skip, displayMode, lineId);
}

std::unique_ptr<UFResult> UserfuncImpl::writeText(const APValue& value, bool skip, int32_t displayMode,
                                                  int32_t lineId) {
  StateMgr& state = stateMgr();
  if (value.isString()) {
    if (lineId >= 0) state.markTextRead(lineId);
    if (state.isUserMode()) currentLineId_ = lineId;
    state.appendSavedMsgwinText(value.svalue);
    sceneMsg_showText(value.svalue, skip ? 0 : displayMode);
    return make_zero_ufresult();
  }
  const int32_t code = value.isInt() ? value.ivalue : 0;
  switch (code) {
    case kCodeClear:
      logAndClearText(0);
      if (lineId >= 0) state.markTextRead(lineId);
      return make_zero_ufresult();
    case kCodeWaitE:
    case kCodeWaitW: {
      const int32_t icon = code == kCodeWaitE ? 0 : 1;
      if (!skip && !state.isForceSkip()) {
        std::unique_ptr<WaitFinalizer> finalizer;
        if (lineId >= 0) finalizer = std::make_unique<WriteTextMarkFinalizer>(&state, lineId);
        if (isAutoActive()) return make_autowait_ufresult(icon, autoWaitMs(), std::move(finalizer));
        return make_key_or_textdone_wait_ufresult(icon, std::move(finalizer));
      }
      if (lineId >= 0) state.markTextRead(lineId);
      return make_nextframe_ufresult();
    }
    default:
      logAtStatement(LOG_ERROR, u"内部エラー：テキストクリアコマンドが範囲外(%d)\n", code);
      return nullptr;
  }
}

void UserfuncImpl::logAndClearText(int32_t) {
  StateMgr& state = stateMgr();
  const bool alreadyLogged = lastLoggedLineId_ >= 0 && lastLoggedLineId_ == currentLineId_;
  if (state.isUserMode() && !alreadyLogged) {
    std::vector<LaidOutText> texts;
    sceneMsg_getTextLines(&texts);
    // A text shown last without any line (an empty text) is not a page.
    if (!texts.empty() && texts.back().lines.empty()) texts.pop_back();
    const MessageLogStyle style = logStyle();
    LogVoice voice = pendingVoice_;  // only the first entry carries it
    for (LaidOutText& text : texts) {
      messageLog_.append(makePageEntry(std::move(text), voice, style));
      voice = LogVoice{};
    }
    pendingVoice_ = LogVoice{};
    appendSeparator();
    lastLoggedLineId_ = currentLineId_;
  }
  state.clearSavedMsgwinText();
  sceneMsg_clearText();
}

void UserfuncImpl::logChoices(int32_t mask, const std::array<std::u16string, 8>& texts, int32_t chosen) {
  const uint32_t offered = static_cast<uint32_t>(mask);
  if (chosen < 0 || chosen >= 8 || (offered >> chosen & 1u) == 0) chosen = -1;
  const MessageLogStyle style = logStyle();
  const StateMgr& state = stateMgr();
  const uint32_t choiceColor = logColor(state, 22, 0xFFC8C8FFu);
  const uint32_t choiceEdge = logColor(state, 23, 0xFF000000u);
  const uint32_t answerColor = logColor(state, 24, 0xFFFFFFC8u);
  const uint32_t answerEdge = logColor(state, 25, 0xFF000000u);

  messageLog_.append(makeChoiceEntry(MessageLogEntry::kChoiceNote, u"【選択肢】", choiceColor, choiceEdge, style));
  for (int32_t i = 0; i < 8; ++i) {
    if ((offered >> i & 1u) == 0) continue;
    const int32_t kind = i == chosen ? MessageLogEntry::kChoiceTaken : MessageLogEntry::kChoiceNotTaken;
    messageLog_.append(makeChoiceEntry(kind, texts[i], choiceColor, choiceEdge, style));
  }
  appendSeparator();
  if (chosen < 0) {
    messageLog_.append(
        makeChoiceEntry(MessageLogEntry::kChoiceNote, u"キャンセルしました", answerColor, answerEdge, style));
  } else {
    messageLog_.append(makeChoiceEntry(MessageLogEntry::kChoiceNote, texts[chosen], answerColor, answerEdge, style));
    messageLog_.append(
        makeChoiceEntry(MessageLogEntry::kChoiceNote, u"を選択しました", answerColor, answerEdge, style));
  }
  appendSeparator();
}

void UserfuncImpl::appendSeparator() { messageLog_.append(makeSeparatorEntry(stateMgr().getFlagConstant(26, 20))); }

std::unique_ptr<UFResult> UserfuncImpl::uf_log_clear(const Args&) {
  messageLog_.clear();
  lastLoggedLineId_ = -1;
  currentLineId_ = -1;
  pendingVoice_ = LogVoice{};
  return make_zero_ufresult();
}

// (text, voice group, voice number, voice volume): only a string is text; an
// empty one adds a separator.
std::unique_ptr<UFResult> UserfuncImpl::uf_log_add_text(const Args& args) {
  const std::u16string text = stringOnlyArg(args, 0);
  if (text.empty()) {
    appendSeparator();
  } else {
    const LogVoice voice{intArg(args, 1), intArg(args, 2), intArg(args, 3)};
    messageLog_.append(makeScriptTextEntry(text, voice, logStyle()));
  }
  return make_zero_ufresult();
}

// (mask, texts 1..8, chosen index)
std::unique_ptr<UFResult> UserfuncImpl::uf_log_add_choices(const Args& args) {
  std::array<std::u16string, 8> texts;
  for (size_t i = 0; i < texts.size(); ++i) texts[i] = getStringArg(args, i + 1);
  logChoices(intArg(args, 0), texts, intArg(args, 9));
  return make_zero_ufresult();
}

std::unique_ptr<UFResult> UserfuncImpl::uf_log_count(const Args&) {
  const size_t count = messageLog_.size();
  return make_value_ufresult(count > INT32_MAX ? INT32_MAX : static_cast<int32_t>(count));
}

// (index) -> the entry's voice group (number, volume); -2 past the log.
std::unique_ptr<UFResult> UserfuncImpl::uf_log_voice_group(const Args& args) {
  return voiceField(messageLog_, intArg(args, 0), &LogVoice::group);
}

std::unique_ptr<UFResult> UserfuncImpl::uf_log_voice_number(const Args& args) {
  return voiceField(messageLog_, intArg(args, 0), &LogVoice::number);
}

std::unique_ptr<UFResult> UserfuncImpl::uf_log_voice_volume(const Args& args) {
  return voiceField(messageLog_, intArg(args, 0), &LogVoice::volume);
}

std::unique_ptr<UFResult> UserfuncImpl::uf_log_height(const Args&) {
  return make_value_ufresult(messageLog_.totalHeight());
}

namespace {

constexpr char16_t kUnshownEntry[] = u"内部エラー：表示すべきでないログエントリ\n";

bool Voiced(const MessageLogEntry& entry) {
  return entry.kind == MessageLogEntry::kMessage && entry.voice.number >= 0;
}

// The parts of the second layer numbered first + k for k in [from, count),
// found among the parts that exist, so a huge count costs nothing.
std::vector<int64_t> ExistingOffsets(int32_t first, int64_t from, int64_t count) {
  std::vector<int64_t> offsets;
  if (from >= count) return offsets;
  const int64_t low = int64_t{first} + from;
  const int64_t high = int64_t{first} + count - 1;
  if (high < INT32_MIN || low > INT32_MAX) return offsets;
  std::vector<int32_t> numbers;
  scenePartsB_partNumbers(static_cast<int32_t>(std::max<int64_t>(low, INT32_MIN)),
                          static_cast<int32_t>(std::min<int64_t>(high, INT32_MAX)), &numbers);
  for (int32_t n : numbers) offsets.push_back(int64_t{n} - first);
  return offsets;
}

// The offsets k in [from, count) whose text part (first t) or icon part
// (first c) exists.
std::set<int64_t> PartOffsets(int32_t t, int32_t c, int64_t from, int64_t count) {
  std::set<int64_t> offsets;
  for (int64_t k : ExistingOffsets(t, from, count)) offsets.insert(k);
  for (int64_t k : ExistingOffsets(c, from, count)) offsets.insert(k);
  return offsets;
}

int32_t PartNumber(int32_t first, int64_t k) { return static_cast<int32_t>(int64_t{first} + k); }

}  // namespace

// (first entry, count, first text part, first icon part): each entry's text
// on one part, in its kind's colours, its voice icon beside it; the parts
// left over are emptied.
std::unique_ptr<UFResult> UserfuncImpl::uf_log_line_view(const Args& args) {
  const int32_t f = intArg(args, 0);
  const int64_t n = intArg(args, 1);
  const int32_t t = intArg(args, 2);
  const int32_t c = intArg(args, 3);
  if (n <= 0) return make_zero_ufresult();
  const StateMgr& state = stateMgr();
  for (int64_t k : PartOffsets(t, c, 0, n)) {
    const int32_t p = PartNumber(t, k);
    const MessageLogEntry* entry = int64_t{f} + k >= 0 ? messageLog_.at(int64_t{f} + k) : nullptr;
    std::u16string text;
    uint32_t color = 0, edge = 0;
    bool icon = false;
    if (entry) {
      switch (entry->kind) {
        case MessageLogEntry::kSeparator:
          break;
        case MessageLogEntry::kMessage:
          color = logColor(state, 20, 0xFFFFFFFFu);
          edge = 0xFF000000u;
          icon = Voiced(*entry);
          break;
        case MessageLogEntry::kChoiceNote:
        case MessageLogEntry::kChoiceTaken:
        case MessageLogEntry::kChoiceNotTaken:
          color = logColor(state, 22, 0xFFC8C8FFu);
          edge = logColor(state, 23, 0xFF000000u);
          break;
        default:
          LogWrite(LOG_ERROR, kUnshownEntry);
          break;
      }
      if (entry->kind >= MessageLogEntry::kMessage && entry->kind <= MessageLogEntry::kChoiceNotTaken) {
        for (const LaidOutLine& line : entry->text.lines) {
          for (const TextSegment& segment : line.line.segments) {
            for (const GlyphItem& glyph : segment.base) text.push_back(static_cast<char16_t>(glyph.character));
          }
        }
      }
      scenePartsB_setTextColor(p, 0, color);
      scenePartsB_setTextColor(p, 1, edge);
    }
    scenePartsB_setString(p, text);
    scenePartsB_setVisible(PartNumber(c, k), icon);
  }
  return make_zero_ufresult();
}

// (scroll y, view height, first text part, first icon part, part count,
// text x, y, icon x, y): the entries that the view from scroll y shows, each
// laid out on its part at its place, the entries cut at the top or the
// bottom hidden; the index of the first entry shown.
std::unique_ptr<UFResult> UserfuncImpl::uf_log_page_view(const Args& args) {
  const int64_t s = intArg(args, 0);
  const int64_t v = intArg(args, 1);
  const int32_t t = intArg(args, 2);
  const int32_t c = intArg(args, 3);
  const int64_t n = std::max(intArg(args, 4), 0);
  const int64_t tx = intArg(args, 5), ty = intArg(args, 6), cx = intArg(args, 7), cy = intArg(args, 8);
  const std::vector<MessageLogEntry>& entries = messageLog_.entries();
  const int32_t rubyPitch = logStyle().rubyLinePitch;

  // The first entry whose bottom is below the scroll, and its top; none
  // (an empty log, a scroll past the end) shows nothing.
  size_t a = entries.size();
  int64_t ta = 0;
  for (size_t i = 0, top = 0; i < entries.size(); top += entries[i].height, ++i) {
    if (static_cast<int64_t>(top) + entries[i].height > s) {
      a = i;
      ta = static_cast<int64_t>(top);
      break;
    }
  }
  int64_t shown = 0;
  int64_t y = ta - s;
  int64_t top = ta;
  for (size_t i = a; i < entries.size() && shown < n; ++i, ++shown) {
    const MessageLogEntry& entry = entries[i];
    const int32_t p = PartNumber(t, shown);
    const int32_t q = PartNumber(c, shown);
    int64_t textOffset = entry.textOffset, iconOffset = entry.iconOffset;
    std::vector<LineLayout> label;
    if (entry.kind == MessageLogEntry::kSeparator) {
      textOffset = iconOffset = 0;
    } else if (entry.kind < MessageLogEntry::kMessage || entry.kind > MessageLogEntry::kChoiceNotTaken) {
      LogWrite(LOG_ERROR, kUnshownEntry);
      textOffset = iconOffset = 0;
    } else {
      for (const LaidOutLine& line : entry.text.lines) label.push_back(line.line);
    }
    const int64_t bottom = top + entry.height;
    // Cut at the top (the first one only) or at the bottom: hidden.
    const bool cut = (i == a && top != s) || bottom > s + v;
    scenePartsB_setLabel(p, label, rubyPitch);
    scenePartsB_setPosition(p, static_cast<int32_t>(std::clamp<int64_t>(tx, INT32_MIN, INT32_MAX)),
                            static_cast<int32_t>(std::clamp<int64_t>(ty + textOffset + y, INT32_MIN, INT32_MAX)));
    scenePartsB_setPosition(q, static_cast<int32_t>(std::clamp<int64_t>(cx, INT32_MIN, INT32_MAX)),
                            static_cast<int32_t>(std::clamp<int64_t>(cy + iconOffset + y, INT32_MIN, INT32_MAX)));
    scenePartsB_setVisible(p, !cut);
    scenePartsB_setVisible(q, !cut && Voiced(entry));
    y += entry.height;
    top = bottom;
    if (bottom > s + v) {
      ++shown;
      break;
    }
  }
  for (int64_t k : PartOffsets(t, c, shown, n)) {
    scenePartsB_setLabel(PartNumber(t, k), {}, rubyPitch);
    scenePartsB_setVisible(PartNumber(t, k), false);
    scenePartsB_setVisible(PartNumber(c, k), false);
  }
  return make_value_ufresult(a < entries.size() ? static_cast<int32_t>(std::min<size_t>(a, INT32_MAX)) : 0);
}
