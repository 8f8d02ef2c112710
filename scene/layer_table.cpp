// LayerTable: lookups, layers and pictures, commits, copies and the
// rebuild of the render side; the layer helpers the table reaches the scene
// through. Groups are in layer_table_groups.cpp. Main thread.
#include "scene/layer_table.h"

#include <array>
#include <utility>

#include "app/chip_config.h"
#include "app/game_environment.h"
#include "app/log.h"
#include "scene/render_commands.h"
#include "scene/scene_facade.h"
#include "scene/xg_layer.h"

namespace {

template <class Map>
auto* Find(const Map& map, int32_t no) {
  const auto found = map.find(no);
  return found == map.end() ? nullptr : found->second.get();
}

// Applies the queue oldest first and empties it; commands queued while it
// is applied wait for the next commit.
void ApplyQueue(LayerTable& table, std::vector<RCommandRef>& queue, int32_t group) {
  std::vector<RCommandRef> taken;
  taken.swap(queue);
  for (RCommandRef& command : taken) command->apply(table, group);
}

}  // namespace

LayerTable& LayerTable::operator=(const LayerTable& other) {
  if (this != &other) assign(other);
  return *this;
}

LayerTable::~LayerTable() { clear(); }

LayerEntry* LayerTable::findLayer(int32_t no) const { return Find(layers, no); }
GroupEntry* LayerTable::findGroup(int32_t no) const { return Find(groups, no); }
PictureEntry* LayerTable::findPicture(int32_t no) const { return Find(pictures, no); }

GroupEntry* LayerTable::groupOf(const LayerEntry& layer) const {
  return layer.groupNo < 0 ? nullptr : findGroup(layer.groupNo);
}

int32_t LayerTable::layerOfPicture(int32_t picture) const {
  const PictureEntry* entry = findPicture(picture);
  return entry ? entry->layer : -1;
}

LayerEntry* LayerTable::addLayer(int32_t no, int32_t mode, int32_t vramWidth, int32_t vramHeight) {
  if (findLayer(no)) return nullptr;
  auto layer = std::make_unique<LayerEntry>();
  layer->mode = mode;
  layer->no = no;
  layer->order = no;
  layer->vramWidth = vramWidth;
  layer->vramHeight = vramHeight;
  if (bound_ && !sceneLayer_createNode(&layer->node, mode, no, vramWidth, vramHeight)) layer->node = -1;
  LayerEntry* made = layer.get();
  layers[no] = std::move(layer);
  return made;
}

void LayerTable::releaseLayer(int32_t no) {
  LayerEntry* layer = findLayer(no);
  if (!layer) return;
  leave(*layer);
  auto found = layers.find(no);
  std::unique_ptr<LayerEntry> owned = std::move(found->second);
  layers.erase(found);
  destroyLayer(*owned);
}

bool LayerTable::registerPicture(int32_t no, int32_t type, const APValue& url, int32_t numsel, int32_t layer) {
  if (findPicture(no)) {
    LogWrite(LOG_ERROR, u"登録済みのピクチャ番号です(%d)\n", no);
    return false;
  }
  if (bound_ && !layerLoadPicture(no, type, url, numsel)) return false;
  auto entry = std::make_unique<PictureEntry>();
  entry->type = type;
  entry->no = no;
  entry->url = url;
  entry->numsel = numsel;
  entry->layer = layer;
  pictures[no] = std::move(entry);
  return true;
}

void LayerTable::deletePicture(int32_t no) {
  if (pictures.erase(no) == 0) return;
  if (bound_) sceneLayer_removePicture(no);
}

void LayerTable::commitLayer(LayerEntry& layer) {
  if (layer.groupNo >= 0) return;
  ApplyQueue(*this, layer.queue, -1);
}

void LayerTable::commitGroup(GroupEntry& group) {
  const std::vector<int32_t> members = group.members;
  for (const int32_t no : members) {
    if (LayerEntry* member = findLayer(no)) commitLayer(*member);
  }
  ApplyQueue(*this, group.queue, group.no);
}

