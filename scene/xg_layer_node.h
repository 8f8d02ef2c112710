// XGLayer: one node of the script layers. A picture node (mode 1) draws its
// main picture where its placement record puts it, tinted and through an
// optional mask picture; a VRAM node (2) draws a picture of its own that
// scripts paint into; a MOUSE node (3) draws nothing and turns the pointer
// over its touch map into AppEvent 44 numbers; a group (10) draws its
// children, offscreen when it is tinted or masked. Every node can animate
// (motions and effects), play stream animations and run a transition
// between two flattened looks of itself. Main thread.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "gdev/rgba_image.h"
#include "gdev/zep_texture.h"
#include "scene/gui_component.h"
#include "scene/hit_test_map.h"
#include "scene/layer_placement.h"
#include "scene/motion_params.h"
#include "scene/stream_anime.h"
#include "scene/xg_base.h"

// A loaded picture of the layer component: an image (type 1) or a stream
// animation (type 2). Nodes hold it shared, so removing it from the
// component's table leaves the nodes that show it alone.
struct LayerPicture {
  int32_t type = 1;
  ZEPTextureRef image;
  StreamAnimeRef anime;
  bool isAnime() const;
  // The image, or the animation's first frame.
  ZEPTexture* firstTexture() const;
  int32_t width() const;
  int32_t height() const;
};
using LayerPictureRef = std::shared_ptr<const LayerPicture>;

// What a MOUSE node asks of the main window; the scene set-up installs the
// window's functions, tests their own.
struct LayerPointerHooks {
  // Slot 2 of the pointer files, owned by `owner`; an empty file gives the
  // slot back.
  void (*setCursor)(std::u16string_view file, const void* owner) = nullptr;
  bool (*leftDown)() = nullptr;
  bool (*rightDown)() = nullptr;
};
// Installs the hooks (all null: a MOUSE node sets no cursor and sees no
// button held); returns the previous ones.
LayerPointerHooks SetLayerPointerHooks(const LayerPointerHooks& hooks);

class XGLayer : public GUIComposite, public AUtil, public XGLayerConstants, public XGLayerCommon {
 public:
  enum Mode : int32_t { kPicture = 1, kVram = 2, kMouse = 3, kGroup = 10 };
  enum Which : int32_t { kMain = 1, kMask = 2 };
  enum TransitionState : int32_t { kShown = 1, kRunning = 2 };
  // Item event types of MOUSE nodes.
  enum ItemEvent : int32_t { kHoverEvent = 1, kClickEvent = 2, kPressEvent = 3, kReleaseEvent = 4, kMoveEvent = 5 };

  // Covers (0, 0, width, height), visible, no pictures.
  XGLayer(int32_t handle, int32_t mode, int32_t order, int32_t width, int32_t height);
  // Logs "XGLayer---------delete---------(%p)\n" and gives back the pointer
  // slot it owns.
  ~XGLayer() override;

  int32_t handle() const { return handle_; }
  int32_t mode() const { return mode_; }
  int32_t order() const { return order_; }
  void setOrder(int32_t order) { order_ = order; }
  bool isGroup() const { return mode_ == kGroup; }

  // --- drawing ---
  // Hidden or without a main picture: nothing; in transition: the
  // transition; else the main picture (or the offscreen picture of a group),
  // then a group's children when drawn directly.
  void paint(int32_t mode) override;
  // Transformed, offscreen or in transition: where a node paints is not
  // told, so its changes draw the whole screen.
  bool paintExtent(ScreenArea*) override { return false; }
  bool placesChildrenPlainly() const override { return false; }
  // Children first; a tinted or masked group renders its children into its
  // offscreen texture; a running rule transition refreshes its rule.
  bool prepareDraw(int32_t arg) override;

