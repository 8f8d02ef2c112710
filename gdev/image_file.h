// Image files: PNG files, plain or as an encoded block, loaded into BGRA
// pixels, and pixel images written back as PNG (plain or "EENC"). Owns no
// state; the decoding and encoding are the process-wide PNG codec's. Main
// thread.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "gdev/rgba_image.h"

// Files above this size are refused before anything is decoded.
constexpr int64_t kMaxImageFileSize = 0x40000000;  // 1 GiB

// Loads the file at the path (no load-path lookup): a file of 8 bytes to
// 1 GiB that starts with the PNG signature is decoded as it is, any other is
// read through the encoded-block stream. 0 success, 1 failure (the out
// values are then unspecified).
int32_t LoadImageFileCore(std::u16string_view path, std::vector<uint8_t>* pixels, int32_t* width,
                          int32_t* height, int32_t* channels, uint32_t flags);

// Resolves the name against the extra search folder and loads it as a new
// format-0 BGRA image that takes the decoded bytes over. 0 success, else the
// failure code, with *image untouched. mode is not used.
int32_t LoadImageFile(std::u16string_view name, RGBAImageRef* image, int32_t mode, int32_t* width,
                      int32_t* height);

// Writes the image as an 8-bit PNG, with the alpha channel or without (colour
// type 6 or 2), as an "EENC" block when encode is set. The bytes go to a
// temporary file in the same folder that then replaces the target, so a
// failure leaves an existing file as it was. 0 success, 1 or the encoder's
// code on failure.
int32_t SaveImageFile(std::u16string_view path, const RGBAImageRef& image, bool alpha, bool encode);
