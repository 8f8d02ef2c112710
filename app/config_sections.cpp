// ":product-info", ":system", ":resource", the constants, ":key" and
// ":window". Each body is a list of entries; a malformed entry fails the
// load, an unknown key (or a known key with a value of the wrong type) is
// logged with the section's message and ignored.
#include "app/config_sections.h"

#include "app/config_reader.h"
#include "app/key_names.h"
#include "app/log.h"

using tokenizer::Cell;
using tokenizer::Cons;
using tokenizer::Token;

namespace {

// Calls fn for each entry of the section body (after its keyword); false at
// the first malformed entry or when fn says so.
template <class Fn>
bool forEachEntry(Cell* section, bool listShape, Fn fn) {
  for (Cell* c = tokenizer::cdrOr(section, nullptr); tokenizer::isCons(c); c = static_cast<Cons*>(c)->cdr) {
    NoteConfigEntry(c);
    ConfigEntry entry;
    Cell* element = static_cast<Cons*>(c)->car;
    if (!(listShape ? ReadListEntry(element, &entry) : ReadPairEntry(element, &entry)) || !fn(entry)) {
      NoteFailedConfigEntry(element);
      return false;
    }
  }
  return true;
}

bool readRule(const ConfigEntry& e, std::u16string_view kind, Config::NamingRule* rule) {
  const std::u16string prefix = u":" + std::u16string(kind);
  return ReadEntryString(e.key, e.value, prefix + u"-basedir", &rule->baseDir) ||
         ReadEntryString(e.key, e.value, prefix + u"-basename", &rule->baseName) ||
         ReadEntryInt(e.key, e.value, prefix + u"-num-digits", &rule->digits) ||
         ReadEntryString(e.key, e.value, prefix + u"-extension", &rule->extension);
}

// Digits of a generated key part: %d of a small non-negative number.
bool parseNumber(std::u16string_view text, int32_t* out) {
  if (text.empty() || text.size() > 3 || (text.size() > 1 && text[0] == u'0')) return false;
  int32_t n = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return false;
    n = n * 10 + (c - u'0');
  }
  *out = n;
  return true;
}

// ":font-N-K-S" (font N 0..7, string K 0..3, even size S 4..126): the text
// that formatting ":font-%d-K-%d" with N and S gives, and nothing else.
bool matchSizeKey(std::u16string_view key, int32_t* font, int32_t* which, int32_t* size) {
  if (!key.starts_with(u":font-")) return false;
  key.remove_prefix(6);
  const size_t a = key.find(u'-');
  if (a == std::u16string_view::npos) return false;
  const size_t b = key.find(u'-', a + 1);
  if (b == std::u16string_view::npos) return false;
  if (!parseNumber(key.substr(0, a), font) || !parseNumber(key.substr(a + 1, b - a - 1), which) ||
      !parseNumber(key.substr(b + 1), size)) {
    return false;
  }
  return *font <= 7 && *which <= 3 && *size >= 4 && *size <= 126 && *size % 2 == 0 && b - a == 2;
}

bool readFontKeys(const ConfigEntry& e, Config::ResourceRecord* r) {
  static constexpr const char16_t* kFileKeys[8] = {u"0s", u"1s", u"2s", u"3s", u"0l", u"1l", u"2l", u"3l"};
  for (int32_t n = 0; n <= 7; ++n) {
    Config::FontRecord& font = r->fonts[static_cast<size_t>(n)];
    if (ReadEntryInt(e.key, e.value, FormatString30(u":font-%d-type", n), &font.type) ||
        ReadEntryString(e.key, e.value, FormatString30(u":font-%d-name", n), &font.name)) {
      return true;
    }
    for (size_t k = 0; k < 8; ++k) {
      if (ReadEntryString(e.key, e.value, FormatString30(u":font-%d-%s", n, kFileKeys[k]), &font.files[k])) {
        return true;
      }
    }
  }
  int32_t n = 0, k = 0, size = 0;
  if (matchSizeKey(e.key, &n, &k, &size)) {
    r->fonts[static_cast<size_t>(n)].sizes[size][static_cast<size_t>(k)] = StringTokenOr(e.value, u"");
    return true;
  }
  return false;
}

}  // namespace

