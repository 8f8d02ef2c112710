// XG_Layer: the node table, the picture table, sorting and the tick.
// Main thread.
#include "scene/xg_layer.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "app/game_environment.h"
#include "app/log.h"
#include "app/screen_flags.h"
#include "app/timer.h"
#include "gdev/texture_manager.h"

namespace {

// The sort key of a group without children: after every real order.
constexpr int64_t kEmptyGroupKey = 1073741824;

int64_t SortKey(const XGLayer* node) {
  if (!node->isGroup()) return node->order();
  int64_t key = kEmptyGroupKey;
  bool any = false;
  for (const GUIComponent* child : node->children()) {
    if (const auto* layer = dynamic_cast<const XGLayer*>(child)) {
      key = any ? std::min<int64_t>(key, layer->order()) : layer->order();
      any = true;
    }
  }
  return key;
}

// Raises the composite's layer children in ascending key, ties by handle.
void SortChildren(GUIComposite* parent, bool byGroupKey) {
  std::vector<std::pair<std::pair<int64_t, int32_t>, XGLayer*>> keyed;
  for (GUIComponent* child : parent->children()) {
    if (auto* layer = dynamic_cast<XGLayer*>(child)) {
      keyed.push_back({{byGroupKey ? SortKey(layer) : layer->order(), layer->handle()}, layer});
    }
  }
  std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (auto& entry : keyed) parent->raiseChild(entry.second);
}

}  // namespace

XG_Layer::XG_Layer(int32_t width, int32_t height) : timer_(this, &XG_Layer::tick) {
  setBounds(0, 0, width, height);
  container_ = makeContainer();
  // Idle, the tick only needs a frame now and then; anything that starts to
  // move asks for every frame until it ends.
  timer_.looping = true;
  timer_.duration = 1000;
  timer_.everyFrame = false;
  timer_.start();
}

XG_Layer::~XG_Layer() {
  nodes_.clear();
  container_ = nullptr;
}

XGLayer* XG_Layer::makeContainer() {
  auto* container = new XGLayer(-1, XGLayer::kGroup, -1, width(), height());
  addChild(container);
  return container;
}

void XG_Layer::wake() { timer_.everyFrame = true; }

void XG_Layer::reset() {
  pictures_.clear();
  nodes_.clear();
  delete container_;  // with every node under it
  container_ = makeContainer();
  orderChanged_ = false;
  GUIChangedFlag = 1;
}

int32_t XG_Layer::createNode(int32_t mode, int32_t order, int32_t width, int32_t height) {
  (void)width;
  (void)height;
  const int32_t handle = nodes_.empty() ? 0 : nodes_.rbegin()->first + 1;
  auto* node = new XGLayer(handle, mode, order, this->width(), this->height());
  container_->addChild(node);
  nodes_[handle] = node;
  orderChanged_ = true;
  return handle;
}

void XG_Layer::removeNode(int32_t handle) {
  const auto found = nodes_.find(handle);
  if (found == nodes_.end()) return;
  XGLayer* node = found->second;
  nodes_.erase(found);
  // Children still under a removed group go back to the container rather
  // than with it.
  if (node->isGroup()) {
    while (!node->children().empty()) container_->addChild(node->children().back());
  }
  delete node;
  orderChanged_ = true;
}

void XG_Layer::attachToGroup(int32_t group, int32_t handle) {
  XGLayer* parent = group == -1 ? container_ : this->node(group);
  XGLayer* child = this->node(handle);
  if (!parent || !child || parent == child || !parent->isGroup()) return;
  if (child->parent() == parent) {
    LogWrite(LOG_WARN, u"冗長なaddChild\n");
    return;
  }
  // A group never goes under one of its own descendants.
  for (const GUIComponent* up = parent; up; up = up->parent()) {
    if (up == child) return;
  }
  parent->addChild(child);
  orderChanged_ = true;
}

bool XG_Layer::setOrder(int32_t handle, int32_t order) {
  XGLayer* target = node(handle);
  if (!target || target->isGroup()) return false;
  if (target->order() == order) return true;
  for (const auto& [other, node] : nodes_) {
    if (other != handle && !node->isGroup() && node->order() == order) {
      LogWrite(LOG_WARN, u"setOrder:オーダ番号が重複しています(%d)\n", order);
      return false;
    }
  }
  target->setOrder(order);
  orderChanged_ = true;
  return true;
}

void XG_Layer::sort() {
  if (!orderChanged_) return;
  orderChanged_ = false;
  LogWrite(LOG_TRACE, u"XG_Layer::sort()\n");
  SortChildren(container_, true);
  for (GUIComponent* child : container_->children()) {
    auto* group = dynamic_cast<XGLayer*>(child);
    if (group && group->isGroup()) SortChildren(group, false);
  }
  GUIChangedFlag = 1;
}

