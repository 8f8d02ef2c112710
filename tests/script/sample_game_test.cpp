// The sample and tutorial games end to end: the real controller, window,
// scene and device on the offscreen driver, driven frame by frame with
// clicks, and the screen read back as pixels.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "gamestate/state_mgr.h"
#include "gdev/gdev_factory.h"
#include "gdev/gdev_gl.h"
#include "gdev/image_file.h"
#include "platform/utf8.h"
#include "scene/layer_table.h"
#include "scene/message_window.h"
#include "scene/scene_facade.h"
#include "scene/scene_impl.h"
#include "scene/menu_window.h"
#include "scene/text_area.h"
#include "scene/xg_chip.h"
#include "scene/xg_menu.h"
#include "scene/xg_parts.h"
#include "scene/xg_select.h"
#include "script/script_vm.h"
#include "sound/sorn.h"
#include "sound/sorn_glue.h"
#include "tests/platform/game_run.h"

namespace {

const std::filesystem::path kSample = std::filesystem::path(ZEP_SOURCE_DIR) / "examples" / "sample";
const std::filesystem::path kTutorial = std::filesystem::path(ZEP_SOURCE_DIR) / "examples" / "tutorial";

// Window 0's panel and its text area on the screen; the window's buttons
// overlap the area's top 9 rows, which are left out.
constexpr int32_t kPanelX = 20, kPanelY = 410;
constexpr int32_t kAreaX = kPanelX + 28, kAreaY = kPanelY + 24 + 9, kAreaW = 704, kAreaH = 132 - 9;

// Bright pixels (text is white on the dark shading) inside the text area.
int TextPixels(const RGBAImageRef& screen) {
  if (!screen) return -1;
  int n = 0;
  for (int32_t y = kAreaY; y < kAreaY + kAreaH; ++y) {
    for (int32_t x = kAreaX; x < kAreaX + kAreaW; ++x) {
      const uint8_t* p = screen->pixel(x, y);
      n += p[0] > 200 && p[1] > 200 && p[2] > 200;
    }
  }
  return n;
}

struct Rgb {
  int r, g, b;
};

Rgb At(const RGBAImageRef& screen, int32_t x, int32_t y) {
  const uint8_t* p = screen->pixel(x, y);
  return Rgb{p[2], p[1], p[0]};
}

// Within 12 of each channel.
bool Near(Rgb a, Rgb b) { return std::abs(a.r - b.r) <= 12 && std::abs(a.g - b.g) <= 12 && std::abs(a.b - b.b) <= 12; }

// The first character of the newest text in the window (0 for none).
char16_t NewestTextStart() {
  const std::vector<LaidOutText> texts = GetGlobalScene()->msgWindow()->shownTexts();
  if (texts.empty() || texts.back().lines.empty() || texts.back().lines[0].line.segments.empty()) return 0;
  const TextSegment& first = texts.back().lines[0].line.segments[0];
  return first.base.empty() ? 0 : static_cast<char16_t>(first.base[0].character);
}

bool Revealing() {
  bool displaying = false;
  sceneMsg_isTextDisplaying(&displaying);
  return displaying;
}

TEST(SampleGame, StoryPagesShowInTheMessageWindowAndAnIdlePageDrawsOnlyItsIcon) {
  std::string why;
  if (!OpenGLContextAvailable(&why)) GTEST_SKIP() << "no OpenGL context: " << why;
  GameRun game(kSample);
  ASSERT_TRUE(game.init());

  enum Step { kTitle, kFirstPage, kSecondText, kTurnPage, kNextPage, kIdle, kDone };
  Step step = kTitle;
  int firstPagePixels = 0, duringReveal = -1, clearedPixels = -1, keptTexts = -1, nextPagePixels = 0;
  Rgb frameColour{0, 0, 0};
  int idleFrames = 0, idleStartFrame = 0, iconChanges = 0, lastIconFrame = -1;
  int64_t renderedAtIdle = 0;
  game.onFrame = [&](int frame) {
    if (frame > 2000) game.stop();  // a safety net: the steps below end the run
    switch (step) {
      case kTitle:
        // Any key starts the story.
        if (frame == 2) game.key(GameRun::kKeyReturn);
        if (Revealing()) step = kFirstPage;
        break;
      case kFirstPage:
        if (Revealing() && duringReveal < 0) duringReveal = TextPixels(game.capture());
        if (!Revealing()) {
          const RGBAImageRef screen = game.capture();
          firstPagePixels = TextPixels(screen);
          // The README's picture of the sample: ZEP_SAMPLE_SCREENSHOT=docs/sample-first-page.png
          if (const char* shot = std::getenv("ZEP_SAMPLE_SCREENSHOT")) {
            EXPECT_EQ(SaveImageFile(platform::FromUtf8(std::filesystem::absolute(kSample / ".." / ".." / shot).string()),
                                    screen, false, false),
                      0);
          }
          // The gold frame's left edge shows the picture's own colour.
          frameColour = At(screen, kPanelX + 1, kPanelY + 60);
          game.click(400, 300);
          step = kSecondText;
        }
        break;
      case kSecondText:
        if (!Revealing()) {
          game.click(400, 300);  // ends "wait-w": the page is cleared and the next text begins
          step = kTurnPage;
        }
        break;
      case kTurnPage:
        // "clear" emptied the page: only the new text is kept, not one of it shown yet.
        clearedPixels = TextPixels(game.capture());
        keptTexts = static_cast<int>(GetGlobalScene()->msgWindow()->shownTexts().size());
        step = kNextPage;
        break;
      case kNextPage:
        // Revealed, and the wait shows its icon.
        if (!Revealing() && GetGlobalScene()->msgTextArea()->keyWaitIcon(0)->isVisible()) {
          nextPagePixels = TextPixels(game.capture());
          step = kIdle;
          idleStartFrame = frame;
          renderedAtIdle = GetRenderedFrameCount();
        }
        break;
      case kIdle: {
        // One second of the clock on the revealed page with its icon.
        const int iconFrame = GetGlobalScene()->msgTextArea()->keyWaitIcon(0)->frame();
        if (lastIconFrame >= 0 && iconFrame != lastIconFrame) ++iconChanges;
        lastIconFrame = iconFrame;
        if ((frame - idleStartFrame) * game.frameMs >= 1000) {
          idleFrames = static_cast<int>(GetRenderedFrameCount() - renderedAtIdle);
          step = kDone;
          game.stop();
        }
        break;
      }
      case kDone:
        break;
    }
  };
  EXPECT_TRUE(game.run());
  ASSERT_EQ(step, kDone);
  EXPECT_GT(firstPagePixels, 200);
  EXPECT_GE(duringReveal, 0);
  EXPECT_LT(duringReveal, firstPagePixels);
  EXPECT_TRUE(std::abs(frameColour.r - 255) <= 2 && std::abs(frameColour.g - 214) <= 2 &&
              std::abs(frameColour.b - 96) <= 2)
      << frameColour.r << " " << frameColour.g << " " << frameColour.b;
  EXPECT_EQ(clearedPixels, 0);
  EXPECT_EQ(keptTexts, 1);
  EXPECT_GT(nextPagePixels, 100);
  EXPECT_GE(iconChanges, 4);
  EXPECT_LE(idleFrames, iconChanges + 1);
}

// Every frame drawn only where the screen changed holds the pixels of the
// whole screen drawn again, from the title through the story's pages, the
// menu sliding in and out, the backlog, the choice and the chapter after.
TEST(SampleGame, FramesDrawnWhereTheScreenChangedHoldTheWholeScreensPixels) {
  std::string why;
  if (!OpenGLContextAvailable(&why)) GTEST_SKIP() << "no OpenGL context: " << why;
  GameRun game(kSample);
  ASSERT_TRUE(game.init());
  auto* device = static_cast<GDevGL*>(GDevFactory::device);
  int compared = 0, differing = 0;
  std::string differences;
  int64_t partialBefore = GetPartialFrameCount();
  game.afterFrame = [&](int frame) {
    // A frame drawn in parts must hold what the whole screen does.
    if (GetPartialFrameCount() != partialBefore) {
      partialBefore = GetPartialFrameCount();
      RGBAImageRef parts, whole;
      ASSERT_TRUE(device->readScreen(&parts));
      ASSERT_TRUE(DrawWholeSceneNow());
      ASSERT_TRUE(device->readScreen(&whole));
      ++compared;
      if (parts->pixels != whole->pixels) {
        ++differing;
        // Where the pixels differ.
        int x0 = 800, y0 = 600, x1 = -1, y1 = -1;
        for (size_t i = 0; i < parts->pixels.size(); ++i) {
          if (parts->pixels[i] == whole->pixels[i]) continue;
          const int pixel = static_cast<int>(i / 4);
          x0 = std::min(x0, pixel % 800);
          x1 = std::max(x1, pixel % 800);
          y0 = std::min(y0, pixel / 800);
          y1 = std::max(y1, pixel / 800);
        }
        differences += "frame " + std::to_string(frame) + " in " + std::to_string(x0) + "," +
                           std::to_string(y0) + "-" + std::to_string(x1) + "," + std::to_string(y1) + "; ";
      }
    }
  };
  game.onFrame = [&](int frame) {
    if (frame == 2) game.key(GameRun::kKeyReturn);
    if (frame % 40 == 0) game.click(400, 300);
    if (frame % 40 == 20) game.key(GameRun::kKeyDown);  // a choice's next item
    if (frame % 80 == 30) game.key(GameRun::kKeyReturn);
    if (frame % 300 == 100) game.move(792, 300);        // the menu slides in
    if (frame % 300 == 170) game.move(400, 300);        // and out again
    if (frame % 700 == 350) game.key(GameRun::kKeyPageUp);  // the backlog
    if (frame % 700 == 380) game.wheel(400, 300, 1);
    if (frame >= 4000) game.stop();
  };
  game.run();
  EXPECT_EQ(differing, 0) << differences;
  EXPECT_GT(compared, 150);
  EXPECT_EQ(game.controller().machine().scenario(), 3);  // the lantern chapter
}

// The title's two buttons: where each shows its fill, and that fill in the
// pictures' normal and lit states.
constexpr int32_t kStartX = 220, kStartY = 440, kQuitX = 600, kQuitY = 492;
constexpr Rgb kStartFill{40, 52, 104}, kStartLit{76, 104, 196}, kQuitFill{112, 36, 48}, kQuitLit{196, 68, 80};

// The title shows a start and a quit button over its touch areas, each lit
// while the pointer is over it; a click on the quit button ends the game.
TEST(SampleGame, TheTitlesButtonsLightUnderThePointerAndQuitEndsTheGame) {
  std::string why;
  if (!OpenGLContextAvailable(&why)) GTEST_SKIP() << "no OpenGL context: " << why;
  GameRun game(kSample);
  ASSERT_TRUE(game.init());
  Rgb start[3]{}, quit[3]{};  // no pointer, over start, over quit
  int clickedAt = 0;
  game.onFrame = [&](int frame) {
    if (frame > 200) game.stop();
    if (frame < 3 || frame > 5) return;
    const RGBAImageRef screen = game.capture();
    start[frame - 3] = At(screen, kStartX, kStartY);
    quit[frame - 3] = At(screen, kQuitX, kQuitY);
    if (frame == 3) game.move(100, 420);  // inside the start area
    if (frame == 4) game.move(kQuitX, 460);
    if (frame == 5) {
      game.click(kQuitX, 460);
      clickedAt = frame;
    }
  };
  EXPECT_TRUE(game.run());
  EXPECT_GT(clickedAt, 0);
  EXPECT_LT(game.frames(), clickedAt + 10);  // the quit script ended it
  const Rgb expected[3][2] = {{kStartFill, kQuitFill}, {kStartLit, kQuitFill}, {kStartFill, kQuitLit}};
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(Near(start[i], expected[i][0])) << i << ": " << start[i].r << " " << start[i].g << " " << start[i].b;
    EXPECT_TRUE(Near(quit[i], expected[i][1])) << i << ": " << quit[i].r << " " << quit[i].g << " " << quit[i].b;
  }
}

