// SceneImpl: the commands of parts layers A and B, each handed to the
// layer's own operation. Main thread.
#include "scene/scene_impl.h"

#include "app/screen_flags.h"
#include "scene/xg_parts.h"

void SceneImpl::partsRemoveAll(PartsLayer layer) {
  if (XG_Parts* parts = getParts(layer)) parts->removeAllParts();
}

void SceneImpl::partsClearEvents(PartsLayer layer, int32_t part) {
  if (XG_Parts* parts = getParts(layer)) parts->clearEventNumbers(part);
}

void SceneImpl::partsAdd(PartsLayer layer, int32_t part, bool visible, int32_t x, int32_t y, int32_t alpha,
                         int32_t zOrder, const XGChipConfig::ConfigBase* config) {
  if (XG_Parts* parts = getParts(layer)) parts->addPart(part, visible, x, y, alpha, zOrder, config);
}

void SceneImpl::partsRemove(PartsLayer layer, int32_t part) {
  if (XG_Parts* parts = getParts(layer)) parts->removePart(part);
}

void SceneImpl::partsSetString(PartsLayer layer, int32_t part, std::u16string_view text) {
  if (XG_Parts* parts = getParts(layer)) parts->setPartString(part, text);
}

void SceneImpl::partsSetLabel(PartsLayer layer, int32_t part, const std::vector<LineLayout>& lines,
                              int32_t rubyPitch) {
  if (XG_Parts* parts = getParts(layer)) parts->setPartLabel(part, lines, rubyPitch);
}

void SceneImpl::partsSetVisible(PartsLayer layer, int32_t part, bool on) {
  if (XG_Parts* parts = getParts(layer)) parts->setPartVisible(part, on);
}

void SceneImpl::partsSetLayerVisible(PartsLayer layer, bool on) {
  if (XG_Parts* parts = getParts(layer)) parts->setVisible(on);
  GUIChangedFlag = 1;
}

void SceneImpl::partsSetPosition(PartsLayer layer, int32_t part, int32_t x, int32_t y) {
  if (XG_Parts* parts = getParts(layer)) parts->setPartPosition(part, x, y);
}

void SceneImpl::partsSetSize(PartsLayer layer, int32_t part, int32_t width, int32_t height) {
  if (XG_Parts* parts = getParts(layer)) parts->setPartSize(part, width, height);
}

void SceneImpl::partsSetZOrder(PartsLayer layer, int32_t part, int32_t zOrder) {
  if (XG_Parts* parts = getParts(layer)) parts->setPartZOrder(part, zOrder);
}

void SceneImpl::partsSetAlpha(PartsLayer layer, int32_t part, int32_t alpha) {
  if (XG_Parts* parts = getParts(layer)) parts->setPartAlpha(part, alpha);
}

void SceneImpl::partsSetEnabled(PartsLayer layer, int32_t part, bool on) {
  if (XG_Parts* parts = getParts(layer)) parts->setPartEnabled(part, on);
}

void SceneImpl::partsSetEventNumber(PartsLayer layer, int32_t part, int32_t type, int32_t number) {
  if (XG_Parts* parts = getParts(layer)) parts->setPartEventNumber(part, type, number);
}

void SceneImpl::partsSetAnimationCode(PartsLayer layer, int32_t part, int32_t code) {
  if (XG_Parts* parts = getParts(layer)) parts->setPartAnimationCode(part, code);
}

void SceneImpl::partsSetTextColor(PartsLayer layer, int32_t part, int32_t which, uint32_t color) {
  if (XG_Parts* parts = getParts(layer)) parts->setPartTextColor(part, which, color);
}

void SceneImpl::partsSetImage(PartsLayer layer, int32_t part, std::u16string_view path, int32_t sizeMode, int32_t x,
                              int32_t y, int32_t width, int32_t height) {
  if (XG_Parts* parts = getParts(layer)) parts->setPartImage(part, path, sizeMode, GDevArea{x, y, width, height});
}

void SceneImpl::partsNumbers(PartsLayer layer, int32_t first, int32_t last, std::vector<int32_t>* out) {
  if (XG_Parts* parts = getParts(layer)) *out = parts->partNumbers(first, last);
}
