// The leveled log: one line per call, "[LEVEL] [tick] message", written as
// UTF-8 to standard output. ERROR and FATAL are always written; the mask
// (WARN, ERROR and FATAL by default) decides the others. Any thread: each
// thread formats in its own buffer.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/format.h"

enum LogLevel : uint32_t {
  LOG_TRACE = 1,
  LOG_DEBUG = 2,
  LOG_WARN = 4,
  LOG_ERROR = 8,
  LOG_FATAL = 16,
};

// mask := bits | ERROR | FATAL. The start-up option -d passes 7.
void SetLogLevelMask(uint32_t bits);
uint32_t GetLogLevelMask();
// True when a line of this level would be written.
bool IsLogLevelEnabled(uint32_t level);

// Writes one line without looking at the mask: prefix "[%5s] [%010u] " (level
// name, milliseconds of the monotonic clock cut to 32 bits) then the message,
// cut so the whole line fits 10239 characters. No line end is added.
void LogWriteLine(uint32_t level, std::u16string_view format, std::span<const FormatArg> args);

template <class... A>
void LogWrite(uint32_t level, std::u16string_view format, const A&... args) {
  if (!IsLogLevelEnabled(level)) return;
  WithFormatArgs([&](std::span<const FormatArg> list) { LogWriteLine(level, format, list); }, args...);
}

// The message with " (place)" put before its line end (after the text when
// it has no "\n" at its end); unchanged when the place is empty.
std::u16string WithPlace(std::u16string message, std::u16string_view place);

// LogWrite for a mistake at a place in a file (a script statement, a
// configuration entry, as "file:line"): the message's own text, then " (place)".
// An empty place (not known) writes the message as LogWrite does.
template <class... A>
void LogWriteAt(uint32_t level, std::u16string_view place, std::u16string_view format, const A&... args) {
  if (!IsLogLevelEnabled(level)) return;
  LogWrite(level, u"%s", WithPlace(Format(format, args...), place));
}

// Writes the line like LogWriteLine; when flags bit 0 is set, also shows the
// finished line in a debug message box. Does not look at the mask.
void LogWriteWithBoxArgs(uint32_t flags, uint32_t level, std::u16string_view format,
                         std::span<const FormatArg> args);

template <class... A>
void LogWriteWithBox(uint32_t flags, uint32_t level, std::u16string_view format, const A&... args) {
  WithFormatArgs(
      [&](std::span<const FormatArg> list) { LogWriteWithBoxArgs(flags, level, format, list); }, args...);
}

// A message box captioned "デバッグメッセージ" with an OK button, owned by the
// main window once there is one.
void ShowDebugMessageBox(std::u16string_view text);

// Lines kept for later by a DeferredLog: written when replayed, or at the
// latest when the handle goes, and in any case before the process ends
// (zep_abort and the other ends that skip destructors flush them).
class HeldLog {
 public:
  HeldLog() = default;
  explicit HeldLog(uint64_t batch) : batch_(batch) {}
  HeldLog(HeldLog&& other) noexcept;
  HeldLog& operator=(HeldLog&& other) noexcept;
  HeldLog(const HeldLog&) = delete;
  HeldLog& operator=(const HeldLog&) = delete;
  ~HeldLog() { replay(); }
  // Writes the lines on the calling thread (as if logged now) and lets them
  // go; later calls write nothing.
  void replay();

 private:
  uint64_t batch_ = 0;
};

// While one lives, the lines its thread logs (those the mask lets through)
// are kept instead of written: work done ahead on another thread keeps its
// lines for the moment its result is used. Captures on one thread nest: the
// lines an inner capture still holds when it goes are logged into the outer
// one.
class DeferredLog {
 public:
  struct Line {
    uint32_t level = 0;
    std::u16string message;
  };
  DeferredLog();
  ~DeferredLog();
  DeferredLog(const DeferredLog&) = delete;
  DeferredLog& operator=(const DeferredLog&) = delete;
  // The lines kept so far; later lines are kept apart from them.
  HeldLog take();

 private:
  uint64_t batch_;
  uint64_t outer_;  // the capture this one stands inside, 0 when none
};

// Writes every line still held, oldest capture first, on the calling thread;
// what is logged into those captures afterwards is written at once. For the
// ends of the process that skip destructors.
void FlushHeldLogs();

// Every written line is also handed to the observer (tools and tests use it
// to read the log). Null removes it. The observer runs on the logging thread
// under a lock: it must not log.
using LogObserver = void (*)(void* context, uint32_t level, std::u16string_view line);
void SetLogObserver(LogObserver observer, void* context);
