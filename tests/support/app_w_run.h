// A copy of the real app_w in the test's own folder (so an args.txt beside
// the build's binary never changes a run), with the movie module beside it
// as an installation has it, and the command-line runs on it.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/process.h"
#include "tests/support/test_support.h"

inline std::string ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class AppWRun : public testing::Test {
 protected:
  AppWRun() {
    std::filesystem::copy_file(ZEP_APP_W, dir_.path() / "app_w");
    std::filesystem::copy_file(ZEP_MOVIE_MODULE, dir_.path() / "libzep_movie.so");
    mutex_ = "zep-invoker-" + dir_.path().filename().string();
  }

  // Runs "<environment> ./app_w <arguments>" in the test's folder; standard
  // error joins standard output.
  platform::ProcessResult run(const std::string& arguments, const std::string& environment = "") {
    const std::string command = "cd '" + dir_.path().string() + "' && " + environment +
                                " ./app_w " + arguments + " 2>&1";
    return platform::RunProcess({"sh", "-c", command}, true);
  }

  // A game named by its configuration text; its scenario files are
  // scene/sceneNNNN.scm.
  void writeGame(const std::string& mutex, const std::string& extra = "") {
    dir_.write("game.scm",
               "(:product-info (:product-name . \"Invoker Test\"))\n"
               "(:system (:mutex-name . \"" + mutex + "\"))\n"
               "(:resource (:script-basedir \"scene\") (:script-basename \"scene\") (:script-num-digits 4)\n"
               "  (:script-extension \"scm\") (:font-0-type 0) (:font-0-name \"IPAGothic\"))\n"
               "(:window (:window-title \"Invoker Test\") (:window-width 160) (:window-height 120))\n" +
                   extra);
  }

  // A game whose first system script ends the run at once.
  void writeGame() {
    writeGame(mutex_);
    dir_.write("scene/scene9010.scm", "(a3:define-set (0 0) (a3:call-user-func 6000))\n");
  }

  TempDir dir_;
  std::string mutex_;
};