void LayerTable::commitAll() {
  std::vector<int32_t> numbers;
  for (const auto& [no, group] : groups) numbers.push_back(no);
  for (const int32_t no : numbers) {
    if (GroupEntry* group = findGroup(no)) commitGroup(*group);
  }
  numbers.clear();
  for (const auto& [no, layer] : layers) numbers.push_back(no);
  for (const int32_t no : numbers) {
    if (LayerEntry* layer = findLayer(no); layer && layer->groupNo < 0) commitLayer(*layer);
  }
}

void LayerTable::queueOnLayer(LayerEntry& layer, RCommandRef command) {
  if (GroupEntry* group = groupOf(layer)) {
    group->queue.push_back(std::move(command));
  } else {
    layer.queue.push_back(std::move(command));
  }
}

void LayerTable::destroyLayer(LayerEntry& layer) {
  if (bound_ && layer.node >= 0) sceneLayer_removeNode(layer.node);
  layer.node = -1;
  layer.queue.clear();
  layer.vramImage.reset();
}

void LayerTable::destroyGroup(GroupEntry& group) {
  if (bound_ && group.node >= 0) sceneLayer_removeNode(group.node);
  group.node = -1;
  group.queue.clear();
}

void LayerTable::attach(int32_t groupNode, const LayerEntry& layer) const {
  if (bound_ && layer.node >= 0) sceneLayer_attachToGroup(groupNode, layer.node);
}

void LayerTable::clear() {
  // Members first, so no node is removed with its group still holding it.
  for (auto& [no, layer] : layers) destroyLayer(*layer);
  for (auto& [no, group] : groups) destroyGroup(*group);
  layers.clear();
  groups.clear();
  pictures.clear();
}

void LayerTable::assign(const LayerTable& other) {
  if (this == &other) return;
  clear();
  for (const auto& [no, picture] : other.pictures) pictures[no] = std::make_unique<PictureEntry>(*picture);
  for (const auto& [no, group] : other.groups) groups[no] = std::make_unique<GroupEntry>(*group);
  for (const auto& [no, layer] : other.layers) layers[no] = std::make_unique<LayerEntry>(*layer);
  nextGroupNo = other.nextGroupNo;
  if (bound_) {
    // The other table's handles name nodes this one does not own; the
    // render side is made again by a rebuild.
    for (auto& [no, layer] : layers) layer->node = -1;
    for (auto& [no, group] : groups) group->node = -1;
  }
}

void LayerTable::rebuildMemberLists() {
  for (auto& [no, group] : groups) group->members.clear();
  for (auto& [no, layer] : layers) {
    GroupEntry* group = groupOf(*layer);
    if (group) {
      group->members.push_back(no);
    } else {
      layer->groupNo = -1;
    }
  }
}

void LayerTable::rebuildRenderSide() {
  if (!bound_) return;
  sceneLayer_reset();
  for (const auto& [no, picture] : pictures) {
    // A picture that fails to load is skipped; the loader said why.
    layerLoadPicture(no, picture->type, picture->url, picture->numsel);
  }
  for (auto& [no, layer] : layers) {
    LayerEntry& l = *layer;
    if (!sceneLayer_createNode(&l.node, l.mode, l.order, l.vramWidth, l.vramHeight)) {
      l.node = -1;
      continue;
    }
    sceneLayer_setVisible(l.node, l.visible);
    sceneLayer_setComposition(l.node, l.compositeOp);
    sceneLayer_setMaskOp(l.node, l.maskOp);
    sceneLayer_setPicture(l.node, 2, l.maskPictureNo);
    sceneLayer_loopFlagMask(l.node, l.maskSALoop);
    if (l.maskSACtrl != -1) sceneLayer_saCtrlMask(l.node, l.maskSACtrl);
    sceneLayer_setPicture(l.node, 1, l.mainPictureNo);
    sceneLayer_loopFlagMain(l.node, l.mainSALoop);
    if (l.mainSACtrl != -1) sceneLayer_saCtrlMain(l.node, l.mainSACtrl);
    // The VRAM picture goes back to the new node, so its contents survive.
    if (l.mode == 2 && l.vramImage) sceneLayer_vramRecordOp(l.node, &l.vramImage);
    sceneLayer_motion(l.node, 0, 0, 0, l.motionParams);
    if (l.mode != 3) continue;
    layerSetHitTestMap(l.node, l.hitTestParts);
    for (const auto& [type, number] : l.hitTestEventNo) sceneLayer_setItemEventNumber(l.node, type, number);
    for (const auto& [area, cursor] : l.hitTestAutoCursorMap) layerSetAreaCursor(l.node, area, cursor);
    for (const auto& [area, record] : l.hitTestAMMap) {
      sceneLayer_setAutoMove(l.node, area, record.ctrl, record.cond, record.unit, record.current);
    }
  }
  for (auto& [no, group] : groups) {
    GroupEntry& g = *group;
    if (!sceneLayer_createNode(&g.node, 10, -1, 0, 0)) {
      g.node = -1;
      continue;
    }
    sceneLayer_setVisible(g.node, g.visible);
    if (g.compositeOp != 1) sceneLayer_setComposition(g.node, g.compositeOp);
    sceneLayer_setMaskOp(g.node, g.maskOp);
    sceneLayer_setPicture(g.node, 2, g.maskPictureNo);
    sceneLayer_loopFlagMask(g.node, g.maskSALoop);
    if (g.maskSACtrl != -1) sceneLayer_saCtrlMask(g.node, g.maskSACtrl);
    sceneLayer_motion(g.node, 0, 0, 0, g.motionParams);
    for (const int32_t member : g.members) {
      if (const LayerEntry* layer = findLayer(member)) attach(g.node, *layer);
    }
  }
}

