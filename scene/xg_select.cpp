// XG_Select: laying out a choice list from its configuration, following the
// keyboard and the pointer, and reporting the decision. Main thread.
#include "scene/xg_select.h"

#include <algorithm>
#include <array>
#include <limits>
#include <memory>
#include <utility>

#include "app/event.h"
#include "app/event_queue.h"
#include "app/input_target.h"
#include "app/saturate.h"
#include "gdev/gdev_factory.h"
#include "scene/app_event_table.h"
#include "scene/gui_text_line.h"

namespace {

using Field = Config::SelectWindow::Field;

XG_Select::PointerWarp g_pointerWarp = nullptr;

uint32_t Channel(int32_t v) { return static_cast<uint32_t>(std::clamp(v, 0, 255)); }

// Four 0..255 fields from `first` on as colour components 0..1.
void ColorFrom(const Config::SelectWindow& config, size_t first, float out[4]) {
  for (size_t i = 0; i < 4; ++i) out[i] = static_cast<float>(Channel(config[first + i])) / 255.0f;
}

std::array<int32_t, 4> QuadFrom(const Config::SelectWindow& config, size_t first) {
  return {config[first], config[first + 1], config[first + 2], config[first + 3]};
}

}  // namespace

// --- XG_Select::Item ---

XG_Select::Item::Item(XG_Select* owner, std::u16string identifier)
    : owner_(owner), identifier_(std::move(identifier)), line_(new GUITextLine) {
  addChild(line_);
}

void XG_Select::Item::onChildRemoved(GUIComponent* child) {
  if (child == line_) line_ = nullptr;
}

void XG_Select::Item::draw() {
  GDev* device = GDevFactory::device;
  if (!device) return;
  if (highlighted_) device->fillRect(GDevRect{0, 0, width(), height()}, owner_->cursorColor(), GDEV_BLEND_NORMAL, 0);
  if (picture_) {
    DrawTextureRectI(GDevRect{0, 0, width(), height()}, GDevUV{0.0f, 0.0f, 1.0f, 1.0f}, picture_.get(),
                     GDEV_BLEND_NORMAL, 0, 0);
  }
}

void XG_Select::Item::onHover(const MouseEvent&, bool entered) {
  if (entered) owner_->selectById(identifier_, true);
}

bool XG_Select::Item::onMouseButton(const MouseEvent& event, bool pressed) {
  if (event.button != MouseEvent::kLeft) return false;
  if (pressed) {
    owner_->selectById(identifier_, true);
    SetMouseCapture(this);
    return true;
  }
  // The holder of the capture sees the release wherever the pointer is, so
  // the item pressed is the item taken.
  if (GetMouseCapture() == this) SetMouseCapture(nullptr);
  owner_->selectById(identifier_, true);
  owner_->decide(false);
  return true;
}

void XG_Select::Item::setText(std::u16string_view text, int32_t size) {
  text_ = text;
  size_ = size;
  renderText();
}

void XG_Select::Item::setColors(const std::array<int32_t, 4>& text, const std::array<int32_t, 4>& edge) {
  textColor_ = text;
  edgeColor_ = edge;
  renderText();
}

void XG_Select::Item::setHighlighted(bool on) {
  if (highlighted_ == on) return;
  highlighted_ = on;
  markOwnPaint();
}

void XG_Select::Item::renderText() {
  if (!line_) return;
  TextRenderParams& params = line_->textParams();
  params.size = size_;
  params.color = static_cast<int32_t>(0xFF000000u | Channel(textColor_[0]) << 16 | Channel(textColor_[1]) << 8 |
                                      Channel(textColor_[2]));
  const uint32_t edgeAlpha = Channel(edgeColor_[3]);
  params.edge = static_cast<int32_t>(edgeAlpha << 24 | Channel(edgeColor_[0]) << 16 | Channel(edgeColor_[1]) << 8 |
                                     Channel(edgeColor_[2]));
  // An outline needs a border of one pixel around the glyphs to lie in.
  params.margin = edgeAlpha != 0 ? 1 : 0;
  line_->setString(text_, edgeAlpha != 0);
}

// --- XG_Select ---

XG_Select::PointerWarp XG_Select::setPointerWarp(PointerWarp warp) {
  const PointerWarp previous = g_pointerWarp;
  g_pointerWarp = warp;
  return previous;
}

XG_Select::XG_Select(int32_t which, int32_t width, int32_t height) : which_(which) {
  setBounds(0, 0, width, height);
  setVisible(false);
}

XG_Select::~XG_Select() { clearItems(); }

bool XG_Select::paintExtent(ScreenArea* area) {
  *area = ScreenArea{box_.x, box_.y, SaturateToInt32(int64_t{box_.x} + box_.width),
                     SaturateToInt32(int64_t{box_.y} + box_.height)};
  return true;
}

void XG_Select::draw() {
  GDev* device = GDevFactory::device;
  if (!device) return;
  const GDevRect rect{box_.x, box_.y, SaturateToInt32(int64_t{box_.x} + box_.width), SaturateToInt32(int64_t{box_.y} + box_.height)};
  device->fillRect(rect, windowColor_, GDEV_BLEND_NORMAL, 0);
}

