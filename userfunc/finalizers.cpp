#include "userfunc/finalizers.h"

#include "gamestate/state_mgr.h"
#include "scene/scene_facade.h"
#include "sound/sound_glue.h"

namespace {

class GenericCallFinalizer : public WaitFinalizer {
 public:
  explicit GenericCallFinalizer(std::function<bool()> function) : function_(std::move(function)) {}
  bool finish() override { return function_ ? function_() : false; }

 private:
  std::function<bool()> function_;
};

class CellFinishFinalizer : public WaitFinalizer {
 public:
  explicit CellFinishFinalizer(int32_t cell) : cell_(cell) {}
  bool finish() override { return sceneFG_finishCellEffect(cell_); }

 private:
  int32_t cell_;
};

class MsgwinSetposFinishFinalizer : public WaitFinalizer {
 public:
  MsgwinSetposFinishFinalizer(int32_t preset, int32_t x, int32_t y) : preset_(preset), x_(x), y_(y) {}
  bool finish() override { return sceneMsg_setPosition(preset_, x_, y_); }

 private:
  int32_t preset_, x_, y_;
};

}  // namespace

std::unique_ptr<WaitFinalizer> Make_GenericCallFinalizer(std::function<bool()> function) {
  return std::make_unique<GenericCallFinalizer>(std::move(function));
}

std::unique_ptr<WaitFinalizer> Make_CellFinishFinalizer(int32_t cell) {
  return std::make_unique<CellFinishFinalizer>(cell);
}

std::unique_ptr<WaitFinalizer> Make_MsgwinSetposFinishFinalizer(int32_t preset, int32_t x, int32_t y) {
  return std::make_unique<MsgwinSetposFinishFinalizer>(preset, x, y);
}

bool WriteTextMarkFinalizer::finish() {
  if (state_) state_->markTextRead(line_);
  return true;
}

bool SOStreamStopFinalizer::finish() { return SoundStreamStop(channel_, 0); }
