// SceneImpl: the scene. It owns the GUI root, keeps the key map and the
// name given at set-up, routes window input into the tree, and serves the
// scene commands (SceneFacade) once it is the global scene. GlobalScene is
// set by the scene set-up at start-up. Main thread.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "scene/scene.h"
#include "scene/scene_facade.h"

class MessageWindow3;
class TextArea3;
class XG_BG;
class XG_Fader;
class XG_FG;
class XG_Layer;
class XG_Menu;
class XG_Msg;
class XG_Parts;
class XG_Select;

class SceneImpl : public Scene, public SceneFacade {
 public:
  // The root of the screen size becomes the key listener and every
  // application event is enabled.
  SceneImpl(int32_t screenWidth, int32_t screenHeight);
  // Deletes the root and every component in it; stops being the global
  // scene when it is.
  ~SceneImpl() override;
  SceneImpl(const SceneImpl&) = delete;
  SceneImpl& operator=(const SceneImpl&) = delete;

  bool setup(const std::map<int32_t, int32_t>& keyMap, std::u16string_view name) override;
  MyGUIRoot* getRoot() override { return root_.get(); }
  // Mouse events only: an extra child is hidden and moved to the event's
  // point; while the root has a modal layer the event is routed from the
  // layer and consumed. Everything else: false.
  bool handleEvent(const Event& event) override;
  void movePointer(int32_t x, int32_t y) override;
  void closeExtra(std::u16string_view name) override;

  // The window's input dispatch: handleEvent, then (not consumed) mouse
  // events are routed from the root and key events through the key
  // listener and the key map.
  void dispatchInput(const Event& event);

  // Sets or clears one code's bit of the application event mask (0..99;
  // others are ignored).
  void setAppEventEnabled(int32_t code, bool on) override;
  // Brings the windows' buttons in line with the whole mask (after they
  // were rebuilt).
  void applyAppEventMask() override;

  // The screen objects in the root's slots (owned by the root).
  XG_BG* getBG() const { return bg_; }
  XG_FG* getFG() const { return fg_; }
  // The script layers.
  XG_Layer* getLayer() const { return layer_; }
  XG_Layer* layerComponent() override { return layer_; }
  // Choice layer 0 or 1; null for any other number.
  XG_Select* getSelect(int32_t which) const { return which == 0 || which == 1 ? select_[which] : nullptr; }
  // The message layer and its window.
  XG_Msg* getMsg() const { return msg_; }
  // The menu layer; its commands (scene_impl_menu.cpp).
  XG_Menu* getMenu() const { return menu_; }
  void menuSetConfig(const Config::MenuConfigEntry* entry) override;
  void menuSetAutoHide(bool on) override;
  void menuShow(bool visible, bool animated, bool byAutoHide) override;
  // Parts layers A and B.
  XG_Parts* getPartsA() const { return partsA_; }
  XG_Parts* getPartsB() const { return partsB_; }
  XG_Parts* getParts(PartsLayer layer) const { return layer == PartsLayer::kA ? partsA_ : partsB_; }
  // The background, drawn first, covers the whole screen opaquely.
  bool coversScreen() const;
  MessageWindow3* msgWindow() const;
  TextArea3* msgTextArea() const;

  const std::map<int32_t, int32_t>& keyMap() const { return keyMap_; }
  const std::u16string& name() const { return name_; }

