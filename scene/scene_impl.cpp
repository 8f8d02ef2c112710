// SceneImpl: root ownership, the scene's own event handling, input
// dispatch into the tree and the application event mask. Main thread.
#include "scene/scene_impl.h"

#include "app/event.h"
#include "app/input_target.h"
#include "app/screen_flags.h"
#include "scene/app_event_table.h"
#include "scene/gui_root.h"
#include "scene/input_routing.h"

namespace {

SceneImpl* g_globalScene = nullptr;

}  // namespace

SceneImpl* GetGlobalScene() { return g_globalScene; }

void SetGlobalScene(SceneImpl* scene) {
  g_globalScene = scene;
  SetSceneFacade(scene);
}

SceneImpl::SceneImpl(int32_t screenWidth, int32_t screenHeight)
    : root_(std::make_unique<MyGUIRoot>(this, screenWidth, screenHeight)) {
  SetKeyListener(root_.get());
  EnableAllAppEvents();
}

SceneImpl::~SceneImpl() {
  if (g_globalScene == this) SetGlobalScene(nullptr);
  root_.reset();
}

bool SceneImpl::setup(const std::map<int32_t, int32_t>& keyMap, std::u16string_view name) {
  if (&keyMap != &keyMap_) keyMap_ = keyMap;
  name_ = name;
  SetKeyEventMap(keyMap_);
  if (root_) root_->closeExtraChild(name_);
  return true;
}

bool SceneImpl::handleEvent(const Event& event) {
  const MouseEvent* mouse = EventAs<MouseEvent>(&event);
  if (!mouse || !root_) return false;
  if (GUIComponent* extra = root_->extraChild()) {
    extra->setVisible(false);
    extra->setPosition(mouse->x, mouse->y);
    GUIChangedFlag = 1;
  }
  if (GUIComponent* modal = root_->modalComponent()) {
    RouteMouseEvent(modal, *mouse);
    return true;
  }
  return false;
}

void SceneImpl::movePointer(int32_t x, int32_t y) {
  if (!root_ || root_->placePointer(true, x, y) != 2) return;
  const MouseEvent move(x, y, MouseEvent::kMove, MouseEvent::kNone, 0, 0);
  GUIComponent* modal = root_->modalComponent();
  RouteMouseEvent(modal ? modal : root_.get(), move);
}

void SceneImpl::closeExtra(std::u16string_view name) {
  if (root_) root_->closeExtraChild(name.empty() ? std::u16string_view(name_) : name);
}

void SceneImpl::dispatchInput(const Event& event) {
  if (handleEvent(event) || !root_) return;
  if (const MouseEvent* mouse = EventAs<MouseEvent>(&event)) {
    RouteMouseEvent(root_.get(), *mouse);
  } else if (const KeyEvent* key = EventAs<KeyEvent>(&event)) {
    RouteKeyEvent(*key);
  }
}

void SceneImpl::setAppEventEnabled(int32_t code, bool on) {
  if (SetAppEventBit(code, on)) forwardToButtons(code, on);
}

void SceneImpl::applyAppEventMask() {
  for (int32_t code = 0; code < kAppEventMaskBits; ++code) forwardToButtons(code, isAppEventEnabled(code));
}

void SceneImpl::forwardToButtons(int32_t, bool) {
  // The message and menu windows join here when they take their slots.
}
