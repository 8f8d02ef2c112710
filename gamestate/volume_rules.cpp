// The volume rules: a recorded volume through the player's level, mute and
// factor system variables. Pure arithmetic; any thread may call it, though
// only the main thread does.
#include "gamestate/volume_rules.h"

#include <cstdint>

#include "gamestate/system_settings.h"

namespace volume {

namespace {

// Wide enough for every product below (at most 100 x 2^62 x 2^31), so no
// step can overflow; divisions truncate toward zero like the 32-bit ones.
__extension__ typedef __int128 Wide;

int32_t clamp32(Wide x) {
  if (x > INT32_MAX) return INT32_MAX;
  if (x < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(x);
}

// pct(level) x factor x v / 10000, or 0 when muted.
int32_t scaled(const SysflagLookup& sysflag, int32_t muteKey, int32_t levelKey, int32_t factorKey,
               int32_t v) {
  if (sysflag(muteKey) != 0) return 0;
  Wide product = Wide{levelPercent(sysflag(levelKey))} * sysflag(factorKey) * v;
  return clamp32(product / 10000);
}

}  // namespace

int32_t levelPercent(int32_t level) {
  static constexpr int32_t kTable[10] = {0, 11, 22, 33, 44, 55, 66, 77, 88, 100};
  uint32_t index = static_cast<uint32_t>(level);
  return index < 10 ? kTable[index] : 100;
}

int32_t music(const SysflagLookup& sysflag, int32_t v) { return scaled(sysflag, 266, 267, 306, v); }

int32_t movie(const SysflagLookup& sysflag, int32_t v) { return scaled(sysflag, 266, 267, 309, v); }

int32_t sound(const SysflagLookup& sysflag, int32_t v) { return scaled(sysflag, 268, 269, 307, v); }

int32_t voice(const SysflagLookup& sysflag, int32_t character, int32_t v) {
  if (sysflag(270) != 0) return 0;
  Wide a = Wide{levelPercent(sysflag(271))} * levelPercent(sysflag(OffsetKey(276, character))) / 100;
  Wide b = Wide{sysflag(OffsetKey(316, character))} * sysflag(308) / 100;
  return clamp32(a * b * v / 10000);
}

}  // namespace volume
