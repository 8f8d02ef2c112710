// StateMgr: the gl operations of the layer-graphics built-ins on the
// current presentation's layer table. Each checks its arguments, logs a
// refusal at WARN and answers false, or changes the table and either acts on
// the screen at once or queues a render command for the next commit. In
// system mode the operations that change the story's layers do nothing, so
// system screens cannot disturb them. Main thread.
#include <filesystem>
#include <string>

#include "app/file_helpers.h"
#include "app/game_environment.h"
#include "app/log.h"
#include "gamestate/state_mgr.h"
#include "gdev/image_file.h"
#include "gdev/image_ops.h"
#include "gdev/texture_manager.h"
#include "platform/utf8.h"
#include "scene/render_commands.h"
#include "scene/scene_facade.h"

namespace {

constexpr int32_t kWholeScreen = -1;
constexpr int32_t kVramMode = 2;
constexpr int32_t kMouseMode = 3;

// The layer, or null after `missing` is logged at WARN with its number. With
// a mode, a layer of another mode is refused the same way with `wrongMode`.
LayerEntry* FindLayer(LayerTable& table, int32_t layer, const char16_t* missing, int32_t mode = 0,
                      const char16_t* wrongMode = nullptr) {
  LayerEntry* entry = table.findLayer(layer);
  if (!entry) {
    LogWrite(LOG_WARN, missing, layer);
    return nullptr;
  }
  if (mode != 0 && entry->mode != mode) {
    LogWrite(LOG_WARN, wrongMode, layer);
    return nullptr;
  }
  return entry;
}

template <class Command, class... Args>
RCommandRef Make(Args&&... args) {
  return RCommandRef(new Command(std::forward<Args>(args)...));
}

// Where a selector sends a command: the layer, or (non-null) its group.
// False for selector 2 on an ungrouped layer.
bool Select(LayerTable& table, int32_t selector, LayerEntry& layer, GroupEntry** group) {
  GroupEntry* own = table.groupOf(layer);
  *group = nullptr;
  if (selector == 2) {
    if (!own) return false;
    *group = own;
  } else if (selector == 3) {
    *group = own;
  }
  return true;
}

// Finishes the transitions running on the group's members and on its node.
void FinishGroupTransitions(const LayerTable& table, const GroupEntry& group) {
  if (!table.boundToScreen()) return;
  for (const int32_t no : group.members) {
    if (const LayerEntry* member = table.findLayer(no); member && member->node >= 0) {
      sceneLayer_finishTransition(member->node);
    }
  }
  if (group.node >= 0) sceneLayer_finishTransition(group.node);
}

}  // namespace

// ---- lookups and the whole table ----

int32_t StateMgr::resolveLayer(int32_t kind, int32_t n) const {
  if (kind == 1) return current_.layers.findLayer(n) ? n : -2;
  if (kind == 2) return current_.layers.layerOfPicture(n);
  return -2;
}

int32_t StateMgr::layerOfPicture(int32_t picture) const { return current_.layers.layerOfPicture(picture); }

void StateMgr::commitAllLayers() { current_.layers.commitAll(); }

bool StateMgr::resetLayers() {
  current_.layers.clear();
  current_.layers.rebuildRenderSide();
  return true;
}

// ---- layers ----

bool StateMgr::gl_configure(int32_t layer, int32_t mode, int32_t vramWidth, int32_t vramHeight) {
  if (mode_ != kUserMode) return true;
  if (!current_.layers.addLayer(layer, mode, vramWidth, vramHeight)) {
    LogWrite(LOG_WARN, u"gl_configure:使用中のレイヤは再度設定できません(%d)\n", layer);
    return false;
  }
  return true;
}

bool StateMgr::gl_release_layers(int32_t lo, int32_t hi) {
  if (mode_ != kUserMode || lo > hi) return true;
  LayerTable& table = current_.layers;
  // Only the layers that exist in the range are visited.
  std::vector<int32_t> numbers;
  for (auto it = table.layers.lower_bound(lo); it != table.layers.end() && it->first <= hi; ++it) {
    numbers.push_back(it->first);
  }
  for (const int32_t no : numbers) table.releaseLayer(no);
  return true;
}

