#include "sound/movie_player.h"

bool movie_stop(int32_t& result) {
  result = 0;
  return true;
}
