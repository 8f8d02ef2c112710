// MyGUIRoot: fixed slots, modal layer, extra child and the root's input
// handlers. Main thread.
#include "scene/gui_root.h"

#include <algorithm>
#include <memory>

#include "app/event.h"
#include "app/event_queue.h"
#include "app/input_target.h"
#include "app/screen_flags.h"
#include "scene/app_event_table.h"
#include "scene/gui_text_line.h"
#include "scene/xg_base.h"

namespace {

constexpr int32_t kInfoLineX = 5;
constexpr int32_t kInfoLineTop = 40;
constexpr int32_t kInfoLineStep = 26;

}  // namespace

MyGUIRoot::MyGUIRoot(SceneImpl* scene, int32_t width, int32_t height)
    : scene_(scene), timer_(this, nullptr) {
  SetScreenRoot(this);
  setBounds(0, 0, width, height);
  for (int32_t slot = 0; slot < kSlotCount; ++slot) {
    auto* standIn = new Panel;
    standIn->setSize(width, height);
    if (slot == kSlotMsg || slot == kSlotSelect0 || slot == kSlotSelect1) standIn->setVisible(false);
    addChild(standIn);
    fixed_[static_cast<size_t>(slot)] = standIn;
  }
  // The information lines are the root's own: plain text lines at size 24.
  for (int32_t k = 0; k < kInfoLineCount; ++k) {
    auto* line = new GUITextLine;
    installFixedChild(static_cast<Slot>(kSlotInfoLine0 + k), line);
    line->setPosition(kInfoLineX, kInfoLineTop + kInfoLineStep * k);
  }
  timer_.duration = 1000;
  timer_.looping = true;
  timer_.start();
}

MyGUIRoot::~MyGUIRoot() { timer_.stop(); }

GUIComponent* MyGUIRoot::fixedChild(Slot slot) const {
  if (slot < 0 || slot >= kSlotCount) return nullptr;
  return fixed_[static_cast<size_t>(slot)];
}

bool MyGUIRoot::installFixedChild(Slot slot, GUIComponent* component) {
  if (slot < 0 || slot >= kSlotCount || !component || component == this) return false;
  GUIComponent*& entry = fixed_[static_cast<size_t>(slot)];
  if (entry == component) return true;
  if (component->parent() == this) return false;
  GUIComponent* old = entry;
  entry = component;
  if (old && replaceChild(old, component)) return true;
  // The slot is empty (its component went): after the nearest filled slot
  // below it, so the drawing order holds.
  size_t index = 0;
  for (int32_t below = slot - 1; below >= 0; --below) {
    GUIComponent* c = fixed_[static_cast<size_t>(below)];
    const auto& list = children();
    const auto it = std::find(list.begin(), list.end(), c);
    if (c && it != list.end()) {
      index = static_cast<size_t>(it - list.begin()) + 1;
      break;
    }
  }
  insertChild(index, component);
  return true;
}

void MyGUIRoot::setModalLayer(XGBase* layer, bool on) {
  GUIComponent* component = ComponentOf(layer);
  auto* root = component ? dynamic_cast<MyGUIRoot*>(component->parent()) : nullptr;
  if (!root) return;
  if (on) {
    root->modal_ = layer;
    root->modalComponent_ = component;
  } else if (root->modal_ == layer) {
    root->modal_ = nullptr;
    root->modalComponent_ = nullptr;
  }
}

void MyGUIRoot::setExtraChild(GUIComponent* component) {
  if (component == extra_) return;
  closeExtraChild(u"");
  if (!component || component == this) return;
  addChild(component);
  extra_ = component;
}

void MyGUIRoot::closeExtraChild(std::u16string_view) {
  if (GUIComponent* child = extra_) {
    extra_ = nullptr;
    removeChild(child);
    delete child;
  }
  GUIChangedFlag = 1;
}

int32_t MyGUIRoot::placePointer(bool show, int32_t x, int32_t y) {
  GUIComponent* child = extra_;
  if (!child) return -1;
  child->setVisible(show);
  if (!show) {
    child->setPosition(x, y);
    return -1;
  }
  const int32_t w = width();
  const int32_t h = height();
  const int32_t cx = child->x();
  const int32_t cy = child->y();
  if (0 < cx && cx < w - 1 && 1 <= cy && cy < h - 1) {
    child->setPosition(x, y);
    return 2;
  }
  if (0 < x && x < w - 1 && 0 < y && y < h - 1) {
    child->setPosition(x, y);
    return 1;
  }
  return 3;
}

bool MyGUIRoot::hitTestPrecise(int32_t, int32_t) { return true; }

void MyGUIRoot::onKey(const KeyEvent& event, bool pressed) {
  if (event.virtualKey != VirtualKey::kCtrl) PostEvent(event.clone());
  if (pressed && (event.virtualKey == VirtualKey::kReturn || event.virtualKey == VirtualKey::kNumpad5)) {
    PostAppEventIfEnabled(AppEventCode::kProceed);
  }
  if (!pressed && event.virtualKey == VirtualKey::kSpace) PostAppEventIfEnabled(AppEventCode::kCancel);
}

bool MyGUIRoot::onMouseButton(const MouseEvent& event, bool pressed) {
  if (event.button == MouseEvent::kLeft) {
    if (pressed) {
      SetMouseCapture(this);
    } else if (GetMouseCapture() == this) {
      SetMouseCapture(nullptr);
    }
  }
  PostEvent(event.clone());
  if (pressed) {
    if (event.button != MouseEvent::kLeft) return false;
    PostAppEventIfEnabled(AppEventCode::kProceed);
    return true;
  }
  if (event.button != MouseEvent::kRight) return false;
  PostAppEventIfEnabled(AppEventCode::kCancel);
  return true;
}

bool MyGUIRoot::onMouseWheel(const MouseEvent& event) {
  PostEvent(event.clone());
  if (event.wheel < 0) {
    PostAppEventIfEnabled(AppEventCode::kProceed);
    return true;
  }
  if (event.wheel > 0) {
    PostAppEventIfEnabled(AppEventCode::kWheelAway);
    return true;
  }
  return false;
}

void MyGUIRoot::onChildRemoved(GUIComponent* child) {
  if (child == extra_) extra_ = nullptr;
  for (GUIComponent*& entry : fixed_) {
    if (entry == child) entry = nullptr;
  }
  // Compared by the stored component: the layer may be part-way through its
  // destruction here.
  if (child == modalComponent_) {
    modal_ = nullptr;
    modalComponent_ = nullptr;
  }
}
