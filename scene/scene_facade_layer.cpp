// The flat commands of the script layers: each finds the layer component of
// the installed scene and hands its arguments to the component or to one of
// its nodes. Main thread.
#include <array>

#include "app/game_environment.h"
#include "scene/motion_params.h"
#include "scene/scene_facade.h"
#include "scene/xg_layer.h"

namespace {

XG_Layer* Layer() {
  SceneFacade* facade = CurrentSceneFacade();
  return facade ? facade->layerComponent() : nullptr;
}

XGLayer* Node(int32_t handle) {
  XG_Layer* layer = Layer();
  return layer ? layer->node(handle) : nullptr;
}

// The node of a non-negative handle (the container is not one).
XGLayer* OwnNode(int32_t handle) { return handle < 0 ? nullptr : Node(handle); }

}  // namespace

bool sceneLayer_reset() {
  if (XG_Layer* layer = Layer()) layer->reset();
  return true;
}

bool sceneLayer_createNode(int32_t* handle, int32_t mode, int32_t order, int32_t width, int32_t height) {
  XG_Layer* layer = Layer();
  if (!layer) return false;
  *handle = layer->createNode(mode, order, width, height);
  return true;
}

bool sceneLayer_removeNode(int32_t handle) {
  if (XG_Layer* layer = Layer()) layer->removeNode(handle);
  return true;
}

bool sceneLayer_attachToGroup(int32_t group, int32_t handle) {
  if (XG_Layer* layer = Layer()) layer->attachToGroup(group, handle);
  return true;
}

bool sceneLayer_setComposition(int32_t handle, int32_t op) {
  if (XGLayer* node = Node(handle)) node->setComposition(op);
  return true;
}

bool sceneLayer_setMaskOp(int32_t handle, int32_t op) {
  if (XGLayer* node = Node(handle)) node->setMaskOp(op);
  return true;
}

bool sceneLayer_loadPicture(int32_t number, int32_t type, const APValue& url, int32_t numsel) {
  XG_Layer* layer = Layer();
  if (!layer) return false;
  std::u16string path;
  if (const GameEnvironment* environment = GetGameEnvironment()) {
    path = type == XG_Layer::kStreamAnime ? environment->getStreamAnimePath(url) : environment->getImagePath(url);
  } else if (url.isString()) {
    path = url.svalue;
  }
  return layer->loadPicture(number, type, path, numsel);
}

bool sceneLayer_removePicture(int32_t number) {
  if (XG_Layer* layer = Layer()) layer->removePicture(number);
  return true;
}

bool sceneLayer_setPicture(int32_t handle, int32_t which, int32_t number) {
  if (XG_Layer* layer = Layer()) layer->setPicture(handle, which, number);
  return true;
}

bool sceneLayer_vramCopy(int32_t target, int32_t source, int32_t* result) {
  XG_Layer* layer = Layer();
  const int32_t answer = layer ? layer->vramCopy(target, source) : -1;
  if (result) *result = answer;
  return true;
}

bool sceneLayer_capture(int32_t handle, int32_t target, int32_t, int32_t, RGBAImageRef* out) {
  if (out) out->reset();
  if (XG_Layer* layer = Layer()) layer->capture(handle, target, out);
  return true;
}

namespace {

bool SaCtrl(int32_t handle, int32_t which, int32_t ctrl) {
  if (XGLayer* node = Node(handle)) {
    node->sa_ctrl(which, ctrl);
    Layer()->wake();
  }
  return true;
}

bool LoopFlag(int32_t handle, int32_t which, bool on) {
  if (XGLayer* node = Node(handle)) node->setLoopFlag(which, on);
  return true;
}

}  // namespace

bool sceneLayer_saCtrlMain(int32_t handle, int32_t ctrl) { return SaCtrl(handle, XGLayer::kMain, ctrl); }
bool sceneLayer_saCtrlMask(int32_t handle, int32_t ctrl) { return SaCtrl(handle, XGLayer::kMask, ctrl); }
bool sceneLayer_loopFlagMain(int32_t handle, bool on) { return LoopFlag(handle, XGLayer::kMain, on); }
bool sceneLayer_loopFlagMask(int32_t handle, bool on) { return LoopFlag(handle, XGLayer::kMask, on); }

