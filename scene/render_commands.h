// Render commands: the layer changes a script makes that wait in a queue
// until their layer, its group or the whole table is committed. Each class
// is a template over its variant: <1> is made on a layer (and queued on the
// layer, or on its group while it is grouped), <2> on a group. Commands are
// shared between copied queues through SharedRef. Applying looks the
// target up by number; a target that is gone makes the command do nothing.
// Main thread.
#pragma once

#include <array>
#include <cstdint>

#include "scene/layer_table.h"
#include "scene/motion_params.h"

class RCommand {
 public:
  RCommand(int32_t kind, int32_t target) : kind_(kind), target_(target) {}
  virtual ~RCommand() = default;
  // group: the number of the group whose queue is applied, -1 for a
  // layer's queue.
  virtual void apply(LayerTable& table, int32_t group) = 0;

  int32_t kind() const { return kind_; }
  // The layer number (<1>) or the group number (<2>).
  int32_t target() const { return target_; }

 private:
  int32_t kind_;
  int32_t target_;
};

template <int Variant>
class RCSetMaskOp : public RCommand {
 public:
  RCSetMaskOp(int32_t target, int32_t op) : RCommand(1, target), op_(op) {}
  void apply(LayerTable& table, int32_t group) override;

 private:
  int32_t op_;
};

template <int Variant>
class RCSetMaskPicture : public RCommand {
 public:
  RCSetMaskPicture(int32_t target, int32_t picture, int32_t edge) : RCommand(2, target), picture_(picture), edge_(edge) {}
  void apply(LayerTable& table, int32_t group) override;

 private:
  int32_t picture_;
  int32_t edge_;
};

class RCSingleSetPicture : public RCommand {
 public:
  RCSingleSetPicture(int32_t target, int32_t picture) : RCommand(3, target), picture_(picture) {}
  void apply(LayerTable& table, int32_t group) override;

 private:
  int32_t picture_;
};

class RCVramClear : public RCommand {
 public:
  RCVramClear(int32_t target, const std::array<int32_t, 4>& color) : RCommand(4, target), color_(color) {}
  void apply(LayerTable& table, int32_t group) override;

 private:
  std::array<int32_t, 4> color_;
};

// The drawing record of a picture drawn into a VRAM layer:
//   0 picture number;
//   1-4 destination x, y, width, height (a width or height below 1: the
//       picture's own size);
//   5-8 source x, y, width, height in the picture (x below 0: the whole
//       picture);
//   9 blending: 1 over what is there, anything else a copy;
//   10 not used;
//   11-14 colour multiplier red, green, blue, alpha (0..255);
//   15 not used.
// Everything is clipped to the picture and to the VRAM image.
using VramDrawRecord = std::array<int32_t, 16>;

class RCVramDrawPicture : public RCommand {
 public:
  RCVramDrawPicture(int32_t target, const VramDrawRecord& record) : RCommand(5, target), record_(record) {}
  void apply(LayerTable& table, int32_t group) override;

 private:
  VramDrawRecord record_;
};

class RCVramModify : public RCommand {
 public:
  // record[0] is the filter mode: 1 grey, 2 sepia.
  RCVramModify(int32_t target, const std::array<int32_t, 16>& record) : RCommand(7, target), record_(record) {}
  void apply(LayerTable& table, int32_t group) override;

 private:
  std::array<int32_t, 16> record_;
};

template <int Variant>
class RCSACtrl : public RCommand {
 public:
  RCSACtrl(int32_t target, int32_t picture, int32_t ctrl) : RCommand(7, target), picture_(picture), ctrl_(ctrl) {}
  void apply(LayerTable& table, int32_t group) override;

 private:
  int32_t picture_;
  int32_t ctrl_;
};

template <int Variant>
class RCSALoopFlag : public RCommand {
 public:
  RCSALoopFlag(int32_t target, int32_t picture, bool flag) : RCommand(8, target), picture_(picture), flag_(flag) {}
  void apply(LayerTable& table, int32_t group) override;

 private:
  int32_t picture_;
  bool flag_;
};

template <int Variant>
class RCMotion : public RCommand {
 public:
  // reference: for <2>, the layer whose change moves and scales the
  // members (the layer the script named).
  RCMotion(int32_t target, int32_t kind, int32_t duration, int32_t parameter, int32_t mask, const MotionParams& record,
           int32_t reference = -1)
      : RCommand(9, target),
        motionKind_(kind),
        duration_(duration),
        parameter_(parameter),
        mask_(mask),
        record_(record),
        reference_(reference) {}
  void apply(LayerTable& table, int32_t group) override;

 private:
  int32_t motionKind_;
  int32_t duration_;
  int32_t parameter_;
  int32_t mask_;
  MotionParams record_;
  int32_t reference_;
};

template <int Variant>
class RCEffect : public RCommand {
 public:
  RCEffect(int32_t target, int32_t kind, int32_t duration, int32_t parameter, const std::array<int32_t, 8>& values)
      : RCommand(10, target), effectKind_(kind), duration_(duration), parameter_(parameter), values_(values) {}
  void apply(LayerTable& table, int32_t group) override;

 private:
  int32_t effectKind_;
  int32_t duration_;
  int32_t parameter_;
  std::array<int32_t, 8> values_;
};

template <int Variant>
class RCVisible : public RCommand {
 public:
  RCVisible(int32_t target, bool on) : RCommand(11, target), on_(on) {}
  void apply(LayerTable& table, int32_t group) override;

 private:
  bool on_;
};

// Draws the record's picture into the image (clipped); false when the
// picture has no image.
bool DrawPictureIntoVram(RGBAImageRef& image, const VramDrawRecord& record);
