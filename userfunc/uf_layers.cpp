// Built-ins 1000-1048: the script layers, their pictures and groups, the
// queued render commands, VRAM drawing, screen capture and the hit maps of
// MOUSE layers. Each handler turns its (kind, number) target into a layer
// number and hands the rest to one layer-table operation of the StateMgr;
// the table logs its own refusals. Results: 0 when the operation was
// carried out, -1 for a target that does not resolve (named at DEBUG only)
// or a refusal. Motion, transition and effect may wait; their finalizers
// end the change at once.
// Main thread.
#include <algorithm>
#include <array>
#include <memory>

#include "app/log.h"
#include "gamestate/state_mgr.h"
#include "scene/motion_params.h"
#include "userfunc/userfunc_impl.h"

namespace UserfuncImpl_NG_localNS {

// Ends the transition of a layer (< 0: the whole screen) at once.
class TC : public WaitFinalizer {
 public:
  TC(StateMgr* state, int32_t layer) : state_(state), layer_(layer) {}
  bool finish() override { return F(); }
  bool F() { return state_->gl_transit_finish(layer_); }

 private:
  StateMgr* state_;
  int32_t layer_;
};

// Ends the motion or effect of a layer or its group (selector as in the
// layer table; layer -1: the whole screen) at once.
class MC : public WaitFinalizer {
 public:
  MC(StateMgr* state, int32_t selector, int32_t layer) : state_(state), selector_(selector), layer_(layer) {}
  bool finish() override { return F(); }
  bool F() { return state_->gl_motion_finish(selector_, layer_); }

 private:
  StateMgr* state_;
  int32_t selector_;
  int32_t layer_;
};

}  // namespace UserfuncImpl_NG_localNS

namespace {

using UserfuncImpl_NG_localNS::MC;
using UserfuncImpl_NG_localNS::TC;

constexpr int32_t kScreen = -1;       // the whole layer screen
constexpr int32_t kNoLayer = -2;      // resolveLayer: no such layer
constexpr int32_t kAllAreas = -1;     // hit-map operations: every area
constexpr int32_t kGroupIfAny = 3;    // selector: the group when grouped

int32_t IntArg(const UserfuncImpl::Args& args, size_t i) { return UserfuncImpl::intArg(args, i); }

int32_t ColourArg(const UserfuncImpl::Args& args, size_t i) { return std::clamp(IntArg(args, i), 0, 255); }

template <size_t N>
std::array<int32_t, N> IntBlock(const UserfuncImpl::Args& args, size_t first) {
  std::array<int32_t, N> block{};
  for (size_t i = 0; i < N; ++i) block[i] = IntArg(args, first + i);
  return block;
}

// A built-in as its target messages name it.
struct Builtin {
  int32_t number;
  const char16_t* name;
};

// A target that does not resolve makes the built-in answer -1 at once; with
// -d a DEBUG line names the built-in, the target and the statement.
void NoTarget(const UserfuncImpl& self, Builtin builtin, int32_t kind, int32_t number) {
  self.logAtStatement(LOG_DEBUG, u"%s(%d):対象のレイヤがありません(種類:%d, 番号:%d)\n", builtin.name, builtin.number,
                      kind, number);
}

// The layer of the (kind, number) target at argument `at`: kind 1 a layer,
// kind 2 the layer of a picture; below 0 when there is none.
int32_t Target(const UserfuncImpl& self, Builtin builtin, const UserfuncImpl::Args& args, size_t at) {
  const int32_t kind = IntArg(args, at), number = IntArg(args, at + 1);
  const int32_t layer = self.stateMgr().resolveLayer(kind, number);
  if (layer < 0) NoTarget(self, builtin, kind, number);
  return layer;
}

// A target of the (screen) built-ins: kind 1 with number -1 is the whole
// screen without asking the table, and so is a picture on no layer; only
// a missing layer (-2) fails.
int32_t ScreenTarget(const UserfuncImpl& self, Builtin builtin, const UserfuncImpl::Args& args, size_t at) {
  const int32_t kind = IntArg(args, at), number = IntArg(args, at + 1);
  if (kind == 1 && number == kScreen) return kScreen;
  const int32_t layer = self.stateMgr().resolveLayer(kind, number);
  if (layer == kNoLayer) NoTarget(self, builtin, kind, number);
  return layer;
}

// The layer holding a picture (the target of the picture built-ins); below
// 0 when it lies on none.
int32_t PictureLayer(const UserfuncImpl& self, Builtin builtin, int32_t picture) {
  const int32_t layer = self.stateMgr().layerOfPicture(picture);
  if (layer < 0) NoTarget(self, builtin, 2, picture);
  return layer;
}

std::unique_ptr<UFResult> Answer(bool done) { return UserfuncImpl::make_value_ufresult(done ? 0 : -1); }
std::unique_ptr<UFResult> Fail() { return Answer(false); }

// Kind and time of a timed call: no change, or no time, is neither.
void ZeroUntimed(int32_t& kind, int32_t& time) {
  if (kind == 0 || time < 1) kind = time = 0;
}

// After a timed operation started: its wait when something runs, else the
// immediate answer (a frame passes when skipping asked for one).
std::unique_ptr<UFResult> TimedResult(UserfuncImpl& self, int32_t kind, int32_t mode, int32_t time, bool yield,
                                      std::unique_ptr<WaitFinalizer> finalizer) {
  if (kind != 0) return self.make_modewait_ufresult(mode, time, yield, std::move(finalizer));
  return yield ? UserfuncImpl::make_nextframe_ufresult() : UserfuncImpl::make_zero_ufresult();
}

}  // namespace

