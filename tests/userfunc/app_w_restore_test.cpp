// Saved music comes back in a new app_w process: the story starts music on
// channel 0 and opens the save screen, which saves slot 3 and quits. A
// second run loads the slot, resumes the story and listens for a second;
// its audio output holds the music's samples. (The screen's restore is
// read back pixel for pixel by the restore-game test.)
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "tests/support/app_w_run.h"

namespace {

// Every sample of the music, so the audio output shows whether this file
// plays: nothing else sounds in the game.
constexpr int16_t kMusicSample = 4660;

// 1.5 s of 44100 Hz 16-bit stereo PCM, every sample kMusicSample.
std::string MusicWave() {
  constexpr uint32_t kDataBytes = 66150 * 4;
  std::string wave;
  auto put = [&](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) wave += static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  wave += "RIFF";
  put(36 + kDataBytes, 4);
  wave += "WAVEfmt ";
  put(16, 4), put(1, 2), put(2, 2), put(44100, 4), put(44100 * 4, 4), put(4, 2), put(16, 2);
  wave += "data";
  put(kDataBytes, 4);
  for (uint32_t i = 0; i < kDataBytes / 2; ++i) put(static_cast<uint16_t>(kMusicSample), 2);
  return wave;
}

const char kResources[] =
    "(:product-info (:savedata-usage . 0) (:savedata-version . 3))\n"
    "(:resource (:music-basedir \"music\") (:music-basename \"bgm\") (:music-num-digits 2)\n"
    "  (:music-extension \"wav\")\n"
    "  (:save-basedir \"save\") (:save-syssave-name \"system.dat\") (:save-syssave-default-name \"default.dat\"))\n";

// Music at full level; with slot 3 saved it is loaded and the story
// resumes, else the story starts.
const char kStart[] =
    "(a3:define-set (0 0)\n"
    "  (a3:call-user-func 4111 267 9)\n"
    "  (a3:call-user-func 4111 306 100)\n"
    "  (a3:call-user-func 4200 3 10 11 12)\n"
    "  (a3:eval (a3:bop-equal? (a3:idref-reflag) 1))\n"
    "  (a3:if 1)\n"
    "  (a3:call-user-func 6002 100 0)\n"
    "  (a3:label 1)\n"
    "  (a3:call-user-func 4202 3)\n"
    "  (a3:call-user-func 6002 -1 0))\n";

// The story raises the event in word 7, the save screen (2), and resumes
// there after the load; the save screen has made it harmless (13) in the
// saved state.
const char kStory[] =
    "(a3:define-set (0 0)\n"
    "  (a3:call-user-func 3003 0 1 0 0 0 0 0 0)\n"
    "  (a3:eval-noeffect (a3:assign-word 7 2))\n"
    "  (a3:call-user-func 6003 (a3:idref-word 7) 0)\n"
    "  (a3:call-user-func 4000 0 1000 0)\n"
    "  (a3:call-user-func 6000))\n";

const char kSaveScreen[] =
    "(a3:define-set (0 0)\n"
    "  (a3:eval-noeffect (a3:assign-word 7 13))\n"
    "  (a3:call-user-func 4201 3 1 0 \"restore\")\n"
    "  (a3:call-user-func 6000))\n";

// The 16-bit output samples that are the music's.
size_t MusicSamples(const std::string& raw) {
  size_t samples = 0;
  for (size_t i = 0; i + 2 <= raw.size(); i += 2) {
    const auto sample = static_cast<int16_t>(static_cast<uint8_t>(raw[i]) | static_cast<uint8_t>(raw[i + 1]) << 8);
    samples += std::abs(sample - kMusicSample) <= 1;
  }
  return samples;
}

TEST_F(AppWRun, ALoadedSavePlaysItsMusicAgain) {
  writeGame(mutex_, kResources);
  dir_.write("save/default.dat", "((version . 3))");
  dir_.write("music/bgm01.wav", MusicWave());
  dir_.write("scene/scene9010.scm", kStart);
  dir_.write("scene/scene0100.scm", kStory);
  dir_.write("scene/scene9006.scm", kSaveScreen);

  const platform::ProcessResult saving = run("-d game.scm", "SDL_VIDEODRIVER=offscreen");
  ASSERT_EQ(saving.exitCode, 0) << saving.output;
  ASSERT_NE(saving.output.find("CallUserFunc(4201, 3, 1, 0, \"restore\")"), std::string::npos) << saving.output;

  const platform::ProcessResult loading =
      run("-d game.scm", "SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=audio.raw");
  ASSERT_EQ(loading.exitCode, 0) << loading.output;
  EXPECT_NE(loading.output.find("CallUserFunc(4202, 3)"), std::string::npos) << loading.output;
  // The story went on from the save, not from its start.
  EXPECT_EQ(loading.output.find("CallUserFunc(3003"), std::string::npos) << loading.output;
  // At least 0.1 s of the music in the second run's output.
  EXPECT_GT(MusicSamples(ReadWholeFile(dir_.path() / "audio.raw")), 8820u) << loading.output;
}

}  // namespace