bool sceneLayer_startTransition(int32_t handle, int32_t kind, int32_t duration, int32_t parameter, int32_t rule,
                                const std::array<int32_t, 8>& values, int32_t* out) {
  XG_Layer* layer = Layer();
  const int32_t answer = layer ? layer->startTransition(handle, kind, duration, parameter, rule, values.data()) : -1;
  if (out) *out = answer;
  return true;
}

bool sceneLayer_finishTransition(int32_t handle) {
  if (XG_Layer* layer = Layer()) layer->finishTransition(handle);
  return true;
}

bool sceneLayer_setOrder(int32_t handle, int32_t order) {
  XG_Layer* layer = Layer();
  return layer && layer->setOrder(handle, order);
}

bool sceneLayer_motion(int32_t handle, int32_t kind, int32_t duration, int32_t parameter, const MotionParams& record) {
  if (XGLayer* node = Node(handle)) {
    node->startMotion(kind, duration, parameter, record);
    Layer()->wake();
  }
  return true;
}

bool sceneLayer_stopAnimator(int32_t handle) {
  if (XGLayer* node = Node(handle)) node->stopAnimator();
  return true;
}

bool sceneLayer_effect(int32_t handle, int32_t kind, int32_t duration, int32_t parameter,
                       const std::array<int32_t, 8>& values) {
  if (XGLayer* node = Node(handle)) {
    node->startEffect(kind, duration, parameter, values.data());
    Layer()->wake();
  }
  return true;
}

bool sceneLayer_setVisible(int32_t handle, bool on) {
  if (XG_Layer* layer = Layer()) layer->setNodeVisible(handle, on);
  return true;
}

bool sceneLayer_setItemEventNumber(int32_t handle, int32_t type, int32_t number) {
  if (XGLayer* node = OwnNode(handle)) node->hitTest_setItemEventNumber(type, number);
  return false;
}

bool sceneLayer_setAutoMove(int32_t handle, int32_t area, int32_t ctrl, int32_t cond, int32_t unit, int32_t current) {
  if (XGLayer* node = OwnNode(handle)) node->setAutoMove(area, ctrl, cond, unit, current);
  return true;
}

bool sceneLayer_clearAutoMoves(int32_t handle) {
  if (XGLayer* node = OwnNode(handle)) node->clearAutoMoves();
  return true;
}

bool sceneLayer_getAutoMoveCount(int32_t handle, int32_t area, int32_t* count) {
  if (XG_Layer* layer = Layer()) layer->autoMoveCount(handle, area, count);
  return true;
}

bool sceneLayer_setHitTestMap(int32_t handle, const XGChipConfig::TouchmapConfig* config) {
  if (XGLayer* node = OwnNode(handle)) node->setHitTestMap(config);
  return true;
}

bool sceneLayer_setAreaCursor(int32_t handle, int32_t area, std::u16string_view file) {
  if (XGLayer* node = OwnNode(handle)) node->setAreaCursor(area, file);
  return true;
}

bool sceneLayer_getLastMousePosition(int32_t handle, int32_t* x, int32_t* y) {
  XGLayer* node = OwnNode(handle);
  if (!node) return false;
  node->getLastMousePosition(x, y);
  return true;
}

bool sceneLayer_vramRecordOp(int32_t handle, RGBAImageRef* image) {
  XGLayer* node = OwnNode(handle);
  if (!node) return false;
  node->vramRecordOp(image);
  return true;
}

bool sceneLayer_vramNodeOp(int32_t handle) {
  XGLayer* node = OwnNode(handle);
  if (!node) return false;
  node->vramNodeOp();
  return true;
}

bool sceneLayer_getPictureImage(int32_t number, RGBAImageRef* out) {
  out->reset();
  XG_Layer* layer = Layer();
  const LayerPictureRef picture = layer ? layer->picture(number) : nullptr;
  if (!picture || picture->type != XG_Layer::kImage || !picture->image) return false;
  // A logical image of its own: drawing into it leaves the picture alone.
  *out = picture->image->image().share();
  return true;
}

bool sceneLayer_placementExtent(GDevRect* out, int32_t number, const MotionParams& record) {
  XG_Layer* layer = Layer();
  return layer && layer->placementExtent(number, record, out);
}

bool sceneLayer_placementInverse(MotionParams* record, int32_t number, int32_t switchWord, const GDevRect& rect) {
  XG_Layer* layer = Layer();
  return layer && layer->placementInverse(number, switchWord, rect, record);
}