// The backlog: the panel and 24 text parts for the pages.
constexpr size_t kBacklogParts = 25;

TEST(SampleGame, TitleFadesMenuPicturesAndAChoicePickTheWayThroughTheStory) {
  std::string why;
  if (!OpenGLContextAvailable(&why)) GTEST_SKIP() << "no OpenGL context: " << why;
  GameRun game(kSample);
  ASSERT_TRUE(game.init());

  enum Step { kTitle, kFadeOut, kOpening, kMenu, kPages, kChoice, kHighlight, kAnswer, kBacklog, kWheelAway,
              kWheelToward, kBackToStory, kDone };
  Step step = kTitle;
  Rgb evening{}, first{}, second{}, morning{}, window{}, plainItem{}, litItem{}, menuBefore{}, menuShown{};
  int logoPixels = 0, captionPixels = 0, answerPixels = 0, darkerFrames = 0, blackFrames = 0, backlogPixels = -1;
  int newestPixels = -1;
  // The backlog's scroll (its script's word 0) and where it starts: the
  // farthest scroll, showing the newest page.
  const auto scroll = [&] {
    const std::vector<int32_t>& words = game.controller().machine().words();
    return words.empty() ? -1 : words[0];
  };
  int32_t farthest = -1;
  char16_t pageBehindBacklog = 0;
  game.onFrame = [&](int frame) {
    if (frame > 3000) game.stop();
    switch (step) {
      case kTitle:
        if (frame == 3) {
          const RGBAImageRef screen = game.capture();
          // The logo and the gold caption stand out from the sky's rows.
          for (int32_t y = 120; y < 220; ++y) {
            const Rgb sky = At(screen, 4, y);
            for (int32_t x = 250; x < 550; ++x) {
              const Rgb p = At(screen, x, y);
              logoPixels += std::abs(p.r - sky.r) + std::abs(p.g - sky.g) + std::abs(p.b - sky.b) > 60;
            }
          }
          for (int32_t y = 250; y < 278; ++y) {
            for (int32_t x = 300; x < 500; ++x) captionPixels += At(screen, x, y).g > 180;
          }
          game.click(100, 420);  // the start button, over the touch map's start area
          step = kFadeOut;
        }
        break;
      case kFadeOut: {
        // Darker and darker, then black, until the story's first text.
        const Rgb corner = At(game.capture(), 4, 4);
        darkerFrames += corner.b > 0 && corner.b < 70;
        blackFrames += corner.r + corner.g + corner.b == 0;
        if (Revealing()) step = kOpening;
        break;
      }
      case kOpening:
        if (!Revealing()) {
          const RGBAImageRef screen = game.capture();
          evening = At(screen, 4, 4);
          first = At(screen, 160, 380);   // the robes of the two characters
          second = At(screen, 640, 380);
          menuBefore = At(screen, 740, 300);
          game.move(792, 300);  // the menu's sensor strip at the right edge
          step = kMenu;
        }
        break;
      case kMenu:
        if (GetGlobalScene()->getMenu()->window()->isOpen() && !GetGlobalScene()->getMenu()->window()->isSliding()) {
          menuShown = At(game.capture(), 740, 300);
          game.move(400, 300);
          step = kPages;
        }
        break;
      case kPages:
        // Clicks end each wait (texts, the cross-fade, the flash, the slide)
        // until the morning's first text is up.
        if (Revealing()) break;
        if (NewestTextStart() == u'翌') {
          morning = At(game.capture(), 4, 4);
          // A log taller than the backlog's view, so that it scrolls both ways.
          for (int i = 0; i < 16; ++i) game.controller().userfuncs().call(4301, {APValue(u"padding")});
          step = kChoice;
        }
        game.click(400, 300);
        break;
      case kChoice:
        if (XG_Select* select = GetGlobalScene()->getSelect(0); select->isVisible() && select->items().size() == 2) {
          const RGBAImageRef screen = game.capture();
          window = At(screen, 155, 145);
          plainItem = At(screen, 620, 157);
          game.key(GameRun::kKeyDown);
          step = kHighlight;
        }
        break;
      case kHighlight:
        litItem = At(game.capture(), 620, 157);
        game.key(GameRun::kKeyDown);
        game.key(GameRun::kKeyReturn);
        step = kAnswer;
        break;
      case kAnswer:
        if (!Revealing() && NewestTextStart() == u'神') {
          answerPixels = TextPixels(game.capture());
          game.key(GameRun::kKeyPageUp);  // the backlog, over the pages and the choice logged so far
          step = kBacklog;
        }
        break;
      case kBacklog:
        if (backlogPixels < 0 && GetGlobalScene()->getPartsB()->partCount() == kBacklogParts) {
          // The logged pages' text above where the story window was (it is hidden).
          const RGBAImageRef screen = game.capture();
          backlogPixels = 0;
          for (int32_t y = 80; y < 400; ++y) {
            for (int32_t x = 60; x < 740; ++x) {
              const Rgb p = At(screen, x, y);
              backlogPixels += p.r > 200 && p.g > 200 && p.b > 200;
            }
          }
          farthest = scroll();
          game.wheel(400, 300, 1);
          step = kWheelAway;
        }
        break;
      case kWheelAway:
        // Away from the player: back by 60 pixels, the screen still up.
        if (scroll() == farthest - 60) {
          game.wheel(400, 300, -1);
          step = kWheelToward;
        }
        break;
      case kWheelToward:
        // Toward the player (the confirm input elsewhere): on again to the
        // end, and neither the screen nor the story moves on.
        if (scroll() == farthest && GetGlobalScene()->getPartsB()->partCount() == kBacklogParts) {
          // The newest entry at the bottom of the 440-pixel view from y 80:
          // the choice's last line, "を選択しました" in light yellow, 26
          // pixels over the closing separator's 20. Its letters stand low in
          // its room, reaching into the separator's; the rows from 10
          // pixels into its room hold nothing of the line above.
          const RGBAImageRef screen = game.capture();
          newestPixels = 0;
          for (int32_t y = 80 + 440 - 20 - 26 + 10; y < 80 + 440; ++y) {
            for (int32_t x = 60; x < 740; ++x) {
              const Rgb p = At(screen, x, y);
              newestPixels += p.r > 200 && p.g > 200 && p.b > 150;
            }
          }
          game.click(400, 300);  // back to the story
          step = kBackToStory;
        }
        break;
      case kBackToStory:
        if (GetGlobalScene()->getPartsB()->partCount() == 0) {
          pageBehindBacklog = NewestTextStart();
          step = kDone;
          game.stop();
        }
        break;
      case kDone:
        break;
    }
  };
  EXPECT_TRUE(game.run());
  ASSERT_EQ(step, kDone);
  EXPECT_GT(logoPixels, 2000);
  EXPECT_GT(captionPixels, 30);
  EXPECT_GT(darkerFrames, 3);
  EXPECT_GT(backlogPixels, 200);
  EXPECT_GT(farthest, 60);
  EXPECT_GT(newestPixels, 100) << newestPixels;
  EXPECT_EQ(pageBehindBacklog, u'神');
  EXPECT_GT(blackFrames, 0);
  // The menu's dark panel over the sky where it slid in.
  EXPECT_LT(menuShown.r + menuShown.g + menuShown.b, menuBefore.r + menuBefore.g + menuBefore.b - 100);
  EXPECT_TRUE(Near(evening, {28, 32, 84})) << evening.r << " " << evening.g << " " << evening.b;
  EXPECT_TRUE(Near(first, {200, 60, 70})) << first.r << " " << first.g << " " << first.b;
  EXPECT_TRUE(Near(second, {60, 140, 160})) << second.r << " " << second.g << " " << second.b;
  EXPECT_TRUE(Near(morning, {110, 176, 236})) << morning.r << " " << morning.g << " " << morning.b;
  // The choice window's dark blue over the morning sky; the cursor's blue
  // lights the item the key chose.
  EXPECT_LT(window.r, 60);
  EXPECT_GT(window.b, window.r);
  EXPECT_GT(litItem.b, plainItem.b + 40);
  EXPECT_GT(answerPixels, 100);
}

