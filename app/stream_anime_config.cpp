#include "app/stream_anime_config.h"

#include "app/config_reader.h"
#include "app/log.h"

using tokenizer::Cell;
using tokenizer::Cons;
using tokenizer::Token;

namespace {

bool readFrame(Cell* frame, StreamAnimeFrame* out) {
  if (tokenizer::isToken(frame)) return false;  // a frame is a list of entries
  for (Cell* c = frame; tokenizer::isCons(c); c = static_cast<Cons*>(c)->cdr) {
    Cell* entry = static_cast<Cons*>(c)->car;
    const Token* key = tokenizer::carAsToken(entry);
    if (!key || key->type != Token::kSymbol) continue;
    Cell* rest = tokenizer::cdrOr(entry, nullptr);
    if (key->text == u"url") {
      const Token* v = tokenizer::asToken(rest);
      if (v && v->type == Token::kInt) {
        out->picture = APValue(v->value);
      } else if (v && v->type == Token::kString) {
        out->picture = APValue(v->text);
      } else {
        return false;
      }
    } else if (key->text == u"rect") {
      // Missing elements and elements that are not numbers count as 0.
      int32_t* fields[4] = {&out->x, &out->y, &out->w, &out->h};
      for (size_t i = 0; i < 4; ++i) {
        const Token* v = tokenizer::asToken(ListElement(rest, i));
        *fields[i] = v && v->type == Token::kInt ? v->value : 0;
      }
    } else if (key->text == u"waittime") {
      const Token* v = tokenizer::asToken(rest);
      if (!v || v->type != Token::kInt) return false;
      out->waitTime = v->value;
    }
  }
  return true;
}

}  // namespace

bool ParseStreamAnimeConfig(StreamAnimeConfig* config, Cell* entries) {
  config->loopIndex = -1;
  config->frames.clear();
  for (Cell* c = entries; tokenizer::isCons(c); c = static_cast<Cons*>(c)->cdr) {
    Cell* entry = static_cast<Cons*>(c)->car;
    const Token* key = tokenizer::carAsToken(entry);
    Cell* rest = tokenizer::cdrOr(entry, nullptr);
    if (!key || key->type != Token::kSymbol || !rest) return false;
    if (key->text == u"piclist") {
      for (Cell* f = rest; tokenizer::isCons(f); f = static_cast<Cons*>(f)->cdr) {
        StreamAnimeFrame frame;
        if (!readFrame(static_cast<Cons*>(f)->car, &frame)) return false;
        config->frames.push_back(std::move(frame));
      }
      continue;
    }
    const Token* value = tokenizer::asToken(rest);
    if (!ReadEntryString(key->text, value, u"image-basename", &config->frameBaseName) &&
        !ReadEntryInt(key->text, value, u"image-num-digits", &config->digits) &&
        !ReadEntryString(key->text, value, u"image-extension", &config->frameExtension) &&
        !ReadEntryInt(key->text, value, u"loop-index", &config->loopIndex)) {
      LogWrite(LOG_WARN, u"StreamAnimeConfig:未知のエントリ<%s> - 無視されました\n", key->text);
    }
  }
  return true;
}