void UserfuncImpl::registerLayerHandlers() {
  registerHandlers({1000}, &UserfuncImpl::uf_gl_configure);
  registerHandlers({1001}, &UserfuncImpl::uf_gl_commit);
  registerHandlers({1002}, &UserfuncImpl::uf_gl_composition);
  registerHandlers({1003}, &UserfuncImpl::uf_gl_mask);
  registerHandlers({1004}, &UserfuncImpl::uf_gl_maskpicture);
  registerHandlers({1006}, &UserfuncImpl::uf_gl_motion);
  registerHandlers({1007}, &UserfuncImpl::uf_gl_transit);
  registerHandlers({1008}, &UserfuncImpl::uf_gl_init_picture);
  registerHandlers({1009}, &UserfuncImpl::uf_gl_delete_picture);
  registerHandlers({1010}, &UserfuncImpl::uf_gl_sa_ctrl);
  registerHandlers({1011}, &UserfuncImpl::uf_gl_sa_loopflag);
  registerHandlers({1012}, &UserfuncImpl::uf_gl_order);
  registerHandlers({1013}, &UserfuncImpl::uf_gl_effect);
  registerHandlers({1014}, &UserfuncImpl::uf_gl_delete_all_picture);
  registerHandlers({1015}, &UserfuncImpl::uf_gl_reset_layers);
  registerHandlers({1016}, &UserfuncImpl::uf_gl_visible);
  registerHandlers({1017}, &UserfuncImpl::uf_gl_capture);
  registerHandlers({1018}, &UserfuncImpl::uf_gl_release_layers);
  registerHandlers({1020}, &UserfuncImpl::uf_gl_single_change_picture);
  registerHandlers({1021}, &UserfuncImpl::uf_gl_single_link);
  registerHandlers({1022}, &UserfuncImpl::uf_gl_single_unlink);
  registerHandlers({1030}, &UserfuncImpl::uf_gl_vram_clear);
  registerHandlers({1031}, &UserfuncImpl::uf_gl_vram_draw_picture);
  registerHandlers({1032}, &UserfuncImpl::uf_gl_vram_modify);
  registerHandlers({1033}, &UserfuncImpl::uf_gl_vram_copy);
  registerHandlers({1040}, &UserfuncImpl::uf_gl_hitmap_area);
  registerHandlers({1041}, &UserfuncImpl::uf_gl_hitmap_area_event);
  registerHandlers({1042}, &UserfuncImpl::uf_gl_hitmap_cursor);
  registerHandlers({1043}, &UserfuncImpl::uf_gl_hitmap_accmove_config);
  registerHandlers({1044}, &UserfuncImpl::uf_gl_hitmap_accmove_getcount);
  registerHandlers({1045}, &UserfuncImpl::uf_gl_hitmap_last_mouse_position);
  registerHandlers({1046}, &UserfuncImpl::uf_gl_hitmap_area_cursor);
  registerHandlers({1047}, &UserfuncImpl::uf_gl_hitmap_area_accmove_config);
  registerHandlers({1048}, &UserfuncImpl::uf_gl_hitmap_area_accmove_getcount);
}