bool StateMgr::gl_commit(int32_t layer) {
  if (mode_ != kUserMode) return true;
  LayerTable& table = current_.layers;
  LayerEntry* entry = FindLayer(table, layer, u"gl_commit:不在レイヤ(%d)\n");
  if (!entry) return false;
  if (GroupEntry* group = table.groupOf(*entry)) {
    FinishGroupTransitions(table, *group);
    table.commitGroup(*group);
  } else {
    table.commitLayer(*entry);
  }
  return true;
}

bool StateMgr::gl_composition(int32_t selector, int32_t layer, int32_t op) {
  if (mode_ != kUserMode) return true;
  LayerTable& table = current_.layers;
  LayerEntry* entry = FindLayer(table, layer, u"gl_composition:不在レイヤ(%d)\n");
  if (!entry) return false;
  GroupEntry* group = nullptr;
  if (!Select(table, selector, *entry, &group)) return false;
  int32_t& stored = group ? group->compositeOp : entry->compositeOp;
  const int32_t node = group ? group->node : entry->node;
  stored = op;
  if (table.boundToScreen() && node >= 0) sceneLayer_setComposition(node, op);
  return true;
}

bool StateMgr::gl_mask(int32_t selector, int32_t layer, int32_t op) {
  if (mode_ != kUserMode) return true;
  LayerTable& table = current_.layers;
  LayerEntry* entry = FindLayer(table, layer, u"gl_mask:不在レイヤ(%d)\n");
  if (!entry) return false;
  GroupEntry* group = nullptr;
  if (!Select(table, selector, *entry, &group)) return false;
  if (group) {
    table.queueOnGroup(*group, Make<RCSetMaskOp<2>>(group->no, op));
  } else {
    table.queueOnLayer(*entry, Make<RCSetMaskOp<1>>(layer, op));
  }
  return true;
}

namespace {

// A picture >= 0 must exist and lie on the layer; a negative one means none.
bool CheckPicture(const LayerTable& table, int32_t layer, int32_t picture, const char16_t* missing,
                  const char16_t* elsewhere) {
  if (picture < 0) return true;
  const PictureEntry* entry = table.findPicture(picture);
  if (!entry) {
    LogWrite(LOG_WARN, missing, picture);
    return false;
  }
  if (entry->layer != layer) {
    LogWrite(LOG_WARN, elsewhere, layer, picture);
    return false;
  }
  return true;
}

}  // namespace

bool StateMgr::gl_maskpicture(int32_t selector, int32_t layer, int32_t picture, int32_t edge) {
  if (mode_ != kUserMode) return true;
  LayerTable& table = current_.layers;
  LayerEntry* entry = FindLayer(table, layer, u"gl_maskpicture:不在レイヤ(%d)\n");
  if (!entry) return false;
  if (!CheckPicture(table, layer, picture, u"gl_maskpicture:不在ピクチャ(%d)\n",
                    u"gl_maskpicture:このレイヤではそのピクチャは定義されていません(L:%d,P:%d)\n")) {
    return false;
  }
  GroupEntry* group = nullptr;
  if (!Select(table, selector, *entry, &group)) {
    LogWrite(LOG_WARN, u"gl_maskpicture:グループを作っていません(L:%d,P:%d)\n", layer, picture);
    return false;
  }
  if (group) {
    table.queueOnGroup(*group, Make<RCSetMaskPicture<2>>(group->no, picture, edge));
  } else {
    table.queueOnLayer(*entry, Make<RCSetMaskPicture<1>>(layer, picture, edge));
  }
  return true;
}

// ---- pictures ----

bool StateMgr::gl_init_picture(int32_t layer, int32_t picture, const APValue& url, int32_t type, int32_t numsel) {
  if (mode_ != kUserMode) return true;
  LayerTable& table = current_.layers;
  if (!FindLayer(table, layer, u"gl_init_picture:不在レイヤ(%d)\n")) return false;
  if (table.findPicture(picture)) {
    LogWrite(LOG_WARN, u"gl_init_picture:ピクチャは既に定義されています(L:%d, T:%d, P:%d)\n", layer, type, picture);
    return false;
  }
  if (!table.registerPicture(picture, type, url, numsel, layer)) {
    LogWrite(LOG_WARN, u"gl_init_picture:ピクチャの初期化に失敗(L:%d, T:%d, P:%d)\n", layer, type, picture);
    return false;
  }
  return true;
}

