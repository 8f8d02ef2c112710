// Mouse and key routing over the input-target slots. Main thread.
#include "scene/input_routing.h"

#include "app/event.h"
#include "app/input_target.h"
#include "scene/app_event_table.h"
#include "scene/gui_component.h"

namespace {

// The target first, then its parents until one handles the event.
void Bubble(GUIComponent* target, const MouseEvent& event) {
  for (GUIComponent* c = target; c; c = c->parent()) {
    if (c->dispatchMouse(event)) return;
  }
}

}  // namespace

void RouteMouseEvent(GUIComponent* start, const MouseEvent& event) {
  if (!start) return;
  // Hover handlers may change what lies under the pointer; each round
  // re-checks, and the rounds are bounded so handlers that keep moving
  // things cannot hold the frame.
  for (int pass = 0; pass < kMouseRoutePasses; ++pass) {
    if (GUIComponent* capture = GetMouseCapture(); capture && event.action != MouseEvent::kMove) {
      capture->dispatchMouse(event);
      return;
    }
    GUIComponent* target = start->componentAtPrecise(event.x, event.y);
    if (!target) return;
    GUIComponent* hovered = GetHoveredComponent();
    if (target == hovered) {
      Bubble(target, event);
      return;
    }
    if (hovered) {
      hovered->onHover(event, false);
      SetHoveredComponent(nullptr);
    } else {
      SetHoveredComponent(target);
      target->onHover(event, true);
    }
  }
  Bubble(GetHoveredComponent(), event);
}

void RouteKeyEvent(const KeyEvent& event) {
  if (GUIComponent* listener = GetKeyListener()) listener->dispatchKey(event);

  if (event.virtualKey == VirtualKey::kCtrl) {
    if (event.action == KeyEvent::kDown) {
      PostAppEventIfEnabled(AppEventCode::kCtrlPress);
    } else if (event.action == KeyEvent::kUp) {
      PostAppEvent(AppEventCode::kCtrlRelease);
    }
    return;
  }
  if (event.virtualKey == VirtualKey::kF11) {
    if (event.action == KeyEvent::kDown && event.repeat == 0) {
      PostAppEvent(AppEventCode::kF11Press);
    } else if (event.action == KeyEvent::kUp) {
      PostAppEvent(AppEventCode::kF11Release);
    }
    return;
  }
  const auto& map = GetKeyEventMap();
  const auto it = map.find(static_cast<int32_t>(event.virtualKey));
  if (it != map.end()) PostAppEventIfEnabled(it->second);
}
