// A save and a load through the real app_w, in each encode mode of the
// settings file: a story sets bit, flag and word variables and a saved
// string and opens the save screen, which saves slot 3 and quits; a second
// run's start script reads the slot's information, loads it and resumes the
// story, which hands the restored values to built-ins the debug log shows.
// Texts with carriage returns and line feeds, and a save time after 2038,
// come back as they were, and the plain file has CR LF line ends.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/app_w_run.h"

namespace {

std::string Game(const std::string& mutex, int encodeMode) {
  return "(:product-info (:product-name . \"Save Test\") (:savedata-usage . 0) (:savedata-version . 3)\n"
         "  (:savedata-encmode . " + std::to_string(encodeMode) + "))\n"
         "(:system (:mutex-name . \"" + mutex + "\"))\n"
         "(:resource (:script-basedir \"scene\") (:script-basename \"scene\") (:script-num-digits 4)\n"
         "  (:script-extension \"scm\") (:font-0-type 0) (:font-0-name \"IPAGothic\")\n"
         "  (:save-basedir \"save\") (:save-syssave-name \"system.dat\")\n"
         "  (:save-syssave-default-name \"default.dat\"))\n"
         "(:window (:window-title \"Save Test\") (:window-width 160) (:window-height 120))\n";
}

// The start script: with slot 3 saved, its comment (string variable 12),
// scene number and save time, the two system strings and the save's date
// go to the log, then the slot is loaded and the story resumes; without it
// the story starts.
const char kStart[] =
    "(a3:define-set (0 0)\n"
    "  (a3:call-user-func 4200 3 10 11 12)\n"
    "  (a3:eval (a3:bop-equal? (a3:idref-reflag) 1))\n"
    "  (a3:if 1)\n"
    "  (a3:call-user-func 6002 100 0)\n"
    "  (a3:label 1)\n"
    "  (a3:call-user-func 5001 12 \"\")\n"
    "  (a3:call-user-func 4501 (a3:idref-word 10) (a3:idref-word 11))\n"
    "  (a3:call-user-func 4112 1 20)\n"
    "  (a3:call-user-func 4112 2 21)\n"
    "  (a3:call-user-func 5001 20 21)\n"
    "  (a3:call-user-func 5005 22 (a3:idref-word 11) 2)\n"
    "  (a3:call-user-func 5001 22 \"\")\n"
    "  (a3:call-user-func 4202 3)\n"
    "  (a3:call-user-func 6002 -1 0))\n";

// The story raises the event in word 7: the save screen (2) the first time.
// The story resumes at the raising statement, which the save screen has
// made harmless in the saved state (13 does nothing).
const char kStory[] =
    "(a3:define-set (0 0)\n"
    "  (a3:eval-noeffect (a3:assign-bit 3 1))\n"
    "  (a3:eval-noeffect (a3:assign-flag 4 55))\n"
    "  (a3:eval-noeffect (a3:assign-word 5 -123456))\n"
    "  (a3:call-user-func 4100 6 \"kept string\")\n"
    "  (a3:eval-noeffect (a3:assign-word 7 2))\n"
    "  (a3:call-user-func 6003 (a3:idref-word 7) 0)\n"
    "  (a3:call-user-func 5001 6 \"\")\n"
    "  (a3:call-user-func 4501 (a3:idref-bit 3) (a3:idref-flag 4) (a3:idref-word 5))\n"
    "  (a3:call-user-func 6000))\n";

// The save screen also keeps "a" CR LF "b" and "c" CR "d" as system
// strings, and saves at 2040-01-01 00:00 UTC (past 2^31 seconds: negative
// as a 32-bit number).
const char kSaveScreen[] =
    "(a3:define-set (0 0)\n"
    "  (a3:eval-noeffect (a3:assign-word 7 13))\n"
    "  (a3:call-user-func 5003 9 \"a\r\" \"\nb\" -1)\n"
    "  (a3:call-user-func 4113 1 9)\n"
    "  (a3:call-user-func 4113 2 \"c\rd\")\n"
    "  (a3:call-user-func 4201 3 42 -2085978496 \"by the river\")\n"
    "  (a3:call-user-func 4501 (a3:idref-reflag))\n"
    "  (a3:call-user-func 6000))\n";

TEST_F(AppWRun, ASavedStoryComesBackInEveryEncodeMode) {
  dir_.write("save/default.dat", "((version . 3))");
  dir_.write("scene/scene9010.scm", kStart);
  dir_.write("scene/scene0100.scm", kStory);
  dir_.write("scene/scene9006.scm", kSaveScreen);
  const std::string header[3] = {"((version . 3)", "EENC", "EENZ"};
  for (int mode = 0; mode < 3; ++mode) {
    SCOPED_TRACE(mode);
    std::filesystem::remove(dir_.path() / "save/system.dat");
    dir_.write("game.scm", Game(mutex_, mode));

    const platform::ProcessResult saving = run("-d game.scm", "SDL_VIDEODRIVER=offscreen");
    ASSERT_EQ(saving.exitCode, 0) << saving.output;
    EXPECT_NE(saving.output.find("CallUserFunc(4501, 0)"), std::string::npos) << saving.output;
    const std::string bytes = ReadWholeFile(dir_.path() / "save/system.dat");
    EXPECT_EQ(bytes.substr(0, header[mode].size()), header[mode]);
    if (mode == 0) {  // CR LF line ends, the texts' own CRs kept, the time's 32 bits as they were
      for (const char* part : {"(1 . \"a\r\r\nb\")", "(2 . \"c\rd\")", "(savetime . -2085978496)"}) {
        EXPECT_NE(bytes.find(part), std::string::npos) << part << "\n" << bytes;
      }
    }

    const platform::ProcessResult loading = run("-d game.scm", "SDL_VIDEODRIVER=offscreen TZ=UTC");
    ASSERT_EQ(loading.exitCode, 0) << loading.output;
    EXPECT_NE(loading.output.find("string_compare([by the river], [])"), std::string::npos) << loading.output;
    EXPECT_NE(loading.output.find("CallUserFunc(4501, 42, -2085978496)"), std::string::npos);
    EXPECT_NE(loading.output.find("string_compare([a\r\nb], [c\rd])"), std::string::npos);
    EXPECT_NE(loading.output.find("string_compare([2040/ 1/ 1], [])"), std::string::npos);
    EXPECT_NE(loading.output.find("CallUserFunc(4202, 3)"), std::string::npos);
    EXPECT_NE(loading.output.find("CallUserFunc(6003, 13, 0)"), std::string::npos);
    EXPECT_NE(loading.output.find("string_compare([kept string], [])"), std::string::npos);
    EXPECT_NE(loading.output.find("CallUserFunc(4501, 1, 55, -123456)"), std::string::npos);
    EXPECT_EQ(loading.output.find("CallUserFunc(4100"), std::string::npos);  // the story did not start over
  }
}

}  // namespace