// A picture as the engine loads it.
RGBAImageRef LoadPicture(const std::filesystem::path& path) {
  RGBAImageRef image;
  int32_t w = 0, h = 0;
  LoadImageFile(platform::FromUtf8(path.string()), &image, 0, &w, &h);
  return image;
}

// The sprite's pixel over the backdrop's, seen through the group's opacity
// (0..255): the sprites are opaque or fully transparent.
Rgb ThroughGroup(const RGBAImageRef& sprite, int32_t sx, int32_t sy, Rgb backdrop, int opacity) {
  const uint8_t* p = sprite->pixel(sx, sy);
  if (p[3] == 0) return backdrop;
  auto mix = [&](int s, int b) { return (s * opacity + b * (255 - opacity) + 127) / 255; };
  return {mix(p[2], backdrop.r), mix(p[1], backdrop.g), mix(p[0], backdrop.b)};
}

bool Within1(Rgb a, Rgb b) { return std::abs(a.r - b.r) <= 1 && std::abs(a.g - b.g) <= 1 && std::abs(a.b - b.b) <= 1; }

TEST(SampleGame, LanternChapterMovesFadesWipesCapturesAndAnswersAClickOnTheStall) {
  std::string why;
  if (!OpenGLContextAvailable(&why)) GTEST_SKIP() << "no OpenGL context: " << why;
  // A copy, so that the capture lands in the copy's storage/.
  TempDir dir;
  const std::filesystem::path gameDir = dir.path() / "sample";
  std::filesystem::copy(kSample, gameDir, std::filesystem::copy_options::recursive);
  std::filesystem::remove_all(gameDir / "storage");
  GameRun game(gameDir);
  ASSERT_TRUE(game.init());
  const LayerTable& layers = game.controller().state().layerTable();
  const RGBAImageRef evening = LoadPicture(kSample / "image" / "bg001.png");
  const RGBAImageRef morning = LoadPicture(kSample / "image" / "bg002.png");
  const RGBAImageRef lantern = LoadPicture(kSample / "sprite" / "lantern.png");
  const RGBAImageRef boat = LoadPicture(kSample / "sprite" / "boat.png");
  ASSERT_TRUE(evening && morning && lantern && boat);

  // The debug log, as -d writes it: the built-in calls with their arguments.
  ScopedLogMask debugLog(LOG_DEBUG | LOG_WARN | LOG_ERROR | LOG_FATAL);
  LogCapture log;

  enum Step { kStory, kStall, kAnswer, kKeepsake, kPartTwo, kDone };
  Step step = kStory;
  int stallFrame = 0, answerClickFrame = 0, answerTurned = -1;
  // Game-clock times: part two's note and last page up, the last page gone.
  int64_t noteAt = -1, lastPageAt = -1, lastPageGone = -1;
  bool wiping = false;
  int wipeFrames = 0;
  Rgb stallSky{}, pinwheel{}, lanternGone{}, keepsake{}, partTwo{};
  game.onFrame = [&](int frame) {
    if (frame > 8000) game.stop();
    if (frame == 2) game.key(GameRun::kKeyReturn);  // past the title
    const LayerEntry* backdrop = layers.findLayer(1);
    // The rule wipe, before a click ends it: the morning on the left while
    // the right is still evening.
    if (backdrop && backdrop->mainPictureNo == 2 && !layers.findLayer(4) && !wiping && ++wipeFrames < 120) {
      const RGBAImageRef screen = game.capture();
      wiping = Within1(At(screen, 4, 300), At(morning, 4, 300)) &&
               Within1(At(screen, 796, 300), At(evening, 796, 300));
      return;
    }
    switch (step) {
      case kStory:
        if (GetGlobalScene()->getSelect(0)->isVisible()) {
          if (frame % 8 == 0) game.key(frame % 16 ? GameRun::kKeyDown : GameRun::kKeyReturn);
        } else if (layers.findLayer(7) && NewestTextStart() == u'屋' && !Revealing()) {
          const RGBAImageRef screen = game.capture();
          stallSky = At(screen, 4, 4);
          pinwheel = At(screen, 112 + 48, 412 + 48);  // the middle of the left pinwheel's disc
          lanternGone = At(screen, 640, 348);
          game.move(400, 460);  // over the middle area
          stallFrame = frame;
          step = kStall;
        } else if (!Revealing() && frame % 4 == 0) {
          game.click(400, 300);
        }
        break;
      case kStall:
        if (frame == stallFrame + 2) {
          game.click(400, 460);
          step = kAnswer;
        }
        break;
      case kAnswer:
        if (!Revealing() && NewestTextStart() == u'ま') {
          // On the answer's text, which the story window shows over the
          // middle pinwheel's area: the stall took its pick and lets go.
          game.click(400, 460);
          answerClickFrame = frame;
          step = kKeepsake;
        }
        break;
      case kKeepsake:
        if (answerTurned < 0 && NewestTextStart() != u'ま') answerTurned = frame - answerClickFrame;
        if (answerTurned < 0 && frame == answerClickFrame + 60) game.key(GameRun::kKeyReturn);  // on regardless
        if (!Revealing() && NewestTextStart() == u'ゆ') {
          keepsake = At(game.capture(), 580 + 100, 20 + 75);  // the middle of the quarter-size capture
          game.click(400, 300);
          step = kPartTwo;
        }
        break;
      case kPartTwo:
        // Clicks only until part two's note is up (they skip the movie);
        // then its pages move on by themselves.
        if (noteAt < 0 && NewestTextStart() == u'（') {
          noteAt = game.clock().ms;
        } else if (noteAt < 0 && !Revealing() && frame % 4 == 0) {
          game.click(400, 300);
        } else if (lastPageAt < 0 && NewestTextStart() == u'そ') {
          lastPageAt = game.clock().ms;
        } else if (lastPageAt >= 0 && NewestTextStart() == u'そ' && !Revealing()) {
          partTwo = At(game.capture(), 4, 4);
        } else if (lastPageAt >= 0 && NewestTextStart() == 0) {
          lastPageGone = game.clock().ms;
          step = kDone;
          game.stop();
        }
        break;
      case kDone:
        break;
    }
  };
  EXPECT_TRUE(game.run());
  ASSERT_EQ(step, kDone);

  // The capture: the evening, the lantern at the motion's end (620, 300)
  // and the boat at (80, 352), both through the group's opacity 128.
  const RGBAImageRef shot = LoadPicture(gameDir / "storage" / "st001.bin");
  ASSERT_TRUE(shot);
  ASSERT_EQ(shot->width, 800);
  struct Probe {
    int32_t x, y;
    const RGBAImageRef* sprite;
    int32_t left, top;
  };
  // The pane, the lantern's left and bottom edges, where it started, the hull.
  for (const Probe& p : {Probe{640, 348, &lantern, 620, 300}, Probe{627, 348, &lantern, 620, 300},
                         Probe{628, 348, &lantern, 620, 300}, Probe{640, 391, &lantern, 620, 300},
                         Probe{640, 392, nullptr, 0, 0}, Probe{320, 348, nullptr, 0, 0},
                         Probe{176, 392, &boat, 80, 352}}) {
    const Rgb back = At(evening, p.x, p.y);
    const Rgb want = p.sprite ? ThroughGroup(*p.sprite, p.x - p.left, p.y - p.top, back, 128) : back;
    const Rgb got = At(shot, p.x, p.y);
    EXPECT_TRUE(Within1(got, want)) << p.x << "," << p.y << ": " << got.r << " " << got.g << " " << got.b
                                    << " want " << want.r << " " << want.g << " " << want.b;
  }
  EXPECT_TRUE(wiping);
  // The stall in the morning: the faded group is gone, a pinwheel's disc is sky blue.
  EXPECT_TRUE(Within1(stallSky, At(morning, 4, 4)));
  EXPECT_TRUE(Within1(lanternGone, At(morning, 640, 348)));
  EXPECT_TRUE(Within1(pinwheel, {120, 190, 255})) << pinwheel.r << " " << pinwheel.g << " " << pinwheel.b;
  EXPECT_TRUE(Near(keepsake, At(shot, 400, 300)));
  // The click on the answer's text over the stall turned the page.
  EXPECT_GE(answerTurned, 0);
  EXPECT_LT(answerTurned, 30);
  // Released: part two looks as before.
  EXPECT_TRUE(layers.layers.empty() && layers.pictures.empty() && layers.groups.empty());
  EXPECT_TRUE(Within1(partTwo, At(morning, 4, 4)));
  // Each page of part two waits for the confirm input with a time-out of
  // three seconds, and moves on when it runs out.
  EXPECT_TRUE(log.contains("CallUserFunc(4000, 1, 3000, 0)")) << log.all();
  for (const int64_t shown : {lastPageAt - noteAt, lastPageGone - lastPageAt}) {
    EXPECT_GT(shown, 3000);
    EXPECT_LE(shown, 3000 + 4 * game.frameMs);
  }
}