// (layer, mode 1 picture / 2 VRAM / 3 MOUSE, vram width, vram height)
std::unique_ptr<UFResult> UserfuncImpl::uf_gl_configure(const Args& args) {
  const int32_t mode = intArg(args, 1);
  if (mode < 1 || mode > 3) {
    logAtStatement(LOG_WARN, u"gl_configure:無効なモード値です(%d)\n", mode);
    return Fail();
  }
  return Answer(stateMgr().gl_configure(intArg(args, 0), mode, intArg(args, 2), intArg(args, 3)));
}

// (kind, number)
std::unique_ptr<UFResult> UserfuncImpl::uf_gl_commit(const Args& args) {
  const int32_t layer = Target(*this, {1001, u"gl_commit"}, args, 0);
  return Answer(layer >= 0 && stateMgr().gl_commit(layer));
}

// (selector, kind, number, op)
std::unique_ptr<UFResult> UserfuncImpl::uf_gl_composition(const Args& args) {
  const int32_t layer = Target(*this, {1002, u"gl_composition"}, args, 1);
  return Answer(layer >= 0 && stateMgr().gl_composition(intArg(args, 0), layer, intArg(args, 3)));
}

// (selector, kind, number, op)
std::unique_ptr<UFResult> UserfuncImpl::uf_gl_mask(const Args& args) {
  const int32_t layer = Target(*this, {1003, u"gl_mask"}, args, 1);
  return Answer(layer >= 0 && stateMgr().gl_mask(intArg(args, 0), layer, intArg(args, 3)));
}

// (selector, kind, number, picture (< 0: none), edge)
std::unique_ptr<UFResult> UserfuncImpl::uf_gl_maskpicture(const Args& args) {
  const int32_t layer = Target(*this, {1004, u"gl_maskpicture"}, args, 1);
  return Answer(layer >= 0 &&
                stateMgr().gl_maskpicture(intArg(args, 0), layer, intArg(args, 3), intArg(args, 4)));
}

// (selector, kind, number, motion, time ms, wait mode, parameter, update
// mask, then the 23-integer motion record; its colour, the last four, is
// held to 0..255). Not a screen target.
std::unique_ptr<UFResult> UserfuncImpl::uf_gl_motion(const Args& args) {
  const int32_t selector = intArg(args, 0);
  int32_t motion = intArg(args, 3);
  int32_t time = intArg(args, 4);
  int32_t mode = intArg(args, 5);
  const int32_t parameter = intArg(args, 6), mask = intArg(args, 7);
  std::array<int32_t, MotionParams::kCount> record = IntBlock<MotionParams::kCount>(args, 8);
  for (size_t i = MotionParams::kCount - 4; i < MotionParams::kCount; ++i) record[i] = std::clamp(record[i], 0, 255);
  ZeroUntimed(motion, time);

  const int32_t layer = Target(*this, {1006, u"gl_motion"}, args, 1);
  if (layer < 0) return Fail();
  bool yield = false;
  if (normalizeWaitMode(mode, motion, time, yield)) stopSkipForEffect();
  if (!stateMgr().gl_motion(selector, layer, motion, time, parameter, mask, MotionParams::fromValues(record))) {
    return Fail();
  }
  return TimedResult(*this, motion, mode, time, yield, std::make_unique<MC>(&stateMgr(), selector, layer));
}

// (kind, number, transition, time ms, wait mode, parameter, rule picture,
// eight values). Screen target.
std::unique_ptr<UFResult> UserfuncImpl::uf_gl_transit(const Args& args) {
  int32_t transition = intArg(args, 2);
  int32_t time = intArg(args, 3);
  int32_t mode = intArg(args, 4);
  const int32_t parameter = intArg(args, 5), rule = intArg(args, 6);
  const std::array<int32_t, 8> values = IntBlock<8>(args, 7);
  ZeroUntimed(transition, time);

  const int32_t layer = ScreenTarget(*this, {1007, u"gl_transit"}, args, 0);
  if (layer == kNoLayer) return Fail();
  bool yield = false;
  if (normalizeWaitMode(mode, transition, time, yield)) stopSkipForEffect();
  if (!stateMgr().gl_transit(layer, transition, time, parameter, rule, values)) return Fail();
  return TimedResult(*this, transition, mode, time, yield, std::make_unique<TC>(&stateMgr(), layer));
}