void XG_Select::onKey(const KeyEvent& event, bool pressed) {
  const uint32_t key = event.virtualKey;
  if (pressed) {
    if (key == VirtualKey::kLeft || key == VirtualKey::kUp || key == VirtualKey::kNumpad4 || key == VirtualKey::kNumpad8) {
      moveSelection(false);
    } else if (key == VirtualKey::kRight || key == VirtualKey::kDown || key == VirtualKey::kNumpad2 || key == VirtualKey::kNumpad6) {
      moveSelection(true);
    }
    return;
  }
  if (key == VirtualKey::kReturn || key == VirtualKey::kNumpad5) {
    decide(false);
  } else if (key == VirtualKey::kEscape) {
    decide(true);
  }
}

void XG_Select::buildItems(const Config::SelectWindow& config, const std::vector<Choice>& choices,
                           bool cancelAllowed) {
  clearItems();
  cancelAllowed_ = cancelAllowed;
  markOwnPaint();

  const int64_t n = static_cast<int64_t>(choices.size());
  const int32_t itemHeight = config[Field::kItemHeight];
  const int32_t gap = config[Field::kItemHeightGap];
  box_.x = config[Field::kWindowX];
  box_.y = config[Field::kWindowY];
  box_.width = config[Field::kWindowWidth];
  box_.height = SaturateToInt32(n * itemHeight + n * gap + config[Field::kWindowHeightBase] - 1);
  ColorFrom(config, Field::kWindowColorR, windowColor_);
  ColorFrom(config, Field::kCursorColorR, cursorColor_);

  // An item width below 1 (the configuration's default) would give items
  // no pointer can hit: such items span the window less the left offset on
  // both sides.
  int32_t itemWidth = config[Field::kItemWidth];
  if (itemWidth < 1) {
    itemWidth = std::max(1, SaturateToInt32(int64_t{box_.width} - 2 * int64_t{config[Field::kItemOffsetX]}));
  }
  const int32_t itemX = SaturateToInt32(int64_t{box_.x} + config[Field::kItemOffsetX]);
  const int64_t top = int64_t{box_.y} + config[Field::kItemOffsetY];
  const std::array<int32_t, 4> textColor = QuadFrom(config, Field::kItemTextColorR);
  const std::array<int32_t, 4> edgeColor = QuadFrom(config, Field::kItemTextEdgeColorR);

  items_.reserve(choices.size());
  for (size_t i = 0; i < choices.size(); ++i) {
    auto* item = new Item(this, choices[i].identifier);
    item->setText(choices[i].text, itemHeight - 1);
    item->setBounds(itemX, SaturateToInt32(top + static_cast<int64_t>(i) * (int64_t{itemHeight} + gap)), itemWidth,
                    itemHeight);
    item->setColors(textColor, edgeColor);
    items_.push_back(item);
    addChild(item);
  }
  markOwnPaint();
}

void XG_Select::clearItems() {
  // Each deletion reports back through onChildRemoved; the list is let go
  // of first so that walk stays out of it.
  std::vector<Item*> items;
  items.swap(items_);
  current_ = nullptr;
  for (Item* item : items) delete item;
}

void XG_Select::selectIndex(int32_t index, bool byPointer) {
  const int32_t last = static_cast<int32_t>(std::min<size_t>(items_.size(), std::numeric_limits<int32_t>::max())) - 1;
  index = std::clamp(index, -1, last);
  if (current_) current_->setHighlighted(false);
  // Nothing highlighted is nothing to decide on.
  current_ = nullptr;
  if (index < 0) return;
  current_ = items_[static_cast<size_t>(index)];
  current_->setHighlighted(true);
  if (!byPointer && g_pointerWarp) {
    int32_t x = current_->x();
    int32_t y = current_->y();
    toGlobal(&x, &y);
    g_pointerWarp(x, y);
  }
}

void XG_Select::moveSelection(bool forward) {
  if (items_.empty()) return;
  if (!current_) {
    selectIndex(0, false);
    return;
  }
  const auto it = std::find(items_.begin(), items_.end(), current_);
  const int64_t i = it == items_.end() ? -1 : it - items_.begin();
  const int64_t j = std::clamp<int64_t>(forward ? i + 1 : i - 1, 0, static_cast<int64_t>(items_.size()) - 1);
  selectIndex(static_cast<int32_t>(j), false);
}

void XG_Select::selectById(std::u16string_view identifier, bool byPointer) {
  for (size_t i = 0; i < items_.size(); ++i) {
    if (items_[i]->identifier() == identifier) {
      selectIndex(static_cast<int32_t>(i), byPointer);
      return;
    }
  }
}

void XG_Select::decide(bool cancel) {
  if (cancel) {
    if (!cancelAllowed_) return;
    PostEvent(std::make_unique<AppEvent>(AppEventCode::kDismissed, 0));
  } else {
    if (!current_) return;
    PostEvent(std::make_unique<SelectedEvent>(current_->identifier()));
  }
  setVisible(false);
  SetKeyListener(parent());
}

void XG_Select::onChildRemoved(GUIComponent* child) {
  std::erase_if(items_, [child](Item* item) { return static_cast<GUIComponent*>(item) == child; });
  if (static_cast<GUIComponent*>(current_) == child) current_ = nullptr;
}