bool ParseProductInfo(Config::ProductInfo* p, Cell* section) {
  return forEachEntry(section, false, [p](const ConfigEntry& e) {
    int32_t v = 0;
    if (ReadEntryInt(e.key, e.value, u":savedata-usage", &v)) {
      if (v < 0 || v > 2) return false;
      p->savedataUsage = v;
      return true;
    }
    if (ReadEntryInt(e.key, e.value, u":save-folder-location", &v)) {
      if (v < 0 || v > 1) return false;
      p->saveFolderLocation = v;
      return true;
    }
    if (ReadEntryInt(e.key, e.value, u":savedata-encmode", &p->savedataEncmode)) {
      // The writer takes any mode but 0 and 2 as 1 ("EENC").
      if (p->savedataEncmode < 0 || p->savedataEncmode > 2) {
        LogWriteAt(LOG_WARN, ConfigEntryPlace(), u"Config.ProductInfo:不明な符号化モード(:savedata-encmode %d) - EENCで保存します\n",
                 p->savedataEncmode);
      }
      return true;
    }
    if (ReadEntryString(e.key, e.value, u":author-key", &p->authorKey) ||
        ReadEntryString(e.key, e.value, u":product-key", &p->productKey) ||
        ReadEntryString(e.key, e.value, u":author-name", &p->authorName) ||
        ReadEntryString(e.key, e.value, u":product-name", &p->productName) ||
        ReadEntryInt(e.key, e.value, u":savedata-version", &p->savedataVersion) ||
        ReadEntryString(e.key, e.value, u":install-regkey", &p->installRegkey) ||
        ReadEntryString(e.key, e.value, u":error-message", &p->errorMessage) ||
        ReadEntryString(e.key, e.value, u":alternative-resource-searchpath-regkey", &p->altSearchPathRegkey)) {
      return true;
    }
    LogWriteAt(LOG_WARN, ConfigEntryPlace(), u"Config.ProductInfo:使用されなかったエントリ<%s>\n", e.key);
    return true;
  });
}

bool ParseSystemSection(Config::SystemRecord* s, Cell* section) {
  return forEachEntry(section, false, [s](const ConfigEntry& e) {
    if (!ReadEntryString(e.key, e.value, u":mutex-name", &s->mutexName) &&
        !ReadEntryInt(e.key, e.value, u":texture-cache-num", &s->textureCacheNum) &&
        !ReadEntryInt(e.key, e.value, u":texture-cache-purge-timelimit", &s->textureCachePurgeTimelimit)) {
      LogWriteAt(LOG_WARN, ConfigEntryPlace(), u"Config.System:使用されなかったエントリ<%s>\n", e.key);
    }
    return true;
  });
}

bool ParseResourceSection(Config::ResourceRecord* r, Cell* section) {
  r->fonts[0].type = 0;
  return forEachEntry(section, true, [r](const ConfigEntry& e) {
    Config::VoiceRule& v = r->voice;
    Config::SaveRule& s = r->save;
    const bool matched =
        readRule(e, u"script", &r->script) || readRule(e, u"image", &r->image) ||
        readRule(e, u"streamanime", &r->streamAnime) || readRule(e, u"cellimage", &r->cellImage) ||
        readRule(e, u"music", &r->music) || readRule(e, u"sound", &r->sound) ||
        ReadEntryString(e.key, e.value, u":voice-basedir", &v.baseDir) ||
        ReadEntryInt(e.key, e.value, u":voice-scene-num-digits", &v.sceneDigits) ||
        ReadEntryInt(e.key, e.value, u":voice-voice-num-digits", &v.voiceDigits) ||
        ReadEntryString(e.key, e.value, u":voice-voice-prefix", &v.prefix) ||
        ReadEntryString(e.key, e.value, u":voice-extension", &v.extension) ||
        readRule(e, u"parts", &r->parts) || readRule(e, u"movie", &r->movie) ||
        ReadEntryString(e.key, e.value, u":font-basedir", &r->fontBaseDir) ||
        (e.key.starts_with(u":font-") && readFontKeys(e, r)) || readRule(e, u"save", &s) ||
        ReadEntryString(e.key, e.value, u":save-syssave-name", &s.sysSaveName) ||
        ReadEntryString(e.key, e.value, u":save-syssave-default-name", &s.sysSaveDefaultName) ||
        readRule(e, u"storage", &r->storage) || readRule(e, u"cursor", &r->cursor);
    if (!matched) LogWriteAt(LOG_WARN, ConfigEntryPlace(), u"Config.Resource:使用されなかったエントリ<%s>\n", e.key);
    return true;
  });
}