// (layer, picture, image number or text, type 1 image / 2 stream
// animation, numsel 1 or 2). A numbered image shown in the story counts as
// seen.
std::unique_ptr<UFResult> UserfuncImpl::uf_gl_init_picture(const Args& args) {
  const APValue image = resourceArg(args, 2);
  const int32_t type = intArg(args, 3), numsel = intArg(args, 4);
  if (!image.isInt() && !image.isString()) {
    logAtStatement(LOG_WARN, u"gl_init_picture:画像番号は数値か文字列\n");
    return Fail();
  }
  if (type != 1 && type != 2) {
    logAtStatement(LOG_WARN, u"gl_init_picture:リソースタイプが変(%d)\n", type);
    return Fail();
  }
  if (numsel != 1 && numsel != 2) {
    logAtStatement(LOG_WARN, u"gl_init_picture:リソースNUMSELが変(%d)\n", numsel);
    return Fail();
  }
  if (!stateMgr().gl_init_picture(intArg(args, 0), intArg(args, 1), image, type, numsel)) return Fail();
  if (isUserMode() && type == 1 && numsel == 1 && image.isInt() && image.ivalue >= 0) {
    stateMgr().markPictureViewed(image.ivalue, 1);
  }
  return make_zero_ufresult();
}

// (picture)
std::unique_ptr<UFResult> UserfuncImpl::uf_gl_delete_picture(const Args& args) {
  const int32_t picture = intArg(args, 0);
  const int32_t layer = stateMgr().layerOfPicture(picture);
  if (layer < 0) {
    logAtStatement(LOG_WARN, u"gl_delete_picture:未使用のピクチャ番号(%d)\n", picture);
    return Fail();
  }
  return Answer(stateMgr().gl_delete_picture(layer, picture));
}

// (selector, picture, control)
std::unique_ptr<UFResult> UserfuncImpl::uf_gl_sa_ctrl(const Args& args) {
  const int32_t picture = intArg(args, 1);
  const int32_t layer = PictureLayer(*this, {1010, u"gl_sa_ctrl"}, picture);
  return Answer(layer >= 0 && stateMgr().gl_sa_ctrl(intArg(args, 0), layer, picture, intArg(args, 2)));
}

// (selector, picture, loop flag)
std::unique_ptr<UFResult> UserfuncImpl::uf_gl_sa_loopflag(const Args& args) {
  const int32_t picture = intArg(args, 1);
  const int32_t layer = PictureLayer(*this, {1011, u"gl_sa_loopflag"}, picture);
  return Answer(layer >= 0 && stateMgr().gl_sa_loopflag(intArg(args, 0), layer, picture, flagArg(args, 2)));
}

// (kind, number, order)
std::unique_ptr<UFResult> UserfuncImpl::uf_gl_order(const Args& args) {
  const int32_t layer = Target(*this, {1012, u"gl_order"}, args, 0);
  return Answer(layer >= 0 && stateMgr().gl_order(layer, intArg(args, 2)));
}

// (selector, kind, number, effect, time ms, wait mode, parameter, eight
// values). Screen target; the wait's finalizer stops the effect of the
// layer's group when it has one.
std::unique_ptr<UFResult> UserfuncImpl::uf_gl_effect(const Args& args) {
  const int32_t selector = intArg(args, 0);
  int32_t effect = intArg(args, 3);
  int32_t time = intArg(args, 4);
  int32_t mode = intArg(args, 5);
  const int32_t parameter = intArg(args, 6);
  const std::array<int32_t, 8> values = IntBlock<8>(args, 7);
  ZeroUntimed(effect, time);

  const int32_t layer = ScreenTarget(*this, {1013, u"gl_effect"}, args, 1);
  if (layer == kNoLayer) return Fail();
  bool yield = false;
  if (normalizeWaitMode(mode, effect, time, yield)) stopSkipForEffect();
  if (!stateMgr().gl_effect(selector, layer, effect, time, parameter, values)) return Fail();
  return TimedResult(*this, effect, mode, time, yield, std::make_unique<MC>(&stateMgr(), kGroupIfAny, layer));
}

// (kind, number)
std::unique_ptr<UFResult> UserfuncImpl::uf_gl_delete_all_picture(const Args& args) {
  const int32_t kind = intArg(args, 0), number = intArg(args, 1);
  const int32_t layer = stateMgr().resolveLayer(kind, number);
  if (layer < 0) {
    logAtStatement(LOG_WARN, u"gl_delete_all_picture:未定義のレイヤ(%d, %d)\n", kind, number);
    return Fail();
  }
  return Answer(stateMgr().gl_delete_all_picture(layer));
}

std::unique_ptr<UFResult> UserfuncImpl::uf_gl_reset_layers(const Args&) { return Answer(stateMgr().resetLayers()); }

