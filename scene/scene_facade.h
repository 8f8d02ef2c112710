// The scene commands the rest of the engine uses: flat functions over the
// one scene, so built-ins and the game state hold no screen object. The
// scene installs its SceneFacade at set-up; without one (before start-up, in
// tools without a screen) commands do nothing and queries report nothing
// running. Main thread.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct GDevRect;
struct LaidOutText;
struct LineLayout;
struct MotionParams;
class APValue;
class RGBAImageRef;
class XG_Layer;

namespace XGChipConfig {
class ConfigBase;
class TouchmapConfig;
}  // namespace XGChipConfig

namespace Config {
struct MenuConfigEntry;
struct MessageWindowConfig;
struct SelectWindow;
}  // namespace Config

// The eleven fields of a foreground cell, as scripts give and saves keep
// them: anchor code, x, y, width, height, source x, y, width, height,
// opacity, z-order.
using CellFields = std::array<int32_t, 11>;

// The two parts layers: A below fader 1, B above the information lines.
enum class PartsLayer : int32_t { kA = 0, kB = 1 };

class SceneFacade {
 public:
  virtual ~SceneFacade() = default;

  // Background.
  virtual void bgChangePicture(int32_t kind, std::u16string_view picture, int32_t sourceX, int32_t sourceY,
                               int32_t sourceWidth, int32_t sourceHeight, int32_t duration, int32_t direction,
                               int32_t easing, int32_t fade, int32_t extra) {
    (void)kind, (void)picture, (void)sourceX, (void)sourceY, (void)sourceWidth, (void)sourceHeight;
    (void)duration, (void)direction, (void)easing, (void)fade, (void)extra;
  }
  virtual void bgEffect(int32_t kind, int32_t duration, int32_t p1, int32_t p2, int32_t p3) {
    (void)kind, (void)duration, (void)p1, (void)p2, (void)p3;
  }
  virtual void bgMove(int32_t kind, int32_t sourceX, int32_t sourceY, int32_t sourceWidth, int32_t sourceHeight,
                      int32_t duration, int32_t ignored, int32_t easing) {
    (void)kind, (void)sourceX, (void)sourceY, (void)sourceWidth, (void)sourceHeight, (void)duration;
    (void)ignored, (void)easing;
  }
  virtual void bgFinishEffect() {}

  // Message window.
  virtual bool msgIsTextDisplaying() = 0;
  virtual void msgFinishText() = 0;
  virtual void msgSetKeyWaitIcon(int32_t kind) = 0;
  virtual void msgSetPosition(int32_t preset, int32_t x, int32_t y) = 0;
  virtual void msgShowText(std::u16string_view text, int32_t mode) {
    (void)text;
    (void)mode;
  }
  virtual void msgClearText() {}
  virtual void msgGetTextLines(std::vector<LaidOutText>* out) { (void)out; }
  virtual void msgSetVisible(bool on) { (void)on; }
  virtual void msgMoveTo(int32_t preset, int32_t x, int32_t y, int32_t kind, int32_t duration, int32_t easing) {
    (void)preset;
    (void)x;
    (void)y;
    (void)kind;
    (void)duration;
    (void)easing;
  }
  // Foreground cells. A change makes the cell when it does not exist; the
  // others leave a missing cell alone.
  virtual void fgChangeCell(int32_t cell, int32_t kind, std::u16string_view picture, const CellFields& fields,
                            int32_t duration, int32_t direction, int32_t easing, int32_t fade, int32_t distance) {
    (void)cell, (void)kind, (void)picture, (void)fields, (void)duration, (void)direction, (void)easing;
    (void)fade, (void)distance;
  }
  virtual void fgCellEffect(int32_t cell, int32_t kind, int32_t duration, int32_t p1, int32_t easing, int32_t p3,
                            int32_t p4) {
    (void)cell, (void)kind, (void)duration, (void)p1, (void)easing, (void)p3, (void)p4;
  }
  virtual void fgMoveCell(int32_t cell, int32_t kind, const CellFields& fields, int32_t duration, int32_t ignored,
                          int32_t easing) {
    (void)cell, (void)kind, (void)fields, (void)duration, (void)ignored, (void)easing;
  }
  virtual void fgFinishCellEffect(int32_t cell) = 0;
  virtual void fgRemoveCell(int32_t cell) { (void)cell; }
  virtual void fgRemoveAllCells() {}
  // The enable mask of application events.
  virtual void setAppEventEnabled(int32_t code, bool on) = 0;
  // Whether fader 1 or 2 is fading; *parameter := the running fade's
  // parameter.
  virtual bool faderIsFading(int32_t fader, int32_t* parameter) = 0;
  // Fader 1 or 2: a fade started, ended at its target colour, or cleared
  // (see faderStart1).
  virtual void faderStart(int32_t fader, int32_t r, int32_t g, int32_t b, int32_t a, int32_t time,
                          int32_t parameter) {
    (void)fader, (void)r, (void)g, (void)b, (void)a, (void)time, (void)parameter;
  }
  virtual void faderFinish(int32_t fader) { (void)fader; }
  virtual void faderClear(int32_t fader) { (void)fader; }