MotionParams MergeMotionParams(const MotionParams& stored, const MotionParams& in, int32_t mask) {
  MotionParams out = stored;
  if (mask & 0x1) out.mainSwitch = in.mainSwitch;
  if (mask & 0x2) out.ix = in.ix, out.iy = in.iy;
  if (mask & 0x4) out.iw = in.iw, out.ih = in.ih;
  if (mask & 0x8) out.tx = in.tx, out.ty = in.ty;
  if (mask & 0x10) out.tw = in.tw, out.th = in.th;
  if (mask & 0x20) out.maskSystem = in.maskSystem;
  if (mask & 0x40) out.maskSwitch = in.maskSwitch;
  if (mask & 0x80) out.mix = in.mix, out.miy = in.miy;
  if (mask & 0x100) out.miw = in.miw, out.mih = in.mih;
  if (mask & 0x200) out.mtx = in.mtx, out.mty = in.mty;
  if (mask & 0x400) out.mtw = in.mtw, out.mth = in.mth;
  if (mask & 0x800) out.mcR = in.mcR, out.mcG = in.mcG, out.mcB = in.mcB, out.mcA = in.mcA;
  return out;
}

// --- the scene side of pictures and MOUSE layers ---

bool layerLoadPicture(int32_t picture, int32_t type, const APValue& url, int32_t flag) {
  const GameEnvironment* environment = GetGameEnvironment();
  if (type == XG_Layer::kImage) {
    if (url.isInt() && flag != 1 && environment) {
      // A numbered storage file (a capture, say).
      return sceneLayer_loadPicture(picture, type, APValue(environment->findStoragePath(url)), flag);
    }
    return sceneLayer_loadPicture(picture, type, url, flag);
  }
  if (type == XG_Layer::kStreamAnime) return sceneLayer_loadPicture(picture, type, url, flag);
  return false;
}

bool layerSetHitTestMap(int32_t node, int32_t parts) {
  const GameEnvironment* environment = GetGameEnvironment();
  const SharedRef<XGChipConfig::ConfigBase> config =
      environment ? environment->findPartsConfig(parts) : SharedRef<XGChipConfig::ConfigBase>();
  const auto* touchmap = dynamic_cast<const XGChipConfig::TouchmapConfig*>(config.get());
  sceneLayer_setHitTestMap(node, touchmap);
  return true;
}

bool layerSetAreaCursor(int32_t node, int32_t area, const APValue& cursor) {
  const GameEnvironment* environment = GetGameEnvironment();
  std::u16string file;
  if ((cursor.isString() && !cursor.svalue.empty()) || (cursor.isInt() && cursor.ivalue >= 0)) {
    file = environment ? environment->getCursorPath(cursor) : (cursor.isString() ? cursor.svalue : u"");
  }
  return sceneLayer_setAreaCursor(node, area, file);
}

bool layerGetLastMousePosition(int32_t node, int32_t* x, int32_t* y) {
  sceneLayer_getLastMousePosition(node, x, y);
  return true;
}
