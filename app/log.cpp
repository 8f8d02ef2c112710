// The log writer. The mask is read without a lock (it changes only at
// start-up); the observer slot is guarded because tests swap it.
#include "app/log.h"

#include <atomic>
#include <cstdio>
#include <map>
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

// The lines captures hold, by capture in the order the captures began.
struct HeldStore {
  std::mutex mutex;
  std::map<uint64_t, std::vector<DeferredLog::Line>> batches;
  uint64_t next = 1;
};

HeldStore& held() {
  static HeldStore store;
  return store;
}

uint64_t newBatch() {
  HeldStore& store = held();
  std::lock_guard<std::mutex> lock(store.mutex);
  const uint64_t id = store.next++;
  store.batches[id];
  return id;
}

std::vector<DeferredLog::Line> takeBatch(uint64_t batch) {
  HeldStore& store = held();
  std::lock_guard<std::mutex> lock(store.mutex);
  const auto found = store.batches.find(batch);
  if (found == store.batches.end()) return {};
  std::vector<DeferredLog::Line> lines = std::move(found->second);
  store.batches.erase(found);
  return lines;
}

void writeHeld(const std::vector<DeferredLog::Line>& lines) {
  for (const DeferredLog::Line& line : lines) {
    const FormatArg message(line.message);
    LogWriteLine(line.level, u"%s", std::span<const FormatArg>(&message, 1));
  }
}

// The capture this thread's lines go to; 0 when none.
thread_local uint64_t t_batch = 0;

// Keeps the message in this thread's capture; false when there is none (or
// its lines were flushed: then it is written at once).
bool captureLine(uint32_t level, std::u16string_view format, std::span<const FormatArg> args) {
  if (!t_batch) return false;
  DeferredLog::Line line{level, FormatArgs(format, args)};
  HeldStore& store = held();
  std::lock_guard<std::mutex> lock(store.mutex);
  const auto found = store.batches.find(t_batch);
  if (found == store.batches.end()) return false;
  found->second.push_back(std::move(line));
  return true;
}

}  // namespace

HeldLog::HeldLog(HeldLog&& other) noexcept : batch_(std::exchange(other.batch_, 0)) {}

HeldLog& HeldLog::operator=(HeldLog&& other) noexcept {
  if (this != &other) {
    replay();
    batch_ = std::exchange(other.batch_, 0);
  }
  return *this;
}

void HeldLog::replay() {
  if (!batch_) return;
  writeHeld(takeBatch(std::exchange(batch_, 0)));
}

DeferredLog::DeferredLog() : batch_(newBatch()), outer_(t_batch) { t_batch = batch_; }

DeferredLog::~DeferredLog() {
  t_batch = outer_;
  writeHeld(takeBatch(batch_));
}

HeldLog DeferredLog::take() {
  HeldLog kept(batch_);
  batch_ = t_batch = newBatch();
  return kept;
}

void FlushHeldLogs() {
  std::map<uint64_t, std::vector<DeferredLog::Line>> batches;
  {
    HeldStore& store = held();
    std::lock_guard<std::mutex> lock(store.mutex);
    batches.swap(store.batches);
  }
  for (const auto& batch : batches) writeHeld(batch.second);
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