  // The scene commands of the screen objects; until those objects exist
  // in the root's slots they do nothing and report nothing running.
  bool msgIsTextDisplaying() override;
  void msgFinishText() override;
  void msgSetKeyWaitIcon(int32_t kind) override;
  void msgSetPosition(int32_t preset, int32_t x, int32_t y) override;
  void msgShowText(std::u16string_view text, int32_t mode) override;
  void msgClearText() override;
  void msgGetTextLines(std::vector<LaidOutText>* out) override;
  void msgSetVisible(bool on) override;
  void msgMoveTo(int32_t preset, int32_t x, int32_t y, int32_t kind, int32_t duration, int32_t easing) override;
  void msgSetConfig(const Config::MessageWindowConfig* config) override;
  void bgChangePicture(int32_t kind, std::u16string_view picture, int32_t sourceX, int32_t sourceY,
                       int32_t sourceWidth, int32_t sourceHeight, int32_t duration, int32_t direction, int32_t easing,
                       int32_t fade, int32_t extra) override;
  void bgEffect(int32_t kind, int32_t duration, int32_t p1, int32_t p2, int32_t p3) override;
  void bgMove(int32_t kind, int32_t sourceX, int32_t sourceY, int32_t sourceWidth, int32_t sourceHeight,
              int32_t duration, int32_t ignored, int32_t easing) override;
  void bgFinishEffect() override;
  void fgChangeCell(int32_t cell, int32_t kind, std::u16string_view picture, const CellFields& fields,
                    int32_t duration, int32_t direction, int32_t easing, int32_t fade, int32_t distance) override;
  void fgCellEffect(int32_t cell, int32_t kind, int32_t duration, int32_t p1, int32_t easing, int32_t p3,
                    int32_t p4) override;
  void fgMoveCell(int32_t cell, int32_t kind, const CellFields& fields, int32_t duration, int32_t ignored,
                  int32_t easing) override;
  void fgFinishCellEffect(int32_t cell) override;
  void fgRemoveCell(int32_t cell) override;
  void fgRemoveAllCells() override;
  void selectClear() override;
  void selectShow(const Config::SelectWindow& config, int32_t flag,
                  const std::vector<std::pair<std::u16string, std::u16string>>& choices, bool cancelAllowed) override;
  // Parts layers A and B (scene_impl_parts.cpp).
  void partsRemoveAll(PartsLayer layer) override;
  void partsClearEvents(PartsLayer layer, int32_t part) override;
  void partsAdd(PartsLayer layer, int32_t part, bool visible, int32_t x, int32_t y, int32_t alpha, int32_t zOrder,
                const XGChipConfig::ConfigBase* config) override;
  void partsRemove(PartsLayer layer, int32_t part) override;
  void partsSetString(PartsLayer layer, int32_t part, std::u16string_view text) override;
  void partsSetLabel(PartsLayer layer, int32_t part, const std::vector<LineLayout>& lines,
                     int32_t rubyPitch) override;
  void partsSetVisible(PartsLayer layer, int32_t part, bool on) override;
  void partsSetLayerVisible(PartsLayer layer, bool on) override;
  void partsSetPosition(PartsLayer layer, int32_t part, int32_t x, int32_t y) override;
  void partsSetSize(PartsLayer layer, int32_t part, int32_t width, int32_t height) override;
  void partsSetZOrder(PartsLayer layer, int32_t part, int32_t zOrder) override;
  void partsSetAlpha(PartsLayer layer, int32_t part, int32_t alpha) override;
  void partsSetEnabled(PartsLayer layer, int32_t part, bool on) override;
  void partsSetEventNumber(PartsLayer layer, int32_t part, int32_t type, int32_t number) override;
  void partsSetAnimationCode(PartsLayer layer, int32_t part, int32_t code) override;
  void partsSetTextColor(PartsLayer layer, int32_t part, int32_t which, uint32_t color) override;
  void partsSetImage(PartsLayer layer, int32_t part, std::u16string_view path, int32_t sizeMode, int32_t x, int32_t y,
                     int32_t width, int32_t height) override;
  void partsNumbers(PartsLayer layer, int32_t first, int32_t last, std::vector<int32_t>* out) override;
  // Faders 1 and 2 (scene_impl_faders.cpp); other numbers do nothing and
  // report no fade.
  bool faderIsFading(int32_t fader, int32_t* parameter) override;
  void faderStart(int32_t fader, int32_t r, int32_t g, int32_t b, int32_t a, int32_t time,
                  int32_t parameter) override;
  void faderFinish(int32_t fader) override;
  void faderClear(int32_t fader) override;
  XG_Fader* getFader1() const { return fader1_; }
  XG_Fader* getFader2() const { return fader2_; }

 private:
  // Tells the message and menu windows to enable or disable their buttons
  // that raise this code.
  void forwardToButtons(int32_t code, bool on);

  std::map<int32_t, int32_t> keyMap_;
  std::u16string name_;
  std::unique_ptr<MyGUIRoot> root_;
  XG_BG* bg_ = nullptr;
  XG_FG* fg_ = nullptr;
  XG_Layer* layer_ = nullptr;
  XG_Msg* msg_ = nullptr;
  XG_Menu* menu_ = nullptr;
  XG_Parts* partsA_ = nullptr;
  XG_Parts* partsB_ = nullptr;
  XG_Select* select_[2] = {nullptr, nullptr};
  XG_Fader* fader1_ = nullptr;
  XG_Fader* fader2_ = nullptr;
};

// The scene every scene command uses (null before start-up and after
// shutdown).
SceneImpl* GetGlobalScene();
// Makes the scene the global scene and installs it as the scene commands'
// facade; null removes both.
void SetGlobalScene(SceneImpl* scene);
