// A saved screen comes back whole: a small game shows a background, a cell,
// a part and a fader, is saved from its save screen, and a second run that
// loads the slot draws the same screen, read back from the GUI root pixel
// for pixel.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "app/main_window.h"
#include "gdev/rgba_image.h"
#include "tests/platform/game_run.h"

namespace {

const std::filesystem::path kSample = std::filesystem::path(ZEP_SOURCE_DIR) / "examples" / "sample";

void WriteGame(const TempDir& dir) {
  dir.write("game.scm",
            "(:product-info (:product-name . \"Restore\") (:savedata-usage . 0) (:savedata-version . 1))\n"
            "(:system (:mutex-name . \"zep-restore-" + dir.path().filename().string() + "\"))\n"
            "(:resource (:script-basedir \"scene\") (:script-basename \"scene\") (:script-num-digits 4)\n"
            "  (:script-extension \"scm\") (:image-basedir \"image\") (:image-basename \"bg\")\n"
            "  (:image-num-digits 3) (:image-extension \"png\") (:cellimage-basedir \"cell\")\n"
            "  (:cellimage-basename \"cell\") (:cellimage-num-digits 3) (:cellimage-extension \"png\")\n"
            "  (:parts-basedir \"parts\") (:parts-basename \"parts\") (:parts-num-digits 3)\n"
            "  (:parts-extension \"png\") (:font-0-type 0) (:font-0-name \"IPAGothic\")\n"
            "  (:save-basedir \"save\") (:save-syssave-name \"system.dat\")\n"
            "  (:save-syssave-default-name \"default.dat\"))\n"
            "(:key (\"save\" . \"F5\"))\n"
            "(:window (:window-title \"Restore\") (:window-width 800) (:window-height 600))\n"
            "(:parts (10 (type . image) (url . 1) (rect 0 0 96 96)))\n");
  dir.write("save/default.dat", "((version . 1))");
  // Slot 3 saved: load it and go back to the story; else a new story.
  dir.write("scene/scene9010.scm",
            "(a3:define-set (0 0)\n"
            "  (a3:call-user-func 4200 3 10 11 12)\n"
            "  (a3:eval (a3:bop-equal? (a3:idref-reflag) 1))\n"
            "  (a3:if 1)\n"
            "  (a3:call-user-func 6002 100 0)\n"
            "  (a3:label 1)\n"
            "  (a3:call-user-func 4202 3)\n"
            "  (a3:call-user-func 6002 -1 0))\n");
  dir.write("scene/scene0100.scm",
            "(a3:define-set (0 0)\n"
            "  (a3:call-user-func 2021 0)\n"
            "  (a3:call-user-func 2000 1 -1 0 0 0 0 0 0)\n"
            "  (a3:call-user-func 2010 1 1 1028 40 0 240 420 -1 0 0 0 255 1 0 0 0)\n"
            "  (a3:call-user-func 2053 0 10 1 500 50 255 1 0)\n"
            "  (a3:call-user-func 2071 0 0 64 96 0 0)\n"
            "  (a3:call-user-func 4000 0 -1 0))\n");
  dir.write("scene/scene9006.scm",
            "(a3:define-set (0 0)\n"
            "  (a3:call-user-func 4201 3 1 0 \"restore\")\n"
            "  (a3:call-user-func 6000))\n");
  for (const char* file : {"image/bg001.png", "cell/cell001.png", "parts/parts001.png"}) {
    std::filesystem::create_directories((dir.path() / file).parent_path());
    std::filesystem::copy_file(kSample / file, dir.path() / file);
  }
}

// The screen after the game has settled, then (run 1) the save key.
RGBAImageRef RunAndCapture(const std::filesystem::path& game, const std::filesystem::path& data, bool save) {
  GameRun run(game, data);
  EXPECT_TRUE(run.init());
  RGBAImageRef screen;
  run.onFrame = [&](int frame) {
    if (frame == 40) screen = run.capture();
    if (frame == 41 && save) run.key(GameRun::kKeyF5);
    if (frame > 80) run.stop();
  };
  EXPECT_TRUE(run.run());
  return screen;
}

TEST(RestoreGame, ALoadedSaveDrawsTheSavedScreenPixelForPixel) {
  std::string why;
  if (!OpenGLContextAvailable(&why)) GTEST_SKIP() << "no OpenGL context: " << why;
  TempDir game, data;
  WriteGame(game);
  const RGBAImageRef saved = RunAndCapture(game.path(), data.path(), true);
  ASSERT_TRUE(std::filesystem::exists(game.path() / "save/system.dat"));
  const RGBAImageRef loaded = RunAndCapture(game.path(), data.path(), false);
  ASSERT_TRUE(saved && loaded);
  ASSERT_EQ(saved->width, loaded->width);
  ASSERT_EQ(saved->height, loaded->height);
  int32_t differ = 0;
  for (int32_t y = 0; y < saved->height; ++y) {
    differ += std::memcmp(saved->pixel(0, y), loaded->pixel(0, y), size_t(saved->width) * 4) != 0;
  }
  EXPECT_EQ(differ, 0);
  // Not a blank screen: the part and the cell stand out from the backdrop.
  EXPECT_NE(std::memcmp(saved->pixel(548, 98), saved->pixel(4, 98), 3), 0);
}

}  // namespace
