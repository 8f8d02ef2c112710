// XG_FG: the foreground layer of numbered cells (character pictures), each
// placed by an anchor code, stacked by z-order, with its own opacity and its
// own timed changes (cross-fade, two-phase fade, slide, push) and moves.
// Cells are children of the layer, drawn in ascending z-order and, at equal
// z-order, in creation order. Main thread.
#pragma once

#include <cstdint>
#include <map>
#include <string_view>
#include <vector>

#include "gdev/zep_texture.h"
#include "scene/gui_component.h"
#include "scene/my_timer.h"
#include "scene/plane_state.h"
#include "scene/xg_base.h"

class XG_FG : public XGBase, public GUIComposite, public AUtil {
 public:
  // Where a cell sits and what of its picture it shows, as scripts give it.
  struct Placement {
    int32_t anchor = 0;  // anchor code: anchors, origins and size modes
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;   // negative: mirrored left to right
    int32_t height = 0;  // negative: mirrored top to bottom
    int32_t sourceX = -1;  // below 0: the whole picture
    int32_t sourceY = 0;
    int32_t sourceWidth = 0;
    int32_t sourceHeight = 0;
  };

  class FGCell : public GUIComponent {
   public:
    enum Kind : int32_t {
      kNone = 0,
      kCrossFade = 10,
      kTwoPhaseFade = 11,
      kSlideIn = 20,
      kPush = 21,
      kFadeOutIn = 100,  // accepted, not animated
      kShake = 101,      // accepted, not animated
      kMove = 201,
    };

    // Covers the whole layer; no pictures, opacity 255, z-order 0.
    FGCell(XG_FG* owner, int32_t number);
    // Leaves the owner's number map and creation-order list.
    ~FGCell() override;

    bool isDrawable() override { return true; }
    // Planes with a picture in draw-mode order, at the cell's opacity.
    void draw() override;

    // A picture change (kinds 0, 10, 11, 20, 21; others and a duration below
    // 1 at once) to the placement, opacity and z-order.
    void changePicture(int32_t kind, std::u16string_view picture, const Placement& placement, int32_t opacity,
                       int32_t zOrder, int32_t duration, int32_t direction, int32_t easing, bool fade,
                       int32_t distance);
    // Kind 201 moves to the placement over the duration; anything else at
    // once.
    void startMove(int32_t kind, const Placement& placement, int32_t opacity, int32_t zOrder, int32_t duration,
                   int32_t ignored, int32_t easing, int32_t ignored2, int32_t ignored3);
    // Kinds 100 and 101 only log that they are not implemented.
    void cell_effect(int32_t kind, int32_t duration, int32_t p1, int32_t easing, int32_t p3, int32_t p4);
    // Ends the running effect at once, in its final state.
    void finishEffect();

    // The plane state of a placement on the layer (anchor, sizes in 64-bit
    // arithmetic, the rectangle held to the 32-bit range, mirroring).
    PlaneState place(const Placement& placement, const ZEPTexture* picture) const;

    int32_t number() const { return number_; }
    int32_t zOrder() const { return zOrder_; }
    int32_t opacity() const { return opacity_; }
    int32_t kind() const { return kind_; }
    int32_t drawMode() const { return drawMode_; }
    const PlaneState& planeA() const { return planeA_; }
    const PlaneState& planeB() const { return planeB_; }
    const ZEPTextureRef& pictureA() const { return pictureA_; }
    const ZEPTextureRef& pictureB() const { return pictureB_; }
    bool isRunning() const { return timer_.isRunning(); }

   private:
    friend class XG_FG;

    void tick(float t);
    void startTimed(int32_t opacity);
    void drawPlane(const PlaneState& plane, const ZEPTextureRef& picture);
    // Stores the z-order and has the layer re-sort its children.
    void setZOrder(int32_t zOrder);

    XG_FG* owner_;  // null once the cell has left the layer
    int32_t number_;
    int32_t zOrder_ = 0;
    int32_t opacity_ = 255;
    int32_t drawMode_ = 1;
    ZEPTextureRef pictureA_;
    ZEPTextureRef pictureB_;
    PlaneState planeA_;
    PlaneState planeB_;
    PlaneState target_;
    PlaneState aStart_;
    PlaneState aEnd_;
    PlaneState bStart_;
    PlaneState bEnd_;
    int32_t opacityFrom_ = 255;
    int32_t opacityTo_ = 255;
    int32_t kind_ = kNone;
    int32_t duration_ = 0;
    int32_t easing_ = 0;
    MyTimer<FGCell> timer_{this, &FGCell::tick};
  };

  // Covers (0, 0, width, height), without cells.
  XG_FG(int32_t width, int32_t height);
  ~XG_FG() override;

  GUIComponent* getComponent() override { return this; }

  // The cell, or null; with create a missing cell is made (on top of its
  // z-order) and the layer re-sorts.
  FGCell* getCell(int32_t number, bool create);
  void removeCell(int32_t number);
  void removeAllCells();
  void finishCellEffect(int32_t number);
  // Children in ascending z-order, stable over creation order.
  void sortCells();

  const std::map<int32_t, FGCell*>& cells() const { return cellMap_; }

 protected:
  void onChildRemoved(GUIComponent* child) override;

 private:
  // Drops the cell from the map and the order list.
  void forget(const FGCell* cell);

  std::vector<FGCell*> order_;  // creation order
  std::map<int32_t, FGCell*> cellMap_;
};
