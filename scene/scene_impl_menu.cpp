// SceneImpl: the scene commands of the menu layer. Main thread.
#include "scene/scene_impl.h"

#include "scene/xg_menu.h"

void SceneImpl::menuSetConfig(const Config::MenuConfigEntry* entry) {
  if (menu_) menu_->setConfig(entry);
}

void SceneImpl::menuSetAutoHide(bool on) {
  if (menu_) menu_->setAutoHide(on);
}

void SceneImpl::menuShow(bool visible, bool animated, bool byAutoHide) {
  if (menu_) menu_->show(visible, animated, byAutoHide);
}
