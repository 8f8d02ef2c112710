// Font lookup for the system-font glyph renderer: which font file (and face
// inside it) answers a list of family names, a language and monospaced
// spacing, and which face stands in for a character the first one lacks.
// Over fontconfig. Any thread: the start-up looks the configured faces up
// ahead, beside the window's creation, and MatchFontFile and
// FontFamilyInstalled remember their answers for the process.
#pragma once

#include <string>
#include <vector>

namespace platform {

struct FontFile {
  std::string path;  // UTF-8; empty when nothing matched
  int index = 0;     // face index inside the file (font collections)
};

// The best monospaced face for the families (the first is preferred) and the
// language (a tag such as "ja"). Families that are not installed are passed
// over; the path is empty only when no font at all is installed.
FontFile MatchFontFile(const std::vector<std::string>& families, const std::string& language);

// True when an installed font carries the family name (compared as
// fontconfig compares family names); false also when fontconfig cannot be
// used.
bool FontFamilyInstalled(const std::string& family);

// The best face of the same request that has a glyph for the character (a
// Unicode scalar value); the path is empty when no installed face has one.
FontFile MatchFontFileForChar(const std::vector<std::string>& families, const std::string& language,
                              char32_t character);

}  // namespace platform
