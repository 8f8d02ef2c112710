// A saved screen and its music come back in a new app_w process: the story
// shows a background, a cell, a part, a fader and a picture on a script
// layer, starts music on channel 0, captures the script layers into storage
// file 1 and opens the save screen, which saves slot 3 and quits. A second
// run loads the slot and resumes the story, which captures into storage
// file 2 and listens for a second; the two captures match pixel for pixel
// and the second run's audio output holds the music's samples.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "gdev/image_file.h"
#include "platform/utf8.h"
#include "tests/support/app_w_run.h"

namespace {

// Every sample of the music, so the audio output shows whether this file
// plays: nothing else sounds in the game.
constexpr int16_t kMusicSample = 4660;

// 1.5 s of 44100 Hz 16-bit stereo PCM, every sample kMusicSample.
std::string MusicWave() {
  constexpr uint32_t kFrames = 66150, kDataBytes = kFrames * 4;
  std::string wave;
  auto u32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) wave += static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  auto u16 = [&](uint32_t v) {
    wave += static_cast<char>(v & 0xFF);
    wave += static_cast<char>((v >> 8) & 0xFF);
  };
  wave += "RIFF";
  u32(36 + kDataBytes);
  wave += "WAVEfmt ";
  u32(16);
  u16(1), u16(2), u32(44100), u32(44100 * 4), u16(4), u16(16);
  wave += "data";
  u32(kDataBytes);
  for (uint32_t i = 0; i < kFrames * 2; ++i) u16(static_cast<uint16_t>(kMusicSample));
  return wave;
}

void WriteSolid(const std::filesystem::path& path, int32_t w, int32_t h, uint8_t r, uint8_t g, uint8_t b) {
  RGBAImage image(0, w, h);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      uint8_t* p = image.pixel(x, y);
      p[0] = b, p[1] = g, p[2] = r, p[3] = 255;
    }
  }
  std::filesystem::create_directories(path.parent_path());
  ASSERT_EQ(SaveImageFile(platform::FromUtf8(path.string()), RGBAImageRef(std::move(image)), false, false), 0);
}

const char kResources[] =
    "(:product-info (:savedata-usage . 0) (:savedata-version . 3))\n"
    "(:resource (:image-basedir \"image\") (:image-basename \"bg\") (:image-num-digits 3) (:image-extension \"png\")\n"
    "  (:cellimage-basedir \"cell\") (:cellimage-basename \"cell\") (:cellimage-num-digits 3)\n"
    "  (:cellimage-extension \"png\")\n"
    "  (:music-basedir \"music\") (:music-basename \"bgm\") (:music-num-digits 2) (:music-extension \"wav\")\n"
    "  (:storage-basedir \"storage\") (:storage-basename \"st\") (:storage-num-digits 3)\n"
    "  (:storage-extension \"bin\")\n"
    "  (:save-basedir \"save\") (:save-syssave-name \"system.dat\") (:save-syssave-default-name \"default.dat\"))\n"
    "(:parts (5 (type . image) (url . \"part.png\") (size 24 16)))\n";

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
// saved state, and word 8 names the second capture.
const char kStory[] =
    "(a3:define-set (0 0)\n"
    "  (a3:call-user-func 2000 1 -1 0 0 0 0 0 0)\n"
    "  (a3:call-user-func 2010 1 1 0 10 20 32 32 -1 0 0 0 255 0 0 0 0)\n"
    "  (a3:call-user-func 2053 2 5 1 100 70 255 0 0)\n"
    "  (a3:call-user-func 2071 0 0 255 64 0 0)\n"
    "  (a3:call-user-func 1000 1 1 0 0)\n"
    "  (a3:call-user-func 1008 1 1 \"sprite.png\" 1 1)\n"
    "  (a3:call-user-func 1020 1 1 1)\n"
    "  (a3:call-user-func 1001 1 1)\n"
    "  (a3:call-user-func 3003 0 1 0 0 0 0 0 0)\n"
    "  (a3:call-user-func 1017 1 -1 1 0 0 0 0)\n"
    "  (a3:eval-noeffect (a3:assign-word 8 2))\n"
    "  (a3:eval-noeffect (a3:assign-word 7 2))\n"
    "  (a3:call-user-func 6003 (a3:idref-word 7) 0)\n"
    "  (a3:call-user-func 1017 1 -1 (a3:idref-word 8) 0 0 0 0)\n"
    "  (a3:call-user-func 4000 0 1000 0)\n"
    "  (a3:call-user-func 6000))\n";

const char kSaveScreen[] =
    "(a3:define-set (0 0)\n"
    "  (a3:eval-noeffect (a3:assign-word 7 13))\n"
    "  (a3:call-user-func 4201 3 1 0 \"restore\")\n"
    "  (a3:call-user-func 6000))\n";

RGBAImageRef LoadCapture(const std::filesystem::path& path) {
  RGBAImageRef image;
  int32_t w = 0, h = 0;
  if (LoadImageFile(platform::FromUtf8(path.string()), &image, 0, &w, &h) != 0) image.reset();
  return image;
}

// Stereo frames of 16-bit output whose both samples are the music's.
size_t MusicFrames(const std::string& raw) {
  size_t frames = 0;
  for (size_t i = 0; i + 4 <= raw.size(); i += 4) {
    auto sample = [&](size_t at) {
      return static_cast<int16_t>(static_cast<uint8_t>(raw[at]) | static_cast<uint8_t>(raw[at + 1]) << 8);
    };
    if (std::abs(sample(i) - kMusicSample) <= 1 && std::abs(sample(i + 2) - kMusicSample) <= 1) ++frames;
  }
  return frames;
}

TEST_F(AppWRun, ALoadedSaveShowsTheSavedScreenAndPlaysItsMusicAgain) {
  writeGame(mutex_, kResources);
  dir_.write("save/default.dat", "((version . 3))");
  dir_.write("music/bgm01.wav", MusicWave());
  WriteSolid(dir_.path() / "image" / "bg001.png", 160, 120, 30, 60, 90);
  WriteSolid(dir_.path() / "cell" / "cell001.png", 32, 32, 200, 60, 70);
  WriteSolid(dir_.path() / "part.png", 24, 16, 250, 250, 40);
  WriteSolid(dir_.path() / "sprite.png", 40, 30, 20, 220, 90);
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

  const RGBAImageRef atSave = LoadCapture(dir_.path() / "storage" / "st001.bin");
  const RGBAImageRef afterLoad = LoadCapture(dir_.path() / "storage" / "st002.bin");
  ASSERT_TRUE(atSave) << saving.output;
  ASSERT_TRUE(afterLoad) << loading.output;
  ASSERT_EQ(afterLoad->width, atSave->width);
  ASSERT_EQ(afterLoad->height, atSave->height);
  EXPECT_TRUE(afterLoad->pixels == atSave->pixels);
  // Not two empty screens: the layer's picture is there.
  const uint8_t* sprite = atSave->pixel(5, 5);
  EXPECT_EQ(sprite[2], 20);
  EXPECT_EQ(sprite[1], 220);
  EXPECT_EQ(sprite[0], 90);

  // At least 0.1 s of the music in the second run's output.
  EXPECT_GT(MusicFrames(ReadWholeFile(dir_.path() / "audio.raw")), 4410u) << loading.output;
}

}  // namespace
