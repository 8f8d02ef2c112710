// The movie player: one movie at a time, decoded on a thread of its own
// (sound/movie_session.h), drawn by the main window over the kept screen at
// the movie's rectangle (app/movie_screen.h), its sound mixed with the
// rest. Free functions over one process-wide player; main thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "platform/movie_decoder.h"
#include "sound/movie_session.h"

// Command 0 opens and plays `file` (resolved over the alternative search
// folder) at (x, y, w, h) with this id, 1 stops, 2 places the pictures (w
// or h below 1: the whole logical screen), 3 sets the volume to x percent,
// 4 checks the state. Other commands do nothing. Always true.
bool movie_command(int32_t command, std::u16string_view file, int32_t x, int32_t y, int32_t w, int32_t h,
                   int32_t id);
// Command 0 over the whole screen; result := 0. Always true.
bool movie_play(std::u16string_view file, int32_t id, int32_t& result);
// Playing flag down (the screen drawn again), the movie stopped and
// released; result := 0. Always true.
bool movie_stop(int32_t& result);
// The volume of this and every later movie: percent 0..100 to hundredths
// of a decibel; result := 0. Always true.
bool movie_setVolume(int32_t percent, int32_t& result);
// state: 0 no movie (also one that could not be opened or decoded, whose
// playing flag is then down), -1 still opening, 2 running, 1 ended; id: the
// id of the last movie started. Always true.
bool movie_getState(int32_t& state, int32_t& id);
// The player's thread has news for the movie of this id: an end posts
// AppEvent 27 "EC_COMPLETE" with the parameter; a failure drops the movie.
void movie_onGraphEvent(int64_t parameter);
// Stops and forgets the movie (the playing flag as it is).
void movie_releaseAll();

// The stored volume in hundredths of a decibel (0 full, -10000 silent).
int32_t movie_volume();
// Hands the player to the main window (start-up).
void movie_install();

// Tests: the decoder the next movies use (empty: FFmpeg's), and a wait
// until the playing movie's thread has caught up with its clock (false
// after timeoutMs or without a movie).
void movie_setDecoderForTests(std::function<std::unique_ptr<platform::MovieDecoder>()> factory);
bool movie_waitIdleForTests(int32_t timeoutMs);
// Benchmarks: what happened to the pictures of the playing movie (all 0
// without one).
MovieSession::Stats movie_stats();
