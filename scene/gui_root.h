// MyGUIRoot: the root of the component tree. It covers the whole screen,
// holds the game's screen objects as fixed children in drawing order (one
// slot each), the modal layer that takes every mouse event while set, and
// an optional pointer-shaped extra child; as the default key listener and
// the last stop of bubbling mouse events it turns input into application
// events. Made and used by the scene on the main thread.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "scene/gui_component.h"
#include "scene/my_timer.h"

class SceneImpl;
class XGBase;

class MyGUIRoot : public GUIComposite {
 public:
  // The fixed children, first drawn first.
  enum Slot : int32_t {
    kSlotBG,         // background
    kSlotLayer,      // script layers
    kSlotFG,         // foreground cells
    kSlotPartsA,     // parts layer A
    kSlotFader1,
    kSlotInfoLine0,  // five information lines, 0..4
    kSlotInfoLine4 = kSlotInfoLine0 + 4,
    kSlotPartsB,     // parts layer B
    kSlotFader2,
    kSlotMsg,        // message layer
    kSlotSelect0,    // choice layers
    kSlotSelect1,
    kSlotMenu,       // menu layer
    kSlotCount
  };
  static constexpr int32_t kInfoLineCount = 5;

  // A root of the screen size whose slots hold empty stand-in panels of the
  // screen's size (the message and choice layers hidden) and, in the five
  // information-line slots, empty text lines at x 5, y 40 + 26 k; its
  // keep-alive timer (1 s, looping) runs.
  MyGUIRoot(SceneImpl* scene, int32_t width, int32_t height);
  ~MyGUIRoot() override;

  SceneImpl* scene() const { return scene_; }

  // What is in a slot: the screen object's component, or its stand-in.
  GUIComponent* fixedChild(Slot slot) const;
  // Puts a screen object's component in its slot, in the stand-in's (or the
  // previous object's) place in the drawing order; that one is deleted. The
  // caller places and shows the component. False for a bad slot, a null
  // component or one that already is a child of the root (nothing changes).
  bool installFixedChild(Slot slot, GUIComponent* component);

  // The texts kept beside the information lines.
  std::array<std::u16string, kInfoLineCount>& infoTexts() { return infoTexts_; }

  // --- modal layer ---
  XGBase* modalLayer() const { return modal_; }
  // The modal layer's component (null without a modal layer).
  GUIComponent* modalComponent() const { return modalComponent_; }
  // The root holding the layer's component as a child: on makes the layer
  // its modal layer; off clears the modal layer only when it is this layer.
  // Nothing happens when the layer is not a child of a root.
  static void setModalLayer(XGBase* layer, bool on);

  // --- extra (pointer-shaped) child ---
  GUIComponent* extraChild() const { return extra_; }
  // The root takes the component as its topmost child (closing any extra
  // child it had). Null closes the current one.
  void setExtraChild(GUIComponent* component);
  // Deletes the extra child when there is one; sets GUIChangedFlag in any
  // case. The name is not consulted.
  void closeExtraChild(std::u16string_view name);
  // Shows (or hides) the extra child and moves it towards (x, y):
  //  -1 no extra child, or hidden and moved;
  //   2 shown and moved, it was inside the inner screen rectangle;
  //   1 shown and moved into the inner rectangle from outside it;
  //   3 shown and left where it was (the new point is outside too).
  int32_t placePointer(bool show, int32_t x, int32_t y);

  // The root takes every point of the screen.
  bool hitTestPrecise(int32_t x, int32_t y) override;
  // Queues every key event but Ctrl's; Return or Numpad 5 down raises
  // "proceed", Space up "cancel" (each when enabled).
  void onKey(const KeyEvent& event, bool pressed) override;
  // Queues the event; the left button captures the mouse while down; left
  // down raises "proceed", right up "cancel" (each when enabled).
  bool onMouseButton(const MouseEvent& event, bool pressed) override;
  // Queues the event; toward the user raises "proceed", away "wheel away".
  bool onMouseWheel(const MouseEvent& event) override;

 protected:
  void onChildRemoved(GUIComponent* child) override;

 private:
  SceneImpl* scene_;
  std::array<GUIComponent*, kSlotCount> fixed_{};
  std::array<std::u16string, kInfoLineCount> infoTexts_;
  XGBase* modal_ = nullptr;
  GUIComponent* modalComponent_ = nullptr;
  GUIComponent* extra_ = nullptr;
  MyTimer<MyGUIRoot> timer_;
};
