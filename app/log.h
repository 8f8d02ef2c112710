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

// While one lives, the lines its thread logs (those the mask lets through)
// are kept in it instead of written: work done ahead on another thread keeps
// its lines for the moment its result is used, and replay writes them then,
// as if logged at that moment. Captures on one thread nest.
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
  // The lines kept so far (taken out of the capture).
  std::vector<Line> take();
  // Writes the lines, on the calling thread.
  static void replay(const std::vector<Line>& lines);

 private:
  std::vector<Line> lines_;
  std::vector<Line>* outer_;  // the capture this one stands inside, if any
};

// Every written line is also handed to the observer (tools and tests use it
// to read the log). Null removes it. The observer runs on the logging thread
// under a lock: it must not log.
using LogObserver = void (*)(void* context, uint32_t level, std::u16string_view line);
void SetLogObserver(LogObserver observer, void* context);