XGLayer* XG_Layer::node(int32_t handle) const {
  if (handle == -1) return container_;
  const auto found = nodes_.find(handle);
  return found == nodes_.end() ? nullptr : found->second;
}

bool XG_Layer::loadPicture(int32_t number, int32_t type, std::u16string_view url, int32_t numsel) {
  (void)numsel;
  auto picture = std::make_shared<LayerPicture>();
  picture->type = type;
  bool loaded = false;
  if (type == kImage) {
    loaded = !url.empty() && GetTextureManager().getTexture(picture->image, url, 1, 3) == 0 && picture->image;
  } else if (type == kStreamAnime) {
    GameEnvironment* environment = GetGameEnvironment();
    loaded = environment && StreamAnimeRegistry::acquire(environment, url, &picture->anime);
  }
  if (!loaded) {
    LogWrite(LOG_WARN, u"url(%s)からのロードに失敗\n", url);
    return false;
  }
  pictures_[number] = std::move(picture);
  return true;
}

void XG_Layer::removePicture(int32_t number) { pictures_.erase(number); }

LayerPictureRef XG_Layer::picture(int32_t number) const {
  const auto found = pictures_.find(number);
  return found == pictures_.end() ? nullptr : found->second;
}

void XG_Layer::setPicture(int32_t handle, int32_t which, int32_t number) {
  XGLayer* target = node(handle);
  if (!target || (which != XGLayer::kMain && which != XGLayer::kMask)) return;
  if (number < 0) {
    target->setPicture(which, nullptr);
    return;
  }
  if (LayerPictureRef found = picture(number)) target->setPicture(which, std::move(found));
  wake();
}

void XG_Layer::setNodeVisible(int32_t handle, bool on) {
  if (XGLayer* target = node(handle)) target->setVisible(on);
}

int32_t XG_Layer::vramCopy(int32_t target, int32_t source) {
  sort();
  XGLayer* to = target == -1 ? nullptr : node(target);
  XGLayer* from = source == -1 ? nullptr : node(source);
  if (!to || !from || to == from) return -1;
  if (to->mode() != XGLayer::kVram) {
    LogWrite(LOG_ERROR, u"ターゲットがVRAMでない\n");
    return -1;
  }
  // The source's look, children and all, goes into the target at (0, 0).
  RGBAImageRef look;
  if (from->fold_all(-4, &look)) to->vramPut(look);
  return 1;
}

bool XG_Layer::capture(int32_t handle, int32_t target, RGBAImageRef* out) {
  XGLayer* which = node(handle);
  if (!which) return false;
  sort();
  return which->fold_all(target, out);
}

int32_t XG_Layer::startTransition(int32_t handle, int32_t kind, int32_t duration, int32_t parameter, int32_t rule,
                                  const int32_t values[8]) {
  XGLayer* which = node(handle);
  if (!which) return -1;
  LayerPictureRef rulePicture;
  if (rule > 0) {
    rulePicture = picture(rule);
    if (!rulePicture) return -1;
  }
  wake();
  return which->startTransition(kind, duration, parameter, std::move(rulePicture), values);
}

void XG_Layer::finishTransition(int32_t handle) {
  if (XGLayer* which = node(handle)) which->finishTransition();
}

bool XG_Layer::placementExtent(int32_t number, const MotionParams& record, GDevRect* extent) const {
  const LayerPictureRef found = picture(number);
  if (!found) return false;
  *extent = container_->placementExtent(found->width(), found->height(), record);
  return true;
}

bool XG_Layer::placementInverse(int32_t number, int32_t switchWord, const GDevRect& rect,
                                MotionParams* record) const {
  const LayerPictureRef found = picture(number);
  if (!found) return false;
  const int32_t pw = found->width();
  const int32_t ph = found->height();
  // A size that would be divided by 0 leaves the record as it is.
  auto divides = [](int32_t unit, int32_t picture, int32_t reference) {
    return !((unit == 1 && picture == 0) || (unit == 2 && reference == 0));
  };
  if (!divides((switchWord >> 6) & 3, pw, width()) || !divides((switchWord >> 4) & 3, ph, height())) return true;
  PlacementInput in{switchWord, pw, ph, width(), height(), record->ix, record->iy, record->iw, record->ih};
  PlacementInverse(in, rect, &record->ix, &record->iy, &record->iw, &record->ih);
  return true;
}

bool XG_Layer::autoMoveCount(int32_t handle, int32_t area, int32_t* count) const {
  const XGLayer* which = handle == -1 ? nullptr : node(handle);
  if (!which || which->mode() != XGLayer::kMouse) return false;
  return which->getAutoMoveCount(area, count);
}

void XG_Layer::tick(float) {
  sort();
  const bool running = container_->advance(GetTimerManager()->now());
  timer_.everyFrame = running;
}
