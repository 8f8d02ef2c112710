// The application-event mask, the key map and posting application events.
// Main thread.
#include "scene/app_event_table.h"

#include <bitset>
#include <memory>

#include "app/event.h"
#include "app/event_queue.h"

namespace {

std::bitset<kAppEventMaskBits> g_mask = std::bitset<kAppEventMaskBits>().set();
std::map<int32_t, int32_t> g_keyMap;

bool InMask(int32_t code) { return code >= 0 && code < kAppEventMaskBits; }

}  // namespace

bool isAppEventEnabled(int32_t code) { return InMask(code) && g_mask.test(static_cast<size_t>(code)); }

bool SetAppEventBit(int32_t code, bool on) {
  if (!InMask(code)) return false;
  g_mask.set(static_cast<size_t>(code), on);
  return true;
}

void EnableAllAppEvents() {
  g_mask.reset();
  g_mask.set();
}

void SetKeyEventMap(const std::map<int32_t, int32_t>& map) {
  if (&map != &g_keyMap) g_keyMap = map;
}

const std::map<int32_t, int32_t>& GetKeyEventMap() { return g_keyMap; }

void PostAppEvent(int32_t code) { PostEvent(std::make_unique<AppEvent>(code, 0)); }

bool PostAppEventIfEnabled(int32_t code) {
  if (!isAppEventEnabled(code)) return false;
  PostAppEvent(code);
  return true;
}
