// Font lookup over fontconfig. The library is initialised on first use and
// finalised at process exit (FcFini), so no fontconfig object outlives a
// call: every pattern and font set is destroyed before the call returns.
// The answers of MatchFontFile and FontFamilyInstalled are remembered for
// the process (the installed fonts are taken as they were at the first
// question). Any thread.
#include "platform/font_match.h"

#include <fontconfig/fontconfig.h>

#include <cstdlib>
#include <map>
#include <mutex>

namespace platform {

namespace {

bool EnsureFontconfig() {
  static std::once_flag once;
  static bool ready = false;
  std::call_once(once, [] {
    ready = FcInit() == FcTrue;
    if (ready) std::atexit([] { FcFini(); });
  });
  return ready;
}

// The request pattern, substituted like any application's: families in order,
// language, monospaced. Null when fontconfig cannot be used.
FcPattern* MakeRequest(const std::vector<std::string>& families, const std::string& language) {
  if (!EnsureFontconfig()) return nullptr;
  FcPattern* pattern = FcPatternCreate();
  if (!pattern) return nullptr;
  for (const std::string& family : families) {
    if (family.empty()) continue;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  }
  if (!language.empty()) {
    FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>(language.c_str()));
  }
  FcPatternAddInteger(pattern, FC_SPACING, FC_MONO);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  return pattern;
}

FontFile FileOf(const FcPattern* font) {
  FontFile file;
  FcChar8* path = nullptr;
  if (FcPatternGetString(font, FC_FILE, 0, &path) != FcResultMatch || !path) return file;
  int index = 0;
  if (FcPatternGetInteger(font, FC_INDEX, 0, &index) != FcResultMatch) index = 0;
  file.path = reinterpret_cast<const char*>(path);
  file.index = index;
  return file;
}

// Remembered answers, under one lock (a lookup runs outside it).
std::mutex g_knownMutex;
std::map<std::string, FontFile> g_knownMatches;
std::map<std::string, bool> g_knownFamilies;

std::string MatchKey(const std::vector<std::string>& families, const std::string& language) {
  std::string key = language;
  for (const std::string& family : families) key += '\n' + family;
  return key;
}

FontFile LookUpFontFile(const std::vector<std::string>& families, const std::string& language) {
  FontFile file;
  FcPattern* request = MakeRequest(families, language);
  if (!request) return file;
  FcResult result = FcResultNoMatch;
  FcPattern* font = FcFontMatch(nullptr, request, &result);
  if (font) {
    file = FileOf(font);
    FcPatternDestroy(font);
  }
  FcPatternDestroy(request);
  return file;
}

bool LookUpFamily(const std::string& family) {
  if (family.empty() || !EnsureFontconfig()) return false;
  FcPattern* pattern = FcPatternCreate();
  if (!pattern) return false;
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
  FcFontSet* fonts = objects ? FcFontList(nullptr, pattern, objects) : nullptr;
  const bool installed = fonts && fonts->nfont > 0;
  if (fonts) FcFontSetDestroy(fonts);
  if (objects) FcObjectSetDestroy(objects);
  FcPatternDestroy(pattern);
  return installed;
}

}  // namespace

FontFile MatchFontFile(const std::vector<std::string>& families, const std::string& language) {
  const std::string key = MatchKey(families, language);
  {
    std::lock_guard<std::mutex> hold(g_knownMutex);
    if (auto known = g_knownMatches.find(key); known != g_knownMatches.end()) return known->second;
  }
  const FontFile file = LookUpFontFile(families, language);
  std::lock_guard<std::mutex> hold(g_knownMutex);
  return g_knownMatches.emplace(key, file).first->second;
}

bool FontFamilyInstalled(const std::string& family) {
  {
    std::lock_guard<std::mutex> hold(g_knownMutex);
    if (auto known = g_knownFamilies.find(family); known != g_knownFamilies.end()) return known->second;
  }
  const bool installed = LookUpFamily(family);
  std::lock_guard<std::mutex> hold(g_knownMutex);
  return g_knownFamilies.emplace(family, installed).first->second;
}

FontFile MatchFontFileForChar(const std::vector<std::string>& families, const std::string& language,
                              char32_t character) {
  FontFile file;
  FcPattern* request = MakeRequest(families, language);
  if (!request) return file;
  FcResult result = FcResultNoMatch;
  // Sorted best first; trimming keeps every font that adds coverage, so the
  // first font holding the character survives it.
  FcFontSet* fonts = FcFontSort(nullptr, request, FcTrue, nullptr, &result);
  if (fonts) {
    for (int i = 0; i < fonts->nfont && file.path.empty(); ++i) {
      FcCharSet* chars = nullptr;
      if (FcPatternGetCharSet(fonts->fonts[i], FC_CHARSET, 0, &chars) != FcResultMatch || !chars) continue;
      if (FcCharSetHasChar(chars, static_cast<FcChar32>(character)) == FcTrue) file = FileOf(fonts->fonts[i]);
    }
    FcFontSetDestroy(fonts);
  }
  FcPatternDestroy(request);
  return file;
}

}  // namespace platform