bool ParseConstants(std::map<int32_t, int32_t>* ints, std::map<int32_t, std::u16string>* strings, Cell* section,
                    bool stringMode) {
  for (Cell* c = tokenizer::cdrOr(section, nullptr); tokenizer::isCons(c); c = static_cast<Cons*>(c)->cdr) {
    NoteConfigEntry(c);
    Cell* entry = static_cast<Cons*>(c)->car;
    const Token* index = tokenizer::carAsToken(entry);
    const Token* value = PairValue(entry);
    if (!index || index->type != Token::kInt || !value) return false;
    if (index->value < 0) continue;
    if (stringMode) {
      if (value->type != Token::kString) return false;
      (*strings)[index->value] = value->text;
    } else {
      if (value->type != Token::kInt) return false;
      (*ints)[index->value] = value->value;
    }
  }
  return true;
}

bool ParseKeySection(std::map<int32_t, int32_t>* keyMap, Cell* section) {
  for (Cell* c = tokenizer::cdrOr(section, nullptr); tokenizer::isCons(c); c = static_cast<Cons*>(c)->cdr) {
    NoteConfigEntry(c);
    Cell* entry = static_cast<Cons*>(c)->car;
    const Token* name = tokenizer::carAsToken(entry);
    if (!name || name->type != Token::kString) return false;
    const int32_t event = systemCommandFromName(name->text);
    if (event == 0) {
      LogWriteAt(LOG_WARN, ConfigEntryPlace(), u"Config.Key:未知のイベント名(%s)\n", name->text);
      return false;
    }
    const Token* value = PairValue(entry);
    int32_t code = 0;
    if (value && value->type == Token::kString) {
      code = keyCodeFromName(value->text);
      if (code == 0) {
        LogWriteAt(LOG_WARN, ConfigEntryPlace(), u"Config.Key:未知のキーコード名(%s)\n", value->text);
        return false;
      }
    } else if (value && value->type == Token::kInt) {
      code = value->value;
      if (code == 0) continue;
    } else {
      LogWriteAt(LOG_WARN, ConfigEntryPlace(), u"Config.Key:キーコードは文字列または数値\n");
      return false;
    }
    keyMap->emplace(code, event);  // the first entry for a key code wins
  }
  return true;
}

bool ParseWindowSection(Config::WindowRecord* w, Cell* section) {
  w->sizes.fill(Config::Rect{});
  const bool ok = forEachEntry(section, true, [w](const ConfigEntry& e) {
    if (ReadEntryString(e.key, e.value, u":window-title", &w->title) ||
        ReadEntryInt(e.key, e.value, u":window-width", &w->width) ||
        ReadEntryInt(e.key, e.value, u":window-height", &w->height) ||
        ReadEntryBool(e.key, e.value, u":enable-switch-fullscreen", &w->enableSwitchFullscreen) ||
        ReadEntryString(e.key, e.value, u":flip-method", &w->flipMethod) ||
        ReadEntryInt(e.key, e.value, u":flip-method-rate", &w->flipMethodRate) ||
        ReadEntryInt(e.key, e.value, u":default-cursor", &w->defaultCursor) ||
        ReadEntryBool(e.key, e.value, u":enable-exit-by-user", &w->enableExitByUser)) {
      return true;
    }
    for (int32_t n = 1; n <= 9; ++n) {
      Config::Rect& r = w->sizes[static_cast<size_t>(n)];
      if (ReadEntryInt(e.key, e.value, FormatString30(u":window-width-%d", n), &r.right) ||
          ReadEntryInt(e.key, e.value, FormatString30(u":window-height-%d", n), &r.bottom)) {
        return true;
      }
    }
    LogWriteAt(LOG_WARN, ConfigEntryPlace(), u"Config.Window:使用されなかったエントリ<%s>\n", e.key);
    return true;
  });
  w->sizes[0] = Config::Rect{0, 0, w->width, w->height};
  return ok;
}