bool StateMgr::gl_delete_picture(int32_t layer, int32_t picture) {
  if (mode_ != kUserMode) return true;
  LayerTable& table = current_.layers;
  if (!FindLayer(table, layer, u"gl_delete_picture:不在レイヤ(%d)\n")) return false;
  const PictureEntry* entry = table.findPicture(picture);
  if (!entry || entry->layer != layer) {
    LogWrite(LOG_WARN, u"gl_delete_picture:ピクチャは定義されていません(L:%d, P:%d)\n", layer, picture);
    return false;
  }
  table.deletePicture(picture);
  return true;
}

bool StateMgr::gl_delete_all_picture(int32_t layer) {
  if (mode_ != kUserMode) return true;
  LayerTable& table = current_.layers;
  if (!FindLayer(table, layer, u"gl_delete_all_picture:不在レイヤ(%d)\n")) return false;
  std::vector<int32_t> numbers;
  for (const auto& [no, picture] : table.pictures) {
    if (picture->layer == layer) numbers.push_back(no);
  }
  for (const int32_t no : numbers) table.deletePicture(no);
  return true;
}

namespace {

// gl_sa_ctrl and gl_sa_loopflag: the checks, then the command on the
// layer or its group.
template <template <int> class Command, class Value>
bool QueuePictureCommand(LayerTable& table, int32_t selector, int32_t layer, int32_t picture, Value value,
                         const char16_t* noLayer, const char16_t* noPicture, const char16_t* elsewhere) {
  LayerEntry* entry = FindLayer(table, layer, noLayer);
  if (!entry) return false;
  if (!CheckPicture(table, layer, picture, noPicture, elsewhere)) return false;
  GroupEntry* group = nullptr;
  if (!Select(table, selector, *entry, &group)) return false;
  if (group) {
    table.queueOnGroup(*group, Make<Command<2>>(group->no, picture, value));
  } else {
    table.queueOnLayer(*entry, Make<Command<1>>(layer, picture, value));
  }
  return true;
}

}  // namespace

bool StateMgr::gl_sa_ctrl(int32_t selector, int32_t layer, int32_t picture, int32_t ctrl) {
  if (mode_ != kUserMode) return true;
  return QueuePictureCommand<RCSACtrl>(current_.layers, selector, layer, picture, ctrl, u"gl_sa_ctrl:不在レイヤ(%d)\n",
                                       u"gl_sa_ctrl:不在ピクチャ(%d)\n",
                                       u"gl_sa_ctrl:このレイヤではそのピクチャは定義されていません(L:%d,P:%d)\n");
}

bool StateMgr::gl_sa_loopflag(int32_t selector, int32_t layer, int32_t picture, bool flag) {
  if (mode_ != kUserMode) return true;
  return QueuePictureCommand<RCSALoopFlag>(current_.layers, selector, layer, picture, flag,
                                           u"gl_sa_loopflag:不在レイヤ(%d)\n", u"gl_sa_loopflag:不在ピクチャ(%d)\n",
                                           u"このレイヤではそのピクチャは定義されていません(L:%d,P:%d)\n");
}

bool StateMgr::gl_order(int32_t layer, int32_t order) {
  if (mode_ != kUserMode) return true;
  LayerTable& table = current_.layers;
  LayerEntry* entry = FindLayer(table, layer, u"gl_order:不在レイヤ(%d)\n");
  if (!entry) return false;
  // The entry keeps the order only when the screen takes it.
  if (table.boundToScreen() && entry->node >= 0 && sceneLayer_setOrder(entry->node, order)) entry->order = order;
  return true;
}

bool StateMgr::gl_single_change_picture(int32_t layer, int32_t picture) {
  if (mode_ != kUserMode) return true;
  LayerTable& table = current_.layers;
  LayerEntry* entry = FindLayer(table, layer, u"gl_single_change_picture:不在レイヤ(%d)\n");
  if (!entry) return false;
  if (!CheckPicture(table, layer, picture, u"gl_single_change_picture:不在ピクチャ(%d)\n",
                    u"gl_single_change_picture:このレイヤではそのピクチャは定義されていません(L:%d,P:%d)\n")) {
    return false;
  }
  table.queueOnLayer(*entry, Make<RCSingleSetPicture>(layer, picture));
  return true;
}

// ---- VRAM layers ----