  // The windows that follow configurations. Until a window exists in the
  // scene these do nothing.
  // Menu: a null entry gives the default menu.
  virtual void menuSetConfig(const Config::MenuConfigEntry* entry) { (void)entry; }
  virtual void menuSetAutoHide(bool on) { (void)on; }
  virtual void menuShow(bool visible, bool animated, bool byAutoHide) {
    (void)visible;
    (void)animated;
    (void)byAutoHide;
  }
  // Message window: null gives a window without configuration.
  virtual void msgSetConfig(const Config::MessageWindowConfig* config) { (void)config; }
  // Applies the whole application-event mask to the windows' buttons again.
  virtual void applyAppEventMask() {}
  // Parts layer A or B (the scenePartsA_ / scenePartsB_ commands below).
  virtual void partsRemoveAll(PartsLayer layer) { (void)layer; }
  virtual void partsClearEvents(PartsLayer layer, int32_t part) { (void)layer, (void)part; }
  virtual void partsAdd(PartsLayer layer, int32_t part, bool visible, int32_t x, int32_t y, int32_t alpha,
                        int32_t zOrder, const XGChipConfig::ConfigBase* config) {
    (void)layer, (void)part, (void)visible, (void)x, (void)y, (void)alpha, (void)zOrder, (void)config;
  }
  virtual void partsRemove(PartsLayer layer, int32_t part) { (void)layer, (void)part; }
  virtual void partsSetString(PartsLayer layer, int32_t part, std::u16string_view text) {
    (void)layer, (void)part, (void)text;
  }
  virtual void partsSetLabel(PartsLayer layer, int32_t part, const std::vector<LineLayout>& lines,
                             int32_t rubyPitch) {
    (void)layer, (void)part, (void)lines, (void)rubyPitch;
  }
  virtual void partsSetVisible(PartsLayer layer, int32_t part, bool on) { (void)layer, (void)part, (void)on; }
  // The whole layer shown or hidden; the screen is drawn again.
  virtual void partsSetLayerVisible(PartsLayer layer, bool on) { (void)layer, (void)on; }
  virtual void partsSetPosition(PartsLayer layer, int32_t part, int32_t x, int32_t y) {
    (void)layer, (void)part, (void)x, (void)y;
  }
  virtual void partsSetSize(PartsLayer layer, int32_t part, int32_t width, int32_t height) {
    (void)layer, (void)part, (void)width, (void)height;
  }
  virtual void partsSetZOrder(PartsLayer layer, int32_t part, int32_t zOrder) {
    (void)layer, (void)part, (void)zOrder;
  }
  virtual void partsSetAlpha(PartsLayer layer, int32_t part, int32_t alpha) { (void)layer, (void)part, (void)alpha; }
  virtual void partsSetEnabled(PartsLayer layer, int32_t part, bool on) { (void)layer, (void)part, (void)on; }
  virtual void partsSetEventNumber(PartsLayer layer, int32_t part, int32_t type, int32_t number) {
    (void)layer, (void)part, (void)type, (void)number;
  }
  virtual void partsSetAnimationCode(PartsLayer layer, int32_t part, int32_t code) {
    (void)layer, (void)part, (void)code;
  }
  virtual void partsSetTextColor(PartsLayer layer, int32_t part, int32_t which, uint32_t color) {
    (void)layer, (void)part, (void)which, (void)color;
  }
  virtual void partsSetImage(PartsLayer layer, int32_t part, std::u16string_view path, int32_t sizeMode, int32_t x,
                             int32_t y, int32_t width, int32_t height) {
    (void)layer, (void)part, (void)path, (void)sizeMode, (void)x, (void)y, (void)width, (void)height;
  }
  // *out := the numbers of the layer's parts in first..last, ascending.
  virtual void partsNumbers(PartsLayer layer, int32_t first, int32_t last, std::vector<int32_t>* out) {
    (void)layer, (void)first, (void)last, (void)out;
  }
  // The script layers' component (the sceneLayer_ commands), or null.
  virtual XG_Layer* layerComponent() { return nullptr; }
  // Choice list 0: emptied and hidden; the GUI root takes the keys again.
  virtual void selectClear() {}
  // Choice list 0 filled from the configuration with one item per
  // (identifier, text), the flag stored, shown, and given the keys.
  virtual void selectShow(const Config::SelectWindow& config, int32_t flag,
                          const std::vector<std::pair<std::u16string, std::u16string>>& choices, bool cancelAllowed) {
    (void)config;
    (void)flag;
    (void)choices;
    (void)cancelAllowed;
  }
};

