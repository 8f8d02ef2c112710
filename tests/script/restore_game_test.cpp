// A saved screen comes back whole: a small game shows a background, a cell,
// a part and a fader, is saved from its save screen, and a second run that
// loads the slot draws the same screen, read back from the GUI root pixel
// for pixel. A page of two texts and layers that motions held in place come
// back as they were from every system screen and from a load.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "gamestate/state_mgr.h"
#include "gdev/rgba_image.h"
#include "scene/menu_window.h"
#include "scene/message_window.h"
#include "scene/scene_facade.h"
#include "scene/scene_impl.h"
#include "scene/text_area.h"
#include "scene/xg_menu.h"
#include "tests/platform/game_run.h"
#include "userfunc/userfunc_impl.h"

namespace {

const std::filesystem::path kSample = std::filesystem::path(ZEP_SOURCE_DIR) / "examples" / "sample";

// The game of both tests, with the story's scenario 100 and the save screen
// left to each: a start script that loads slot 3 when it is saved (and goes
// back to the story) or else starts the story.
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
            "(:key (\"save\" . \"F5\") (\"backlog\" . 33))\n"
            "(:window (:window-title \"Restore\") (:window-width 800) (:window-height 600))\n"
            "(:color-table (2 255 214 96))\n"
            "(:message-window (entryMap (0 (window-position-x . 20) (window-position-y . 420)\n"
            "  (window-width . 760) (window-height . 160) (ta-offset-x . 24) (ta-offset-y . 20)\n"
            "  (ta-width . 712) (ta-height . 120) (ta-font-size . 24) (ta-line-pitch . 8)\n"
            "  (ta-linenum . 3) (ta-chars-per-line . 56) (ta-ruby-line-pitch . 2))))\n"
            "(:menu (entryMap (0 (position . \"right\") (menu-width . 140) (sensor-width . 32)\n"
            "  (cp-0-offset-x . 22) (cp-0-offset-y . 40) (cp-0-parts . 30) (cp-0-event . \"load\")\n"
            "  (cp-1-offset-x . 22) (cp-1-offset-y . 140) (cp-1-parts . 30) (cp-1-event . \"config\"))))\n"
            "(:parts (10 (type . image) (url . 1) (rect 0 0 96 96))\n"
            "  (30 (type . button) (size 96 96) (pic0 (url . 1)) (pic1 (url . 1))))\n");
  dir.write("save/default.dat", "((version . 1))");
  dir.write("scene/scene9010.scm",
            "(a3:define-set (0 0)\n"
            "  (a3:call-user-func 4200 3 10 11 12)\n"
            "  (a3:eval (a3:bop-equal? (a3:idref-reflag) 1))\n"
            "  (a3:if 1)\n"
            "  (a3:call-user-func 6002 100 0)\n"
            "  (a3:label 1)\n"
            "  (a3:call-user-func 4202 3)\n"
            "  (a3:call-user-func 6002 -1 0))\n");
  for (const char* file : {"image/bg001.png", "cell/cell001.png", "parts/parts001.png"}) {
    std::filesystem::create_directories((dir.path() / file).parent_path());
    std::filesystem::copy_file(kSample / file, dir.path() / file);
  }
}

