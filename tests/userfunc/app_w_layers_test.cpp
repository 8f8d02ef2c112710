// Script layers through the real app_w: a game the test writes puts a
// backdrop and two sprites on layers, moves one, links both into a group at
// half opacity, wipes the backdrop through a rule picture, captures the
// screen into storage file 1 and quits; the capture, read back with the
// engine's PNG loader, has the colours those steps give. A game whose folder
// cannot be written keeps its storage files in the save folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "gdev/image_file.h"
#include "platform/utf8.h"
#include "tests/support/app_w_run.h"

namespace {

struct Rgb {
  int r, g, b;
};

// A one-colour opaque picture written where the game looks for it.
void WriteSolid(const std::filesystem::path& path, int32_t w, int32_t h, Rgb c) {
  RGBAImage image(0, w, h);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      uint8_t* p = image.pixel(x, y);
      p[0] = static_cast<uint8_t>(c.b), p[1] = static_cast<uint8_t>(c.g), p[2] = static_cast<uint8_t>(c.r), p[3] = 255;
    }
  }
  ASSERT_EQ(SaveImageFile(platform::FromUtf8(path.string()), RGBAImageRef(std::move(image)), false, false), 0);
}

// The sprite through the group's opacity (0..255) over the backdrop.
Rgb Through(Rgb sprite, Rgb back, int opacity) {
  auto mix = [&](int s, int b) { return (s * opacity + b * (255 - opacity) + 127) / 255; };
  return {mix(sprite.r, back.r), mix(sprite.g, back.g), mix(sprite.b, back.b)};
}

// A 1006 call: selector, target, motion, time, wait mode, parameter and
// update mask as given, then a record whose position and opacity are given.
std::string Motion(const std::string& head, int32_t x, int32_t y, int32_t opacity) {
  return "  (a3:call-user-func 1006 " + head + " 80 " + std::to_string(x) + " " + std::to_string(y) +
         " 1024 1024 -1 0 0 0 0 80 0 0 1024 1024 -1 0 0 0 255 255 255 " + std::to_string(opacity) + ")\n";
}

// app_w draws with the offscreen driver over Mesa, as the other app_w runs
// do; this process makes no context of its own (a context here would leave
// Mesa's compiler allocations to the leak checker).
TEST_F(AppWRun, LayersMotionGroupOpacityAndRuleWipeReachTheCapture) {
  constexpr Rgb kBefore{40, 80, 120}, kAfter{250, 240, 200}, kRed{200, 40, 40}, kGreen{40, 200, 40};
  writeGame(mutex_, "(:resource (:storage-basedir \"storage\") (:storage-basename \"st\") (:storage-num-digits 3)"
                    " (:storage-extension \"bin\"))\n");
  WriteSolid(dir_.path() / "before.png", 160, 120, kBefore);
  WriteSolid(dir_.path() / "after.png", 160, 120, kAfter);
  WriteSolid(dir_.path() / "rule.png", 160, 120, {128, 128, 128});
  WriteSolid(dir_.path() / "red.png", 32, 32, kRed);
  WriteSolid(dir_.path() / "green.png", 32, 32, kGreen);
  dir_.write("scene/scene9010.scm", "(a3:define-set (0 0) (a3:call-user-func 6002 1 0))\n");
  dir_.write("scene/scene0001.scm",
             "(a3:define-set (0 0)\n"
             "  (a3:call-user-func 1000 1 1 0 0)\n"
             "  (a3:call-user-func 1000 2 1 0 0)\n"
             "  (a3:call-user-func 1000 3 1 0 0)\n"
             "  (a3:call-user-func 1008 1 1 \"before.png\" 1 1)\n"
             "  (a3:call-user-func 1008 1 2 \"after.png\" 1 1)\n"
             "  (a3:call-user-func 1008 1 9 \"rule.png\" 1 1)\n"
             "  (a3:call-user-func 1008 2 20 \"red.png\" 1 1)\n"
             "  (a3:call-user-func 1008 3 30 \"green.png\" 1 1)\n"
             "  (a3:call-user-func 1020 1 1 1)\n"
             "  (a3:call-user-func 1020 1 2 20)\n"
             "  (a3:call-user-func 1020 1 3 30)\n" +
                 Motion("1 1 3 0 0 0 0 2", 100, 60, 255) + Motion("1 1 2 201 100 1 0 2", 40, 20, 255) +
                 "  (a3:call-user-func 1021 1 2 1 3)\n" + Motion("2 1 2 201 100 1 0 2048", 0, 0, 128) +
                 "  (a3:call-user-func 1001 1 2)\n"
                 "  (a3:call-user-func 1020 1 1 2)\n"
                 "  (a3:call-user-func 1007 1 1 12 100 1 0 9 0 0 0 0 0 0 0 0)\n"
                 "  (a3:call-user-func 1017 1 -1 1 0 0 0 0)\n"
                 "  (a3:call-user-func 6000))\n");
  const platform::ProcessResult result = run("-d game.scm", "SDL_VIDEODRIVER=offscreen");
  EXPECT_EQ(result.exitCode, 0) << result.output;

  RGBAImageRef shot;
  int32_t w = 0, h = 0;
  ASSERT_EQ(LoadImageFile(platform::FromUtf8((dir_.path() / "storage" / "st001.bin").string()), &shot, 0, &w, &h), 0)
      << result.output;
  ASSERT_EQ(w, 160);
  ASSERT_EQ(h, 120);
  struct Probe {
    int32_t x, y;
    Rgb want;
  };
  // Where red started and just left of where it ended: the wiped-in
  // backdrop; red at (40, 20) and green at (100, 60), both at half opacity.
  for (const Probe& p : {Probe{4, 4, kAfter}, Probe{39, 36, kAfter}, Probe{40, 36, Through(kRed, kAfter, 128)},
                         Probe{71, 51, Through(kRed, kAfter, 128)}, Probe{72, 36, kAfter},
                         Probe{116, 76, Through(kGreen, kAfter, 128)}, Probe{150, 110, kAfter}}) {
    const uint8_t* px = shot->pixel(p.x, p.y);
    EXPECT_LE(std::abs(px[2] - p.want.r), 1) << p.x << "," << p.y;
    EXPECT_LE(std::abs(px[1] - p.want.g), 1) << p.x << "," << p.y;
    EXPECT_LE(std::abs(px[0] - p.want.b), 1) << p.x << "," << p.y;
  }
}

