// The menu built-ins over the real scene: what they record (in every run
// mode) and where the menu then stands, auto-hide requests included.
#include <gtest/gtest.h>

#include <memory>
#include <tuple>

#include "scene/menu_window.h"
#include "scene/scene_impl.h"
#include "scene/xg_menu.h"
#include "tests/userfunc/userfunc_fixture.h"

namespace {

class MenuBuiltinTest : public UserfuncTest {
 protected:
  MenuBuiltinTest() { previous_ = SetSceneFacade(&scene_); }
  ~MenuBuiltinTest() override { SetSceneFacade(previous_); }

  auto saved() {
    const PresentationState::Menu& m = state.current().menu;
    return std::make_tuple(m.cfgno, int{m.enable}, int{m.autohide}, int{m.show});
  }
  MenuWindow* menu() const { return scene_.getMenu()->window(); }

  SceneImpl scene_{800, 600};

 private:
  SceneFacade* previous_;
};

TEST_F(MenuBuiltinTest, RecordsTheMenuAndIgnoresAutoHideRequestsWhileItIsOff) {
  call(2040, 3);  // no such entry: the default menu, right edge, 128 wide
  call(2041, 1);
  call(2042, 0);
  call(2043, 1, 0);
  EXPECT_EQ(saved(), std::make_tuple(3, 1, 0, 1));
  EXPECT_EQ(menu()->panel()->x(), 672);

  call(2044, 0, 0);
  EXPECT_EQ(menu()->panel()->x(), 672);
  EXPECT_TRUE(menu()->isShown());
  call(2043, 0, 0);
  call(2044, 1, 0);
  EXPECT_EQ(menu()->panel()->x(), 800);
  EXPECT_EQ(saved(), std::make_tuple(3, 1, 0, 0));

  // With auto-hide on, the request opens the strip (and is not recorded).
  call(2042, 1);
  call(2044, 1, 0);
  EXPECT_TRUE(menu()->isOpen());
  EXPECT_EQ(menu()->panel()->x(), 672);
  EXPECT_EQ(saved(), std::make_tuple(3, 1, 1, 0));
}

}  // namespace
