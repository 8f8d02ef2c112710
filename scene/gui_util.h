// Small colour and size helpers the screen objects share: packing float
// colours into 0xAARRGGBB, power-of-two texture sizes and the colour blend
// the faders animate with. Pure functions, any thread.
#pragma once

#include <cstdint>

// 0xAARRGGBB from components in 0..1: each is held to 0..1 (NaN counts as
// 0), times 255, truncated.
uint32_t packColorARGB(float red, float green, float blue, float alpha);

// 1 for n < 2, else the smallest power of two not below n (at most 2^30).
int32_t nextPowerOfTwo(int32_t n);

// out[i] = a[i] + (b[i] - a[i]) * t for the four channels; out may be a or b.
void lerpColor(const float a[4], const float b[4], float t, float out[4]);