  // Composition 1 draws with normal blending, others additively; a group
  // keeps 1.
  void setComposition(int32_t op);
  int32_t composition() const { return composition_; }
  void setMaskOp(int32_t op) { maskOp_ = op; }
  int32_t maskOp() const { return maskOp_; }
  // Main (1) or mask (2) picture; null removes it. A stream animation
  // plays from its start on the next tick.
  void setPicture(int32_t which, LayerPictureRef picture);
  const LayerPictureRef& picture(int32_t which) const { return which == kMask ? mask_.picture : main_.picture; }
  // Stream-animation control: 2 stops, 3 plays from the start, any other
  // value plays on from where the animation stands; applied on the next
  // tick.
  void sa_ctrl(int32_t which, int32_t ctrl);
  void setLoopFlag(int32_t which, bool on);
  bool loopFlag(int32_t which) const;
  // The current frame of a stream-animation picture (0 for images).
  int32_t currentFrame(int32_t which) const;

  // --- placement and animation ---
  // Kind 0, or a duration below 1: the record's state at once. Kind 201
  // moves from the current state to the record's over the duration, eased
  // by the parameter (1 ease-out, 2 ease-in, else linear), and ends there;
  // any other kind holds the current state and returns to it.
  void startMotion(int32_t kind, int32_t duration, int32_t parameter, const MotionParams& record);
  // Kind 101 shakes the main picture in keypad direction values[0] by
  // values[1] pixels; 100 and other kinds hold the state. Nothing for kind 0
  // or a duration below 1.
  void startEffect(int32_t kind, int32_t duration, int32_t parameter, const int32_t values[8]);
  // Kind 201 ends at its target, every other kind at its start state.
  void stopAnimator();
  bool isAnimating() const { return animKind_ != 0; }
  const MotionParams& record() const { return record_; }
  const LayerDrawState& drawState() const { return state_; }
  // The extent of a picture of that size under the record in this node.
  GDevRect placementExtent(int32_t pictureWidth, int32_t pictureHeight, const MotionParams& record) const;

  // --- transitions ---
  // Keeps the flattened look as the before (-2) or after (-3) image, or
  // returns it (-4: *out, after finishing a running transition). Logs
  // "XGLayer::fold_all(%p)\n".
  bool fold_all(int32_t target, RGBAImageRef* out);
  // Kinds 10 cross-fade, 11 after image in then before image out, 12 through
  // the rule picture, 20-24 moving; 13 and unknown kinds change at once. The
  // start time is taken on the next tick; a duration below 1 finishes at
  // the next tick.
  int32_t startTransition(int32_t kind, int32_t duration, int32_t parameter, LayerPictureRef rule,
                          const int32_t values[8]);
  // Back to shown; the images are released.
  void finishTransition();
  int32_t transitionState() const { return transitionState_; }
  int32_t transitionKind() const { return transitionKind_; }

  // --- VRAM (mode 2) ---
  // The node's picture, made blank at the node's size on first use; with an
  // image given the node takes that image instead.
  void vramRecordOp(RGBAImageRef* image);
  // Makes the picture when missing and uploads its pixels again.
  void vramNodeOp();
  // Puts the image's pixels at (0, 0), clipped, and uploads them.
  void vramPut(const RGBAImageRef& image);

  // --- MOUSE (mode 3) ---
  bool hitTestPrecise(int32_t x, int32_t y) override;
  void onHover(const MouseEvent& event, bool entered) override;
  bool onMouseButton(const MouseEvent& event, bool pressed) override;
  void onMouseMove(const MouseEvent& event) override;
  // The map of a touch-map configuration (null: none); the area cursors
  // are forgotten and the owned pointer slot given back.
  void setHitTestMap(const XGChipConfig::TouchmapConfig* config);
  // The cursor file of an area (empty erases it); area < 0: every area's.
  void setAreaCursor(int32_t area, std::u16string_view file);
  // Types 1..5 store n (0 or less: none); false for any other type, with a
  // WARN line.
  bool hitTest_setItemEventNumber(int32_t type, int32_t number);
  // Auto-move of an area: ctrl 2 counts the pointer's travel in units of
  // `unit` pixels while `cond` holds; current >= 0 sets the count. An area
  // record drops the record for every area (-1); area < 0 is that record,
  // and drops every other.
  void setAutoMove(int32_t area, int32_t ctrl, int32_t cond, int32_t unit, int32_t current);
  void clearAutoMoves() { autoMoves_.clear(); }
  // False when the area has no record.
  bool getAutoMoveCount(int32_t area, int32_t* count) const;
  void getLastMousePosition(int32_t* x, int32_t* y) const;
  int32_t currentArea() const { return currentArea_; }

