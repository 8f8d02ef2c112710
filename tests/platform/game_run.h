// A whole game run inside a test: the real controller on a game folder with
// the offscreen window and device, timers on a hand-moved clock, and a pump
// that moves the clock one frame per call, lets the test inject input at
// given frames, and runs the frame at once. The GUI root can be read back
// as pixels at any frame. Each run keeps the player's data (the settings
// file) in an empty folder of its own unless it is handed one to share.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "app/game_environment.h"
#include "gdev/rgba_image.h"
#include "script/app_controller.h"
#include "tests/support/test_support.h"

class GameRun : public FramePump {
 public:
  // The game in folder, configuration file game.scm; the current folder is
  // the game's for the object's life, and the XDG data folder is dataFolder
  // (empty: a fresh temporary one).
  explicit GameRun(const std::filesystem::path& folder, const std::filesystem::path& dataFolder = {});
  ~GameRun() override;

  // Reads the configuration and starts the controller (window, scene,
  // sound, settings). False when either fails.
  bool init();
  // Runs the game until it ends or the test stops it.
  bool run();
  // Called before each frame runs, with the frame's number (1 first), and
  // right after it ran, before the game sees the events it brought.
  std::function<void(int frame)> onFrame;
  std::function<void(int frame)> afterFrame;
  // Ends the run as a quit signal would.
  void stop() { quit_ = true; }

  // Input through the window, as SDL delivers it; window coordinates.
  void click(int32_t x, int32_t y);
  void move(int32_t x, int32_t y);
  // Wheel notches at (x, y): positive turned away from the player.
  void wheel(int32_t x, int32_t y, int32_t notches);
  // An SDL key code (SDLK_RETURN, ...), pressed and released.
  void key(int32_t sdlKey);
  // Codes for tests that do not see SDL.
  static const int32_t kKeyReturn;
  static const int32_t kKeyDown;
  static const int32_t kKeyPageUp;
  static const int32_t kKeyF5;
  static const int32_t kKeyF9;
  // The GUI root painted into a texture of the screen's size; empty when it
  // could not be painted.
  RGBAImageRef capture();

  int frames() const { return frames_; }
  int32_t frameMs = 16;
  ManualClock& clock() { return clock_; }
  GameEnvironment& environment() { return env_; }
  AppController& controller() { return *controller_; }

  int32_t pumpFrame(int32_t mode, bool skipPump) override;
  bool quitRequested() const override { return quit_; }

 private:
  // Restores XDG_DATA_HOME when the run ends.
  struct DataFolder {
    DataFolder(const std::filesystem::path& folder, std::unique_ptr<TempDir>& own);
    ~DataFolder();
    std::string previous;
  };

  std::unique_ptr<TempDir> ownData_;
  DataFolder data_;
  ScopedCurrentDir cwd_;
  GameEnvironment env_;
  ManualClock clock_;
  TimerManager* previousClock_;
  std::unique_ptr<AppController> controller_;
  int frames_ = 0;
  bool quit_ = false;
};
