// Broken sound files through the real app_w: garbage, empty files and files
// cut short, played as music and as effects, each leave one warning with the
// file's name and the decoder's reason, and the script runs on to its end;
// an effect whose header states 600 MiB of sound is refused before it is
// read, so the process stays small. A sound that cannot play plays nothing:
// not the effect, voice or track its channel played before.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/support/app_w_run.h"

namespace {

// A RIFF WAVE header for 44100 Hz stereo of the given bits whose data chunk
// states dataBytes bytes, with the given format tag.
std::string WaveHeader(uint32_t dataBytes, uint16_t tag = 1, uint16_t bits = 16) {
  std::string wave;
  auto put = [&](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) wave += static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  const uint32_t blockAlign = 2u * bits / 8;
  wave += "RIFF";
  put(36 + dataBytes, 4);
  wave += "WAVEfmt ";
  put(16, 4), put(tag, 2), put(2, 2), put(44100, 4), put(44100 * blockAlign, 4), put(blockAlign, 2), put(bits, 2);
  wave += "data";
  put(dataBytes, 4);
  return wave;
}

// frames of 44100 Hz 16-bit stereo, every sample `sample`, so that the
// captured mix shows how often and how long this file played.
std::string ConstantWave(uint32_t frames, int16_t sample) {
  std::string wave = WaveHeader(frames * 4);
  for (uint32_t i = 0; i < frames * 2; ++i) {
    wave += static_cast<char>(static_cast<uint16_t>(sample) & 0xFF);
    wave += static_cast<char>(static_cast<uint16_t>(sample) >> 8);
  }
  return wave;
}

// The 16-bit samples of a captured mix within one of `sample`.
size_t CountSamples(const std::string& raw, int16_t sample) {
  size_t count = 0;
  for (size_t i = 0; i + 2 <= raw.size(); i += 2) {
    const auto got = static_cast<int16_t>(static_cast<uint8_t>(raw[i]) | static_cast<uint8_t>(raw[i + 1]) << 8);
    count += std::abs(got - sample) <= 1;
  }
  return count;
}

TEST_F(AppWRun, BrokenSoundFilesAreWarnedByNameAndTheScriptRunsOnSmall) {
  writeGame(mutex_);
  dir_.write("sound/garbage.ogg", std::string(5000, '\x5A'));
  dir_.write("sound/empty.wav", "");
  dir_.write("sound/cut_header.wav", WaveHeader(4000).substr(0, 30));
  dir_.write("sound/cut_data.wav", WaveHeader(44100 * 4) + std::string(4000, '\x01'));
  dir_.write("sound/extensible.wav", WaveHeader(4000, 0xFFFE) + std::string(4000, '\x01'));
  // 600 MiB of stated (and, as a sparse file, present) sound.
  constexpr uint32_t kHuge = 600u << 20;
  const std::filesystem::path huge = dir_.write("sound/huge.wav", WaveHeader(kHuge));
  std::filesystem::resize_file(huge, 44 + uint64_t{kHuge});
  dir_.write("scene/scene9010.scm",
             "(a3:define-set (0 0)\n"
             "  (a3:call-user-func 3003 0 \"sound/garbage.ogg\" 0 0 0 0 0 0)\n"
             "  (a3:call-user-func 3010 0 \"sound/empty.wav\")\n"
             "  (a3:call-user-func 3003 1 \"sound/cut_header.wav\" 0 0 0 0 0 0)\n"
             "  (a3:call-user-func 3003 2 \"sound/cut_data.wav\" 0 0 0 0 0 0)\n"
             "  (a3:call-user-func 3010 0 \"sound/huge.wav\")\n"
             "  (a3:call-user-func 3010 0 \"sound/extensible.wav\")\n"
             "  (a3:call-user-func 4000 0 500 0)\n"
             "  (a3:call-user-func 6000))\n");
  const platform::ProcessResult result = run("game.scm", "SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy");
  const std::string& out = result.output;
  EXPECT_EQ(result.exitCode, 0) << out;
  // Measured against the same game playing nothing, as sanitizer builds
  // start larger.
  dir_.write("scene/scene9010.scm", "(a3:define-set (0 0) (a3:call-user-func 6000))\n");
  const platform::ProcessResult baseline = run("game.scm", "SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy");
  ASSERT_EQ(baseline.exitCode, 0) << baseline.output;
  EXPECT_GT(baseline.peakResidentKb, 0);
  EXPECT_LT(result.peakResidentKb, baseline.peakResidentKb + 100 * 1024) << "peak resident size in KiB";

  // Without -d only warnings and errors are written: each file has its own.
  for (const char* line :
       {"failed to open 'sound/garbage.ogg' as WAVE or Ogg Vorbis (failed to ov_open_callbacks(): not Ogg Vorbis "
        "data)",
        "failed to open 'sound/empty.wav' as WAVE or Ogg Vorbis (no data)",
        "failed to open 'sound/cut_header.wav' as WAVE or Ogg Vorbis (DSWave : not a RIFF WAVE file)",
        "'sound/cut_data.wav' plays only in part (DSWave : the data chunk declares 176400 bytes, the file holds "
        "4000 of them)",
        "DecodeToneMedia : failed to load 'sound/huge.wav': 629145600 bytes of sound are more than a tone holds",
        "failed to open 'sound/extensible.wav' as WAVE or Ogg Vorbis (DSWave : unsupported format tag 0xFFFE)"}) {
    EXPECT_NE(out.find(line), std::string::npos) << line << "\n" << out;
  }
}

// A 96 MiB effect is decoded straight into the one buffer the tone keeps:
// the process grows by about that much, not by several copies of it.
TEST_F(AppWRun, AnEffectIsDecodedIntoTheOneBufferItPlaysFrom) {
  writeGame(mutex_);
  constexpr uint32_t kBytes = 96u << 20;
  const std::filesystem::path big = dir_.write("sound/big.wav", WaveHeader(kBytes));
  std::filesystem::resize_file(big, 44 + uint64_t{kBytes});
  dir_.write("scene/scene9010.scm",
             "(a3:define-set (0 0)\n"
             "  (a3:call-user-func 3010 0 \"sound/big.wav\")\n"
             "  (a3:call-user-func 6000))\n");
  const platform::ProcessResult result = run("-d game.scm", "SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy");
  EXPECT_EQ(result.exitCode, 0) << result.output;
  EXPECT_NE(result.output.find("createSfxTone...\n[DEBUG] "), std::string::npos) << result.output;
  EXPECT_EQ(result.output.find("DecodeToneMedia"), std::string::npos) << result.output;
  dir_.write("scene/scene9010.scm", "(a3:define-set (0 0) (a3:call-user-func 6000))\n");
  const platform::ProcessResult baseline = run("game.scm", "SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy");
  ASSERT_EQ(baseline.exitCode, 0) << baseline.output;
  // The buffer, and under AddressSanitizer its shadow, an eighth of it.
  EXPECT_LT(result.peakResidentKb, baseline.peakResidentKb + (96 + 12 + 16) * 1024) << "peak resident size in KiB";
}

// An Ogg file on which libvorbisfile's own seeks crash plays as music
// (looped, so every loop seeks back, and started part-way in), as an effect
// and as a voice: no crash, a small process, and the script runs on.
TEST_F(AppWRun, AnOggThatBreaksLibvorbisfilesSeeksPlaysAsMusicEffectAndVoice) {
  writeGame(mutex_,
            "(:resource (:voice-basedir \"voice\") (:voice-scene-num-digits 3) (:voice-voice-num-digits 4)"
            " (:voice-voice-prefix \"v\") (:voice-extension \"ogg\"))\n");
  const std::filesystem::path fixture = ZEP_SOURCE_DIR "/tests/fixtures/vorbis_negative_memmove.ogg";
  std::filesystem::create_directories(dir_.path() / "voice/001");
  std::filesystem::copy_file(fixture, dir_.path() / "broken.ogg");
  std::filesystem::copy_file(fixture, dir_.path() / "voice/001/v0010001.ogg");
  dir_.write("scene/scene9010.scm",
             "(a3:define-set (0 0)\n"
             "  (a3:call-user-func 3003 0 \"broken.ogg\" 0 0 1 0 11025 0)\n"
             "  (a3:call-user-func 3003 1 \"broken.ogg\" 300 0 1 5000 20000 0)\n"
             "  (a3:call-user-func 3010 0 \"broken.ogg\")\n"
             "  (a3:call-user-func 3020 1 1)\n"
             "  (a3:call-user-func 4000 0 1500 0)\n"
             "  (a3:call-user-func 6000))\n");
  const platform::ProcessResult result = run("-d game.scm", "SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy");
  EXPECT_EQ(result.exitCode, 0) << result.output;
  // Each played (the loops seek back), and the statement after the wait ran.
  EXPECT_NE(result.output.find("Decoder::Loop"), std::string::npos) << result.output;
  EXPECT_NE(result.output.find("CallUserFunc(6000)"), std::string::npos) << result.output;
#if !defined(__SANITIZE_ADDRESS__)
  EXPECT_LT(result.peakResidentKb, 300 * 1024) << "peak resident size in KiB";
#endif
}

// A start that cannot play plays nothing, through the real app_w with the
// mix captured by SDL's disk driver. Each sample value below belongs to one
// file, so the mix shows how often each played. After a good effect, a
// missing one and a 24-bit one (refused) do not play it again; a voice
// likewise; after a track has played out and been stopped, music on a
// missing or refused file does not start the old track again. The story is
// saved with that missing music on channel 0; a second run plays a long
// track on channel 0 and loads the save, which stops it.
TEST_F(AppWRun, ASoundThatCannotPlayPlaysNothingAndDoesNotReplayThePreviousOne) {
  writeGame(mutex_,
            "(:product-info (:savedata-usage . 0) (:savedata-version . 3))\n"
            "(:resource (:voice-basedir \"voice\") (:voice-scene-num-digits 3) (:voice-voice-num-digits 4)\n"
            "  (:voice-voice-prefix \"v\") (:voice-extension \"wav\")\n"
            "  (:save-basedir \"save\") (:save-syssave-name \"system.dat\")\n"
            "  (:save-syssave-default-name \"default.dat\"))\n");
  // Full levels and factors for music, effects and voice group 1.
  dir_.write("save/default.dat",
             "((version . 3) (sysflag (sysflag-int (267 . 9) (306 . 100) (269 . 9) (307 . 100) (271 . 9)"
             " (277 . 9) (308 . 100) (317 . 100)) (sysflag-string)))");
  constexpr int16_t kEffect = 3000, kVoice = 5000, kTrack = 7000, kLongTrack = 9000;
  constexpr uint32_t kShortFrames = 4410;  // 0.1 s
  const std::string refused = WaveHeader(44100 * 6, 1, 24) + std::string(44100 * 6, '\x20');
  dir_.write("sound/good.wav", ConstantWave(kShortFrames, kEffect));
  dir_.write("sound/deep.wav", refused);
  dir_.write("voice/001/v0010001.wav", ConstantWave(kShortFrames, kVoice));
  dir_.write("voice/001/v0010003.wav", refused);
  dir_.write("music/short.wav", ConstantWave(kShortFrames, kTrack));
  dir_.write("music/deep.wav", refused);
  dir_.write("music/long.wav", ConstantWave(44100 * 8, kLongTrack));
  // With slot 3 saved: the long track, then the load; else the story.
  dir_.write("scene/scene9010.scm",
             "(a3:define-set (0 0)\n"
             "  (a3:call-user-func 4200 3 10 11 12)\n"
             "  (a3:eval (a3:bop-equal? (a3:idref-reflag) 1))\n"
             "  (a3:if 1)\n"
             "  (a3:call-user-func 6002 100 0)\n"
             "  (a3:label 1)\n"
             "  (a3:call-user-func 3000 0 \"music/long.wav\" 0)\n"
             "  (a3:call-user-func 4000 0 300 0)\n"
             "  (a3:call-user-func 4202 3)\n"
             "  (a3:call-user-func 6002 -1 0))\n");
  // Every sound has played out before the next start. The story resumes at
  // the statement that opened the save screen, made harmless (13) there.
  dir_.write("scene/scene0100.scm",
             "(a3:define-set (0 0)\n"
             "  (a3:call-user-func 3010 0 \"sound/good.wav\")\n"
             "  (a3:call-user-func 4000 0 250 0)\n"
             "  (a3:call-user-func 3010 0 \"sound/missing.wav\")\n"
             "  (a3:call-user-func 4000 0 250 0)\n"
             "  (a3:call-user-func 3010 0 \"sound/deep.wav\")\n"
             "  (a3:call-user-func 4000 0 250 0)\n"
             "  (a3:call-user-func 3020 1 1)\n"
             "  (a3:call-user-func 4000 0 250 0)\n"
             "  (a3:call-user-func 3020 1 2)\n"
             "  (a3:call-user-func 4000 0 250 0)\n"
             "  (a3:call-user-func 3020 1 3)\n"
             "  (a3:call-user-func 4000 0 250 0)\n"
             "  (a3:call-user-func 3000 0 \"music/short.wav\" 0)\n"
             "  (a3:call-user-func 4000 0 300 0)\n"
             "  (a3:call-user-func 3001 0 0 0)\n"
             "  (a3:call-user-func 3000 0 \"music/deep.wav\" 0)\n"
             "  (a3:call-user-func 4000 0 300 0)\n"
             "  (a3:call-user-func 3000 0 \"music/missing.wav\" 0)\n"
             "  (a3:call-user-func 4000 0 300 0)\n"
             "  (a3:eval-noeffect (a3:assign-word 7 2))\n"
             "  (a3:call-user-func 6003 (a3:idref-word 7) 0)\n"
             "  (a3:call-user-func 4000 0 3000 0)\n"
             "  (a3:call-user-func 6000))\n");
  dir_.write("scene/scene9006.scm",
             "(a3:define-set (0 0)\n"
             "  (a3:eval-noeffect (a3:assign-word 7 13))\n"
             "  (a3:call-user-func 4201 3 1 0 \"missing music\")\n"
             "  (a3:call-user-func 6000))\n");

  const platform::ProcessResult story =
      run("game.scm", "SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=story.raw");
  ASSERT_EQ(story.exitCode, 0) << story.output;
  // The refused files each say why; the missing ones say nothing.
  for (const char* name : {"sound/deep.wav", "voice/001/v0010003.wav", "music/deep.wav"}) {
    const std::string line = std::string("failed to open '") + name +
                             "' as WAVE or Ogg Vorbis (DSWave : unsupported PCM format (2 channels, 24 bits, "
                             "44100 Hz))";
    EXPECT_NE(story.output.find(line), std::string::npos) << line << "\n" << story.output;
  }
  for (const char* name : {"missing", "v0010002"}) {
    EXPECT_EQ(story.output.find(name), std::string::npos) << name << "\n" << story.output;
  }
  // Each good file played once, whole: two samples a frame.
  const std::string mix = ReadWholeFile(dir_.path() / "story.raw");
  struct Good {
    int16_t sample;
    const char* what;
  };
  for (const Good& good : {Good{kEffect, "effect"}, Good{kVoice, "voice"}, Good{kTrack, "track"}}) {
    const size_t count = CountSamples(mix, good.sample);
    EXPECT_GT(count, kShortFrames * 2 * 3 / 4) << good.what;
    EXPECT_LT(count, kShortFrames * 2 * 3 / 2) << good.what;
  }

  const platform::ProcessResult loading =
      run("-d game.scm", "SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=load.raw");
  ASSERT_EQ(loading.exitCode, 0) << loading.output;
  // The story went on from the save, not from its start.
  EXPECT_NE(loading.output.find("CallUserFunc(4202, 3)"), std::string::npos) << loading.output;
  EXPECT_EQ(loading.output.find("CallUserFunc(3010"), std::string::npos) << loading.output;
  // The long track was heard for its 0.3 s and the load (well under 2 s,
  // also under the sanitizers), not through the story's 3 s after it.
  const size_t heard = CountSamples(ReadWholeFile(dir_.path() / "load.raw"), kLongTrack);
  EXPECT_GT(heard, 44100u * 2 / 10) << loading.output;
  EXPECT_LT(heard, 44100u * 2 * 5 / 2) << loading.output;
}

}  // namespace