  // --- time ---
  // Moves animations, stream animations and transitions to `now`
  // (milliseconds of the timer manager's clock), children first. True
  // while anything of this node or below still runs.
  bool advance(int64_t now);

 private:
  struct PictureSlot {
    LayerPictureRef picture;
    StreamAnimePlayer player;
    int32_t pendingCtrl = 0;  // 0 none, else the control to apply
    int64_t pendingPosition = 0;
    ZEPTexture* texture() const;
  };
  struct AutoMove {
    int32_t ctrl = 1;
    int32_t cond = 1;
    int32_t unit = 1;
    int32_t counter = 0;
    float distance = 0.0f;
  };

  PictureSlot& slot(int32_t which) { return which == kMask ? mask_ : main_; }
  const PictureSlot& slot(int32_t which) const { return which == kMask ? mask_ : main_; }
  // The state the record gives with the current pictures.
  LayerDrawState placeRecord(const MotionParams& record) const;
  // The animator runs from the current state towards the target, from the
  // next tick on.
  void beginAnimation(int32_t kind, int32_t duration, int32_t parameter, const LayerDrawState& target);
  bool drawnOffscreen() const;
  void drawPicture(ZEPTexture* texture, bool premultiplied);
  void drawTransition();
  void advancePictures(int64_t now);
  void advanceAnimator(int64_t now);
  void advanceTransition(int64_t now);
  void refreshRule();
  bool renderInto(ZEPTextureRef* texture, RGBAImageRef* captured);
  // MOUSE helpers (xg_layer_mouse.cpp).
  void post(int64_t number) const;
  void enterArea(int32_t area);
  void countTravel(int32_t x, int32_t y);
  // Gives back the pointer slot when this node owns it.
  void releaseCursor();

  int32_t handle_;
  int32_t mode_;
  int32_t order_;
  int32_t composition_ = 1;
  int32_t maskOp_ = 1;
  PictureSlot main_;
  PictureSlot mask_;
  MotionParams record_;
  LayerDrawState state_;
  ZEPTextureRef vram_;
  ZEPTextureRef offscreen_;
  bool paintChildrenOnly_ = false;  // set while the offscreen picture is rendered

  // Animator.
  int32_t animKind_ = 0;
  int32_t animDuration_ = 0;
  int32_t animParameter_ = 0;
  bool animStartPending_ = false;
  int64_t animStart_ = 0;
  LayerDrawState animFrom_;
  LayerDrawState animTo_;
  int32_t shakeX_ = 0;
  int32_t shakeY_ = 0;
  int32_t nextShakeTime_ = 0;
  bool shakeNegative_ = true;

  // Transition.
  int32_t transitionState_ = kShown;
  int32_t transitionKind_ = 0;
  int32_t transitionDuration_ = 0;
  int32_t transitionParameter_ = 0;
  bool transitionStartPending_ = false;
  int64_t transitionStart_ = 0;
  float transitionT_ = 0.0f;
  int32_t transitionValues_[8] = {};
  ZEPTextureRef before_;
  ZEPTextureRef after_;
  PictureSlot rule_;
  ZEPTextureRef ruleAlpha_;

  // MOUSE.
  std::unique_ptr<HitTestMap> map_;
  std::map<int32_t, std::u16string> areaCursors_;
  int32_t itemEvents_[6] = {};
  int32_t currentArea_ = -1;  // the area under the pointer
  int32_t areaOffset_ = -1;   // the area posted numbers add
  int32_t hitArea_ = -1;      // the area the last hit test found
  std::map<int32_t, AutoMove> autoMoves_;
  int32_t lastX_ = 0;
  int32_t lastY_ = 0;
  bool ownsCursor_ = false;
};
