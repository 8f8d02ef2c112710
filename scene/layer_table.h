// LayerTable: the script-side model of the script layers, kept in the
// presentation state so that saves carry it: numbered layers, groups of
// layers and numbered pictures, each with the queue of render commands
// waiting for the next commit. Only the table bound to the screen (the
// current presentation's) makes and removes nodes of the layer component;
// copies (backups, save slots, snapshots) keep the numbers and never touch
// the screen. Main thread.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "app/shared_ref.h"
#include "gdev/rgba_image.h"
#include "scene/motion_params.h"
#include "script/ap_value.h"

class RCommand;
using RCommandRef = SharedRef<RCommand>;

struct PictureEntry {
  int32_t type = 0;  // 1 image file, 2 stream animation
  int32_t no = -1;
  APValue url = APValue(false);
  int32_t numsel = 1;
  int32_t layer = -2;  // the layer it was registered on
};

struct AutoMoveRecord {
  int32_t ctrl = 1;
  int32_t cond = 1;
  int32_t unit = 1;
  int32_t current = 0;
};

struct LayerEntry {
  int32_t node = -1;  // handle of the render-side node
  int32_t mode = 1;   // 1 picture, 2 VRAM, 3 MOUSE
  int32_t no = -1;
  int32_t groupNo = -1;
  int32_t vramWidth = 0;
  int32_t vramHeight = 0;
  int32_t order = 0;
  bool visible = true;
  int32_t compositeOp = 1;
  MotionParams motionParams;
  int32_t mainPictureNo = -1;
  int32_t mainSACtrl = 2;
  bool mainSALoop = true;
  int32_t maskOp = 1;
  int32_t maskPictureNo = -1;
  int32_t maskPictureEdge = 1;
  int32_t maskSACtrl = -1;
  bool maskSALoop = true;
  RGBAImageRef vramImage;  // one logical image with the node's picture
  int32_t hitTestParts = -1;
  std::map<int32_t, int32_t> hitTestEventNo;
  std::map<int32_t, APValue> hitTestAutoCursorMap;
  int32_t hitTestAMMode = 0;
  std::map<int32_t, AutoMoveRecord> hitTestAMMap;
  std::vector<RCommandRef> queue;
};

struct GroupEntry {
  int32_t node = -1;
  int32_t mode = 10;
  int32_t no = -1;
  std::vector<int32_t> members;  // layer numbers in the order they joined
  bool visible = true;
  int32_t compositeOp = 1;
  int32_t maskOp = 1;
  MotionParams motionParams;
  int32_t maskPictureNo = -1;
  int32_t maskPictureEdge = 1;
  int32_t maskSACtrl = -1;
  bool maskSALoop = false;
  std::vector<RCommandRef> queue;
};

class LayerTable {
 public:
  LayerTable() = default;
  // A copy is never bound to the screen.
  LayerTable(const LayerTable& other) { assign(other); }
  // Keeps this table's binding; see assign.
  LayerTable& operator=(const LayerTable& other);
  ~LayerTable();

  // Bound, the table makes and removes render nodes as its entries come and
  // go; unbound it only keeps numbers.
  void bindToScreen(bool bound) { bound_ = bound; }
  bool boundToScreen() const { return bound_; }

  // --- lookups (no logging) ---
  LayerEntry* findLayer(int32_t no) const;
  GroupEntry* findGroup(int32_t no) const;
  // The layer's group, or null when it has none (or it is gone).
  GroupEntry* groupOf(const LayerEntry& layer) const;
  PictureEntry* findPicture(int32_t no) const;
  // The layer a picture was registered on, -1 when the picture is absent.
  int32_t layerOfPicture(int32_t picture) const;

