// XG_Parts: the part entries, their chips in the child list and the
// z-order sort, and the modal layer's input.
#include "scene/xg_parts.h"

#include <algorithm>

#include "app/event.h"
#include "scene/app_event_table.h"
#include "scene/xg_chip.h"

XG_Parts::XG_Parts(int32_t width, int32_t height, bool modal) : modal_(modal) { setBounds(0, 0, width, height); }

XG_Parts::~XG_Parts() { removeAllParts(); }

void XG_Parts::onKey(const KeyEvent& event, bool pressed) {
  if (modal_ && !pressed && event.virtualKey == VirtualKey::kEscape) PostAppEvent(AppEventCode::kDismissed);
}

void XG_Parts::addPart(int32_t number, bool visible, int32_t x, int32_t y, int32_t alpha, int32_t zOrder,
                       const XGChipConfig::ConfigBase* config) {
  removePart(number);
  auto* chip = new XGChip;
  addChild(chip);
  chip->setBounds(0, 0, 1, 1);
  chip->setVisible(false);
  chip->config(visible, x, y, alpha, config);
  auto entry = std::make_unique<Entry>(Entry{this, chip, number, 0});
  map_[number] = entry.get();
  entries_.push_back(std::move(entry));
  setPartZOrder(number, zOrder);
}

void XG_Parts::removePart(int32_t number) {
  Entry* entry = findPart(number);
  if (!entry) return;
  XGChip* chip = entry->chip;
  forget(chip);
  removeChild(chip);
  delete chip;
}

void XG_Parts::removeAllParts() {
  while (!entries_.empty()) removePart(entries_.front()->number);
}

XG_Parts::Entry* XG_Parts::findPart(int32_t number) const {
  const auto found = map_.find(number);
  return found != map_.end() ? found->second : nullptr;
}

void XG_Parts::setPartVisible(int32_t number, bool on) {
  if (Entry* e = findPart(number)) {
    e->chip->setVisible(on);
  }
}

void XG_Parts::setPartPosition(int32_t number, int32_t x, int32_t y) {
  if (Entry* e = findPart(number)) {
    e->chip->setPosition(x, y);
  }
}

void XG_Parts::setPartSize(int32_t number, int32_t width, int32_t height) {
  if (Entry* e = findPart(number)) {
    e->chip->setSize(width, height);
  }
}

void XG_Parts::setPartZOrder(int32_t number, int32_t zOrder) {
  if (Entry* e = findPart(number)) {
    e->zOrder = zOrder;
    sortParts();
  }
}

void XG_Parts::setPartAlpha(int32_t number, int32_t alpha) {
  if (Entry* e = findPart(number)) e->chip->setAlpha(alpha);
}

void XG_Parts::setPartEnabled(int32_t number, bool on) {
  if (Entry* e = findPart(number)) e->chip->setEnabled(on);
}

void XG_Parts::setPartEventNumber(int32_t number, int32_t type, int32_t eventNumber) {
  if (Entry* e = findPart(number)) e->chip->setEventNumber(type, eventNumber);
}

void XG_Parts::setPartAnimationCode(int32_t number, int32_t code) {
  if (Entry* e = findPart(number)) e->chip->setAnimationCode(code);
}

void XG_Parts::setPartString(int32_t number, std::u16string_view text) {
  if (Entry* e = findPart(number)) e->chip->setString(text);
}

void XG_Parts::setPartLabel(int32_t number, const std::vector<LineLayout>& lines, int32_t rubyPitch) {
  if (Entry* e = findPart(number)) e->chip->setLabel(lines, rubyPitch);
}

void XG_Parts::setPartTextColor(int32_t number, int32_t which, uint32_t color) {
  if (Entry* e = findPart(number)) e->chip->setTextColor(which, color);
}

void XG_Parts::setPartImage(int32_t number, std::u16string_view path, int32_t sizeMode, const GDevArea& area) {
  if (Entry* e = findPart(number)) e->chip->setImage(path, sizeMode, area);
}

void XG_Parts::clearEventNumbers(int32_t number) {
  if (number >= 0) {
    if (Entry* e = findPart(number)) e->chip->clearEventNumbers();
    return;
  }
  for (const auto& e : entries_) e->chip->clearEventNumbers();
}

void XG_Parts::sortParts() {
  std::vector<Entry*> sorted;
  sorted.reserve(entries_.size());
  for (const auto& e : entries_) sorted.push_back(e.get());
  std::stable_sort(sorted.begin(), sorted.end(), [](const Entry* a, const Entry* b) { return a->zOrder < b->zOrder; });
  for (const Entry* e : sorted) {
    if (e->chip->parent() == this) raiseChild(e->chip);
  }
}

std::vector<int32_t> XG_Parts::partNumbers(int32_t first, int32_t last) const {
  std::vector<int32_t> numbers;
  for (auto it = map_.lower_bound(first); it != map_.end() && it->first <= last; ++it) numbers.push_back(it->first);
  return numbers;
}

void XG_Parts::forget(const XGChip* chip) {
  const auto found =
      std::find_if(entries_.begin(), entries_.end(), [chip](const auto& e) { return e->chip == chip; });
  if (found == entries_.end()) return;
  map_.erase((*found)->number);
  entries_.erase(found);
}

void XG_Parts::onChildRemoved(GUIComponent* child) {
  // A chip that left the tree some other way (taken out by a caller, or
  // deleted) is no longer a part of this layer.
  for (const auto& e : entries_) {
    if (static_cast<GUIComponent*>(e->chip) == child) {
      forget(e->chip);
      return;
    }
  }
}
