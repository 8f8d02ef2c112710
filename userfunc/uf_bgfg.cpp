// Built-ins 2000-2003 and 2010-2015: the background's picture, effects and
// framing, and the foreground cells. A timed call records its target for
// saves (user mode only), fits its wait mode to the skip state and waits
// with a finalizer that ends the change at once, so however the wait ends
// the picture is in its final state.
#include "app/game_environment.h"
#include "gamestate/state_mgr.h"
#include "scene/scene_facade.h"
#include "userfunc/finalizers.h"
#include "userfunc/userfunc_impl.h"

namespace {

// The eleven cell fields from argument `first` on.
CellFields CellFieldArgs(const UserfuncImpl::Args& args, size_t first) {
  CellFields fields{};
  for (size_t i = 0; i < fields.size(); ++i) fields[i] = UserfuncImpl::intArg(args, first + i);
  return fields;
}

std::unique_ptr<WaitFinalizer> BGFinishFinalizer() {
  return Make_GenericCallFinalizer([] { return sceneBG_finishEffect(); });
}

}  // namespace

// (picture, tx, ty, tw, th, kind, duration, mode, direction, easing, fade, extra)
std::unique_ptr<UFResult> UserfuncImpl::uf_bg_change(const Args& args) {
  const APValue picture = resourceArg(args, 0);
  const int32_t tx = intArg(args, 1), ty = intArg(args, 2), tw = intArg(args, 3), th = intArg(args, 4);
  int32_t kind = intArg(args, 5);
  int32_t duration = intArg(args, 6);
  int32_t mode = intArg(args, 7);
  const int32_t direction = intArg(args, 8), easing = intArg(args, 9), fade = intArg(args, 10);
  const int32_t extra = intArg(args, 11);

  StateMgr& state = stateMgr();
  state.setSavedPicture(picture, tx, ty, tw, th);
  if (picture.isInt() && picture.ivalue >= 0) state.markPictureViewed(picture.ivalue, 1);
  bool yield = false;
  if (normalizeWaitMode(mode, kind, duration, yield)) stopSkipForEffect();
  const std::u16string path = environment() ? environment()->getImagePath(picture) : std::u16string();
  sceneBG_changePicture(kind, path, tx, ty, tw, th, duration, direction, easing, fade, extra);
  return make_modewait_ufresult(mode, duration, yield, BGFinishFinalizer());
}

// (kind, duration, mode, p1, p2, p3, p4)
std::unique_ptr<UFResult> UserfuncImpl::uf_bg_effect(const Args& args) {
  int32_t kind = intArg(args, 0);
  int32_t duration = intArg(args, 1);
  int32_t mode = intArg(args, 2);
  const int32_t p1 = intArg(args, 3), p2 = intArg(args, 4), p3 = intArg(args, 5);
  bool yield = false;
  if (normalizeWaitMode(mode, kind, duration, yield)) stopSkipForEffect();
  sceneBG_effect(kind, duration, p1, p2, p3);
  return make_modewait_ufresult(mode, duration, yield, BGFinishFinalizer());
}

// (tx, ty, tw, th, kind, duration, mode, ignored, easing, extra, extra)
std::unique_ptr<UFResult> UserfuncImpl::uf_bg_move(const Args& args) {
  const int32_t tx = intArg(args, 0), ty = intArg(args, 1), tw = intArg(args, 2), th = intArg(args, 3);
  int32_t kind = intArg(args, 4);
  int32_t duration = intArg(args, 5);
  int32_t mode = intArg(args, 6);
  const int32_t ignored = intArg(args, 7), easing = intArg(args, 8);
  const int32_t extra1 = intArg(args, 9), extra2 = intArg(args, 10);
  stateMgr().setSavedPictureRect(tx, ty, tw, th);
  bool yield = false;
  if (normalizeWaitMode(mode, kind, duration, yield)) stopSkipForEffect();
  sceneBG_move(kind, tx, ty, tw, th, duration, ignored, easing, extra1, extra2);
  return make_modewait_ufresult(mode, duration, yield, BGFinishFinalizer());
}