bool StateMgr::gl_vram_clear(int32_t layer, int32_t r, int32_t g, int32_t b, int32_t a) {
  if (mode_ != kUserMode) return true;
  LayerTable& table = current_.layers;
  LayerEntry* entry =
      FindLayer(table, layer, u"gl_vram_clear:不在レイヤ(%d)\n", kVramMode, u"gl_vram_clear:VRAMモードではない(%d)\n");
  if (!entry) return false;
  table.queueOnLayer(*entry, Make<RCVramClear>(layer, std::array<int32_t, 4>{r, g, b, a}));
  return true;
}

bool StateMgr::gl_vram_draw_picture(int32_t layer, const std::array<int32_t, 16>& record) {
  if (mode_ != kUserMode) return true;
  LayerTable& table = current_.layers;
  LayerEntry* entry = FindLayer(table, layer, u"gl_vram_draw_picture:不在レイヤ(%d)\n", kVramMode,
                                u"gl_vram_draw_picture:VRAMモードではない(%d)\n");
  if (!entry) return false;
  if (!table.findPicture(record[0])) {
    LogWrite(LOG_WARN, u"gl_vram_draw_picture:ピクチャは定義されていません(L:%d, P:%d)\n", layer, record[0]);
    return false;
  }
  table.queueOnLayer(*entry, Make<RCVramDrawPicture>(layer, record));
  return true;
}

bool StateMgr::gl_vram_modify(int32_t layer, int32_t, const std::array<int32_t, 16>& record) {
  if (mode_ != kUserMode) return true;
  LayerTable& table = current_.layers;
  LayerEntry* entry =
      FindLayer(table, layer, u"gl_vram_modify:不在レイヤ(%d)\n", kVramMode, u"gl_vram_modify:VRAMモードではない(%d)\n");
  if (!entry) return false;
  table.queueOnLayer(*entry, Make<RCVramModify>(layer, record));
  return true;
}

bool StateMgr::gl_vram_copy(int32_t target, int32_t source) {
  if (mode_ != kUserMode) return true;
  LayerTable& table = current_.layers;
  LayerEntry* to = table.findLayer(target);
  LayerEntry* from = table.findLayer(source);
  if (!to || !from) {
    LogWrite(LOG_WARN, u"gl_vram_copy:不在レイヤ(%d)\n", to ? source : target);
    return false;
  }
  if (to->mode != kVramMode) {
    LogWrite(LOG_WARN, u"gl_vram_copy:コピー先はVRAMモードじゃない(%d)\n", target);
    return false;
  }
  if (!table.boundToScreen() || to->node < 0) return true;
  if (!to->vramImage) sceneLayer_vramRecordOp(to->node, &to->vramImage);
  const GroupEntry* group = table.groupOf(*from);
  sceneLayer_vramCopy(to->node, group ? group->node : from->node);
  return true;
}

// ---- transitions, motions, effects, visibility ----

bool StateMgr::gl_transit(int32_t layer, int32_t kind, int32_t duration, int32_t parameter, int32_t rule,
                          const std::array<int32_t, 8>& values) {
  if (mode_ != kUserMode) return true;
  LayerTable& table = current_.layers;
  LayerEntry* entry = nullptr;
  if (layer >= 0) {
    entry = FindLayer(table, layer, u"gl_transit:不在レイヤ(%d)\n");
    if (!entry) return false;
  }
  if (rule > 0 && !table.findPicture(rule)) {
    LogWrite(LOG_WARN, u"gl_transit:ピクチャは定義されていません(L:%d, P:%d)\n", layer, rule);
    return false;
  }
  GroupEntry* group = entry ? table.groupOf(*entry) : nullptr;
  const bool live = table.boundToScreen();
  const int32_t node = !entry ? kWholeScreen : group ? group->node : entry->node;
  if (live && (node >= 0 || node == kWholeScreen)) sceneLayer_finishTransition(node);
  auto commit = [&] {
    if (!entry) {
      table.commitAll();
    } else if (group) {
      FinishGroupTransitions(table, *group);
      table.commitGroup(*group);
    } else {
      table.commitLayer(*entry);
    }
  };
  if (kind < 1 || !live || (node < 0 && node != kWholeScreen)) {
    commit();
    return true;
  }
  sceneLayer_capture(node, -2, 0, 0, nullptr);
  commit();
  sceneLayer_capture(node, -3, 0, 0, nullptr);
  int32_t started = 0;
  sceneLayer_startTransition(node, kind, duration, parameter, rule, values, &started);
  return true;
}

