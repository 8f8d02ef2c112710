// The canonical 44-byte header of a PCM RIFF WAVE file, written in front of
// its sample data: tones decoded into memory and the sample game's sounds
// are such files. A pure function; any thread.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr size_t kWaveHeaderBytes = 44;

// Writes kWaveHeaderBytes bytes at out for `dataBytes` bytes of 8- or
// 16-bit PCM that follow it.
void WriteWaveHeader(uint8_t* out, int32_t channels, int32_t rate, int32_t bitsPerSample, uint32_t dataBytes);
