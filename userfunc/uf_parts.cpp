// Built-ins 2050-2064 and 2120-2135: parts on the two parts layers, made
// from ":parts" configurations and then placed, shown, restyled and
// removed by number. The first layer's changes are recorded for saves
// (user mode only); the second layer, used by system screens, records
// nothing. Each handler is written once for both layers.
#include <algorithm>
#include <vector>

#include "app/game_environment.h"
#include "app/log.h"
#include "gamestate/state_mgr.h"
#include "scene/scene_facade.h"
#include "userfunc/userfunc_impl.h"

namespace {

constexpr int32_t kFirst = 0;   // the recorded layer (A)
constexpr int32_t kSecond = 1;  // layer B

// The scene commands of one layer.
struct PartsCommands {
  bool (*removeAll)();
  bool (*clearEvents)(int32_t part);
  bool (*addPart)(int32_t part, bool visible, int32_t x, int32_t y, int32_t alpha, int32_t zOrder,
                  const XGChipConfig::ConfigBase* config);
  bool (*remove)(int32_t part);
  bool (*setVisible)(int32_t part, bool on);
  bool (*setPosition)(int32_t part, int32_t x, int32_t y);
  bool (*setSize)(int32_t part, int32_t width, int32_t height);
  bool (*setZOrder)(int32_t part, int32_t zOrder);
  bool (*setAlpha)(int32_t part, int32_t alpha);
  bool (*setEnabled)(int32_t part, bool on);
  bool (*setEventNumber)(int32_t part, int32_t type, int32_t number);
  bool (*setAnimationCode)(int32_t part, int32_t code);
  bool (*setString)(int32_t part, std::u16string_view text);
  bool (*setTextColor)(int32_t part, int32_t which, uint32_t color);
  bool (*partNumbers)(int32_t first, int32_t last, std::vector<int32_t>* out);
};

constexpr PartsCommands kLayers[2] = {
    {scenePartsA_removeAll, scenePartsA_clearEvents, scenePartsA_addPart, scenePartsA_remove, scenePartsA_setVisible,
     scenePartsA_setPosition, scenePartsA_setSize, scenePartsA_setZOrder, scenePartsA_setAlpha,
     scenePartsA_setEnabled, scenePartsA_setEventNumber, scenePartsA_setAnimationCode, scenePartsA_setString,
     scenePartsA_setTextColor, scenePartsA_partNumbers},
    {scenePartsB_removeAll, scenePartsB_clearEvents, scenePartsB_addPart, scenePartsB_remove, scenePartsB_setVisible,
     scenePartsB_setPosition, scenePartsB_setSize, scenePartsB_setZOrder, scenePartsB_setAlpha,
     scenePartsB_setEnabled, scenePartsB_setEventNumber, scenePartsB_setAnimationCode, scenePartsB_setString,
     scenePartsB_setTextColor, scenePartsB_partNumbers},
};

// 0xAARRGGBB from script components, each held to 0..255 so that none
// spills into its neighbour.
uint32_t PackColor(int32_t alpha, int32_t red, int32_t green, int32_t blue) {
  auto byte = [](int32_t v) { return static_cast<uint32_t>(std::clamp(v, 0, 255)); };
  return byte(alpha) << 24 | byte(red) << 16 | byte(green) << 8 | byte(blue);
}

}  // namespace

void UserfuncImpl::registerPartsHandlers() {
  registerHandlers({2050}, &UserfuncImpl::uf_parts_remove_all<kFirst>);
  registerHandlers({2051}, &UserfuncImpl::uf_parts_clear_events<kFirst>);
  registerHandlers({2053}, &UserfuncImpl::uf_parts_add<kFirst>);
  registerHandlers({2054}, &UserfuncImpl::uf_parts_remove<kFirst>);
  registerHandlers({2055}, &UserfuncImpl::uf_parts_visible<kFirst>);
  registerHandlers({2056}, &UserfuncImpl::uf_parts_position<kFirst>);
  registerHandlers({2057}, &UserfuncImpl::uf_parts_size<kFirst>);
  registerHandlers({2058}, &UserfuncImpl::uf_parts_zorder<kFirst>);
  registerHandlers({2059}, &UserfuncImpl::uf_parts_alpha<kFirst>);
  registerHandlers({2060}, &UserfuncImpl::uf_parts_enable<kFirst>);
  registerHandlers({2061}, &UserfuncImpl::uf_parts_event<kFirst>);
  registerHandlers({2062}, &UserfuncImpl::uf_parts_animation<kFirst>);
  registerHandlers({2063}, &UserfuncImpl::uf_parts_string<kFirst>);
  registerHandlers({2064}, &UserfuncImpl::uf_parts_color<kFirst>);
  registerHandlers({2120}, &UserfuncImpl::uf_parts_remove_all<kSecond>);
  registerHandlers({2121}, &UserfuncImpl::uf_parts_clear_events<kSecond>);
  registerHandlers({2123}, &UserfuncImpl::uf_parts_add<kSecond>);
  registerHandlers({2124}, &UserfuncImpl::uf_parts_remove<kSecond>);
  registerHandlers({2125}, &UserfuncImpl::uf_parts_visible<kSecond>);
  registerHandlers({2126}, &UserfuncImpl::uf_parts_position<kSecond>);
  registerHandlers({2127}, &UserfuncImpl::uf_parts_size<kSecond>);
  registerHandlers({2128}, &UserfuncImpl::uf_parts_zorder<kSecond>);
  registerHandlers({2129}, &UserfuncImpl::uf_parts_alpha<kSecond>);
  registerHandlers({2130}, &UserfuncImpl::uf_parts_enable<kSecond>);
  registerHandlers({2131}, &UserfuncImpl::uf_parts_event<kSecond>);
  registerHandlers({2132}, &UserfuncImpl::uf_parts_animation<kSecond>);
  registerHandlers({2133}, &UserfuncImpl::uf_parts_string<kSecond>);
  registerHandlers({2134}, &UserfuncImpl::uf_parts_color<kSecond>);
  registerHandlers({2135}, &UserfuncImpl::uf_parts_image);
}