bool StateMgr::gl_transit_finish(int32_t layer) {
  if (mode_ != kUserMode) return true;
  LayerTable& table = current_.layers;
  if (layer < 0) {
    if (table.boundToScreen()) sceneLayer_finishTransition(kWholeScreen);
    return true;
  }
  LayerEntry* entry = FindLayer(table, layer, u"gl_transit:不在レイヤ(%d)\n");
  if (!entry) return false;
  if (GroupEntry* group = table.groupOf(*entry)) {
    FinishGroupTransitions(table, *group);
  } else if (table.boundToScreen() && entry->node >= 0) {
    sceneLayer_finishTransition(entry->node);
  }
  return true;
}

bool StateMgr::gl_motion(int32_t selector, int32_t layer, int32_t kind, int32_t duration, int32_t parameter,
                         int32_t mask, const MotionParams& record) {
  if (mode_ != kUserMode) return true;
  LayerTable& table = current_.layers;
  LayerEntry* entry = FindLayer(table, layer, u"gl_motion:不在レイヤ(%d)\n");
  if (!entry) return false;
  GroupEntry* group = nullptr;
  if (!Select(table, selector, *entry, &group)) return false;
  if (group) {
    table.queueOnGroup(*group, Make<RCMotion<2>>(group->no, kind, duration, parameter, mask, record, layer));
  } else {
    table.queueOnLayer(*entry, Make<RCMotion<1>>(layer, kind, duration, parameter, mask, record));
  }
  return true;
}

bool StateMgr::gl_motion_finish(int32_t selector, int32_t layer) {
  if (mode_ != kUserMode) return true;
  LayerTable& table = current_.layers;
  if (layer == kWholeScreen) {
    // The whole screen's effect (gl_effect on -1) ends at once.
    if (table.boundToScreen()) sceneLayer_stopAnimator(kWholeScreen);
    return true;
  }
  LayerEntry* entry = FindLayer(table, layer, u"gl_motion_finish:不在レイヤ(%d)\n");
  if (!entry) return false;
  GroupEntry* group = nullptr;
  if (!Select(table, selector, *entry, &group)) return false;
  // The motion a wait ends is on the screen already (the commit before the
  // frame started it): it stops now, so whatever the script does next sees
  // it at its end rather than at the next commit.
  const MotionParams zero = MotionParams::fromValues({});
  if (group) {
    RCMotion<2>(group->no, -1, 0, 0, 0, zero, layer).apply(table, group->no);
  } else {
    RCMotion<1>(layer, -1, 0, 0, 0, zero).apply(table, -1);
  }
  return true;
}

bool StateMgr::gl_effect(int32_t selector, int32_t layer, int32_t kind, int32_t duration, int32_t parameter,
                         const std::array<int32_t, 8>& values) {
  if (mode_ != kUserMode) return true;
  LayerTable& table = current_.layers;
  if (layer == kWholeScreen) {
    if (!table.boundToScreen()) return true;
    if (kind < 0) {
      sceneLayer_stopAnimator(kWholeScreen);
    } else {
      sceneLayer_effect(kWholeScreen, kind, duration, parameter, values);
    }
    return true;
  }
  LayerEntry* entry = FindLayer(table, layer, u"gl_effect:不在レイヤ(%d)\n");
  if (!entry) return false;
  GroupEntry* group = nullptr;
  if (!Select(table, selector, *entry, &group)) return false;
  if (group) {
    table.queueOnGroup(*group, Make<RCEffect<2>>(group->no, kind, duration, parameter, values));
  } else {
    table.queueOnLayer(*entry, Make<RCEffect<1>>(layer, kind, duration, parameter, values));
  }
  return true;
}

bool StateMgr::gl_visible(int32_t selector, int32_t layer, bool on) {
  LayerTable& table = current_.layers;
  if (layer < 0) {
    if (table.boundToScreen()) sceneLayer_setVisible(kWholeScreen, on);
    return true;
  }
  LayerEntry* entry = FindLayer(table, layer, u"gl_visible:不在レイヤ(%d)\n");
  if (!entry) return false;
  GroupEntry* group = nullptr;
  if (!Select(table, selector, *entry, &group)) return false;
  if (group) {
    table.queueOnGroup(*group, Make<RCVisible<2>>(group->no, on));
  } else {
    table.queueOnLayer(*entry, Make<RCVisible<1>>(layer, on));
  }
  return true;
}

