// Built-ins 4400-4430, 4500 and 4501: flow mode (passing, returning to and
// resetting save points, the current route, the chart's save points, one
// chart page drawn as parts on the second parts layer) and the deletion of
// numbered storage files. Loading, resetting and drawing belong to system
// screens and are refused in the story.
#include <cstdint>

#include "app/config_flowmode.h"
#include "app/file_helpers.h"
#include "app/game_environment.h"
#include "app/log.h"
#include "gamestate/state_mgr.h"
#include "scene/scene_facade.h"
#include "userfunc/userfunc_impl.h"

namespace {

using Config::FlowmodeConfig;

// Part numbers, event numbers and positions from script values wrap in 32
// bits as the script machine's own arithmetic does.
int32_t Wrap(int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(v)); }

constexpr int32_t kCell = 48;  // pixels per grid cell

// One page of the chart being drawn as parts.
struct ChartDrawing {
  StateMgr* state;
  int32_t x0, y0, columns, rows;
  int32_t iconBase;
  int32_t nextTile;  // the next tile part number
  int32_t eventBase;
  // By icon type 1..4: the visible icon and the hidden one beneath it.
  SharedRef<XGChipConfig::ConfigBase> icons[5];
  SharedRef<XGChipConfig::ConfigBase> iconsBelow[5];
  // By tile kind 2..10.
  SharedRef<XGChipConfig::ConfigBase> tiles[11];

  void drawIcon(int32_t column, int32_t row, int32_t spid, const FlowmodeConfig::SavePoint& point) {
    // Only the points the story has passed are shown.
    if (state->getSavePointRoute(spid) < 0) return;
    const int32_t type = point.type;
    if (type < 1 || type > 4 || !icons[type] || !iconsBelow[type]) return;
    const int32_t part = Wrap(int64_t{iconBase} + 2 * int64_t{spid});
    const int32_t x = Wrap(x0 + int64_t{kCell} * column);
    const int32_t y = Wrap(y0 + int64_t{kCell} * row);
    scenePartsB_addPart(part, true, x, y, 255, 128, icons[type].get());
    scenePartsB_addPart(Wrap(int64_t{part} + 1), false, x, y, 255, 127, iconsBelow[type].get());
    const int64_t event = int64_t{eventBase} + 4 * int64_t{spid};
    scenePartsB_setEventNumber(part, 2, Wrap(event));
    scenePartsB_setEventNumber(part, 1, Wrap(event + 1));
  }

  void drawTile(int32_t column, int32_t row, int32_t kind) {
    if (column < 0 || column >= columns || row < 0 || row >= rows) return;
    if (kind < 2 || kind > 10 || !tiles[kind]) return;
    const int32_t part = nextTile;
    nextTile = Wrap(int64_t{nextTile} + 1);
    scenePartsB_addPart(part, true, Wrap(x0 + int64_t{kCell} * column), Wrap(y0 + int64_t{kCell} * row), 255, 130,
                        tiles[kind].get());
  }

  static bool onTile(void* context, int32_t x, int32_t y, int32_t kind, int32_t number,
                     const FlowmodeConfig::SavePoint* record) {
    ChartDrawing* self = static_cast<ChartDrawing*>(context);
    if (kind == FlowmodeConfig::kTileIcon) {
      if (record) self->drawIcon(x, y, number, *record);
    } else {
      self->drawTile(x, y, kind);
    }
    return true;
  }

  // Only the connections the current route has taken are drawn.
  static bool onRoute(void* context, int32_t from, int32_t to) {
    return static_cast<ChartDrawing*>(context)->state->routeHasSavePoint(from, to);
  }
};

// The widest range 4500 tries number by number; a wider one lists the
// storage folder once instead.
constexpr int64_t kMaxStorageRange = 65536;

}  // namespace

// (spid): 0 when recorded (or ignored in appreciation mode), else -1.
std::unique_ptr<UFResult> UserfuncImpl::uf_flowmode_pass(const Args& args) {
  const int32_t spid = intArg(args, 0);
  if (spid < 0) {
    logAtStatement(LOG_WARN, u"flowmode_pass: セーブポイント番号が不正です(%d)\n", spid);
    return make_value_ufresult(-1);
  }
  return make_value_ufresult(stateMgr().flowmode_pass(spid) ? 0 : -1);
}

// (spid): 1 when restored, 0 when the point has no record, -1 in the story.
std::unique_ptr<UFResult> UserfuncImpl::uf_flowmode_load(const Args& args) {
  if (isUserMode()) {
    LogWrite(LOG_WARN, u"flowmode_load:ユーザーモードでは実行できません\n");
    return make_value_ufresult(-1);
  }
  return make_value_ufresult(stateMgr().flowmodeLoad(intArg(args, 0)) ? 1 : 0);
}

