// XG_Layer: the script layers on screen, between the background and the
// foreground cells. It holds one XGLayer node per layer and per group of
// the layer table, found by handle, under one container node; the pictures
// the nodes show, by picture number; and the tick that sorts the nodes by
// their orders and moves their animations. Main thread.
#pragma once

#include <cstdint>
#include <map>
#include <string_view>

#include "scene/my_timer.h"
#include "scene/xg_base.h"
#include "scene/xg_layer_node.h"

class GameEnvironment;

class XG_Layer : public XGBase, public GUIComposite, public AUtil, public XGLayerConstants {
 public:
  enum PictureType : int32_t { kImage = 1, kStreamAnime = 2 };

  XG_Layer(int32_t width, int32_t height);
  ~XG_Layer() override;

  GUIComponent* getComponent() override { return this; }

  // Every picture and node removed, a new empty container, the auto-move
  // counters emptied and the default pointer back.
  void reset();
  // The new node's handle: one more than the highest in use (0 first). The
  // node takes the component's size; width and height are not used.
  int32_t createNode(int32_t mode, int32_t order, int32_t width, int32_t height);
  void removeNode(int32_t handle);
  // Moves the node under the group node (-1: the container).
  void attachToGroup(int32_t group, int32_t handle);
  // False for a group node and for an order another node has (WARN).
  bool setOrder(int32_t handle, int32_t order);
  // Rebuilds the drawing order when an order changed.
  void sort();
  // The node of a handle (-1: the container), or null.
  XGLayer* node(int32_t handle) const;
  XGLayer* container() const { return container_; }
  // Asks for every frame until nothing moves any more (after a change that
  // may start something).
  void wake();
  size_t nodeCount() const { return nodes_.size(); }

  // Type 1 loads the image file, 2 the stream-animation folder, under the
  // number (replacing what it held). False, with "url(%s)からのロードに失敗\n",
  // when the load fails.
  bool loadPicture(int32_t number, int32_t type, std::u16string_view url, int32_t numsel);
  void removePicture(int32_t number);
  // Null when the number holds nothing.
  LayerPictureRef picture(int32_t number) const;
  // Picture -1 removes the node's picture; an unknown number does nothing.
  void setPicture(int32_t handle, int32_t which, int32_t number);

  // Node -1: every layer (the container, shown again by a reset).
  void setNodeVisible(int32_t handle, bool on);
  // -1 when either node is unknown or both are one; -1 with an ERROR line
  // when the target is not a VRAM node; else the source's look goes into
  // the target's picture and 1.
  int32_t vramCopy(int32_t target, int32_t source);
  // fold_all of the node (-1: the container).
  bool capture(int32_t handle, int32_t target, RGBAImageRef* out);
  // -1 for an unknown node or a rule picture number > 0 that holds nothing.
  int32_t startTransition(int32_t handle, int32_t kind, int32_t duration, int32_t parameter, int32_t rule,
                          const int32_t values[8]);
  void finishTransition(int32_t handle);
  // The extent of the picture under the record, in the component; false
  // when the picture does not exist.
  bool placementExtent(int32_t number, const MotionParams& record, GDevRect* extent) const;
  // The record whose I-x, I-y, I-w and I-h give the rectangle under the
  // switch; false when the picture does not exist.
  bool placementInverse(int32_t number, int32_t switchWord, const GDevRect& rect, MotionParams* record) const;
  // The count of the MOUSE node's area; false when the node or the area
  // has none.
  bool autoMoveCount(int32_t handle, int32_t area, int32_t* count) const;

 private:
  void tick(float progress);
  XGLayer* makeContainer();

  // Nodes by handle; the tree under the container owns them.
  std::map<int32_t, XGLayer*> nodes_;
  std::map<int32_t, LayerPictureRef> pictures_;
  XGLayer* container_ = nullptr;  // owned as a child
  bool orderChanged_ = false;
  MyTimer<XG_Layer> timer_;
};