bool StateMgr::gl_capture(int32_t layer, const APValue& storage, int32_t alpha, int32_t encode, int32_t width,
                          int32_t height) {
  LayerTable& table = current_.layers;
  int32_t node = kWholeScreen;
  if (layer >= 0) {
    const LayerEntry* entry = FindLayer(table, layer, u"gl_capture:不在レイヤ(%d)\n");
    if (!entry) return false;
    const GroupEntry* group = table.groupOf(*entry);
    node = group ? group->node : entry->node;
  }
  if (!table.boundToScreen() || !environment_ || (node < 0 && node != kWholeScreen)) return false;
  RGBAImageRef image;
  sceneLayer_capture(node, -4, 0, 0, &image);
  if (!image || image->width < 1 || image->height < 1) return false;
  const int32_t w = width > 0 ? width : image->width;
  const int32_t h = height > 0 ? height : image->height;
  if (w != image->width || h != image->height) {
    while (int64_t{w} * 2 < image->width) HalveImage(image, image);
    ResampleImage(image, image, w, h);
    // A size past the image cap gives an empty image.
    if (!image || image->width != w || image->height != h) return false;
  }
  const std::u16string name = environment_->getStoragePath(storage);
  std::u16string path;
  if (!ResolveWritePath(environment_->storageFolder(), name, &path)) return false;
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(platform::ToUtf8(path)).parent_path(), ignored);
  if (SaveImageFile(path, image, alpha != 0, encode != 0) != 0) return false;
  // The next load of the file reads what was just written.
  GetTextureManager().purgeCached(name);
  GetTextureManager().purgeCached(path);
  return true;
}

// ---- groups ----

bool StateMgr::gl_single_link(int32_t a, int32_t b) {
  if (mode_ != kUserMode) return true;
  LayerTable& table = current_.layers;
  LayerEntry* first = table.findLayer(a);
  LayerEntry* second = table.findLayer(b);
  if (!first || !second) {
    LogWrite(LOG_WARN, u"gl_single_link:不在レイヤ(%d)\n", first ? b : a);
    return false;
  }
  // One layer linked with itself makes no group.
  if (first == second) return true;
  GroupEntry* groupA = table.groupOf(*first);
  GroupEntry* groupB = table.groupOf(*second);
  if (!groupA && !groupB) {
    GroupEntry* made = table.createGroup();
    if (!made) return false;
    table.join(*first, *made);
    table.join(*second, *made);
  } else if (groupA && !groupB) {
    table.join(*second, *groupA);
  } else if (!groupA && groupB) {
    table.join(*first, *groupB);
  } else if (groupA != groupB) {
    table.merge(*groupA, *groupB);
  }
  return true;
}

bool StateMgr::gl_single_unlink(int32_t layer, int32_t how) {
  if (mode_ != kUserMode) return true;
  LayerTable& table = current_.layers;
  LayerEntry* entry = FindLayer(table, layer, u"gl_single_unlink:不在レイヤ(%d)\n");
  if (!entry) return false;
  GroupEntry* group = table.groupOf(*entry);
  if (!group) return true;
  if (how == 0) {
    table.dissolve(*group);
  } else if (how == 1) {
    table.leave(*entry);
  }
  return true;
}

// ---- MOUSE layers ----

namespace {

int32_t LiveNode(const LayerTable& table, const LayerEntry& layer) { return table.boundToScreen() ? layer.node : -1; }

}  // namespace

bool StateMgr::gl_hitmap_area(int32_t layer, int32_t parts) {
  LayerTable& table = current_.layers;
  LayerEntry* entry =
      FindLayer(table, layer, u"gl_hitmap_area:不在レイヤ(%d)\n", kMouseMode, u"gl_hitmap_area:MOUSEモードではない(%d)\n");
  if (!entry) return false;
  entry->hitTestParts = parts;
  entry->hitTestEventNo.clear();
  entry->hitTestAutoCursorMap.clear();
  entry->hitTestAMMap.clear();
  entry->hitTestAMMode = 0;
  if (const int32_t node = LiveNode(table, *entry); node >= 0) {
    layerSetHitTestMap(node, parts);
    for (int32_t type = 1; type <= 5; ++type) sceneLayer_setItemEventNumber(node, type, 0);
    sceneLayer_setAreaCursor(node, -1, u"");
    sceneLayer_clearAutoMoves(node);
  }
  return true;
}

