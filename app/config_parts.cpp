// Reading ":parts": each "(N (type . KIND) entry...)" becomes a new part
// configuration of that kind, stored under N. Urls are resolved at once
// through the parts naming rule, "(fontcolor . I)" reads the colour table, so
// ":resource" and ":color-table" must come first in the file.
#include "app/config_parts.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/config_reader.h"
#include "app/game_environment.h"
#include "app/log.h"
#include "script/ap_value.h"

using tokenizer::Cell;
using tokenizer::Cons;
using tokenizer::Token;

namespace {

Cell* Cdr(Cell* c) { return tokenizer::cdrOr(c, nullptr); }

// Walks the elements of a list; a non-cons tail ends it.
template <class F>
bool ForEachElement(Cell* list, F&& f) {
  for (Cell* c = list; tokenizer::isCons(c); c = static_cast<Cons*>(c)->cdr) {
    NoteConfigEntry(c);
    if (!f(static_cast<Cons*>(c)->car)) return false;
  }
  return true;
}

const Token* IntToken(Cell* c) {
  const Token* t = tokenizer::asToken(c);
  return t && t->type == Token::kInt ? t : nullptr;
}

// The key of "(key ...)" when the element is a list headed by a symbol.
const Token* SymbolKey(Cell* element) {
  if (!tokenizer::isCons(element)) return nullptr;
  const Token* key = tokenizer::carAsToken(element);
  return key && key->type == Token::kSymbol ? key : nullptr;
}

// An integer or string url token, resolved by the parts rule.
bool ResolveUrl(GameEnvironment* env, const Token* value, std::u16string* path) {
  if (!value) return false;
  APValue url;
  if (value->type == Token::kInt) {
    url = APValue(value->value);
  } else if (value->type == Token::kString) {
    url = APValue(value->text);
  } else {
    return false;
  }
  if (env) {
    *path = env->getPartsPath(url);
  } else {
    *path = url.isString() ? url.svalue : std::u16string();
  }
  return true;
}

// Reads the n elements after the key of an entry. Every element must be
// present and a token; a token that is not an integer counts as fallback,
// or fails when strict.
bool ReadInts(Cell* entry, int32_t* out, size_t n, bool strict, int32_t fallback) {
  Cell* c = Cdr(entry);
  for (size_t i = 0; i < n; ++i, c = Cdr(c)) {
    if (!tokenizer::isCons(c)) return false;
    const Token* t = tokenizer::carAsToken(c);
    if (!t) return false;
    if (t->type == Token::kInt) {
      out[i] = t->value;
    } else if (strict) {
      return false;
    } else {
      out[i] = fallback;
    }
  }
  return true;
}

// "(size W H)" of image, text and button parts: a non-integer gives -1.
bool ReadSize(XGChipConfig::ConfigBase* config, Cell* entry, bool strict) {
  int32_t size[2];
  if (!ReadInts(entry, size, 2, strict, -1)) return false;
  config->width = size[0];
  config->height = size[1];
  return true;
}

// "(rect X Y W H)" of images, button pictures and animation frames.
bool ReadLenientRect(Cell* entry, int32_t* x, int32_t* y, int32_t* w, int32_t* h) {
  int32_t r[4];
  if (!ReadInts(entry, r, 4, false, 0)) return false;
  *x = r[0];
  *y = r[1];
  *w = r[2];
  *h = r[3];
  return true;
}

// "(key . N)" with an integer value.
bool ReadPairInt(Cell* entry, int32_t* out) {
  const Token* t = IntToken(Cdr(entry));
  if (!t) return false;
  *out = t->value;
  return true;
}

// What a kind's reader made of one entry.
enum EntryResult { kRead, kUnknown, kFailed };

EntryResult Consumed(bool ok) { return ok ? kRead : kFailed; }

// Walks the entries of one part definition: a non-list element or a key
// that is not a symbol fails; "type" is skipped; unknown keys are logged
// with the kind's message.
template <class F>
bool ReadPartEntries(Cell* entries, std::u16string_view unknownMessage, F&& read) {
  return ForEachElement(entries, [&](Cell* entry) {
    const Token* key = SymbolKey(entry);
    if (!key) return false;
    if (key->text == u"type") return true;
    const EntryResult result = read(key->text, entry);
    if (result == kUnknown) LogWriteAt(LOG_WARN, ConfigEntryPlace(), unknownMessage, key->text);
    return result != kFailed;
  });
}

// Sub-entries of a button picture or an animation frame: "(url . V)" and
// "(rect X Y W H)"; other keys are ignored, other shapes fail.
template <class Picture, class F>
bool ReadPictureEntries(GameEnvironment* env, Cell* list, Picture* picture, F&& other) {
  return ForEachElement(list, [&](Cell* sub) {
    const Token* key = SymbolKey(sub);
    if (!key) return false;
    if (key->text == u"url") return ResolveUrl(env, tokenizer::asToken(Cdr(sub)), &picture->path);
    if (key->text == u"rect") return ReadLenientRect(sub, &picture->x, &picture->y, &picture->w, &picture->h);
    return other(key->text, sub);
  });
}

bool ParseKind(XGChipConfig::ImageConfig* c, GameEnvironment* env, Cell* entries) {
  return ParseImagePartConfig(c, env, entries);
}
bool ParseKind(XGChipConfig::TextConfig* c, GameEnvironment* env, Cell* entries) {
  return ParseTextPartConfig(c, env, entries);
}
bool ParseKind(XGChipConfig::ButtonConfig* c, GameEnvironment* env, Cell* entries) {
  return ParseButtonPartConfig(c, env, entries);
}
bool ParseKind(XGChipConfig::AnimationConfig* c, GameEnvironment* env, Cell* entries) {
  return ParseAnimationPartConfig(c, env, entries);
}
bool ParseKind(XGChipConfig::TouchmapConfig* c, GameEnvironment* env, Cell* entries) {
  return ParseTouchmapPartConfig(c, env, entries);
}

// A new record of kind T read from the entries; empty when reading fails.
template <class T>
SharedRef<XGChipConfig::ConfigBase> MakePart(GameEnvironment* env, Cell* entries) {
  T* config = new T();
  SharedRef<XGChipConfig::ConfigBase> ref(config);
  if (!ParseKind(config, env, entries)) return {};
  return ref;
}

}  // namespace

