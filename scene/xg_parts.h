// XG_Parts: a parts layer — numbered chips that scripts make from part
// configurations, then place, show, restyle and remove by number, drawn in
// ascending z-order (at equal z-order the later-added part lies above).
// The screen has two: A below fader 1, B above the information lines. A
// modal layer would take every point of its area and every click reaching
// it and turn a released Escape into AppEvent 18; the screen's layers are
// made non-modal. Operations on a number without a part do nothing.
// Main thread.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string_view>
#include <vector>

#include "app/chip_config.h"
#include "gdev/gdev.h"
#include "scene/gui_component.h"
#include "scene/line_layout.h"
#include "scene/xg_base.h"

class XGChip;

class XG_Parts : public XGBase, public GUIComposite {
 public:
  // One part: its chip (a child of the layer, owned through the child
  // list), its number and the z-order it is sorted by.
  struct Entry {
    XG_Parts* owner = nullptr;
    XGChip* chip = nullptr;
    int32_t number = 0;
    int32_t zOrder = 0;
  };

  // Covers (0, 0, width, height), without parts.
  XG_Parts(int32_t width, int32_t height, bool modal);
  ~XG_Parts() override;

  GUIComponent* getComponent() override { return this; }

  // A modal layer is a hit everywhere and swallows every click; a
  // non-modal one is never a hit itself, so clicks between its parts reach
  // the layers below.
  bool hitTestPrecise(int32_t, int32_t) override { return modal_; }
  bool onMouseButton(const MouseEvent&, bool) override { return modal_; }
  void onKey(const KeyEvent& event, bool pressed) override;

  // Replaces part number with a new chip built from the configuration
  // (null: the chip logs and stays an invisible 1 x 1 part), placed at
  // (x, y) with the alpha (clamped to 0..255), then sorts by z-order.
  void addPart(int32_t number, bool visible, int32_t x, int32_t y, int32_t alpha, int32_t zOrder,
               const XGChipConfig::ConfigBase* config);
  void removePart(int32_t number);
  void removeAllParts();
  // The part's entry, or null.
  Entry* findPart(int32_t number) const;

  void setPartVisible(int32_t number, bool on);
  void setPartPosition(int32_t number, int32_t x, int32_t y);
  void setPartSize(int32_t number, int32_t width, int32_t height);
  void setPartZOrder(int32_t number, int32_t zOrder);
  // Forwarded to the part's chip.
  void setPartAlpha(int32_t number, int32_t alpha);
  void setPartEnabled(int32_t number, bool on);
  void setPartEventNumber(int32_t number, int32_t type, int32_t eventNumber);
  void setPartAnimationCode(int32_t number, int32_t code);
  void setPartString(int32_t number, std::u16string_view text);
  void setPartLabel(int32_t number, const std::vector<LineLayout>& lines, int32_t rubyPitch);
  // which 0: the text colour, 1: the outline colour (0xAARRGGBB).
  void setPartTextColor(int32_t number, int32_t which, uint32_t color);
  // Image parts: a new picture; size mode 2 takes its size, any other mode
  // the area's width and height.
  void setPartImage(int32_t number, std::u16string_view path, int32_t sizeMode, const GDevArea& area);
  // Clears the chip's event numbers; a negative number clears every part's.
  void clearEventNumbers(int32_t number);
  // Children in ascending z-order, stable over the order parts were added.
  void sortParts();

  bool isModal() const { return modal_; }
  // The numbers of the parts in first..last, ascending.
  std::vector<int32_t> partNumbers(int32_t first, int32_t last) const;
  size_t partCount() const { return entries_.size(); }

 protected:
  void onChildRemoved(GUIComponent* child) override;

 private:
  // Drops the entry of the chip (null when it has none) from the list and
  // the map; the chip is left alone.
  void forget(const XGChip* chip);

  std::vector<std::unique_ptr<Entry>> entries_;  // in the order added
  std::map<int32_t, Entry*> map_;
  bool modal_;
};
