// Broken sound files through the real app_w: garbage, empty files and files
// cut short, played as music and as effects, each leave one warning with the
// file's name and the decoder's reason, and the script runs on to its end;
// an effect whose header states 600 MiB of sound is refused before it is
// read, so the process stays small.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "tests/support/app_w_run.h"

namespace {

// A RIFF WAVE header for 44100 Hz 16-bit stereo whose data chunk states
// dataBytes bytes, with the given format tag.
std::string WaveHeader(uint32_t dataBytes, uint16_t tag = 1) {
  std::string wave;
  auto put = [&](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) wave += static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  wave += "RIFF";
  put(36 + dataBytes, 4);
  wave += "WAVEfmt ";
  put(16, 4), put(tag, 2), put(2, 2), put(44100, 4), put(44100 * 4, 4), put(4, 2), put(16, 2);
  wave += "data";
  put(dataBytes, 4);
  return wave;
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

}  // namespace
