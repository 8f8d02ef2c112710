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
#include "scene/xg_bg.h"
#include "scene/xg_fader.h"
#include "scene/xg_fg.h"
#include "scene/xg_layer.h"
#include "scene/xg_menu.h"
#include "scene/xg_msg.h"
#include "scene/xg_parts.h"
#include "scene/xg_select.h"

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
  bg_ = new XG_BG(screenWidth, screenHeight);
  root_->installFixedChild(MyGUIRoot::kSlotBG, bg_);
  layer_ = new XG_Layer(screenWidth, screenHeight);
  root_->installFixedChild(MyGUIRoot::kSlotLayer, layer_);
  fg_ = new XG_FG(screenWidth, screenHeight);
  root_->installFixedChild(MyGUIRoot::kSlotFG, fg_);
  // Both parts layers are non-modal: clicks between their parts reach the
  // layers below.
  partsA_ = new XG_Parts(screenWidth, screenHeight, false);
  root_->installFixedChild(MyGUIRoot::kSlotPartsA, partsA_);
  partsB_ = new XG_Parts(screenWidth, screenHeight, false);
  root_->installFixedChild(MyGUIRoot::kSlotPartsB, partsB_);
  fader1_ = new XG_Fader(screenWidth, screenHeight);
  root_->installFixedChild(MyGUIRoot::kSlotFader1, fader1_);
  fader2_ = new XG_Fader(screenWidth, screenHeight);
  root_->installFixedChild(MyGUIRoot::kSlotFader2, fader2_);
  // The message layer stays hidden until a script shows it, the choice
  // layers until a choice is offered.
  msg_ = new XG_Msg(screenWidth, screenHeight);
  root_->installFixedChild(MyGUIRoot::kSlotMsg, msg_);
  msg_->setVisible(false);
  for (int32_t which = 0; which < 2; ++which) {
    select_[which] = new XG_Select(which, screenWidth, screenHeight);
    root_->installFixedChild(which == 0 ? MyGUIRoot::kSlotSelect0 : MyGUIRoot::kSlotSelect1, select_[which]);
    select_[which]->setVisible(false);
  }
  // The menu layer stays shown; its window keeps the menu out of sight
  // until a script shows it.
  menu_ = new XG_Menu(screenWidth, screenHeight);
  root_->installFixedChild(MyGUIRoot::kSlotMenu, menu_);
}

SceneImpl::~SceneImpl() {
  if (g_globalScene == this) SetGlobalScene(nullptr);
  bg_ = nullptr;
  fg_ = nullptr;
  layer_ = nullptr;
  msg_ = nullptr;
  menu_ = nullptr;
  partsA_ = partsB_ = nullptr;
  select_[0] = select_[1] = nullptr;
  fader1_ = fader2_ = nullptr;
  root_.reset();
}

bool SceneImpl::coversScreen() const {
  return root_ && bg_ && bg_->isVisible() && bg_->x() == 0 && bg_->y() == 0 && bg_->width() >= root_->width() &&
         bg_->height() >= root_->height() && bg_->coversOpaquely();
}

void SceneImpl::bgChangePicture(int32_t kind, std::u16string_view picture, int32_t sourceX, int32_t sourceY,
                                int32_t sourceWidth, int32_t sourceHeight, int32_t duration, int32_t direction,
                                int32_t easing, int32_t fade, int32_t extra) {
  if (bg_) {
    bg_->changePicture(kind, picture, sourceX, sourceY, sourceWidth, sourceHeight, duration, direction, easing,
                       fade != 0, extra);
  }
}

void SceneImpl::bgEffect(int32_t kind, int32_t duration, int32_t p1, int32_t p2, int32_t p3) {
  if (bg_) bg_->startEffect(kind, duration, p1, p2, p3);
}

void SceneImpl::bgMove(int32_t kind, int32_t sourceX, int32_t sourceY, int32_t sourceWidth, int32_t sourceHeight,
                       int32_t duration, int32_t ignored, int32_t easing) {
  if (bg_) bg_->startMove(kind, sourceX, sourceY, sourceWidth, sourceHeight, duration, ignored, easing);
}

void SceneImpl::bgFinishEffect() {
  if (bg_) bg_->finishEffect();
}

namespace {

XG_FG::Placement PlacementOf(const CellFields& f) {
  return XG_FG::Placement{f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8]};
}

}  // namespace

void SceneImpl::fgChangeCell(int32_t cell, int32_t kind, std::u16string_view picture, const CellFields& fields,
                             int32_t duration, int32_t direction, int32_t easing, int32_t fade, int32_t distance) {
  XG_FG::FGCell* c = fg_ ? fg_->getCell(cell, true) : nullptr;
  if (c) {
    c->changePicture(kind, picture, PlacementOf(fields), fields[9], fields[10], duration, direction, easing,
                     fade != 0, distance);
  }
}

void SceneImpl::fgCellEffect(int32_t cell, int32_t kind, int32_t duration, int32_t p1, int32_t easing, int32_t p3,
                             int32_t p4) {
  if (XG_FG::FGCell* c = fg_ ? fg_->getCell(cell, false) : nullptr) c->cell_effect(kind, duration, p1, easing, p3, p4);
}

void SceneImpl::fgMoveCell(int32_t cell, int32_t kind, const CellFields& fields, int32_t duration, int32_t ignored,
                           int32_t easing) {
  if (XG_FG::FGCell* c = fg_ ? fg_->getCell(cell, false) : nullptr) {
    c->startMove(kind, PlacementOf(fields), fields[9], fields[10], duration, ignored, easing, 0, 0);
  }
}

void SceneImpl::fgFinishCellEffect(int32_t cell) {
  if (fg_) fg_->finishCellEffect(cell);
}

void SceneImpl::fgRemoveCell(int32_t cell) {
  if (fg_) fg_->removeCell(cell);
}

void SceneImpl::fgRemoveAllCells() {
  if (fg_) fg_->removeAllCells();
}

void SceneImpl::selectClear() {
  XG_Select* select = select_[0];
  if (!select) return;
  select->clearItems();
  select->setVisible(false);
  SetKeyListener(root_.get());
}

void SceneImpl::selectShow(const Config::SelectWindow& config, int32_t flag,
                           const std::vector<std::pair<std::u16string, std::u16string>>& choices,
                           bool cancelAllowed) {
  XG_Select* select = select_[0];
  if (!select) return;
  select->setFlag(flag);
  std::vector<XG_Select::Choice> items;
  items.reserve(choices.size());
  for (const auto& [identifier, text] : choices) items.push_back(XG_Select::Choice{identifier, text});
  select->buildItems(config, items, cancelAllowed);
  select->setVisible(true);
  SetKeyListener(select);
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
  if (menu_) menu_->setChipEventEnabled(code, on);
}
