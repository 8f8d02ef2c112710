// SceneImpl: root ownership, the scene's own event handling, input
// dispatch into the tree and the application event mask. Main thread.
#include "scene/scene_impl.h"

#include "app/event.h"
#include "app/input_target.h"
#include "app/screen_flags.h"
#include "scene/app_event_table.h"
#include "scene/gui_root.h"
#include "scene/input_routing.h"
#include "scene/line_layout.h"
#include "scene/message_window.h"
#include "scene/text_area.h"
#include "scene/xg_msg.h"

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
  // The message layer stays hidden until a script shows it.
  msg_ = new XG_Msg(screenWidth, screenHeight);
  root_->installFixedChild(MyGUIRoot::kSlotMsg, msg_);
  msg_->setVisible(false);
}

SceneImpl::~SceneImpl() {
  if (g_globalScene == this) SetGlobalScene(nullptr);
  msg_ = nullptr;
  root_.reset();
}

MessageWindow3* SceneImpl::msgWindow() const { return msg_ ? msg_->window() : nullptr; }

TextArea3* SceneImpl::msgTextArea() const {
  MessageWindow3* window = msgWindow();
  return window ? window->textArea() : nullptr;
}

bool SceneImpl::msgIsTextDisplaying() {
  TextArea3* area = msgTextArea();
  return area && area->isDisplaying();
}

void SceneImpl::msgFinishText() {
  if (TextArea3* area = msgTextArea()) area->revealAll();
}

void SceneImpl::msgSetKeyWaitIcon(int32_t kind) {
  if (TextArea3* area = msgTextArea()) area->showKeyWaitIcon(kind >= 0, kind < 0 ? 0 : kind);
}

void SceneImpl::msgSetPosition(int32_t preset, int32_t x, int32_t y) {
  if (MessageWindow3* window = msgWindow()) window->setPosition(preset, x, y);
}

void SceneImpl::msgShowText(std::u16string_view text, int32_t mode) {
  if (MessageWindow3* window = msgWindow()) window->setText(text, mode);
}

void SceneImpl::msgClearText() {
  if (MessageWindow3* window = msgWindow()) window->clearText();
}

void SceneImpl::msgGetTextLines(std::vector<LaidOutText>* out) {
  if (MessageWindow3* window = msgWindow()) *out = window->shownTexts();
}

void SceneImpl::msgSetVisible(bool on) {
  if (msg_) msg_->setVisible(on);
}

void SceneImpl::msgMoveTo(int32_t preset, int32_t x, int32_t y, int32_t kind, int32_t duration, int32_t easing) {
  if (MessageWindow3* window = msgWindow()) window->moveTo(preset, x, y, kind, duration, easing);
}

void SceneImpl::msgSetConfig(const Config::MessageWindowConfig* config) {
  if (msg_) msg_->setConfig(config);
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

void SceneImpl::forwardToButtons(int32_t code, bool on) {
  if (MessageWindow3* window = msgWindow()) window->setChipEventEnabled(code, on);
  // The menu window joins here when it takes its slot.
}
