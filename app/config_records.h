// The records of the system configuration file that the game environment
// holds, at their defaults until the configuration is read.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "app/format.h"

namespace Config {

// How the files of one resource kind are named: "folder/name0012.ext".
struct NamingRule {
  std::u16string baseDir;
  std::u16string baseName;
  int32_t digits = 0;
  std::u16string extension;

  // The path of file number n: "%s/%s%0*d.%s", or "%s/%s%0*d" without an
  // extension.
  std::u16string pathOf(int32_t n) const;
  // The folder the numbered files lie in (pathOf up to its last "/").
  std::u16string folder() const;
  // The number of a file in that folder, read back from its name as pathOf
  // writes it (the base name, the number in at least `digits` digits with
  // no leading zero beyond them, the extension; letters compared without
  // ASCII case). False for any other name, or a number past 32 bits.
  bool numberOf(std::u16string_view fileName, int32_t* n) const;
};

struct VoiceRule {
  std::u16string baseDir;
  int32_t sceneDigits = 0;
  int32_t voiceDigits = 0;
  std::u16string prefix;
  std::u16string extension;
};

struct SaveRule : NamingRule {
  std::u16string sysSaveName;
  std::u16string sysSaveDefaultName;
};

// ":product-info"
struct ProductInfo {
  std::u16string authorKey;
  std::u16string productKey;
  std::u16string authorName;
  std::u16string productName;
  int32_t savedataUsage = 0;
  int32_t savedataVersion = -1;
  int32_t savedataEncmode = 2;
  int32_t saveFolderLocation = 0;  // 1: under the user's application-data folder
  std::u16string installRegkey;
  std::u16string errorMessage;
  std::u16string altSearchPathRegkey;
};

// ":system"
struct SystemRecord {
  std::u16string mutexName = u"__default__";
  int32_t textureCacheNum = 60;
  int32_t textureCachePurgeTimelimit = 20;
};

// One font of ":resource": type -1 none, 0 a system font (name = face),
// 1 and 2 bitmap fonts whose files lie in the font folder.
struct FontRecord {
  int32_t type = -1;
  std::u16string name;
  // 0s, 1s, 2s, 3s, 0l, 1l, 2l, 3l
  std::array<std::u16string, 8> files;
  // size -> the four per-size file names
  std::map<int32_t, std::array<std::u16string, 4>> sizes;
};

// ":resource"
struct ResourceRecord {
  ResourceRecord() { fonts[0].type = 0; }
  NamingRule script;
  NamingRule image;
  NamingRule streamAnime;
  NamingRule cellImage;
  NamingRule music;
  NamingRule sound;
  VoiceRule voice;
  NamingRule parts;
  NamingRule movie;
  std::u16string fontBaseDir;
  // Fonts 0..7; the ninth is returned for any number above 7 and never filled.
  std::array<FontRecord, 9> fonts;
  SaveRule save;
  NamingRule storage;
  NamingRule cursor;
};

struct Rect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
};

// ":window"
struct WindowRecord {
  std::u16string title;
  int32_t width = 800;
  int32_t height = 600;
  bool enableSwitchFullscreen = false;
  std::u16string flipMethod;
  int32_t flipMethodRate = 60;
  int32_t defaultCursor = 0;
  bool enableExitByUser = true;
  bool resizable = false;  // never set by the configuration
  // Entry 0 is the configured size; entries 1..9 come from ":window-width-N"
  // and ":window-height-N".
  std::array<Rect, 10> sizes{};
};

}  // namespace Config
