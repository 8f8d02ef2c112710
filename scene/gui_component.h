// The component tree everything on screen lives in: GUIComponent (a
// rectangle with a parent, painting, hit testing and input hooks),
// GUIComposite (an owning, ordered child list painted bottom to top through
// the device's matrix stack) and the plain container Panel. Every change of
// the tree or of what a component shows marks where it lies on the screen
// (GUIChangedFlag and the changed areas); a change nobody sees (a hidden
// component, one off the screen's tree) marks nothing. Main thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "app/screen_flags.h"

class GUIComposite;
class KeyEvent;
class MouseEvent;

class GUIComponent {
 public:
  GUIComponent() = default;
  // Leaves the parent's list (setting GUIChangedFlag) and every input-target
  // slot that points here.
  virtual ~GUIComponent();
  GUIComponent(const GUIComponent&) = delete;
  GUIComponent& operator=(const GUIComponent&) = delete;

  // Draws the component (draw, then drawAfter) when visible and drawable,
  // in its own coordinates: the caller has translated the device to its
  // top-left corner. The mode is 0 throughout the engine.
  virtual void paint(int32_t mode);
  // The component under (x, y) in this component's coordinates, or null:
  // componentAt takes every point of the rectangle, componentAtPrecise only
  // those hitTestPrecise accepts.
  virtual GUIComponent* componentAt(int32_t x, int32_t y);
  virtual GUIComponent* componentAtPrecise(int32_t x, int32_t y);
  // Readies what the next paint needs; false when it is not ready.
  virtual bool prepareDraw(int32_t arg);
  virtual bool isDrawable() { return false; }
  virtual void draw() {}
  virtual void drawAfter() {}
  virtual bool hitTestPrecise(int32_t x, int32_t y);
  // Where painting the component itself (draw and drawAfter, not its
  // children) may change pixels now, in its own coordinates; empty when it
  // draws nothing now. False when that cannot be told: a change of it then
  // draws the whole screen again. The default: nothing when not drawable,
  // else not told.
  virtual bool paintExtent(ScreenArea* area);

  // Key down calls onKey(event, true), key up onKey(event, false).
  virtual void dispatchKey(const KeyEvent& event);
  // Button events go to onMouseButton, moves to onMouseMove (handled),
  // the wheel to onMouseWheel; true when the component handled the event.
  virtual bool dispatchMouse(const MouseEvent& event);
  // The pointer entered (true) or left (false) the component.
  virtual void onHover(const MouseEvent& event, bool entered);
  virtual void onKey(const KeyEvent& event, bool pressed);
  virtual bool onMouseButton(const MouseEvent& event, bool pressed);
  virtual bool onMouseWheel(const MouseEvent& event);
  virtual void onMouseMove(const MouseEvent& event);

  GUIComposite* parent() const { return parent_; }
  // Position of the top-left corner in the parent's coordinates, in pixels.
  int32_t x() const { return x_; }
  int32_t y() const { return y_; }
  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  bool isVisible() const { return visible_; }

  // Each marks the component's old and new places when the value changes.
  void setVisible(bool visible);
  void setPosition(int32_t x, int32_t y);
  void setSize(int32_t width, int32_t height);
  void setBounds(int32_t x, int32_t y, int32_t width, int32_t height);

  // 0 <= x < width and 0 <= y < height.
  bool contains(int32_t x, int32_t y) const;
  // Screen (root) coordinates to this component's and back: the positions
  // of the component and of every ancestor are taken off or added on.
  void toLocal(int32_t* x, int32_t* y) const;
  void toGlobal(int32_t* x, int32_t* y) const;

  // The screen is to be drawn again where the component and its shown
  // descendants paint now (markPainted), where it paints itself
  // (markOwnPaint), or over a rectangle of its own coordinates (markLocal):
  // nothing while it is not shown on the screen (it or an ancestor hidden,
  // or not under the screen root), the whole screen where its place cannot
  // be told. Call before a change for what it leaves, after it for what it
  // brings.
  void markPainted();
  void markOwnPaint();
  void markLocal(const ScreenArea& local);
  // The whole screen, unless the component is not shown on it (a change
  // whose extent is not worked out).
  void markWholeScreen();
  // Whether it and every ancestor up to the screen root are visible.
  bool isShownOnScreen() const;

 protected:
  // paintExtent of a component that draws inside its own rectangle.
  bool extentIsOwnRect(ScreenArea* area);

 private:
  friend class GUIComposite;

  GUIComposite* parent_ = nullptr;
  int32_t x_ = 0;
  int32_t y_ = 0;
  int32_t width_ = 0;
  int32_t height_ = 0;
  bool visible_ = true;
};

class GUIComposite : public GUIComponent {
 public:
  GUIComposite() = default;
  // Deletes every child, first to last.
  ~GUIComposite() override;

  // Itself (when visible and drawable), then every visible child that
  // overlaps it, first to last, each translated to its position.
  void paint(int32_t mode) override;
  // The children, topmost first, then the composite itself where
  // hitTestPrecise accepts the point.
  GUIComponent* componentAt(int32_t x, int32_t y) override;
  GUIComponent* componentAtPrecise(int32_t x, int32_t y) override;
  // Every visible child, topmost first; false at the first false.
  bool prepareDraw(int32_t arg) override;

  // The composite takes ownership and the child becomes the topmost; a
  // child already in the list stays where it is, and a child of another
  // composite leaves that one first. Null and the composite itself are
  // refused.
  void addChild(GUIComponent* child);
  // Moves a child of this composite to the top; others are left alone.
  void raiseChild(GUIComponent* child);
  // Takes the child out of the list; the caller owns it again.
  void removeChild(GUIComponent* child);

  // First drawn first; the last is the topmost.
  const std::vector<GUIComponent*>& children() const { return children_; }

  // False for a composite that paints its children elsewhere than at their
  // positions (transformed): where they lie on the screen cannot be told.
  virtual bool placesChildrenPlainly() const { return true; }

 protected:
  // Inserts a child (taking ownership) before the one at index, or last when
  // index is past the end; a child of another composite leaves that first.
  void insertChild(size_t index, GUIComponent* child);
  // Puts replacement (not null) in old's place in the list and
  // deletes old. False when old is not a child of this composite.
  bool replaceChild(GUIComponent* old, GUIComponent* replacement);
  // Called after a child left the list, by removeChild or by its own
  // destruction, so a composite that keeps pointers to children can let go.
  virtual void onChildRemoved(GUIComponent* child);

  // Whether a child placed in the composite lies at least partly on it
  // (a right or bottom edge exactly on 0 still counts).
  bool overlaps(const GUIComponent& child) const;

 private:
  friend class GUIComponent;

  void detachChild(GUIComponent* child);
  GUIComponent* findAt(int32_t x, int32_t y, bool precise);

  std::vector<GUIComponent*> children_;
};

// The component the screen shows (the GUI root): changes under it mark the
// screen. The root sets itself; null: none.
void SetScreenRoot(GUIComponent* root);
GUIComponent* GetScreenRoot();

// A container with every composite default: draws nothing of its own and is
// never a hit itself.
class Panel : public GUIComposite {};
