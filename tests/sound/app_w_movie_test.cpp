// Movies through the real app_w, headless, with SDL's disk sound driver
// paced at its buffer's duration, so that the captured mix is what a player
// hears: a program stream's two tones heard whole and in order, silence
// after its sound ends while its pictures go on, the pictures shown in time
// order, the first of them before the clock starts, even where the sound
// runs ahead of real time; files that are missing or no movie, and a
// missing movie module, pass over with the script going on; and a quit
// signal ends the run at once while a movie that never delivers a byte (a
// FIFO) is opening.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "tests/support/app_w_run.h"
#include "tools/sample_movie.h"

namespace {

const std::filesystem::path kMovies = std::filesystem::path(ZEP_SOURCE_DIR) / "tests/sound/movies";
constexpr int64_t kRate = 44100;
// The disk driver sleeps this long after each block of 4096 frames (the
// output's block at 44.1 kHz): the block's duration, so the mix runs in real
// time.
const std::string kPacedSound =
    "SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=out.raw SDL_DISKAUDIODELAY=93";

class AppWMovie : public AppWRun {
 protected:
  // A game whose first system script plays the movies in turn (mode 2:
  // no input cuts them short) and ends the run; its settings play movies
  // at full volume.
  void writeMovieGame(const std::vector<std::string>& movies) {
    dir_.write("game.scm",
               "(:product-info (:product-name . \"Movie\") (:savedata-usage . 0) (:savedata-version . 1))\n"
               "(:system (:mutex-name . \"" + mutex_ + "\"))\n"
               "(:resource (:script-basedir \"scene\") (:script-basename \"scene\") (:script-num-digits 4)\n"
               "  (:script-extension \"scm\") (:font-0-type 0) (:font-0-name \"IPAGothic\")\n"
               "  (:save-basedir \"save\") (:save-syssave-name \"system.dat\")\n"
               "  (:save-syssave-default-name \"default.dat\"))\n"
               "(:window (:window-title \"Movie\") (:window-width 160) (:window-height 120))\n");
    dir_.write("save/default.dat",
               "((version . 1) (sysflag (sysflag-int (267 . 9) (309 . 100)) (sysflag-string)))");
    std::string script = "(a3:define-set (0 0)\n";
    for (const std::string& movie : movies) script += "  (a3:call-user-func 2090 \"" + movie + "\" 2)\n";
    dir_.write("scene/scene9010.scm", script + "  (a3:call-user-func 6000))\n");
  }

