// The records of the system configuration file that the game environment
// holds, at their defaults until the configuration is read.
#pragma once

#include <cstdint>
#include <map>
#include <string>

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

// ":resource" (the naming rules; fonts come with the configuration reader)
struct ResourceRecord {
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
  SaveRule save;
  NamingRule storage;
  NamingRule cursor;
};

// ":window"
struct WindowRecord {
  int32_t width = 800;
  int32_t height = 600;
  int32_t frameRate = 60;
};

}  // namespace Config