std::unique_ptr<UFResult> UserfuncImpl::uf_bg_finish(const Args&) {
  sceneBG_finishEffect();
  return make_zero_ufresult();
}

// (cell, picture, eleven fields, kind, duration, mode, direction, easing,
// fade, distance)
std::unique_ptr<UFResult> UserfuncImpl::uf_fg_change(const Args& args) {
  const int32_t cell = intArg(args, 0);
  const APValue picture = resourceArg(args, 1);
  const CellFields f = CellFieldArgs(args, 2);
  int32_t kind = intArg(args, 13);
  int32_t duration = intArg(args, 14);
  int32_t mode = intArg(args, 15);
  const int32_t direction = intArg(args, 16), easing = intArg(args, 17), fade = intArg(args, 18);
  const int32_t distance = intArg(args, 19);

  stateMgr().setSavedCell(cell, picture, f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8], f[9], f[10]);
  bool yield = false;
  if (normalizeWaitMode(mode, kind, duration, yield)) stopSkipForEffect();
  const std::u16string path = environment() ? environment()->getCellImagePath(picture) : std::u16string();
  sceneFG_changeCell(cell, kind, path, f, duration, direction, easing, fade, distance);
  return make_modewait_ufresult(mode, duration, yield, Make_CellFinishFinalizer(cell));
}

// (cell, kind, duration, mode, p1, easing, p3, p4)
std::unique_ptr<UFResult> UserfuncImpl::uf_fg_effect(const Args& args) {
  const int32_t cell = intArg(args, 0);
  int32_t kind = intArg(args, 1);
  int32_t duration = intArg(args, 2);
  int32_t mode = intArg(args, 3);
  const int32_t p1 = intArg(args, 4), easing = intArg(args, 5), p3 = intArg(args, 6), p4 = intArg(args, 7);
  bool yield = false;
  if (normalizeWaitMode(mode, kind, duration, yield)) stopSkipForEffect();
  sceneFG_cellEffect(cell, kind, duration, p1, easing, p3, p4);
  return make_modewait_ufresult(mode, duration, yield, Make_CellFinishFinalizer(cell));
}

// (cell, field mask, eleven fields, kind, duration, mode, ignored, easing,
// extra, extra): the fields outside the mask keep their saved values.
std::unique_ptr<UFResult> UserfuncImpl::uf_fg_move(const Args& args) {
  const int32_t cell = intArg(args, 0);
  const int32_t mask = intArg(args, 1);
  CellFields f = CellFieldArgs(args, 2);
  int32_t kind = intArg(args, 13);
  int32_t duration = intArg(args, 14);
  int32_t mode = intArg(args, 15);
  const int32_t ignored = intArg(args, 16), easing = intArg(args, 17);
  const int32_t extra1 = intArg(args, 18), extra2 = intArg(args, 19);

  stateMgr().exchangeSavedCellFields(cell, mask, f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8], f[9], f[10]);
  bool yield = false;
  if (normalizeWaitMode(mode, kind, duration, yield)) stopSkipForEffect();
  sceneFG_moveCell(cell, kind, f, duration, ignored, easing, extra1, extra2);
  return make_modewait_ufresult(mode, duration, yield, Make_CellFinishFinalizer(cell));
}

std::unique_ptr<UFResult> UserfuncImpl::uf_fg_finish(const Args& args) {
  sceneFG_finishCellEffect(intArg(args, 0));
  return make_zero_ufresult();
}

std::unique_ptr<UFResult> UserfuncImpl::uf_fg_remove(const Args& args) {
  const int32_t cell = intArg(args, 0);
  stateMgr().eraseSavedCell(cell);
  sceneFG_removeCell(cell);
  return make_zero_ufresult();
}

std::unique_ptr<UFResult> UserfuncImpl::uf_fg_remove_all(const Args&) {
  stateMgr().clearSavedCells();
  sceneFG_removeAllCells();
  return make_zero_ufresult();
}