// The text of a part on the second parts layer; empty when it is absent.
std::u16string PartTextB(int32_t part) {
  const XG_Parts::Entry* entry = GetGlobalScene()->getPartsB()->findPart(part);
  return entry ? entry->chip->text() : std::u16string();
}

// Pixels of the screen's rectangle within 40 of the colour in every channel.
int PixelsNear(const RGBAImageRef& screen, int32_t x0, int32_t y0, int32_t x1, int32_t y1, Rgb colour) {
  int n = 0;
  for (int32_t y = y0; y < y1; ++y) {
    for (int32_t x = x0; x < x1; ++x) {
      const Rgb p = At(screen, x, y);
      n += std::abs(p.r - colour.r) <= 40 && std::abs(p.g - colour.g) <= 40 && std::abs(p.b - colour.b) <= 40;
    }
  }
  return n;
}


TEST(SampleGame, ASaveMadeOnTheSaveScreenIsListedAndLoadedAfterARestart) {
  std::string why;
  if (!OpenGLContextAvailable(&why)) GTEST_SKIP() << "no OpenGL context: " << why;
  TempDir data;
  char16_t savedPage = 0;
  std::u16string emptyLine, listedLine;
  // Gold pixels of slot 1's and slot 2's lines while the keys light slot 2.
  int litFirst = -1, litSecond = -1;
  constexpr Rgb kGold{255, 214, 96};
  // Pages through the story until `texts` texts have shown, opens the
  // screen with `key`, picks slot 2 (with the pointer, or with the arrow
  // keys and Return) and runs until the screen is gone and the page `until`
  // shows (any page when 0).
  const auto session = [&](int32_t texts, int32_t key, std::u16string* line, char16_t until, bool byKeys) {
    GameRun game(kSample, data.path());
    ASSERT_TRUE(game.init());
    int shown = 0, picked = 0, keysAt = 0;
    bool arrived = false;
    char16_t last = 0;
    game.onFrame = [&](int frame) {
      if (frame > 3000) game.stop();
      if (frame == 2) game.key(GameRun::kKeyReturn);
      if (picked == 0 && NewestTextStart() != last && NewestTextStart() != 0) {
        last = NewestTextStart();
        ++shown;
      }
      if (picked < 0) {
        // The screen lists its slots on parts 11 to 14, slot 2's row at y 228.
        if (PartTextB(12).empty()) return;
        if (!byKeys) {
          *line = PartTextB(12);
          game.click(400, 248);
          picked = frame;
        } else if (keysAt == 0) {
          *line = PartTextB(12);
          game.key(GameRun::kKeyDown);  // slot 1 lit
          game.key(GameRun::kKeyDown);  // slot 2
          keysAt = frame;
        } else if (frame == keysAt + 2) {
          const RGBAImageRef screen = game.capture();
          litFirst = PixelsNear(screen, 120, 164, 700, 188, kGold);
          litSecond = PixelsNear(screen, 120, 228, 700, 252, kGold);
          game.key(GameRun::kKeyReturn);
          picked = frame;
        }
      } else if (picked > 0) {
        arrived = frame > picked + 4 && PartTextB(12).empty() && (until == 0 || NewestTextStart() == until);
        if (arrived) game.stop();
      } else if (!Revealing() && frame % 4 == 0) {
        if (shown < texts) {
          game.click(400, 300);
        } else {
          savedPage = last;
          game.key(key);
          picked = -1;
        }
      }
    };
    EXPECT_TRUE(game.run());
    EXPECT_TRUE(arrived);
  };
  // The story's second page (its third text) saved in slot 2, picked with
  // the keys ...
  session(3, GameRun::kKeyF5, &emptyLine, 0, true);
  const char16_t page = savedPage;
  EXPECT_EQ(emptyLine, u"Slot 2:  (empty)");
  EXPECT_EQ(litFirst, 0);
  EXPECT_GT(litSecond, 30);
  EXPECT_TRUE(std::filesystem::exists(data.path() / "zep sample" / "Sample Game" / "save" / "system.dat"));
  // ... is listed with its part's title after a restart, and loading it
  // with a click on the first page brings that page back.
  session(1, GameRun::kKeyF9, &listedLine, page, false);
  EXPECT_NE(savedPage, page);
  EXPECT_EQ(listedLine.substr(0, 36), u"Slot 2:  Part one: the evening river");
}

