// The log writer. The mask is read without a lock (it changes only at
// start-up); the observer slot is guarded because tests swap it.
#include "app/log.h"

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>
#include <utility>

#include "platform/clock.h"
#include "platform/debug_output.h"
#include "platform/message_box.h"
#include "platform/utf8.h"

namespace {

constexpr size_t kLineBufferChars = 10240;
constexpr size_t kPrefixChars = 21;

std::atomic<uint32_t> g_mask{0x1C};

std::mutex g_observerMutex;
LogObserver g_observer = nullptr;
void* g_observerContext = nullptr;

const char16_t* levelName(uint32_t level) {
  switch (level) {
    case LOG_TRACE: return u"TRACE";
    case LOG_DEBUG: return u"DEBUG";
    case LOG_WARN: return u"WARN ";
    case LOG_ERROR: return u"ERROR";
    case LOG_FATAL: return u"FATAL";
    default: return u"";
  }
}

// Formats the line into this thread's buffer and returns it.
const std::u16string& buildLine(uint32_t level, std::u16string_view format,
                                std::span<const FormatArg> args) {
  thread_local std::u16string buffer;
  buffer.clear();
  buffer.reserve(kLineBufferChars);
  const uint32_t tick = static_cast<uint32_t>(platform::MonotonicMilliseconds());
  buffer = Format(u"[%5s] [%010u] ", levelName(level), tick);
  std::u16string message = FormatArgs(format, args);
  const size_t room = kLineBufferChars - kPrefixChars - 1;  // the terminator's place stays free
  if (message.size() > room) {
    message.resize(room);
    // Never leave half a surrogate pair at the cut.
    if (!message.empty() && message.back() >= 0xD800 && message.back() <= 0xDBFF) message.pop_back();
  }
  buffer += message;
  return buffer;
}

void emit(uint32_t level, const std::u16string& line) {
  const std::string utf8 = platform::ToUtf8(line);
  fwrite(utf8.data(), 1, utf8.size(), stdout);
  fflush(stdout);
  platform::DebugOutput(line);
  std::lock_guard<std::mutex> lock(g_observerMutex);
  if (g_observer) g_observer(g_observerContext, level, line);
}

// The lines of this thread's capture, if any.
thread_local std::vector<DeferredLog::Line>* t_captured = nullptr;

// Keeps the message in this thread's capture; false when there is none.
bool captureLine(uint32_t level, std::u16string_view format, std::span<const FormatArg> args) {
  if (!t_captured) return false;
  t_captured->push_back(DeferredLog::Line{level, FormatArgs(format, args)});
  return true;
}

}  // namespace

DeferredLog::DeferredLog() : outer_(t_captured) { t_captured = &lines_; }

DeferredLog::~DeferredLog() { t_captured = outer_; }

std::vector<DeferredLog::Line> DeferredLog::take() { return std::exchange(lines_, {}); }

void DeferredLog::replay(const std::vector<Line>& lines) {
  for (const Line& line : lines) {
    const FormatArg message(line.message);
    LogWriteLine(line.level, u"%s", std::span<const FormatArg>(&message, 1));
  }
}

void SetLogLevelMask(uint32_t bits) { g_mask.store(bits | LOG_ERROR | LOG_FATAL); }

uint32_t GetLogLevelMask() { return g_mask.load(std::memory_order_relaxed); }

bool IsLogLevelEnabled(uint32_t level) {
  return (GetLogLevelMask() & level) != 0 || (level & (LOG_ERROR | LOG_FATAL)) != 0;
}

std::u16string WithPlace(std::u16string message, std::u16string_view place) {
  if (place.empty()) return message;
  const size_t end = !message.empty() && message.back() == u'\n' ? message.size() - 1 : message.size();
  message.insert(end, u" (" + std::u16string(place) + u")");
  return message;
}

void LogWriteLine(uint32_t level, std::u16string_view format, std::span<const FormatArg> args) {
  if (captureLine(level, format, args)) return;
  emit(level, buildLine(level, format, args));
}

void LogWriteWithBoxArgs(uint32_t flags, uint32_t level, std::u16string_view format,
                         std::span<const FormatArg> args) {
  if (captureLine(level, format, args)) return;
  const std::u16string& line = buildLine(level, format, args);
  emit(level, line);
  if (flags & 1) ShowDebugMessageBox(line);
}

void ShowDebugMessageBox(std::u16string_view text) {
  platform::ShowMessageBox(text, u"デバッグメッセージ", platform::MB_OK);
}

void SetLogObserver(LogObserver observer, void* context) {
  std::lock_guard<std::mutex> lock(g_observerMutex);
  g_observer = observer;
  g_observerContext = context;
}