// (selector, kind, number, visible). Screen target: every layer at once.
std::unique_ptr<UFResult> UserfuncImpl::uf_gl_visible(const Args& args) {
  const int32_t layer = ScreenTarget(*this, {1016, u"gl_visible"}, args, 1);
  return Answer(layer != kNoLayer && stateMgr().gl_visible(intArg(args, 0), layer, flagArg(args, 3)));
}

// (kind, number, storage file number or text, alpha flag, encode flag,
// width, height; 0 keeps the captured size). Screen target.
std::unique_ptr<UFResult> UserfuncImpl::uf_gl_capture(const Args& args) {
  const int32_t layer = ScreenTarget(*this, {1017, u"gl_capture"}, args, 0);
  const int32_t width = intArg(args, 5), height = intArg(args, 6);
  if (layer == kNoLayer || width < 0 || height < 0) return Fail();
  return Answer(stateMgr().gl_capture(layer, resourceArg(args, 2), intArg(args, 3), intArg(args, 4), width, height));
}

// (first, last): the layers first..last that exist; a last that is not an
// integer, is 0 or is below first releases only first.
std::unique_ptr<UFResult> UserfuncImpl::uf_gl_release_layers(const Args& args) {
  const int32_t first = intArg(args, 0);
  const bool lastGiven = args.size() > 1 && args[1].isInt();
  const int32_t last = lastGiven ? args[1].ivalue : 0;
  return Answer(stateMgr().gl_release_layers(first, last != 0 && last >= first ? last : first));
}

// (kind, number, picture (< 0: none))
std::unique_ptr<UFResult> UserfuncImpl::uf_gl_single_change_picture(const Args& args) {
  const int32_t layer = Target(*this, {1020, u"gl_single_change_picture"}, args, 0);
  return Answer(layer >= 0 && stateMgr().gl_single_change_picture(layer, intArg(args, 2)));
}

// (kind, number, kind2, number2)
std::unique_ptr<UFResult> UserfuncImpl::uf_gl_single_link(const Args& args) {
  const int32_t a = Target(*this, {1021, u"gl_single_link"}, args, 0);
  const int32_t b = Target(*this, {1021, u"gl_single_link"}, args, 2);
  return Answer(a >= 0 && b >= 0 && stateMgr().gl_single_link(a, b));
}

// (kind, number, how: 0 the whole group, 1 this layer)
std::unique_ptr<UFResult> UserfuncImpl::uf_gl_single_unlink(const Args& args) {
  const int32_t layer = Target(*this, {1022, u"gl_single_unlink"}, args, 0);
  return Answer(layer >= 0 && stateMgr().gl_single_unlink(layer, intArg(args, 2)));
}

// (kind, number, r, g, b, a), each held to 0..255.
std::unique_ptr<UFResult> UserfuncImpl::uf_gl_vram_clear(const Args& args) {
  const int32_t layer = Target(*this, {1030, u"gl_vram_clear"}, args, 0);
  return Answer(layer >= 0 && stateMgr().gl_vram_clear(layer, ColourArg(args, 2), ColourArg(args, 3),
                                                       ColourArg(args, 4), ColourArg(args, 5)));
}

// (picture, then 15 integers): the drawing record is the picture and the
// 15 integers, the colour multiplier (11-14) held to 0..255. Drawn into
// the VRAM of the layer holding the picture.
std::unique_ptr<UFResult> UserfuncImpl::uf_gl_vram_draw_picture(const Args& args) {
  std::array<int32_t, 16> record = IntBlock<16>(args, 0);
  for (size_t i = 11; i <= 14; ++i) record[i] = std::clamp(record[i], 0, 255);
  const int32_t layer = PictureLayer(*this, {1031, u"gl_vram_draw_picture"}, record[0]);
  return Answer(layer >= 0 && stateMgr().gl_vram_draw_picture(layer, record));
}

// (kind, number, unused, 16 integers; the first is the filter mode)
std::unique_ptr<UFResult> UserfuncImpl::uf_gl_vram_modify(const Args& args) {
  const int32_t layer = Target(*this, {1032, u"gl_vram_modify"}, args, 0);
  return Answer(layer >= 0 && stateMgr().gl_vram_modify(layer, intArg(args, 2), IntBlock<16>(args, 3)));
}

// (kind, number, kind2, number2): target, source
std::unique_ptr<UFResult> UserfuncImpl::uf_gl_vram_copy(const Args& args) {
  const int32_t target = Target(*this, {1033, u"gl_vram_copy"}, args, 0);
  const int32_t source = Target(*this, {1033, u"gl_vram_copy"}, args, 2);
  return Answer(target >= 0 && source >= 0 && stateMgr().gl_vram_copy(target, source));
}