// The story's music through the real sound library, captured by SDL's disk
// driver in real time: heard while it plays, silent once 3001 has faded it
// out at the end of part one (after the voice and the chime are long over).
TEST(SampleGame, TheStorysMusicIsHeardUntilItsStopFadesItOut) {
  std::string why;
  if (!OpenGLContextAvailable(&why)) GTEST_SKIP() << "no OpenGL context: " << why;
  TempDir dir;
  const std::filesystem::path capture = dir.path() / "mix.raw";
  ScopedEnv driver("SDL_AUDIODRIVER", "disk");
  ScopedEnv file("SDL_DISKAUDIOFILE", capture.c_str());
  // The library of an earlier test in this process makes way for this one.
  sorn_shutdown();
  SornSoundGlue::instance()->startup();
  GameRun game(kSample);
  ASSERT_TRUE(game.init());
  const auto captured = [&] { return std::filesystem::exists(capture) ? std::filesystem::file_size(capture) : 0; };
  constexpr uintmax_t kBytesPerSecond = 44100 * 4;
  uintmax_t started = 0, stopped = 0;
  game.onFrame = [&](int frame) {
    if (frame > 6000) game.stop();
    if (frame == 2) game.key(GameRun::kKeyReturn);
    const APValue& music = game.controller().state().current().music[0].music;
    const bool playing = music.isInt() && music.ivalue == 1;
    if (!started && playing) {
      started = captured();
      std::this_thread::sleep_for(std::chrono::milliseconds(1200));  // a second of it, in real time
    } else if (started && !stopped && !playing) {
      stopped = captured();
      std::this_thread::sleep_for(std::chrono::milliseconds(1600));
      game.stop();
    } else if (GetGlobalScene()->getSelect(0)->isVisible()) {
      if (frame % 8 == 0) game.key(frame % 16 ? GameRun::kKeyDown : GameRun::kKeyReturn);
    } else if (!Revealing() && frame % 4 == 0) {
      game.click(400, 300);
    }
  };
  EXPECT_TRUE(game.run());
  sorn_shutdown();
  ASSERT_GT(started, 0u);
  ASSERT_GT(stopped, started + kBytesPerSecond);
  std::ifstream in(capture, std::ios::binary);
  const std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto peak = [&](uintmax_t from, uintmax_t to) {
    int32_t most = 0;
    for (uintmax_t i = from & ~uintmax_t{3}; i + 1 < std::min<uintmax_t>(to, raw.size()); i += 2) {
      const int16_t sample = int16_t(uint8_t(raw[i]) | (uint8_t(raw[i + 1]) << 8));
      most = std::max(most, std::abs(int32_t{sample}));
    }
    return most;
  };
  EXPECT_GT(peak(started + kBytesPerSecond / 2, stopped), 2000);
  // The fade takes half a second, the output's buffers a little more.
  ASSERT_GT(raw.size(), stopped + kBytesPerSecond * 5 / 4);
  EXPECT_EQ(peak(stopped + kBytesPerSecond, raw.size()), 0);
}

