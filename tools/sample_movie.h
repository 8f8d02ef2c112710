// The sample game's opening movie: its layout, which tests read back from
// decoded or drawn pixels, and the writer make_sample_art calls. Each frame
// shows its own number in binary across the top and fixed colour bars below.
// A build tool and test helper on one thread; writes only under outDir.
#pragma once

#include <cstdint>
#include <filesystem>

// Where the movie lies under the game folder.
inline constexpr char kSampleMoviePath[] = "movie/opening.mpg";

inline constexpr int32_t kSampleMovieWidth = 320;
inline constexpr int32_t kSampleMovieHeight = 240;
inline constexpr int32_t kSampleMovieFrames = 25;
inline constexpr int32_t kSampleMovieFramesPerSecond = 25;
// One second of stereo sound at this rate: a 440 Hz sine at level 8000,
// faded in and out over 10 ms.
inline constexpr int32_t kSampleMovieSoundRate = 44100;

// Rows 0..kSampleMovieCellRows-1 hold kSampleMovieCells cells side by side,
// kSampleMovieCellWidth pixels each from the left; cell k is white when bit k
// of the frame number is set, else black.
inline constexpr int32_t kSampleMovieCellRows = 80;
inline constexpr int32_t kSampleMovieCells = 5;
inline constexpr int32_t kSampleMovieCellWidth = 64;

// The rows below hold four bars, kSampleMovieBarWidth pixels each from the
// left, the same in every frame.
struct SampleMovieColor {
  uint8_t r;
  uint8_t g;
  uint8_t b;
};
inline constexpr int32_t kSampleMovieBarWidth = 80;
inline constexpr int32_t kSampleMovieBarCount = 4;
inline constexpr SampleMovieColor kSampleMovieBars[kSampleMovieBarCount] = {
    {200, 40, 40}, {40, 200, 40}, {40, 40, 200}, {220, 220, 60}};

// The frame number shown in BGRA pixels (stride bytes per row) where the
// movie was drawn with its top-left corner at (x, y), scale 1: the centre
// pixel of each cell is a set bit when its mean of R, G and B is 128 or more.
int32_t SampleMovieFrameNumber(const uint8_t* bgra, int32_t stride, int32_t x, int32_t y);

// The movie the end-to-end sound tests play (tests/sound/movies/): an MPEG-1
// program stream of kTestMovieFrames flat grey pictures at 25 per second
// whose sound is a sine of kTestMovieToneHz[0] for one second, then one of
// kTestMovieToneHz[1] for one second, at level 8000; the sound ends half a
// second before the pictures.
inline constexpr char kTestMovieName[] = "two_tones.mpg";
inline constexpr int32_t kTestMovieWidth = 160;
inline constexpr int32_t kTestMovieHeight = 120;
inline constexpr int32_t kTestMovieFrames = 63;
inline constexpr int32_t kTestMovieToneHz[2] = {1000, 1250};

// Writes kSampleMoviePath under outDir. False, after a message on standard
// error, when it cannot be encoded or written.
bool WriteSampleMovie(const std::filesystem::path& outDir);
// Writes kTestMovieName under outDir, the same way.
bool WriteTestMovies(const std::filesystem::path& outDir);
