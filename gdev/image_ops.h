// The small pixel-image operations (resampling, halving,
// filling, colour filters, outline images, alpha compositing) on BGRA
// RGBAImages. Every change of pixels goes through RGBAImageRef::getWA, so a
// shared image is copied before it is written. Pure CPU code, no device;
// main thread (like RGBAImageRef).
#pragma once

#include <cstdint>

#include "gdev/rgba_image.h"

// out := a new format-0 image of width x height, bilinear from source with
// 8-bit fixed-point weights, corners mapped to corners (target corners equal
// the source corners). A target of width or height 1 samples source column
// (row) 0; a source of width or height 1 is replicated. width or height <= 0,
// or a size past the image cap (WARN, see ImageSizeWithinCap), gives a 0x0
// image; an empty source (null handle, 0 pixels, or fewer bytes
// than width x height x 4) gives width x height of zero bytes. source may be
// out itself.
void ResampleImage(RGBAImageRef& out, const RGBAImageRef& source, int32_t width, int32_t height);

// out := a new format-0 image of (width / 2) x (height / 2), each byte the
// mean (>> 2) of the 2x2 source block; an odd last column or row is dropped.
// A null source, or a result past the image cap (WARN), gives a 0x0 image.
// source may be out itself.
void HalveImage(RGBAImageRef& out, const RGBAImageRef& source);

// Every pixel becomes blue, green, red, alpha (the low byte of each int).
// A null handle is left alone.
void FillImage(RGBAImageRef& image, int32_t red, int32_t green, int32_t blue, int32_t alpha);

// Mode 1 grey, mode 2 sepia (single-precision matrix, + 0.5, truncated,
// clamped to 0..255; alpha kept); any other mode does nothing, not even the
// copy of a shared image.
void ApplyColorFilter(RGBAImageRef& image, int32_t mode);

// Every pixel of dest becomes blue, green, red (low bytes of the ints) with
// alpha min(255, s / 2), s = the alphas of the 8 neighbours of the same
// source pixel (coordinates clamped to the image) + twice its own alpha.
// dest and source must have the same width and height (and width x height x
// 4 bytes each); otherwise nothing is written and a TRACE line is logged.
// dest may be source itself.
void MakeEdgeImage(RGBAImageRef& dest, const RGBAImageRef& source, int32_t red, int32_t green, int32_t blue);

// Composites source over dest in place, pixel by pixel (integer "over" with
// alphas a + 1 / b + 1). The two must hold the same number of bytes;
// otherwise nothing is written and a TRACE line is logged.
void BlendImageOver(RGBAImageRef& dest, const RGBAImageRef& source);
