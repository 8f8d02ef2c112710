// LayerTable: groups are made by linking layers and die with their last
// member; joining, merging, leaving and dissolving commit what waits so no
// queued change lands on the wrong node. Main thread.
#include <algorithm>
#include <limits>
#include <utility>

#include "scene/layer_table.h"
#include "scene/scene_facade.h"

GroupEntry* LayerTable::createGroup() {
  // Numbers are never reused; past the last one no group is made.
  if (nextGroupNo == std::numeric_limits<int32_t>::max() || nextGroupNo < 0) return nullptr;
  auto group = std::make_unique<GroupEntry>();
  group->no = ++nextGroupNo;
  if (bound_ && !sceneLayer_createNode(&group->node, 10, -1, 0, 0)) group->node = -1;
  GroupEntry* made = group.get();
  groups[made->no] = std::move(group);
  return made;
}

void LayerTable::join(LayerEntry& layer, GroupEntry& group) {
  commitLayer(layer);
  group.members.push_back(layer.no);
  layer.groupNo = group.no;
  attach(group.node, layer);
}

void LayerTable::merge(GroupEntry& a, GroupEntry& b) {
  commitGroup(a);
  commitGroup(b);
  const std::vector<int32_t> members = std::move(b.members);
  b.members.clear();
  for (const int32_t no : members) {
    LayerEntry* layer = findLayer(no);
    if (!layer) continue;
    layer->groupNo = -1;
    attach(-1, *layer);
    a.members.push_back(no);
    layer->groupNo = a.no;
    attach(a.node, *layer);
  }
  commitGroup(b);
  const int32_t gone = b.no;
  auto found = groups.find(gone);
  std::unique_ptr<GroupEntry> owned = std::move(found->second);
  groups.erase(found);
  destroyGroup(*owned);
}

void LayerTable::leave(LayerEntry& layer) {
  GroupEntry* group = groupOf(layer);
  if (!group) {
    layer.groupNo = -1;
    return;
  }
  commitGroup(*group);
  layer.groupNo = -1;
  attach(-1, layer);
  auto& members = group->members;
  members.erase(std::remove(members.begin(), members.end(), layer.no), members.end());
  if (!members.empty()) return;
  commitGroup(*group);
  auto found = groups.find(group->no);
  std::unique_ptr<GroupEntry> owned = std::move(found->second);
  groups.erase(found);
  destroyGroup(*owned);
}

void LayerTable::dissolve(GroupEntry& group) {
  commitGroup(group);
  for (const int32_t no : group.members) {
    if (LayerEntry* layer = findLayer(no)) {
      layer->groupNo = -1;
      attach(-1, *layer);
    }
  }
  group.members.clear();
  auto found = groups.find(group.no);
  std::unique_ptr<GroupEntry> owned = std::move(found->second);
  groups.erase(found);
  destroyGroup(*owned);
}