  // The left channel of the captured mix.
  std::vector<int16_t> captured() const {
    const std::string bytes = ReadWholeFile(dir_.path() / "out.raw");
    std::vector<int16_t> left(bytes.size() / 4);
    for (size_t i = 0; i < left.size(); ++i) {
      left[i] = int16_t(uint16_t(uint8_t(bytes[i * 4])) | uint16_t(uint8_t(bytes[i * 4 + 1])) << 8);
    }
    return left;
  }
};

TEST_F(AppWMovie, AProgramStreamsTwoTonesPlayWholeInOrderThenSilenceWhileItsPicturesGoOn) {
  writeMovieGame({"movie/two_tones.mpg"});
  std::filesystem::create_directories(dir_.path() / "movie");
  std::filesystem::copy_file(kMovies / kTestMovieName, dir_.path() / "movie" / kTestMovieName);
  const platform::ProcessResult result = run("-d game.scm", kPacedSound);
  ASSERT_EQ(result.exitCode, 0) << result.output;

  const std::vector<int16_t> sound = captured();
  constexpr int32_t kHeard = 400;  // the tones are at 8000
  size_t first = sound.size(), last = 0;
  for (size_t i = 0; i < sound.size(); ++i) {
    if (std::abs(sound[i]) < kHeard) continue;
    first = std::min(first, i);
    last = i;
  }
  ASSERT_LT(first, last) << "nothing heard";
  // Both seconds of sound, and after them only silence for the last half
  // second of pictures (a movie that replayed its ring would be heard here).
  EXPECT_NEAR(double(last - first) / kRate, 2.0, 0.03);
  EXPECT_GT(double(sound.size() - last) / kRate, 0.4);
  // No gap longer than 20 ms inside.
  size_t quiet = 0, longestQuiet = 0;
  for (size_t i = first; i <= last; ++i) {
    quiet = std::abs(sound[i]) < 100 ? quiet + 1 : 0;
    longestQuiet = std::max(longestQuiet, quiet);
  }
  EXPECT_LE(longestQuiet, size_t(kRate / 50));
  // The first tone for a second, then the second: rising zero crossings
  // counted in 20 ms windows (20 for 1000 Hz, 25 for 1250 Hz).
  std::string tones;
  for (size_t at = first; at + kRate / 50 <= last; at += kRate / 50) {
    int crossings = 0;
    for (size_t i = at + 1; i < at + kRate / 50; ++i) crossings += sound[i - 1] < 0 && sound[i] >= 0;
    tones += crossings <= 22 ? 'a' : 'b';
  }
  const size_t change = tones.find('b');
  ASSERT_NE(change, std::string::npos) << tones;
  EXPECT_NEAR(double(change), 50.0, 1.5) << tones;
  EXPECT_EQ(tones.find('a', change + 1), std::string::npos) << tones;

  // The pictures in time order, each once; most of them shown.
  const std::regex shown("movie picture of ([0-9]+) ms shown at ([0-9]+) ms");
  std::vector<int64_t> times;
  for (auto it = std::sregex_iterator(result.output.begin(), result.output.end(), shown);
       it != std::sregex_iterator(); ++it) {
    times.push_back(std::stoll((*it)[1]));
    EXPECT_GE(std::stoll((*it)[2]), times.back());
  }
  for (size_t i = 1; i < times.size(); ++i) EXPECT_GT(times[i], times[i - 1]) << "picture " << i;
  EXPECT_GT(times.size(), size_t(kTestMovieFrames / 2));
  ASSERT_FALSE(times.empty());
  EXPECT_EQ(times.front(), 0);
  EXPECT_GE(times.back(), (kTestMovieFrames - 2) * 40);
}

// The clock starts once the first picture is on the screen: even a sound
// output that plays far faster than real time (the disk driver without its
// pause) cannot make the first pictures late before the first is seen.
TEST_F(AppWMovie, TheFirstPictureIsShownAndTheClockStartsWhenItIs) {
  writeMovieGame({"movie/two_tones.mpg"});
  std::filesystem::create_directories(dir_.path() / "movie");
  std::filesystem::copy_file(kMovies / kTestMovieName, dir_.path() / "movie" / kTestMovieName);
  const platform::ProcessResult result =
      run("-d game.scm", "SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=out.raw SDL_DISKAUDIODELAY=0");
  ASSERT_EQ(result.exitCode, 0) << result.output;
  std::smatch first;
  ASSERT_TRUE(std::regex_search(result.output, first, std::regex("movie picture of ([0-9]+) ms shown at ([0-9]+) ms")))
      << result.output;
  EXPECT_EQ(first[1].str(), "0") << result.output;
  EXPECT_EQ(first[2].str(), "0") << result.output;
}

TEST_F(AppWMovie, MissingEmptyGarbageAndTruncatedMoviesAndAMissingModulePassOverAndTheScriptGoesOn) {
  writeMovieGame({"movie/missing.mpg", "movie/empty.mpg", "movie/garbage.mpg", "movie/cut.mpg"});
  dir_.write("movie/empty.mpg", "");
  std::string garbage(64 * 1024, '\0');
  uint32_t seed = 12345;
  for (char& c : garbage) {
    seed = seed * 1103515245u + 12345u;
    c = char(seed >> 24);
  }
  dir_.write("movie/garbage.mpg", garbage);
  dir_.write("movie/cut.mpg", ReadWholeFile(kMovies / kTestMovieName).substr(0, 3000));
  const platform::ProcessResult result = run("-d game.scm", kPacedSound);
  EXPECT_EQ(result.exitCode, 0) << result.output;
  const std::string& out = result.output;
  // A missing movie plays nothing and says nothing; the others say why at
  // WARN (the cut one after playing what it has).
  EXPECT_EQ(out.find("movie(movie/missing.mpg)"), std::string::npos) << out;
  for (const std::string line : {"failed to open movie(movie/empty.mpg) : avformat_open_input: ",
                                 "failed to open movie(movie/garbage.mpg) : avformat_open_input: ",
                                 "movie(movie/cut.mpg) is damaged : "}) {
    const size_t at = out.find(line);
    EXPECT_NE(at, std::string::npos) << line << "\n" << out;
    EXPECT_EQ(out.rfind("[WARN ] ", at), out.rfind('\n', at) + 1) << line;
  }
  EXPECT_NE(out.find("CallUserFunc(6000"), std::string::npos) << out;

  // Without the movie module beside app_w a good movie fails the same way.
  std::filesystem::remove(dir_.path() / "libzep_movie.so");
  std::filesystem::copy_file(kMovies / kTestMovieName, dir_.path() / "movie/good.mpg");
  writeMovieGame({"movie/good.mpg"});
  const platform::ProcessResult bare = run("-d game.scm", kPacedSound);
  EXPECT_EQ(bare.exitCode, 0) << bare.output;
  EXPECT_NE(bare.output.find("[WARN ] "), std::string::npos) << bare.output;
  EXPECT_NE(bare.output.find("failed to open movie(movie/good.mpg) : "), std::string::npos) << bare.output;
  EXPECT_NE(bare.output.find("libzep_movie.so"), std::string::npos) << bare.output;
  EXPECT_NE(bare.output.find("CallUserFunc(6000"), std::string::npos) << bare.output;
}

TEST_F(AppWMovie, AQuitSignalEndsTheRunWithinTwoSecondsWhileAFifoMovieIsOpening) {
  writeMovieGame({"movie/pipe.mpg"});
  std::filesystem::create_directories(dir_.path() / "movie");
  // The shell holds the FIFO open for reading and writing (so does app_w,
  // which inherits it): opening it never blocks, and no byte ever comes.
  const std::string command =
      "cd '" + dir_.path().string() + "' || exit 2; mkfifo movie/pipe.mpg || exit 3; exec 3<>movie/pipe.mpg;"
      " SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy ASAN_OPTIONS=detect_leaks=0 ./app_w -d game.scm > log 2>&1 &"
      " pid=$!; for i in $(seq 400); do grep -q 'CallUserFunc(2090' log && break; sleep 0.05; done; sleep 0.3;"
      " start=$(date +%s%N); kill -TERM $pid;"
      " for i in $(seq 100); do [ -d /proc/$pid ] && ! grep -q zombie /proc/$pid/status || break; sleep 0.05; done;"
      " end=$(date +%s%N); kill -KILL $pid 2>/dev/null; wait $pid; rc=$?;"
      " echo $(( (end - start) / 1000000 )) > elapsed; exit $rc";
  const platform::ProcessResult result = platform::RunProcess({"sh", "-c", command}, false);
  const std::string log = ReadWholeFile(dir_.path() / "log");
  EXPECT_EQ(result.exitCode, 0) << log;
  ASSERT_NE(log.find("CallUserFunc(2090, \"movie/pipe.mpg\", 2)"), std::string::npos) << log;
  const std::string elapsed = ReadWholeFile(dir_.path() / "elapsed");
  ASSERT_FALSE(elapsed.empty());
  EXPECT_LT(std::stoi(elapsed), 2000) << log;
}

}  // namespace
