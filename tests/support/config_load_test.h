// A fixture for tests that load configuration text through the environment:
// a temporary game folder as the current folder, a log capture, and a fresh
// GameEnvironment per load.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/game_environment.h"
#include "tests/support/test_support.h"

class ConfigLoadTest : public testing::Test {
 protected:
  // A fresh environment with the base folder "/game" and no load paths.
  void newEnvironment() {
    env_ = std::make_unique<GameEnvironment>(u"/game", std::vector<std::u16string>{}, std::vector<std::u16string>{});
  }
  // Writes the text as game.scm and loads it into a fresh environment.
  bool load(const std::string& text) {
    dir_.write("game.scm", text);
    newEnvironment();
    return env_->init(u"game.scm");
  }

  TempDir dir_;
  ScopedCurrentDir cwd_{dir_.path()};
  LogCapture log_;
  std::unique_ptr<GameEnvironment> env_;
};