bool ParsePartsSection(Config::PartsTable* table, Cell* section, GameEnvironment* env) {
  return ForEachElement(Cdr(section), [&](Cell* element) {
    const std::u16string place = ConfigEntryPlace();  // the part's line, before its entries are read
    if (!tokenizer::isCons(element)) return false;
    const Token* number = IntToken(tokenizer::carOf(element));
    if (!number) return false;
    Cell* typeEntry = ListElement(element, 1);
    const Token* kindWord = tokenizer::isCons(typeEntry) ? PairValue(typeEntry) : nullptr;
    if (!kindWord || kindWord->type != Token::kSymbol) return false;

    Cell* entries = Cdr(element);
    const std::u16string& word = kindWord->text;
    SharedRef<XGChipConfig::ConfigBase> part;
    if (word == u"image") {
      part = MakePart<XGChipConfig::ImageConfig>(env, entries);
    } else if (word == u"button") {
      part = MakePart<XGChipConfig::ButtonConfig>(env, entries);
    } else if (word == u"animation") {
      part = MakePart<XGChipConfig::AnimationConfig>(env, entries);
    } else if (word == u"text") {
      part = MakePart<XGChipConfig::TextConfig>(env, entries);
    } else if (word == u"touchmap") {
      part = MakePart<XGChipConfig::TouchmapConfig>(env, entries);
    } else {
      LogWriteAt(LOG_WARN, place, u"Config.Parts:未知のパーツタイプ名<%s> - 無視されました\n", word);
      return true;
    }
    if (!part || number->value < 0) return false;

    auto [it, inserted] = table->try_emplace(number->value, part);
    if (!inserted) {
      LogWriteAt(LOG_WARN, place, u"パーツ定義が重複しています(index:%d)\n", number->value);
      it->second = part;
    }
    return true;
  });
}

bool ParseImagePartConfig(XGChipConfig::ImageConfig* config, GameEnvironment* env, Cell* entries) {
  auto read = [&](const std::u16string& key, Cell* entry) {
    if (key == u"size") return Consumed(ReadSize(config, entry, false));
    if (key == u"url") return Consumed(ResolveUrl(env, tokenizer::asToken(Cdr(entry)), &config->path));
    if (key == u"rect") return Consumed(ReadLenientRect(entry, &config->x, &config->y, &config->w, &config->h));
    return kUnknown;
  };
  return ReadPartEntries(entries, u"Config.Parts.image:未知のエントリ<%s> - 無視されました\n", read);
}