template <int32_t Layer>
std::unique_ptr<UFResult> UserfuncImpl::uf_parts_remove_all(const Args&) {
  if constexpr (Layer == kFirst) stateMgr().clearSavedParts();
  kLayers[Layer].removeAll();
  return make_zero_ufresult();
}

// (n, default -1): the part's event numbers, or every part's when n < 0;
// the parts stay on screen. The first layer's records of them go.
template <int32_t Layer>
std::unique_ptr<UFResult> UserfuncImpl::uf_parts_clear_events(const Args& args) {
  const int32_t n = intArg(args, 0, -1);
  if constexpr (Layer == kFirst) stateMgr().removeSavedParts(n);
  kLayers[Layer].clearEvents(n);
  return make_zero_ufresult();
}

// (n, configuration, visible, x, y, opacity, z-order, key order): 1 when
// ":parts" does not define the configuration (nothing changes), else 0.
template <int32_t Layer>
std::unique_ptr<UFResult> UserfuncImpl::uf_parts_add(const Args& args) {
  const int32_t n = intArg(args, 0);
  const int32_t configNo = intArg(args, 1);
  const bool visible = flagArg(args, 2);
  const int32_t x = intArg(args, 3), y = intArg(args, 4);
  const int32_t opacity = intArg(args, 5), zOrder = intArg(args, 6), keyOrder = intArg(args, 7);
  const SharedRef<XGChipConfig::ConfigBase> config =
      environment() ? environment()->findPartsConfig(configNo) : SharedRef<XGChipConfig::ConfigBase>();
  if (!config) return make_value_ufresult(1);
  kLayers[Layer].addPart(n, visible, x, y, opacity, zOrder, config.get());
  if constexpr (Layer == kFirst) {
    stateMgr().setSavedParts(n, configNo, visible ? 1 : 0, x, y, zOrder, opacity, keyOrder);
  }
  return make_zero_ufresult();
}

// (first, last): the parts numbered first..max(first, last). Only numbers
// that have a part (or, on the first layer, a record) are visited, so a
// wide range costs no more than the parts there are.
template <int32_t Layer>
std::unique_ptr<UFResult> UserfuncImpl::uf_parts_remove(const Args& args) {
  const int32_t first = intArg(args, 0);
  const int32_t last = std::max(first, intArg(args, 1));
  std::vector<int32_t> numbers;
  kLayers[Layer].partNumbers(first, last, &numbers);
  if constexpr (Layer == kFirst) {
    const auto& saved = stateMgr().current().parts;
    for (auto it = saved.lower_bound(first); it != saved.end() && it->first <= last; ++it) {
      numbers.push_back(it->first);
    }
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
  }
  for (const int32_t n : numbers) {
    kLayers[Layer].remove(n);
    if constexpr (Layer == kFirst) stateMgr().eraseSavedParts(n);
  }
  return make_zero_ufresult();
}

template <int32_t Layer>
std::unique_ptr<UFResult> UserfuncImpl::uf_parts_visible(const Args& args) {
  const int32_t n = intArg(args, 0);
  const bool on = flagArg(args, 1);
  kLayers[Layer].setVisible(n, on);
  if constexpr (Layer == kFirst) stateMgr().setSavedPartsVisible(n, on ? 1 : 0);
  return make_zero_ufresult();
}

template <int32_t Layer>
std::unique_ptr<UFResult> UserfuncImpl::uf_parts_position(const Args& args) {
  const int32_t n = intArg(args, 0), x = intArg(args, 1), y = intArg(args, 2);
  kLayers[Layer].setPosition(n, x, y);
  if constexpr (Layer == kFirst) stateMgr().setSavedPartsPos(n, x, y);
  return make_zero_ufresult();
}

template <int32_t Layer>
std::unique_ptr<UFResult> UserfuncImpl::uf_parts_size(const Args& args) {
  const int32_t n = intArg(args, 0), w = intArg(args, 1), h = intArg(args, 2);
  kLayers[Layer].setSize(n, w, h);
  if constexpr (Layer == kFirst) stateMgr().setSavedPartsWH(n, w, h);
  return make_zero_ufresult();
}

