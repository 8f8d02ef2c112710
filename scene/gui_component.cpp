// The component tree: painting through the device's matrix stack, hit
// testing from the topmost child down, input dispatch and the child list.
// Main thread.
#include "scene/gui_component.h"

#include <algorithm>

#include "app/event.h"
#include "app/input_target.h"
#include "app/saturate.h"
#include "app/screen_flags.h"
#include "gdev/gdev_factory.h"

namespace {

GUIComponent* g_screenRoot = nullptr;

enum class Place { kUnseen, kUntold, kShown };

// Where the component's (0, 0) lies on the screen: the positions of it and
// its ancestors below the root (the frame step paints the root untranslated).
Place ScreenOrigin(const GUIComponent* c, int64_t* x, int64_t* y) {
  *x = 0;
  *y = 0;
  if (!g_screenRoot) return Place::kUnseen;
  bool told = true;
  for (const GUIComponent* p = c; p; p = p->parent()) {
    if (!p->isVisible()) return Place::kUnseen;
    if (p == g_screenRoot) return told ? Place::kShown : Place::kUntold;
    *x += p->x();
    *y += p->y();
    if (p->parent() && !p->parent()->placesChildrenPlainly()) told = false;
  }
  return Place::kUnseen;
}

int32_t Clamp32(int64_t v) { return SaturateToInt32(v); }

ScreenArea Offset(const ScreenArea& a, int64_t x, int64_t y) {
  if (a.empty()) return a;
  return ScreenArea{Clamp32(a.x0 + x), Clamp32(a.y0 + y), Clamp32(a.x1 + x), Clamp32(a.y1 + y)};
}

// Adds where c and its visible descendants paint, c's (0, 0) at (x, y) on
// the screen; false when some of it cannot be told.
bool AddPainted(GUIComponent* c, int64_t x, int64_t y, ScreenArea* out) {
  ScreenArea own;
  if (!c->paintExtent(&own)) return false;
  *out = UnionOf(*out, Offset(own, x, y));
  const auto* composite = dynamic_cast<const GUIComposite*>(c);
  if (!composite) return true;
  for (GUIComponent* child : composite->children()) {
    if (!child->isVisible()) continue;
    if (!composite->placesChildrenPlainly()) return false;
    if (!AddPainted(child, x + child->x(), y + child->y(), out)) return false;
  }
  return true;
}

// Whether c's own painting could change a pixel the screen clip keeps:
// false only where its extent is known and lies wholly outside the clip (a
// frame drawn in parts walks the whole tree; what lies elsewhere is left
// out before any of its drawing reaches the device).
bool PaintsInsideClip(GUIComponent* c, const GDev* device) {
  ScreenArea area;
  if (!device || !c->paintExtent(&area) || area.empty()) return true;
  return !device->outsideScreenClip(GDevRectF{static_cast<float>(area.x0), static_cast<float>(area.y0),
                                              static_cast<float>(area.x1), static_cast<float>(area.y1)});
}

}  // namespace

void SetScreenRoot(GUIComponent* root) { g_screenRoot = root; }

GUIComponent* GetScreenRoot() { return g_screenRoot; }

// --- GUIComponent ---

GUIComponent::~GUIComponent() {
  if (parent_) {
    // What it painted can no longer be asked of it.
    if (isShownOnScreen()) MarkScreenChanged();
    parent_->detachChild(this);
  }
  if (g_screenRoot == this) g_screenRoot = nullptr;
  ForgetInputTarget(this);
}

bool GUIComponent::paintExtent(ScreenArea* area) {
  *area = ScreenArea{};
  return !isDrawable();
}

bool GUIComponent::extentIsOwnRect(ScreenArea* area) {
  *area = isDrawable() ? ScreenArea{0, 0, width_, height_} : ScreenArea{};
  return true;
}

bool GUIComponent::isShownOnScreen() const {
  int64_t x = 0, y = 0;
  return ScreenOrigin(this, &x, &y) != Place::kUnseen;
}

void GUIComponent::markPainted() {
  int64_t x = 0, y = 0;
  const Place place = ScreenOrigin(this, &x, &y);
  if (place == Place::kUnseen) return;
  ScreenArea area;
  if (place == Place::kUntold || !AddPainted(this, x, y, &area)) {
    MarkScreenChanged();
    return;
  }
  MarkScreenArea(area);
}