bool StateMgr::gl_hitmap_area_event(int32_t layer, int32_t type, int32_t number) {
  LayerTable& table = current_.layers;
  LayerEntry* entry =
      FindLayer(table, layer, u"gl_hitmap_area:不在レイヤ(%d)\n", kMouseMode, u"gl_hitmap_area:MOUSEモードではない(%d)\n");
  if (!entry) return false;
  if (number < 1) {
    entry->hitTestEventNo.erase(type);
  } else {
    entry->hitTestEventNo[type] = number;
  }
  if (const int32_t node = LiveNode(table, *entry); node >= 0) sceneLayer_setItemEventNumber(node, type, number);
  return true;
}

bool StateMgr::gl_hitmap_cursor(int32_t layer, int32_t area, const APValue& cursor) {
  LayerTable& table = current_.layers;
  LayerEntry* entry =
      FindLayer(table, layer, u"gl_hitmap_cursor:不在レイヤ(%d)\n", kMouseMode, u"gl_hitmap_cursor:MOUSEモードではない(%d)\n");
  if (!entry) return false;
  if (area < 0) {
    entry->hitTestAutoCursorMap.clear();
    area = -1;
  }
  // A named or numbered cursor is kept (a number would be lost on save
  // otherwise); anything else erases the area's.
  const bool keep = (cursor.isString() && !cursor.svalue.empty()) || (cursor.isInt() && cursor.ivalue >= 0);
  if (keep) {
    entry->hitTestAutoCursorMap[area] = cursor;
  } else {
    entry->hitTestAutoCursorMap.erase(area);
  }
  if (const int32_t node = LiveNode(table, *entry); node >= 0) layerSetAreaCursor(node, area, cursor);
  return true;
}

bool StateMgr::gl_hitmap_accmove_config(int32_t layer, int32_t area, int32_t ctrl, int32_t cond, int32_t unit,
                                        int32_t current) {
  LayerTable& table = current_.layers;
  LayerEntry* entry = FindLayer(table, layer, u"gl_hitmap_accmove_config:不在レイヤ(%d)\n", kMouseMode,
                                 u"gl_hitmap_accmove_config:MOUSEモードではない(%d)\n");
  if (!entry) return false;
  auto& map = entry->hitTestAMMap;
  if (area >= 0) {
    entry->hitTestAMMode = 1;
    map.erase(-1);
  } else {
    entry->hitTestAMMode = 0;
    area = -1;
    for (auto it = map.begin(); it != map.end();) it = it->first == -1 ? std::next(it) : map.erase(it);
  }
  AutoMoveRecord& record = map[area];
  record.ctrl = ctrl;
  record.cond = cond;
  record.unit = unit;
  if (current >= 0) record.current = current;
  if (const int32_t node = LiveNode(table, *entry); node >= 0) {
    sceneLayer_setAutoMove(node, area, ctrl, cond, unit, current);
  }
  return true;
}

bool StateMgr::gl_hitmap_accmove_getcount(int32_t layer, int32_t area, int32_t* out) {
  LayerTable& table = current_.layers;
  LayerEntry* entry = FindLayer(table, layer, u"gl_hitmap_accmove_getcount:不在レイヤ(%d)\n", kMouseMode,
                                 u"gl_hitmap_accmove_getcount:MOUSEモードではない(%d)\n");
  if (!entry) return false;
  if (const int32_t node = LiveNode(table, *entry); node >= 0) {
    sceneLayer_getAutoMoveCount(node, area < 0 ? -1 : area, out);
    // Keep the count for saves.
    auto found = entry->hitTestAMMap.find(area < 0 ? -1 : area);
    if (found != entry->hitTestAMMap.end() && out) found->second.current = *out;
  }
  return true;
}

bool StateMgr::gl_hitmap_last_mouse_position(int32_t layer, int32_t which, int32_t* x, int32_t* y) {
  (void)which;
  LayerTable& table = current_.layers;
  LayerEntry* entry = FindLayer(table, layer, u"gl_hitmap_last_mouse_position:不在レイヤ(%d)\n", kMouseMode,
                                 u"gl_hitmap_last_mouse_position:MOUSEモードではない(%d)\n");
  if (!entry) return false;
  // A layer without a node on the screen answers the position as it was given.
  if (const int32_t node = LiveNode(table, *entry); node >= 0) layerGetLastMousePosition(node, x, y);
  return true;
}