std::unique_ptr<UFResult> UserfuncImpl::uf_flowmode_reset(const Args&) {
  if (isUserMode()) {
    LogWrite(LOG_WARN, u"flowmode_reset:ユーザーモードでは実行できません\n");
    return make_value_ufresult(-1);
  }
  stateMgr().resetFlowMode();
  return make_zero_ufresult();
}

std::unique_ptr<UFResult> UserfuncImpl::uf_flowmode_lastspid(const Args&) {
  return make_value_ufresult(stateMgr().getLastSPID());
}

std::unique_ptr<UFResult> UserfuncImpl::uf_flowmode_routeid(const Args&) {
  return make_value_ufresult(stateMgr().getRouteID());
}

// (spid, what, string variable): one field of the chart's save point; the
// texts (what 6 and 7) also go into the string variable and answer their
// length; what 8 empties it. -1 for a point the chart lacks or what outside
// 0..8.
std::unique_ptr<UFResult> UserfuncImpl::uf_flowmode_point_info(const Args& args) {
  const FlowmodeConfig::SavePoint* point =
      environment() ? environment()->flowmode().findSavePoint(intArg(args, 0)) : nullptr;
  if (!point) return make_value_ufresult(-1);
  const int32_t variable = intArg(args, 2);
  auto text = [&](const std::u16string& value) {
    stateMgr().setPlayString(variable, value);
    return make_value_ufresult(lengthOf(value));
  };
  switch (intArg(args, 1)) {
    case 0: return make_value_ufresult(point->type);
    case 1: return make_zero_ufresult();
    case 2: return make_value_ufresult(point->x);
    case 3: return make_value_ufresult(point->y);
    case 4: return make_value_ufresult(point->page);
    case 5: return make_value_ufresult(point->imageNo);
    case 6: return text(point->text1);
    case 7: return text(point->text2);
    case 8: return text(u"");
    default: return make_value_ufresult(-1);
  }
}

// (page, x0, y0, columns, rows, icon part base, tile part base, event
// base): the page's passed save points as icon parts and the connections
// the current route took as tile parts, on the second parts layer.
std::unique_ptr<UFResult> UserfuncImpl::uf_flowmode_autodraw(const Args& args) {
  if (isUserMode()) {
    LogWrite(LOG_WARN, u"flowmode_autodraw:ユーザーモードでは実行できません\n");
    return make_value_ufresult(-1);
  }
  if (!environment()) return make_zero_ufresult();
  ChartDrawing drawing{&stateMgr(), intArg(args, 1), intArg(args, 2), intArg(args, 3), intArg(args, 4),
                       intArg(args, 5), intArg(args, 6), intArg(args, 7), {}, {}, {}};
  auto constant = [&](int32_t key) { return int64_t{stateMgr().getFlagConstant(key, 0)}; };
  const int64_t iconBase[4] = {constant(100), constant(101), constant(102), constant(103)};
  for (int32_t type = 1; type <= 4; ++type) {
    drawing.icons[type] = environment()->findPartsConfig(Wrap(iconBase[type - 1]));
    drawing.iconsBelow[type] = environment()->findPartsConfig(Wrap(iconBase[type - 1] + 1));
  }
  // Tile kind -> offset from constant 104.
  static constexpr int32_t kTileOffsets[][2] = {{10, 0}, {8, 1}, {7, 2}, {9, 3}, {2, 4}, {3, 5}, {4, 6}, {5, 7}, {6, 8}};
  const int64_t tileBase = constant(104);
  for (const auto& [kind, offset] : kTileOffsets) {
    drawing.tiles[kind] = environment()->findPartsConfig(Wrap(tileBase + offset));
  }
  FlowmodeConfig::DrawCallback callback;
  callback.context = &drawing;
  callback.drawTile = &ChartDrawing::onTile;
  callback.isRouteVisible = &ChartDrawing::onRoute;
  environment()->flowmode().drawPage(intArg(args, 0), 16, callback);
  return make_zero_ufresult();
}

// (first, last): deletes the storage files first..last in the storage
// folder; a last that is not an integer reads 0, a negative one reads
// first. A range wider than kMaxStorageRange deletes the files that the
// folder holds in it (a narrow one tries every number).
std::unique_ptr<UFResult> UserfuncImpl::uf_delete_storage_files(const Args& args) {
  const int32_t first = intArg(args, 0);
  int32_t last = intArg(args, 1);
  if (last < 0) last = first;
  const GameEnvironment* env = environment();
  if (!env || last < first) return make_zero_ufresult();
  if (int64_t{last} - first + 1 > kMaxStorageRange) {
    for (const std::u16string& name : env->storageFilesInRange(first, last)) {
      DeleteRelativeFile(name, env->storageFolder());
    }
    return make_zero_ufresult();
  }
  for (int64_t n = first; n <= last; ++n) {
    DeleteRelativeFile(env->getStoragePath(APValue(static_cast<int32_t>(n))), env->storageFolder());
  }
  return make_zero_ufresult();
}