// Installs the scene's facade (null removes it); returns the previous one.
SceneFacade* SetSceneFacade(SceneFacade* facade);
// The installed facade, or null.
SceneFacade* CurrentSceneFacade();

bool sceneMsg_isTextDisplaying(bool* displaying);
// Reveals the whole message text at once.
bool sceneMsg_finishText();
// n >= 0 shows key-wait icon n after the revealed text; n < 0 hides it.
bool sceneMsg_setKeyWaitIcon(int32_t n);
// Places the window at preset n, or at (x, y) when n < 0, ending a move.
bool sceneMsg_setPosition(int32_t n, int32_t x, int32_t y);
// Lays out a message text with its markup and starts revealing it; mode is
// the display speed (below 1: all at once).
bool sceneMsg_showText(std::u16string_view text, int32_t mode);
// Clears the message text (and the texts kept since the last clear).
bool sceneMsg_clearText();
// *out := the texts shown since the last clear, as laid out.
bool sceneMsg_getTextLines(std::vector<LaidOutText>* out);
// Shows or hides the message layer.
bool sceneMsg_setVisible(bool on);
// Slides the window to preset n, or to (x, y) when n < 0, over duration ms
// with easing 0 linear, 1 ease-out, other ease-in; kind is not read.
bool sceneMsg_moveTo(int32_t n, int32_t x, int32_t y, int32_t kind, int32_t duration, int32_t easing);
// The background: a picture change with a transition (kinds 0, 10, 20-23),
// an effect (100 flash, 101 shake), a move of the framed part (201), and the
// end of whatever runs.
bool sceneBG_changePicture(int32_t kind, std::u16string_view picture, int32_t sourceX, int32_t sourceY,
                           int32_t sourceWidth, int32_t sourceHeight, int32_t duration, int32_t direction,
                           int32_t easing, int32_t fade, int32_t extra);
bool sceneBG_effect(int32_t kind, int32_t duration, int32_t p1, int32_t p2, int32_t p3);
bool sceneBG_move(int32_t kind, int32_t sourceX, int32_t sourceY, int32_t sourceWidth, int32_t sourceHeight,
                  int32_t duration, int32_t ignored, int32_t easing, int32_t extra1, int32_t extra2);
bool sceneBG_finishEffect();
// Foreground cell n: changed (made when missing), given an effect, moved,
// its effect ended, removed; or every cell removed.
bool sceneFG_changeCell(int32_t cell, int32_t kind, std::u16string_view picture, const CellFields& fields,
                        int32_t duration, int32_t direction, int32_t easing, int32_t fade, int32_t distance);
bool sceneFG_cellEffect(int32_t cell, int32_t kind, int32_t duration, int32_t p1, int32_t easing, int32_t p3,
                        int32_t p4);
bool sceneFG_moveCell(int32_t cell, int32_t kind, const CellFields& fields, int32_t duration, int32_t ignored,
                      int32_t easing, int32_t extra1, int32_t extra2);
bool sceneFG_finishCellEffect(int32_t cell);
bool sceneFG_removeCell(int32_t cell);
bool sceneFG_removeAllCells();
bool sceneSetAppEventEnabled(int32_t code, bool on);

// Parts layer A. A command on a part number without a part does nothing.
bool scenePartsA_removeAll();
// Clears the part's event numbers; a negative number clears every part's.
bool scenePartsA_clearEvents(int32_t part);
// Replaces the part with a new one built from the configuration, at (x, y)
// with the alpha (0..255), sorted by the z-order.
bool scenePartsA_addPart(int32_t part, bool visible, int32_t x, int32_t y, int32_t alpha, int32_t zOrder,
                         const XGChipConfig::ConfigBase* config);