void GUIComponent::markOwnPaint() {
  int64_t x = 0, y = 0;
  const Place place = ScreenOrigin(this, &x, &y);
  if (place == Place::kUnseen) return;
  ScreenArea own;
  if (place == Place::kUntold || !paintExtent(&own)) {
    MarkScreenChanged();
    return;
  }
  MarkScreenArea(Offset(own, x, y));
}

void GUIComponent::markWholeScreen() {
  if (isShownOnScreen()) MarkScreenChanged();
}

void GUIComponent::markLocal(const ScreenArea& local) {
  int64_t x = 0, y = 0;
  const Place place = ScreenOrigin(this, &x, &y);
  if (place == Place::kUnseen) return;
  if (place == Place::kUntold) {
    MarkScreenChanged();
    return;
  }
  MarkScreenArea(Offset(local, x, y));
}

void GUIComponent::paint(int32_t) {
  if (visible_ && isDrawable() && PaintsInsideClip(this, GDevFactory::device)) {
    draw();
    drawAfter();
  }
}

GUIComponent* GUIComponent::componentAt(int32_t x, int32_t y) { return contains(x, y) ? this : nullptr; }

GUIComponent* GUIComponent::componentAtPrecise(int32_t x, int32_t y) {
  return contains(x, y) && hitTestPrecise(x, y) ? this : nullptr;
}

bool GUIComponent::prepareDraw(int32_t) { return true; }

bool GUIComponent::hitTestPrecise(int32_t, int32_t) { return false; }

void GUIComponent::dispatchKey(const KeyEvent& event) {
  if (event.action == KeyEvent::kUp) {
    onKey(event, false);
  } else if (event.action == KeyEvent::kDown) {
    onKey(event, true);
  }
}

bool GUIComponent::dispatchMouse(const MouseEvent& event) {
  switch (event.action) {
    case MouseEvent::kRelease:
      return onMouseButton(event, false);
    case MouseEvent::kPress:
      return onMouseButton(event, true);
    case MouseEvent::kMove:
      onMouseMove(event);
      return true;
    case MouseEvent::kWheel:
      return onMouseWheel(event);
    case 0x8000:
      return true;
    default:
      return false;
  }
}

void GUIComponent::onHover(const MouseEvent&, bool) {}
void GUIComponent::onKey(const KeyEvent&, bool) {}
bool GUIComponent::onMouseButton(const MouseEvent&, bool) { return false; }
bool GUIComponent::onMouseWheel(const MouseEvent&) { return false; }
void GUIComponent::onMouseMove(const MouseEvent&) {}

void GUIComponent::setVisible(bool visible) {
  if (visible_ == visible) return;
  if (!visible) markPainted();
  visible_ = visible;
  if (visible) markPainted();
}

void GUIComponent::setPosition(int32_t x, int32_t y) {
  if (x_ == x && y_ == y) return;
  markPainted();
  x_ = x;
  y_ = y;
  markPainted();
}

void GUIComponent::setSize(int32_t width, int32_t height) {
  if (width_ == width && height_ == height) return;
  markPainted();
  width_ = width;
  height_ = height;
  markPainted();
}

void GUIComponent::setBounds(int32_t x, int32_t y, int32_t width, int32_t height) {
  setPosition(x, y);
  setSize(width, height);
}

bool GUIComponent::contains(int32_t x, int32_t y) const { return x >= 0 && x < width_ && y >= 0 && y < height_; }

void GUIComponent::toLocal(int32_t* x, int32_t* y) const {
  int64_t lx = *x;
  int64_t ly = *y;
  for (const GUIComponent* c = this; c; c = c->parent_) {
    lx -= c->x_;
    ly -= c->y_;
  }
  *x = SaturateToInt32(lx);
  *y = SaturateToInt32(ly);
}

void GUIComponent::toGlobal(int32_t* x, int32_t* y) const {
  int64_t gx = *x;
  int64_t gy = *y;
  for (const GUIComponent* c = this; c; c = c->parent_) {
    gx += c->x_;
    gy += c->y_;
  }
  *x = SaturateToInt32(gx);
  *y = SaturateToInt32(gy);
}

// --- GUIComposite ---

GUIComposite::~GUIComposite() {
  if (!children_.empty() && isShownOnScreen()) MarkScreenChanged();
  // A child's destructor must not find itself in the list being walked.
  std::vector<GUIComponent*> children;
  children.swap(children_);
  for (GUIComponent* child : children) {
    child->parent_ = nullptr;
    delete child;
  }
}

