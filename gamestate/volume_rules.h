// The volume rules: a volume recorded in the presentation state becomes the
// sound library's volume through the player's levels, mutes and factors
// (system variables). Pure functions over a variable lookup.
#pragma once

#include <cstdint>
#include <functional>

namespace volume {

// Products are computed without overflow and the result is clamped to the
// 32-bit range: a result that fits is the exact 32-bit one, a larger one
// saturates instead of wrapping. Divisions truncate toward zero.

// Level 0..9 -> 0, 11, 22, ... 88, 100 percent; any other level 100.
int32_t levelPercent(int32_t level);

using SysflagLookup = std::function<int32_t(int32_t key)>;

int32_t music(const SysflagLookup& sysflag, int32_t v);
int32_t movie(const SysflagLookup& sysflag, int32_t v);
int32_t sound(const SysflagLookup& sysflag, int32_t v);
int32_t voice(const SysflagLookup& sysflag, int32_t character, int32_t v);

}  // namespace volume