bool ParseTextPartConfig(XGChipConfig::TextConfig* config, GameEnvironment* env, Cell* entries) {
  const Config::ColorTable* colors = env ? &env->colorTable() : nullptr;
  // (fontcolor . I): entry I of the colour table; (fontcolor R G B): opaque,
  // each component cut to 8 bits.
  auto readFontColor = [&](Cell* entry) {
    if (Cell* value = Cdr(entry); tokenizer::isToken(value)) {
      const Token* index = IntToken(value);
      if (!index || !colors || index->value < 0 || static_cast<size_t>(index->value) >= colors->size()) {
        return false;
      }
      config->color = (*colors)[index->value];
      return true;
    }
    int32_t rgb[3];
    if (!ReadInts(entry, rgb, 3, false, 0)) return false;
    config->color = 0xFF000000u | (static_cast<uint32_t>(rgb[0]) & 0xFF) << 16 |
                    (static_cast<uint32_t>(rgb[1]) & 0xFF) << 8 | (static_cast<uint32_t>(rgb[2]) & 0xFF);
    return true;
  };
  auto read = [&](const std::u16string& key, Cell* entry) {
    if (key == u"size") return Consumed(ReadSize(config, entry, false));
    if (key == u"string") {
      const Token* t = tokenizer::asToken(Cdr(entry));
      if (!t || t->type != Token::kString) return kFailed;
      config->text = t->text;
      return kRead;
    }
    if (key == u"fontsize") return Consumed(ReadPairInt(entry, &config->fontSize));
    if (key == u"fontcolor") return Consumed(readFontColor(entry));
    return kUnknown;
  };
  return ReadPartEntries(entries, u"Config.Parts.text:未知のエントリ<%s> - 無視されました\n", read);
}

bool ParseButtonPartConfig(XGChipConfig::ButtonConfig* config, GameEnvironment* env, Cell* entries) {
  config->pictures.assign(4, XGChipConfig::ButtonPicture());
  auto read = [&](const std::u16string& key, Cell* entry) {
    if (key == u"size") return Consumed(ReadSize(config, entry, false));
    // "pic0" .. "pic3": each definition replaces the whole picture.
    if (key.size() != 4 || key.compare(0, 3, u"pic") != 0 || key[3] < u'0' || key[3] > u'3') return kUnknown;
    if (tokenizer::isToken(Cdr(entry))) return kFailed;  // "(pic0 . 5)": not a list of entries
    XGChipConfig::ButtonPicture picture;
    auto ignore = [](const std::u16string&, Cell*) { return true; };
    if (!ReadPictureEntries(env, Cdr(entry), &picture, ignore)) return kFailed;
    config->pictures[key[3] - u'0'] = picture;
    return kRead;
  };
  return ReadPartEntries(entries, u"Config.Parts.button:未知のエントリ<%s> - 無視されました\n", read);
}

bool ParseAnimationPartConfig(XGChipConfig::AnimationConfig* config, GameEnvironment* env, Cell* entries) {
  config->frames.clear();
  // A frame is a list of sub-entries; "()" is a frame at its defaults.
  auto readFrame = [&](Cell* form) {
    if (form && !tokenizer::isCons(form)) return false;
    XGChipConfig::AnimationFrame frame;
    auto waitTime = [&](const std::u16string& key, Cell* sub) {
      return key != u"waittime" || ReadPairInt(sub, &frame.waitTime);
    };
    if (!ReadPictureEntries(env, form, &frame, waitTime)) return false;
    config->frames.push_back(frame);
    return true;
  };
  auto read = [&](const std::u16string& key, Cell* entry) {
    if (key == u"size") return Consumed(ReadSize(config, entry, true));
    if (key == u"loop") {
      // Any value but a boolean leaves the key unknown.
      const Token* t = tokenizer::asToken(Cdr(entry));
      if (!t || t->type != Token::kBool) return kUnknown;
      config->loop = t->value != 0;
      return kRead;
    }
    if (key == u"piclist") {
      if (tokenizer::isToken(Cdr(entry))) return kFailed;
      return Consumed(ForEachElement(Cdr(entry), readFrame));
    }
    return kUnknown;
  };
  return ReadPartEntries(entries, u"Config.Parts.animation:未知のエントリ<%s> - 無視されました\n", read);
}