bool GUIComposite::overlaps(const GUIComponent& child) const {
  const int64_t cx = child.x_;
  const int64_t cy = child.y_;
  return cx < width() && cx + child.width_ >= 0 && cy < height() && cy + child.height_ >= 0;
}

void GUIComposite::paint(int32_t) {
  GDev* device = GDevFactory::device;
  if (isVisible() && isDrawable() && PaintsInsideClip(this, device)) {
    draw();
    drawAfter();
  }
  // Indexed: a child's paint may not add or remove siblings, but if one does
  // the walk stays inside the list.
  for (size_t i = 0; i < children_.size(); ++i) {
    GUIComponent* child = children_[i];
    if (!child->visible_ || !overlaps(*child)) continue;
    if (device) {
      device->pushMatrix();
      device->translate(static_cast<float>(child->x_), static_cast<float>(child->y_), 0.0f);
    }
    child->paint(0);
    if (device) device->popMatrix();
  }
}

GUIComponent* GUIComposite::findAt(int32_t x, int32_t y, bool precise) {
  for (size_t i = children_.size(); i-- > 0;) {
    if (i >= children_.size()) continue;
    GUIComponent* child = children_[i];
    if (!child->visible_ || !overlaps(*child)) continue;
    const int32_t cx = SaturateToInt32(static_cast<int64_t>(x) - child->x_);
    const int32_t cy = SaturateToInt32(static_cast<int64_t>(y) - child->y_);
    GUIComponent* hit = precise ? child->componentAtPrecise(cx, cy) : child->componentAt(cx, cy);
    if (hit) return hit;
  }
  if (!contains(x, y)) return nullptr;
  return hitTestPrecise(x, y) ? this : nullptr;
}

GUIComponent* GUIComposite::componentAt(int32_t x, int32_t y) { return findAt(x, y, false); }

GUIComponent* GUIComposite::componentAtPrecise(int32_t x, int32_t y) { return findAt(x, y, true); }

bool GUIComposite::prepareDraw(int32_t arg) {
  for (size_t i = children_.size(); i-- > 0;) {
    if (i >= children_.size()) continue;
    GUIComponent* child = children_[i];
    if (child->visible_ && !child->prepareDraw(arg)) return false;
  }
  return true;
}

// A child that is already in the list, or refused, changes nothing.
void GUIComposite::addChild(GUIComponent* child) {
  if (!child || child == this) return;
  if (std::find(children_.begin(), children_.end(), child) != children_.end()) return;
  // A child in two lists would be deleted twice.
  if (child->parent_) child->parent_->removeChild(child);
  children_.push_back(child);
  child->parent_ = this;
  child->markPainted();
}

void GUIComposite::insertChild(size_t index, GUIComponent* child) {
  if (!child || child == this) return;
  if (std::find(children_.begin(), children_.end(), child) != children_.end()) return;
  if (child->parent_) child->parent_->removeChild(child);
  children_.insert(children_.begin() + static_cast<std::ptrdiff_t>(std::min(index, children_.size())), child);
  child->parent_ = this;
  child->markPainted();
}

// Only the raised child's pixels can change.
void GUIComposite::raiseChild(GUIComponent* child) {
  if (!child || child->parent_ != this) return;
  std::erase(children_, child);
  children_.push_back(child);
  child->markPainted();
}

void GUIComposite::removeChild(GUIComponent* child) {
  if (!child) return;
  if (child->parent_ == this) child->markPainted();
  const bool wasChild = std::erase(children_, child) > 0;
  if (child->parent_ == this) child->parent_ = nullptr;
  if (wasChild) onChildRemoved(child);
}

bool GUIComposite::replaceChild(GUIComponent* old, GUIComponent* replacement) {
  if (!old || !replacement || replacement == this) return false;
  auto it = std::find(children_.begin(), children_.end(), old);
  if (it == children_.end()) return false;
  if (replacement->parent_) replacement->parent_->removeChild(replacement);
  old->markPainted();
  it = std::find(children_.begin(), children_.end(), old);
  *it = replacement;
  replacement->parent_ = this;
  old->parent_ = nullptr;
  replacement->markPainted();
  onChildRemoved(old);
  delete old;
  return true;
}

void GUIComposite::onChildRemoved(GUIComponent*) {}

void GUIComposite::detachChild(GUIComponent* child) {
  std::erase(children_, child);
  child->parent_ = nullptr;
  onChildRemoved(child);
}