// A background, a cell, a part and a fader; the save screen saves slot 3
// and ends the run.
void WriteSavedScreenStory(const TempDir& dir) {
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
  WriteSavedScreenStory(game);
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

// A page of two texts (the second with a colour and a ruby) over two
// layers that motions of kinds 100 and 101 held where they were; the
// backlog (PageUp), the save screen (F5, saving slot 3) and the menu's load
// and configuration screens each empty the window and show a text of their
// own. After the page, 1020 sets each layer's picture again.
void WritePageStory(const TempDir& dir) {
  // Layer 2 starts at (300, 0); the held motions aim at (150, 100) and (450, 100).
  const std::string record = " 0 0 1024 1024 -1 0 0 0 0 80 0 0 1024 1024 -1 0 0 0 255 255 255 255)\n";
  const std::string pictures = "  (a3:call-user-func 1020 1 1 1)\n  (a3:call-user-func 1020 1 2 2)\n"
                               "  (a3:call-user-func 1001 1 1)\n  (a3:call-user-func 1001 1 2)\n";
  dir.write("scene/scene0100.scm",
            "(a3:define-set (0 0)\n"
            "  (a3:call-user-func 2040 0)\n  (a3:call-user-func 2042 1)\n  (a3:call-user-func 2043 1 0)\n"
            "  (a3:call-user-func 2000 1 -1 0 0 0 0 0 0)\n"
            "  (a3:call-user-func 1000 1 1 0 0)\n  (a3:call-user-func 1000 2 1 0 0)\n"
            "  (a3:call-user-func 1008 1 1 \"parts/parts001.png\" 1 1)\n"
            "  (a3:call-user-func 1008 2 2 \"parts/parts001.png\" 1 1)\n"
            "  (a3:call-user-func 1006 1 1 2 0 0 0 0 2 80 300" + record + pictures +
            "  (a3:call-user-func 1006 1 1 1 100 200 2 0 2 80 150 100" + record +
            "  (a3:call-user-func 1006 1 1 2 101 200 2 0 2 80 450 100" + record +
            "  (a3:send-string \"Evening falls over the river.\" 1)\n  (a3:send-string wait-e 1)\n"
            "  (a3:send-string \"$2Aki$N looks up at the &RAlanterns&RStoro&RT.\" 2)\n"
            "  (a3:send-string wait-w 2)\n  (a3:send-string clear)\n" + pictures +
            "  (a3:call-user-func 4000 0 -1 0))\n");
  const std::string screen = "(a3:define-set (0 0)\n  (a3:send-string clear)\n  (a3:send-string \"A system screen\")\n";
  const std::string back = "  (a3:call-user-func 4000 0 100 0)\n  (a3:call-user-func 6002 -1 0))\n";
  for (const char* number : {"9002", "9003", "9004"}) {
    dir.write("scene/scene" + std::string(number) + ".scm", screen + back);
  }
  dir.write("scene/scene9006.scm", screen + "  (a3:call-user-func 4201 3 1 0 \"page\")\n" + back);
}

// Every glyph of a laid-out text, line by line, with each change of colour
// and the ruby after its base.
std::string Describe(const std::vector<LaidOutLine>& lines) {
  std::string out;
  uint32_t color = 0xFFFFFFFFu;
  for (const LaidOutLine& line : lines) {
    out += "[" + std::to_string(line.top) + "+" + std::to_string(line.height) + "]";
    for (const TextSegment& segment : line.line.segments) {
      for (const GlyphItem& g : segment.base) {
        if (g.color != color) {
          char code[16];
          std::snprintf(code, sizeof code, "{%08x}", g.color);
          out += code;
          color = g.color;
        }
        out += static_cast<char>(g.character);
      }
      if (segment.hasRuby()) {
        out += "(";
        for (const GlyphItem& g : segment.ruby) out += static_cast<char>(g.character);
        out += ")";
      }
    }
    out += "/";
  }
  return out;
}

// Each text the window holds (what the log takes at the page's end) as a
// message log entry of kind 2 reads, then the lines it draws.
std::string WindowPage() {
  std::string out;
  for (const LaidOutText& text : GetGlobalScene()->msgWindow()->shownTexts()) out += "2:" + Describe(text.lines) + "|";
  return out + " shows " + Describe(GetGlobalScene()->msgTextArea()->getLines());
}

// How many rows from top to bottom differ.
int DifferingRows(const RGBAImageRef& a, const RGBAImageRef& b, int32_t top, int32_t bottom) {
  int rows = 0;
  for (int32_t y = top; y < bottom; ++y) rows += std::memcmp(a->pixel(0, y), b->pixel(0, y), size_t(a->width) * 4) != 0;
  return rows;
}

struct PageRun {
  RGBAImageRef page;  // the screen at the page's second text, before any screen
  std::string window;
  std::vector<std::string> returns;  // what differed after each way back
  std::string log;                   // the message log after the page
  int layerRowsAfterReset = -1;      // rows above the window that differ after 1020
};

// Without a page: plays to the second text, then opens each system screen
// and comes back. With one (a run that loads slot 3): compares the loaded
// page with it. Then the page is turned and the pictures set again.
void RunPages(const std::filesystem::path& folder, const std::filesystem::path& data, PageRun& out) {
  GameRun game(folder, data);
  ASSERT_TRUE(game.init());
  auto& userfuncs = static_cast<UserfuncImpl&>(game.controller().userfuncs());
  const bool loading = static_cast<bool>(out.page);
  enum Step { kFirstText, kSecondText, kOpen, kInScreen, kBack, kMenuClosing, kTurned, kDone };
  Step step = loading ? kBack : kFirstText;
  int screen = 0;  // 0 backlog, 1 save, 2 load, 3 configuration
  int settled = 0;
  game.onFrame = [&](int frame) {
    if (frame > 3000) game.stop();
    const size_t texts = GetGlobalScene()->msgWindow()->shownTexts().size();
    MenuWindow* menu = GetGlobalScene()->getMenu()->window();
    bool revealing = false;
    sceneMsg_isTextDisplaying(&revealing);
    switch (step) {
      case kFirstText:
      case kSecondText:
        if (revealing || texts != (step == kFirstText ? 1u : 2u)) break;
        if (step == kFirstText) {
          game.click(400, 300);
          step = kSecondText;
          break;
        }
        out.page = game.capture();
        out.window = WindowPage();
        step = kOpen;
        break;
      case kOpen:
        if (screen == 0) game.key(GameRun::kKeyPageUp);
        if (screen == 1) game.key(GameRun::kKeyF5);
        if (screen >= 2) {
          // The menu slides in at the right edge, its two buttons one above the other.
          game.move(792, 300);
          if (!menu->isOpen() || menu->isSliding()) break;
          game.click(730, screen == 2 ? 88 : 188);
        }
        step = kInScreen;
        break;
      case kInScreen:
        if (!userfuncs.stateMgr().isUserMode()) step = kBack;
        break;
      case kBack:
        settled = userfuncs.stateMgr().isUserMode() ? settled + 1 : 0;
        if (settled < 10) break;
        game.move(400, 300);
        step = kMenuClosing;
        break;
      case kMenuClosing: {
        if (menu->isOpen() || menu->isSliding()) break;
        const RGBAImageRef now = game.capture();
        std::string differs = WindowPage() == out.window ? "" : "window " + WindowPage() + "; ";
        if (const int rows = DifferingRows(now, out.page, 420, 580)) differs += std::to_string(rows) + " window rows; ";
        if (const int rows = DifferingRows(now, out.page, 0, 420)) differs += std::to_string(rows) + " layer rows; ";
        out.returns.push_back(differs);
        if (!loading && ++screen < 4) {
          step = kOpen;
          break;
        }
        game.click(400, 300);  // ends the page's wait: it goes into the log
        settled = 0;
        step = kTurned;
        break;
      }
      case kTurned:
        if (++settled < 20) break;
        for (const MessageLogEntry& entry : userfuncs.messageLog().entries()) {
          out.log += std::to_string(entry.kind) + ":" + Describe(entry.text.lines) + "|";
        }
        out.layerRowsAfterReset = DifferingRows(game.capture(), out.page, 0, 420);
        step = kDone;
        game.stop();
        break;
      case kDone:
        break;
    }
  };
  EXPECT_TRUE(game.run());
  EXPECT_EQ(step, kDone);
}

TEST(RestoreGame, APageAndHeldLayersComeBackAsShownAfterEachSystemScreenAndALoad) {
  std::string why;
  if (!OpenGLContextAvailable(&why)) GTEST_SKIP() << "no OpenGL context: " << why;
  TempDir game, data;
  WriteGame(game);
  WritePageStory(game);
  PageRun played;
  RunPages(game.path(), data.path(), played);
  ASSERT_TRUE(played.page);
  PageRun loaded;
  loaded.page = played.page;
  loaded.window = played.window;
  RunPages(game.path(), data.path(), loaded);

  // Layer 1's picture where its held motion began, not at (150, 100); the
  // second text shown, in its colour and with its ruby.
  EXPECT_NE(std::memcmp(played.page->pixel(48, 48), played.page->pixel(198, 148), 3), 0);
  EXPECT_NE(played.window.find(" shows [0+38]{ffffd660}Aki{ffffffff} looks up at the lanterns(toro)./"),
            std::string::npos) << played.window;
  // Back from the backlog, the save screen, the menu's load and
  // configuration screens, and from the load: the same window and screen.
  EXPECT_EQ(played.returns, std::vector<std::string>(4));
  EXPECT_EQ(loaded.returns, std::vector<std::string>(1));
  // The page goes into the log text by text, then its separator.
  const std::string texts = played.window.substr(0, played.window.find(" shows "));
  EXPECT_EQ(std::count(texts.begin(), texts.end(), '|'), 2);
  EXPECT_EQ(played.log, texts + "1:|");
  EXPECT_EQ(loaded.log, texts + "1:|");
  // Setting the pictures again keeps the layers where they were drawn.
  EXPECT_EQ(played.layerRowsAfterReset, 0);
  EXPECT_EQ(loaded.layerRowsAfterReset, 0);
}

}  // namespace