bool ParseTouchmapPartConfig(XGChipConfig::TouchmapConfig* config, GameEnvironment* env, Cell* entries) {
  auto readArea = [&](Cell* form) {
    XGChipConfig::TouchmapArea area;
    if (!ParseTouchmapAreas(&area, env, form)) return false;
    config->areas.push_back(area);
    return true;
  };
  auto read = [&](const std::u16string& key, Cell* entry) {
    if (key == u"map") {
      if (tokenizer::isToken(Cdr(entry))) return kFailed;
      return Consumed(ForEachElement(Cdr(entry), readArea));
    }
    return kUnknown;
  };
  return ReadPartEntries(entries, u"Config.Parts.touchmap:未知のエントリ<%s> - 無視されました\n", read);
}

bool ParseTouchmapAreas(XGChipConfig::TouchmapArea* area, GameEnvironment* env, Cell* form) {
  using Area = XGChipConfig::TouchmapArea;
  if (!tokenizer::isCons(form)) return false;
  const Token* head = tokenizer::carAsToken(form);
  if (!head) return false;
  const std::u16string shape = head->getString();
  if (shape == u"circle") {
    area->shape = Area::kCircle;
  } else if (shape == u"rect") {
    area->shape = Area::kRect;
  } else if (shape == u"poly") {
    area->shape = Area::kPolygon;
  } else if (shape == u"image") {
    area->shape = Area::kImage;
  } else {
    return false;
  }

  return ForEachElement(Cdr(form), [&](Cell* sub) {
    if (!tokenizer::isCons(sub)) return false;
    const Token* keyToken = tokenizer::carAsToken(sub);
    if (!keyToken || (keyToken->type != Token::kSymbol && keyToken->type != Token::kString)) return false;
    const std::u16string& key = keyToken->text;
    if (key == u"event") return ReadPairInt(sub, &area->event);
    switch (area->shape) {
      case Area::kCircle: {
        if (key == u"radium") return ReadPairInt(sub, &area->radius);
        if (key != u"center") return false;
        int32_t c[2];
        if (!ReadInts(sub, c, 2, true, 0)) return false;
        area->centerX = c[0];
        area->centerY = c[1];
        return true;
      }
      case Area::kRect: {
        if (key != u"rect") return false;
        int32_t r[4];
        if (!ReadInts(sub, r, 4, true, 0)) return false;
        area->rectX = r[0];
        area->rectY = r[1];
        area->rectW = r[2];
        area->rectH = r[3];
        return true;
      }
      case Area::kPolygon: {
        if (key != u"coords") return false;
        std::vector<int32_t> coords;
        const bool ok = ForEachElement(Cdr(sub), [&](Cell* c) {
          const Token* t = IntToken(c);
          if (t) coords.push_back(t->value);
          return t != nullptr;
        });
        if (!ok) return false;
        area->coords = std::move(coords);
        return true;
      }
      default: {  // image
        if (key == u"url") return ResolveUrl(env, tokenizer::asToken(Cdr(sub)), &area->imagePath);
        if (key == u"size" || key == u"rect") {
          int32_t r[4];
          if (!ReadInts(sub, r, 4, true, 0)) return false;
          int32_t* target[4] = {&area->areaX, &area->areaY, &area->areaW, &area->areaH};
          if (key == u"rect") {
            target[0] = &area->srcX;
            target[1] = &area->srcY;
            target[2] = &area->srcW;
            target[3] = &area->srcH;
          }
          for (int i = 0; i < 4; ++i) *target[i] = r[i];
          return true;
        }
        if (key == u"channel") {
          const Token* t = tokenizer::asToken(Cdr(sub));
          if (!t || t->type != Token::kString) return false;
          static constexpr std::pair<std::u16string_view, int32_t> kChannels[] = {
              {u"r", 2}, {u"g", 1}, {u"b", 0}, {u"a", 3}};
          for (const auto& [name, channel] : kChannels) {
            if (t->text == name) {
              area->testMode = Area::kByChannel;
              area->channel = channel;
              return true;
            }
          }
          return false;
        }
        if (key == u"color") {
          uint32_t color;
          if (!ParseColorList(Cdr(sub), &color)) return false;
          area->testMode = Area::kByColor;
          area->color = color;
          return true;
        }
        return false;
      }
    }
  });
}