// An installed game whose folder its player cannot write: captures go to
// the save folder, a storage picture is read from there first and from the
// game folder otherwise, and 4500 deletes only there. The game folder's
// modes forbid writing, which the engine honours also when the test runs as
// root (who could write it anyway).
TEST_F(AppWRun, AReadOnlyGameKeepsItsStorageFilesInTheSaveFolder) {
  namespace fs = std::filesystem;
  TempDir data;
  writeGame(mutex_, "(:product-info (:author-name . \"Zep Tests\") (:save-folder-location . 1)"
                    " (:savedata-usage . 2))\n"
                    "(:resource (:save-basedir \"save\") (:storage-basedir \"storage\") (:storage-basename \"st\")"
                    " (:storage-num-digits 3) (:storage-extension \"png\"))\n");
  WriteSolid(dir_.path() / "red.png", 160, 120, {200, 40, 40});
  // Shipped with the game: number 1 no picture at all (the capture must be
  // what is read), number 2 a picture.
  dir_.write("storage/st001.png", "not a picture");
  WriteSolid(dir_.path() / "storage" / "st002.png", 8, 8, {0, 200, 0});
  dir_.write("scene/scene9010.scm", "(a3:define-set (0 0) (a3:call-user-func 6002 1 0))\n");
  dir_.write("scene/scene0001.scm",
             "(a3:define-set (0 0)\n"
             "  (a3:call-user-func 1000 1 1 0 0)\n"
             "  (a3:call-user-func 1008 1 1 \"red.png\" 1 1)\n"
             "  (a3:call-user-func 1020 1 1 1)\n"
             "  (a3:call-user-func 1017 1 -1 1 0 0 0 0)\n"
             "  (a3:call-user-func 1017 1 -1 4 0 0 0 0)\n"
             "  (a3:call-user-func 4111 900 (a3:idref-reflag))\n"
             "  (a3:call-user-func 1008 1 2 1 1 2)\n"
             "  (a3:call-user-func 4111 901 (a3:idref-reflag))\n"
             "  (a3:call-user-func 1008 1 3 2 1 2)\n"
             "  (a3:call-user-func 4111 902 (a3:idref-reflag))\n"
             "  (a3:call-user-func 4500 1 2)\n"
             "  (a3:call-user-func 6000))\n");
  const fs::perms modes = fs::status(dir_.path()).permissions();
  fs::permissions(dir_.path(), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  const platform::ProcessResult result =
      run("-d game.scm", "SDL_VIDEODRIVER=offscreen XDG_DATA_HOME='" + data.path().string() + "'");
  fs::permissions(dir_.path(), modes);
  EXPECT_EQ(result.exitCode, 0) << result.output;
  for (const char* answer : {"(4111, 900, 0)", "(4111, 901, 0)", "(4111, 902, 0)"}) {
    EXPECT_NE(result.output.find(answer), std::string::npos) << answer << "\n" << result.output;
  }
  const fs::path saved = data.path() / "Zep Tests" / "Invoker Test" / "save" / "storage";
  EXPECT_TRUE(fs::exists(saved / "st004.png") && !fs::exists(saved / "st001.png"));
  EXPECT_EQ(ReadWholeFile(dir_.path() / "storage" / "st001.png"), "not a picture");
  EXPECT_TRUE(fs::exists(dir_.path() / "storage" / "st002.png"));
}

}  // namespace
