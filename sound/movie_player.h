// The movie player's entry points that the game side calls. Until movies
// are played there is never one to stop: movie_stop only answers. Main
// thread.
#pragma once

#include <cstdint>

// Stops a playing movie and hides it; result := 0. Always true.
bool movie_stop(int32_t& result);