bool scenePartsA_setString(int32_t part, std::u16string_view text);
bool scenePartsA_setVisible(int32_t part, bool on);
bool scenePartsA_remove(int32_t part);
bool scenePartsA_setPosition(int32_t part, int32_t x, int32_t y);
bool scenePartsA_setSize(int32_t part, int32_t width, int32_t height);
bool scenePartsA_setZOrder(int32_t part, int32_t zOrder);
bool scenePartsA_setAlpha(int32_t part, int32_t alpha);
bool scenePartsA_setEnabled(int32_t part, bool on);
// Event types 1 hover, 2 click, 3 press, 4 release, 5 move.
bool scenePartsA_setEventNumber(int32_t part, int32_t type, int32_t number);
// Bit value 1 runs the animation, bit value 2 rewinds it.
bool scenePartsA_setAnimationCode(int32_t part, int32_t code);
// which 0: the text colour, 1: the outline colour (0xAARRGGBB).
bool scenePartsA_setTextColor(int32_t part, int32_t which, uint32_t color);
// *out := the numbers of the parts in first..last, ascending.
bool scenePartsA_partNumbers(int32_t first, int32_t last, std::vector<int32_t>* out);
// Parts layer B: the same commands, and labels and images.
bool scenePartsB_removeAll();
bool scenePartsB_clearEvents(int32_t part);
bool scenePartsB_addPart(int32_t part, bool visible, int32_t x, int32_t y, int32_t alpha, int32_t zOrder,
                         const XGChipConfig::ConfigBase* config);
bool scenePartsB_setString(int32_t part, std::u16string_view text);
// Shows laid-out lines (stacked with the ruby pitch) instead of the image.
bool scenePartsB_setLabel(int32_t part, const std::vector<LineLayout>& lines, int32_t rubyPitch);
bool scenePartsB_setVisible(int32_t part, bool on);
// Shows or hides the whole second parts layer.
bool setPartsBVisible(bool on);
bool scenePartsB_remove(int32_t part);
bool scenePartsB_setPosition(int32_t part, int32_t x, int32_t y);
bool scenePartsB_setSize(int32_t part, int32_t width, int32_t height);
bool scenePartsB_setZOrder(int32_t part, int32_t zOrder);
bool scenePartsB_setAlpha(int32_t part, int32_t alpha);
bool scenePartsB_setEnabled(int32_t part, bool on);
bool scenePartsB_setEventNumber(int32_t part, int32_t type, int32_t number);
bool scenePartsB_setAnimationCode(int32_t part, int32_t code);
bool scenePartsB_setTextColor(int32_t part, int32_t which, uint32_t color);
// Image parts: a new picture (empty: none); size mode 2 takes its size,
// any other mode the rectangle's width and height.
bool scenePartsB_setImage(int32_t part, std::u16string_view path, int32_t sizeMode, int32_t x, int32_t y,
                          int32_t width, int32_t height);
bool scenePartsB_partNumbers(int32_t first, int32_t last, std::vector<int32_t>* out);

// The menu window. The unused flag is accepted and has no effect.
bool sceneMenu_setUnusedFlag(bool on);
bool sceneMenu_setAutoHide(bool on);
bool sceneMenu_show(bool visible, bool animated, bool byAutoHide);

// Whether fader 1 (2) is fading, and the parameter of its running fade.
bool faderWaitStatus1(int32_t* parameter);
bool faderWaitStatus2(int32_t* parameter);
// Fader 1 (2) fades to (r, g, b, a), each 0..255 (clamped), over time ms,
// ending a running fade first; a fade that runs its course posts AppEvent
// 28 with the parameter. Time 0 shows the colour at once; a negative time
// makes the fader transparent.
bool faderStart1(int32_t r, int32_t g, int32_t b, int32_t a, int32_t time, int32_t parameter);
bool faderStart2(int32_t r, int32_t g, int32_t b, int32_t a, int32_t time, int32_t parameter);
// Ends the fade at once at its target colour; no end event follows.
bool faderFinish1();
bool faderFinish2();
// Stops the fade and makes the fader transparent.
bool faderClear1();
bool faderClear2();

