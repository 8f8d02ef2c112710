// The flat commands of the two parts layers: each hands its arguments
// with its layer to the installed scene facade and answers true; without a
// facade it does nothing. Main thread.
#include "scene/scene_facade.h"

#include <utility>
#include <vector>

#include "scene/line_layout.h"

namespace {

template <class... Params, class... Args>
bool Forward(void (SceneFacade::*command)(Params...), Args&&... args) {
  if (SceneFacade* facade = CurrentSceneFacade()) (facade->*command)(std::forward<Args>(args)...);
  return true;
}

}  // namespace

bool scenePartsA_removeAll() { return Forward(&SceneFacade::partsRemoveAll, PartsLayer::kA); }
bool scenePartsA_clearEvents(int32_t part) { return Forward(&SceneFacade::partsClearEvents, PartsLayer::kA, part); }
bool scenePartsA_addPart(int32_t part, bool visible, int32_t x, int32_t y, int32_t alpha, int32_t zOrder,
                         const XGChipConfig::ConfigBase* config) {
  return Forward(&SceneFacade::partsAdd, PartsLayer::kA, part, visible, x, y, alpha, zOrder, config);
}
bool scenePartsA_setString(int32_t part, std::u16string_view text) {
  return Forward(&SceneFacade::partsSetString, PartsLayer::kA, part, text);
}
bool scenePartsA_setVisible(int32_t part, bool on) {
  return Forward(&SceneFacade::partsSetVisible, PartsLayer::kA, part, on);
}
bool scenePartsA_remove(int32_t part) { return Forward(&SceneFacade::partsRemove, PartsLayer::kA, part); }
bool scenePartsA_setPosition(int32_t part, int32_t x, int32_t y) {
  return Forward(&SceneFacade::partsSetPosition, PartsLayer::kA, part, x, y);
}
bool scenePartsA_setSize(int32_t part, int32_t width, int32_t height) {
  return Forward(&SceneFacade::partsSetSize, PartsLayer::kA, part, width, height);
}
bool scenePartsA_setZOrder(int32_t part, int32_t zOrder) {
  return Forward(&SceneFacade::partsSetZOrder, PartsLayer::kA, part, zOrder);
}
bool scenePartsA_setAlpha(int32_t part, int32_t alpha) {
  return Forward(&SceneFacade::partsSetAlpha, PartsLayer::kA, part, alpha);
}
bool scenePartsA_setEnabled(int32_t part, bool on) {
  return Forward(&SceneFacade::partsSetEnabled, PartsLayer::kA, part, on);
}
bool scenePartsA_setEventNumber(int32_t part, int32_t type, int32_t number) {
  return Forward(&SceneFacade::partsSetEventNumber, PartsLayer::kA, part, type, number);
}
bool scenePartsA_setAnimationCode(int32_t part, int32_t code) {
  return Forward(&SceneFacade::partsSetAnimationCode, PartsLayer::kA, part, code);
}
bool scenePartsA_setTextColor(int32_t part, int32_t which, uint32_t color) {
  return Forward(&SceneFacade::partsSetTextColor, PartsLayer::kA, part, which, color);
}
bool scenePartsA_partNumbers(int32_t first, int32_t last, std::vector<int32_t>* out) {
  out->clear();
  return Forward(&SceneFacade::partsNumbers, PartsLayer::kA, first, last, out);
}

bool scenePartsB_removeAll() { return Forward(&SceneFacade::partsRemoveAll, PartsLayer::kB); }
bool scenePartsB_clearEvents(int32_t part) { return Forward(&SceneFacade::partsClearEvents, PartsLayer::kB, part); }
bool scenePartsB_addPart(int32_t part, bool visible, int32_t x, int32_t y, int32_t alpha, int32_t zOrder,
                         const XGChipConfig::ConfigBase* config) {
  return Forward(&SceneFacade::partsAdd, PartsLayer::kB, part, visible, x, y, alpha, zOrder, config);
}
bool scenePartsB_setString(int32_t part, std::u16string_view text) {
  return Forward(&SceneFacade::partsSetString, PartsLayer::kB, part, text);
}
bool scenePartsB_setVisible(int32_t part, bool on) {
  return Forward(&SceneFacade::partsSetVisible, PartsLayer::kB, part, on);
}
bool setPartsBVisible(bool on) { return Forward(&SceneFacade::partsSetLayerVisible, PartsLayer::kB, on); }
bool scenePartsB_remove(int32_t part) { return Forward(&SceneFacade::partsRemove, PartsLayer::kB, part); }
bool scenePartsB_setPosition(int32_t part, int32_t x, int32_t y) {
  return Forward(&SceneFacade::partsSetPosition, PartsLayer::kB, part, x, y);
}
bool scenePartsB_setSize(int32_t part, int32_t width, int32_t height) {
  return Forward(&SceneFacade::partsSetSize, PartsLayer::kB, part, width, height);
}
bool scenePartsB_setZOrder(int32_t part, int32_t zOrder) {
  return Forward(&SceneFacade::partsSetZOrder, PartsLayer::kB, part, zOrder);
}
bool scenePartsB_setAlpha(int32_t part, int32_t alpha) {
  return Forward(&SceneFacade::partsSetAlpha, PartsLayer::kB, part, alpha);
}
bool scenePartsB_setEnabled(int32_t part, bool on) {
  return Forward(&SceneFacade::partsSetEnabled, PartsLayer::kB, part, on);
}
bool scenePartsB_setEventNumber(int32_t part, int32_t type, int32_t number) {
  return Forward(&SceneFacade::partsSetEventNumber, PartsLayer::kB, part, type, number);
}
bool scenePartsB_setAnimationCode(int32_t part, int32_t code) {
  return Forward(&SceneFacade::partsSetAnimationCode, PartsLayer::kB, part, code);
}
bool scenePartsB_setTextColor(int32_t part, int32_t which, uint32_t color) {
  return Forward(&SceneFacade::partsSetTextColor, PartsLayer::kB, part, which, color);
}
bool scenePartsB_partNumbers(int32_t first, int32_t last, std::vector<int32_t>* out) {
  out->clear();
  return Forward(&SceneFacade::partsNumbers, PartsLayer::kB, first, last, out);
}
bool scenePartsB_setLabel(int32_t part, const std::vector<LineLayout>& lines, int32_t rubyPitch) {
  return Forward(&SceneFacade::partsSetLabel, PartsLayer::kB, part, lines, rubyPitch);
}
bool scenePartsB_setImage(int32_t part, std::u16string_view path, int32_t sizeMode, int32_t x, int32_t y,
                          int32_t width, int32_t height) {
  return Forward(&SceneFacade::partsSetImage, PartsLayer::kB, part, path, sizeMode, x, y, width, height);
}