  // --- entries ---
  // A new layer with the defaults, its node made at once (mode, order =
  // layer number). Null when the number is in use.
  LayerEntry* addLayer(int32_t no, int32_t mode, int32_t vramWidth, int32_t vramHeight);
  // Leaves its group (the group dies when emptied), is erased, its node
  // removed.
  void releaseLayer(int32_t no);
  // The next group number, a group with the defaults and its node; null
  // once the numbers are used up.
  GroupEntry* createGroup();
  // Commits L's own queue, then L joins G (its node under G's node).
  void join(LayerEntry& layer, GroupEntry& group);
  // Both committed; every member of b moves to a; b committed again and
  // destroyed.
  void merge(GroupEntry& a, GroupEntry& b);
  // The group committed; L leaves it; an emptied group is committed and
  // destroyed.
  void leave(LayerEntry& layer);
  // The group committed; every member leaves; the group is destroyed.
  void dissolve(GroupEntry& group);
  // Loads the picture on the render side and records it; false (ERROR
  // "登録済みのピクチャ番号です(%d)\n" for a number in use) when refused or
  // the load fails.
  bool registerPicture(int32_t no, int32_t type, const APValue& url, int32_t numsel, int32_t layer);
  // Erases the picture and removes it from the render side.
  void deletePicture(int32_t no);

  // --- commits ---
  // Applies the layer's queue oldest first (nothing for a grouped layer).
  void commitLayer(LayerEntry& layer);
  // Every member's layer commit, then the group's own queue.
  void commitGroup(GroupEntry& group);
  // Every group in ascending number, then every ungrouped layer.
  void commitAll();
  // A layer command goes to the layer's queue, or its group's when grouped.
  void queueOnLayer(LayerEntry& layer, RCommandRef command);
  void queueOnGroup(GroupEntry& group, RCommandRef command) { group.queue.push_back(std::move(command)); }

  // --- the whole table ---
  // Every entry destroyed (nodes removed when bound); the maps empty.
  void clear();
  // A deep copy of the other table (commands shared); this table's binding
  // stays.
  void assign(const LayerTable& other);
  // The layer component reset, then every picture loaded again, every layer
  // and every group made again from its entry.
  void rebuildRenderSide();
  // After reading saved state: member lists from the layers' group numbers
  // (ascending layer number); a number naming no group becomes -1.
  void rebuildMemberLists();

  int32_t nextGroupNo = 0;
  std::map<int32_t, std::unique_ptr<LayerEntry>> layers;
  std::map<int32_t, std::unique_ptr<GroupEntry>> groups;
  std::map<int32_t, std::unique_ptr<PictureEntry>> pictures;

 private:
  void destroyLayer(LayerEntry& layer);
  void destroyGroup(GroupEntry& group);
  // The node of the layer under the group's node (-1: the container).
  void attach(int32_t groupNode, const LayerEntry& layer) const;

  bool bound_ = false;
};

// The stored record updated by the incoming one under the 12-bit mask
// (0x1 main-switch, 0x2 I-x/I-y, 0x4 I-w/I-h, 0x8 T-x/T-y, 0x10 T-w/T-h,
// 0x20 mask-system, 0x40 mask-switch, 0x80 MI-x/MI-y, 0x100 MI-w/MI-h,
// 0x200 MT-x/MT-y, 0x400 MT-w/MT-h, 0x800 MC-r..MC-a).
MotionParams MergeMotionParams(const MotionParams& stored, const MotionParams& incoming, int32_t mask);

// What the layer table asks of the scene for pictures and MOUSE layers.
// Type 1 (image): a number goes through the image rule when flag is 1,
// else the storage rule; a string as it stands. Type 2: the
// stream-animation rule. Other types: false.
bool layerLoadPicture(int32_t picture, int32_t type, const APValue& url, int32_t flag);
// The touch map of the ":parts" entry (none unless it is a touch map).
bool layerSetHitTestMap(int32_t node, int32_t parts);
// The area's cursor (every area when negative) through the cursor rule.
bool layerSetAreaCursor(int32_t node, int32_t area, const APValue& cursor);
// The node's last pointer position (left as given for an unknown node);
// always true.
bool layerGetLastMousePosition(int32_t node, int32_t* x, int32_t* y);