// The tutorial as docs/authoring.md builds it, played through: the title,
// its text in the window, Space (system script type 5) and back, the
// character at its own size, the ruby page, a choice, the morning, a save on
// its save screen, F9's load screen left with a key, back to the title,
// and the title's load line, which loads the save: the morning again, with
// the untagged music looping all along and not one warning logged.
TEST(TutorialGame, PlaysFromTitleToSaveAndBackWithoutAWarning) {
  std::string why;
  if (!OpenGLContextAvailable(&why)) GTEST_SKIP() << "no OpenGL context: " << why;
  LogCapture log;
  GameRun game(kTutorial);
  ASSERT_TRUE(game.init());
  constexpr Rgb kGold{255, 214, 96}, kWhite{255, 255, 255}, kRobe{200, 60, 70};
  enum Step { kTitle, kEvening, kSpace, kCharacter, kRuby, kChoice, kAnswer, kMorning, kSaveScreen, kSaved, kLoadScreen,
              kBackInStory, kEnd, kLoadFromTitle, kLoaded, kDone };
  Step step = kTitle;
  int titleGold = 0, textWhite = 0, nameGold = 0, robe = 0, headTop = -1, looping = 0;
  char16_t answer = 0;
  Rgb morning{}, loadedMorning{};
  std::u16string slotLine, loadLine, rubyBase, ruby;
  const auto shown = [](char16_t first) { return NewestTextStart() == first && !Revealing(); };
  game.onFrame = [&](int frame) {
    if (frame > 3000) game.stop();
    SoundStreamStatus music;
    if (sorn_streamGetStatus(0, &music) == 0 && music.state == SoundStreamStatus::kPlaying) looping += music.looping;
    switch (step) {
      case kTitle:
        if (frame == 3) {
          titleGold = PixelsNear(game.capture(), 200, 180, 600, 228, kGold);
          game.click(400, 300);
          step = kEvening;
        }
        break;
      case kEvening:
        if (shown(u'E')) {
          textWhite = PixelsNear(game.capture(), 44, 440, 756, 560, kWhite);
          game.key(' ');  // Space runs system script type 5, which goes back at once
          step = kSpace;
        }
        break;
      case kSpace:
        if (shown(u'E')) {
          game.click(400, 300);
          step = kCharacter;
        }
        break;
      case kCharacter:
        if (shown(u'A')) {
          const RGBAImageRef screen = game.capture();
          nameGold = PixelsNear(screen, 44, 440, 756, 480, kGold);
          // The 200 x 360 figure at its own size, centred on the bottom edge:
          // the top of its hair 34 pixels below its top, y 600 - 360 + 34.
          robe = PixelsNear(screen, 300, 240, 500, 420, kRobe);
          for (int32_t y = 200; y < 420 && headTop < 0; ++y) {
            if (Near(At(screen, 400, y), {40, 28, 24})) headTop = y;
          }
          game.click(400, 300);
          step = kRuby;
        }
        break;
      case kRuby:
        if (shown(u'P')) {
          // The word with its reading, as CP932 text gives them.
          for (const LaidOutLine& line : GetGlobalScene()->msgWindow()->shownTexts().back().lines) {
            for (const TextSegment& segment : line.line.segments) {
              if (segment.ruby.empty()) continue;
              for (const GlyphItem& glyph : segment.base) rubyBase += static_cast<char16_t>(glyph.character);
              for (const GlyphItem& glyph : segment.ruby) ruby += static_cast<char16_t>(glyph.character);
            }
          }
          game.click(400, 300);
          step = kChoice;
        }
        break;
      case kChoice:
        if (XG_Select* select = GetGlobalScene()->getSelect(0); select->isVisible() && select->items().size() == 2) {
          game.key(GameRun::kKeyDown);  // the first choice lit
          game.key(GameRun::kKeyDown);  // the second, "Go home"
          game.key(GameRun::kKeyReturn);
          step = kAnswer;
        }
        break;
      case kAnswer:
        if (!Revealing() && NewestTextStart() != 0) {
          answer = NewestTextStart();
          game.click(400, 300);
          step = kMorning;
        }
        break;
      case kMorning:
        if (shown(u'M')) {
          morning = At(game.capture(), 4, 4);
          game.key(GameRun::kKeyF5);
          step = kSaveScreen;
        }
        break;
      case kSaveScreen:
        if (!PartTextB(0).empty()) {
          slotLine = PartTextB(0);
          game.click(400, 300);  // saves in slot 1 and goes back
          step = kSaved;
        }
        break;
      case kSaved:
        if (GetGlobalScene()->getPartsB()->partCount() == 0) {
          game.key(GameRun::kKeyF9);
          step = kLoadScreen;
        }
        break;
      case kLoadScreen:
        if (!PartTextB(0).empty()) {
          loadLine = PartTextB(0);
          game.key(GameRun::kKeyDown);  // a key: back without loading
          step = kBackInStory;
        }
        break;
      case kBackInStory:
        if (GetGlobalScene()->getPartsB()->partCount() == 0 && shown(u'M')) {
          game.click(400, 300);  // the morning's page, then the end
          step = kEnd;
        }
        break;
      case kEnd:
        // The story over, its start script shows the title again.
        if (GetGlobalScene()->getPartsA()->partCount() == 4) {
          game.click(400, 390);  // "Load a save"
          step = kLoadFromTitle;
        }
        break;
      case kLoadFromTitle:
        if (!PartTextB(0).empty()) {
          game.click(400, 300);  // loads slot 1
          step = kLoaded;
        }
        break;
      case kLoaded:
        if (GetGlobalScene()->getPartsB()->partCount() == 0 && shown(u'M')) {
          loadedMorning = At(game.capture(), 4, 4);
          step = kDone;
          game.stop();
        }
        break;
      case kDone:
        break;
    }
  };
  EXPECT_TRUE(game.run());
  ASSERT_EQ(step, kDone);
  EXPECT_GT(titleGold, 200);
  EXPECT_GT(textWhite, 200);
  EXPECT_GT(nameGold, 20);
  EXPECT_GT(robe, 2000);
  EXPECT_EQ(headTop, 274);
  EXPECT_EQ(rubyBase, u"灯籠");
  EXPECT_EQ(ruby, u"とうろう");
  EXPECT_EQ(answer, u'Y');
  EXPECT_TRUE(Near(morning, {110, 176, 236})) << morning.r << " " << morning.g << " " << morning.b;
  EXPECT_EQ(slotLine, u"Slot 1: (empty)");
  StateMgr::SaveInfo saved;
  EXPECT_TRUE(game.controller().state().getSaveInfo(1, &saved));
  EXPECT_EQ(saved.comment, u"By the river");
  EXPECT_EQ(loadLine, u"Slot 1: By the river");
  EXPECT_TRUE(Near(loadedMorning, morning)) << loadedMorning.r << " " << loadedMorning.g << " " << loadedMorning.b;
  EXPECT_GT(looping, 100);
  for (const std::string& line : log.lines()) {
    EXPECT_TRUE(line.find("[WARN ]") == std::string::npos && line.find("[ERROR]") == std::string::npos) << line;
  }
}

}  // namespace
