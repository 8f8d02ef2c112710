// XGBase: the first base of every game screen object (background, layers,
// cells, parts, faders, message window, choice lists, menu). The object's
// component part is its second base; the tree holds the component and the
// owner reaches the object through its own typed pointer. Main thread.
#pragma once

class GUIComponent;

class XGBase {
 public:
  virtual ~XGBase() = default;
  // The object's component part.
  virtual GUIComponent* getComponent() = 0;
};

// The component of a screen object, null for none.
inline GUIComponent* ComponentOf(XGBase* object) { return object ? object->getComponent() : nullptr; }

// Empty mixins some screen objects carry beside their component.
struct AUtil {};
struct XGLayerConstants {};
struct XGLayerCommon {};
struct XG_Select_Config {};