template <int32_t Layer>
std::unique_ptr<UFResult> UserfuncImpl::uf_parts_zorder(const Args& args) {
  const int32_t n = intArg(args, 0), z = intArg(args, 1);
  kLayers[Layer].setZOrder(n, z);
  if constexpr (Layer == kFirst) stateMgr().setSavedPartsZorder(n, z);
  return make_zero_ufresult();
}

template <int32_t Layer>
std::unique_ptr<UFResult> UserfuncImpl::uf_parts_alpha(const Args& args) {
  const int32_t n = intArg(args, 0), opacity = intArg(args, 1);
  kLayers[Layer].setAlpha(n, opacity);
  if constexpr (Layer == kFirst) stateMgr().setSavedPartsOpacity(n, opacity);
  return make_zero_ufresult();
}

template <int32_t Layer>
std::unique_ptr<UFResult> UserfuncImpl::uf_parts_enable(const Args& args) {
  const int32_t n = intArg(args, 0);
  const bool on = flagArg(args, 1);
  kLayers[Layer].setEnabled(n, on);
  if constexpr (Layer == kFirst) stateMgr().setSavedPartsEnable(n, on ? 1 : 0);
  return make_zero_ufresult();
}

// (n, event type 1..5, event number): a number below 1 drops the type's
// record.
template <int32_t Layer>
std::unique_ptr<UFResult> UserfuncImpl::uf_parts_event(const Args& args) {
  const int32_t n = intArg(args, 0), type = intArg(args, 1), number = intArg(args, 2);
  kLayers[Layer].setEventNumber(n, type, number);
  if constexpr (Layer == kFirst) stateMgr().setSavedPartsEventNo(n, type, number);
  return make_zero_ufresult();
}

// (n, code): bit value 1 runs the animation, bit value 2 rewinds it.
template <int32_t Layer>
std::unique_ptr<UFResult> UserfuncImpl::uf_parts_animation(const Args& args) {
  const int32_t n = intArg(args, 0), code = intArg(args, 1);
  kLayers[Layer].setAnimationCode(n, code);
  if constexpr (Layer == kFirst) stateMgr().setSavedPartsAnimationCode(n, code);
  return make_zero_ufresult();
}

// (n, text or string-variable number): the record keeps the text shown.
template <int32_t Layer>
std::unique_ptr<UFResult> UserfuncImpl::uf_parts_string(const Args& args) {
  const int32_t n = intArg(args, 0);
  const std::u16string text = getStringArg(args, 1);
  kLayers[Layer].setString(n, text);
  if constexpr (Layer == kFirst) stateMgr().setSavedPartsText(n, APValue(text));
  return make_zero_ufresult();
}

// (n, key 0 text / 1 outline (default -1), colour-table index, red, green,
// blue, alpha): the table's colour when the index is in the table, else the
// components.
template <int32_t Layer>
std::unique_ptr<UFResult> UserfuncImpl::uf_parts_color(const Args& args) {
  const int32_t n = intArg(args, 0), key = intArg(args, 1, -1), index = intArg(args, 2);
  uint32_t color = PackColor(intArg(args, 6), intArg(args, 3), intArg(args, 4), intArg(args, 5));
  if (environment() && index >= 0 && static_cast<size_t>(index) < environment()->colorTable().size()) {
    color = environment()->colorTable()[static_cast<size_t>(index)];
  }
  kLayers[Layer].setTextColor(n, key, color);
  if constexpr (Layer == kFirst) stateMgr().setSavedPartsColor(n, key, static_cast<int32_t>(color));
  return make_zero_ufresult();
}

// (n, image, string-variable flag, resource kind, size mode, x, y, w, h):
// the image's file by kind 1 or 5 parts, 2 storage, 3 picture, 4 cell
// picture; any other kind loads nothing.
std::unique_ptr<UFResult> UserfuncImpl::uf_parts_image(const Args& args) {
  const int32_t n = intArg(args, 0);
  APValue image = resourceArg(args, 1);
  const bool byVariable = flagArg(args, 2);
  const int32_t kind = intArg(args, 3), sizeMode = intArg(args, 4);
  const int32_t x = intArg(args, 5), y = intArg(args, 6), w = intArg(args, 7), h = intArg(args, 8);
  if (byVariable && image.isInt()) image = APValue(stateMgr().getPlayString(image.ivalue, u""));

  const GameEnvironment* env = environment();
  std::u16string path;
  switch (kind) {
    case 1:
    case 5:
      if (env) path = env->getPartsPath(image);
      break;
    case 2:
      if (env) path = env->findStoragePath(image);
      break;
    case 3:
      if (env) path = env->getImagePath(image);
      break;
    case 4:
      if (env) path = env->getCellImagePath(image);
      break;
    default:
      logAtStatement(LOG_WARN, u"submenu_P_image: resourceNumSelが範囲外(%d)\n", kind);
      break;
  }
  scenePartsB_setImage(n, path, sizeMode, x, y, w, h);
  return make_zero_ufresult();
}