// ---- hit maps of MOUSE layers: (kind, number, ...) ----

// (kind, number, parts number of a touch map)
std::unique_ptr<UFResult> UserfuncImpl::uf_gl_hitmap_area(const Args& args) {
  const int32_t layer = Target(*this, {1040, u"gl_hitmap_area"}, args, 0);
  return Answer(layer >= 0 && stateMgr().gl_hitmap_area(layer, intArg(args, 2)));
}

// (kind, number, item event type 1..5, event number)
std::unique_ptr<UFResult> UserfuncImpl::uf_gl_hitmap_area_event(const Args& args) {
  const int32_t layer = Target(*this, {1041, u"gl_hitmap_area_event"}, args, 0);
  return Answer(layer >= 0 && stateMgr().gl_hitmap_area_event(layer, intArg(args, 2), intArg(args, 3)));
}

// (kind, number, cursor number or text) for every area
std::unique_ptr<UFResult> UserfuncImpl::uf_gl_hitmap_cursor(const Args& args) {
  const int32_t layer = Target(*this, {1042, u"gl_hitmap_cursor"}, args, 0);
  return Answer(layer >= 0 && stateMgr().gl_hitmap_cursor(layer, kAllAreas, resourceArg(args, 2)));
}

// (kind, number, ctrl, cond, unit, current) for every area
std::unique_ptr<UFResult> UserfuncImpl::uf_gl_hitmap_accmove_config(const Args& args) {
  const int32_t layer = Target(*this, {1043, u"gl_hitmap_accmove_config"}, args, 0);
  return Answer(layer >= 0 && stateMgr().gl_hitmap_accmove_config(layer, kAllAreas, intArg(args, 2), intArg(args, 3),
                                                                   intArg(args, 4), intArg(args, 5)));
}

// (kind, number): the count of the record for every area, -1 unless set
std::unique_ptr<UFResult> UserfuncImpl::uf_gl_hitmap_accmove_getcount(const Args& args) {
  const int32_t layer = Target(*this, {1044, u"gl_hitmap_accmove_getcount"}, args, 0);
  int32_t count = -1;
  if (layer < 0 || !stateMgr().gl_hitmap_accmove_getcount(layer, kAllAreas, &count)) return Fail();
  return make_value_ufresult(count);
}

// (kind, number, which: passed on, not read): x << 16 | (y & 0xFFFF)
std::unique_ptr<UFResult> UserfuncImpl::uf_gl_hitmap_last_mouse_position(const Args& args) {
  const int32_t layer = Target(*this, {1045, u"gl_hitmap_last_mouse_position"}, args, 0);
  int32_t x = 0, y = 0;
  if (layer < 0 || !stateMgr().gl_hitmap_last_mouse_position(layer, intArg(args, 2), &x, &y)) return Fail();
  return make_value_ufresult(packXY(x, y));
}

// (kind, number, area, cursor number or text)
std::unique_ptr<UFResult> UserfuncImpl::uf_gl_hitmap_area_cursor(const Args& args) {
  const int32_t layer = Target(*this, {1046, u"gl_hitmap_area_cursor"}, args, 0);
  return Answer(layer >= 0 && stateMgr().gl_hitmap_cursor(layer, intArg(args, 2), resourceArg(args, 3)));
}

// (kind, number, area, ctrl, cond, unit, current)
std::unique_ptr<UFResult> UserfuncImpl::uf_gl_hitmap_area_accmove_config(const Args& args) {
  const int32_t layer = Target(*this, {1047, u"gl_hitmap_area_accmove_config"}, args, 0);
  return Answer(layer >= 0 && stateMgr().gl_hitmap_accmove_config(layer, intArg(args, 2), intArg(args, 3),
                                                                   intArg(args, 4), intArg(args, 5), intArg(args, 6)));
}

// (kind, number, area): the area's count, -1 unless set
std::unique_ptr<UFResult> UserfuncImpl::uf_gl_hitmap_area_accmove_getcount(const Args& args) {
  const int32_t layer = Target(*this, {1048, u"gl_hitmap_area_accmove_getcount"}, args, 0);
  int32_t count = -1;
  if (layer < 0 || !stateMgr().gl_hitmap_accmove_getcount(layer, intArg(args, 2), &count)) return Fail();
  return make_value_ufresult(count);
}