// The script layers (XG_Layer). Node handles come from createNode; "which"
// is 1 for the main picture and 2 for the mask. Without a scene every
// command does nothing; queries then answer false.
bool sceneLayer_reset();
bool sceneLayer_createNode(int32_t* handle, int32_t mode, int32_t order, int32_t width, int32_t height);
bool sceneLayer_removeNode(int32_t handle);
// Group -1: the container of the ungrouped nodes.
bool sceneLayer_attachToGroup(int32_t group, int32_t handle);
bool sceneLayer_setComposition(int32_t handle, int32_t op);
bool sceneLayer_setMaskOp(int32_t handle, int32_t op);
// Type 1 an image, 2 a stream animation; a string url names the file or
// folder as it stands, a number goes through the naming rule of its kind.
// False when the load fails (logged).
bool sceneLayer_loadPicture(int32_t number, int32_t type, const APValue& url, int32_t numsel);
bool sceneLayer_removePicture(int32_t number);
// Picture -1: none.
bool sceneLayer_setPicture(int32_t handle, int32_t which, int32_t number);
// *result (when given) := the copy's answer: 1 done, -1 refused.
bool sceneLayer_vramCopy(int32_t target, int32_t source, int32_t* result = nullptr);
// Flattens the node (-1: every layer) with its children: target -2 keeps
// the look as the transition's before image, -3 as its after image, -4
// writes it to *out (straight alpha; empty when the node is unknown or
// nothing could be drawn). The two integers are not read.
bool sceneLayer_capture(int32_t handle, int32_t target, int32_t unused1, int32_t unused2, RGBAImageRef* out);
bool sceneLayer_saCtrlMain(int32_t handle, int32_t ctrl);
bool sceneLayer_saCtrlMask(int32_t handle, int32_t ctrl);
bool sceneLayer_loopFlagMain(int32_t handle, bool on);
bool sceneLayer_loopFlagMask(int32_t handle, bool on);
// *out := 1 running, 0 changed at once, -1 refused (unknown node, or a rule
// picture > 0 that is not loaded).
bool sceneLayer_startTransition(int32_t handle, int32_t kind, int32_t duration, int32_t parameter, int32_t rule,
                                const std::array<int32_t, 8>& values, int32_t* out);
bool sceneLayer_finishTransition(int32_t handle);
// Its answer: false for a group, an unknown node or an order in use.
bool sceneLayer_setOrder(int32_t handle, int32_t order);
bool sceneLayer_motion(int32_t handle, int32_t kind, int32_t duration, int32_t parameter, const MotionParams& record);
bool sceneLayer_stopAnimator(int32_t handle);
bool sceneLayer_effect(int32_t handle, int32_t kind, int32_t duration, int32_t parameter,
                       const std::array<int32_t, 8>& values);
// Handle -1: every layer at once.
bool sceneLayer_setVisible(int32_t handle, bool on);
// Stores the number for event type 1..5 on an existing node (another type
// is logged by the node). Always answers false; no caller reads it.
bool sceneLayer_setItemEventNumber(int32_t handle, int32_t type, int32_t number);
// Area < 0 clears every record of the node first.
bool sceneLayer_setAutoMove(int32_t handle, int32_t area, int32_t ctrl, int32_t cond, int32_t unit, int32_t current);
// Every auto-move record of the node goes.
bool sceneLayer_clearAutoMoves(int32_t handle);
// *count unchanged when the node or the area has no record.
bool sceneLayer_getAutoMoveCount(int32_t handle, int32_t area, int32_t* count);
// The MOUSE node's touch map (null: none), an area's cursor file (empty:
// none; area < 0 every area), and the pointer position it saw last.
bool sceneLayer_setHitTestMap(int32_t handle, const XGChipConfig::TouchmapConfig* config);
bool sceneLayer_setAreaCursor(int32_t handle, int32_t area, std::u16string_view file);
bool sceneLayer_getLastMousePosition(int32_t handle, int32_t* x, int32_t* y);
// The VRAM node's picture, made on first use: *image := it, or, when *image
// holds an image, the node takes that one.
bool sceneLayer_vramRecordOp(int32_t handle, RGBAImageRef* image);
// Uploads the VRAM picture's pixels again after they were changed.
bool sceneLayer_vramNodeOp(int32_t handle);
// *out := the image of an image picture; false (and *out empty) otherwise.
bool sceneLayer_getPictureImage(int32_t number, RGBAImageRef* out);
// The placement rule over the component's size; false when the picture
// does not exist.
bool sceneLayer_placementExtent(GDevRect* out, int32_t number, const MotionParams& record);
// I-x, I-y, I-w and I-h of *record that give the rectangle under the switch.
bool sceneLayer_placementInverse(MotionParams* record, int32_t number, int32_t switchWord, const GDevRect& rect);
