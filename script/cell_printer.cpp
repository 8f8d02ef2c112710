#include "script/cell_printer.h"

#include <vector>

#include "app/log.h"

namespace tokenizer {

namespace {

void printToken(const Token& t, MyOStream& out) {
  switch (t.type) {
    case Token::kSymbol:
      out.writeString(t.text);
      break;
    case Token::kInt: {
      const int64_t v = t.value;
      const uint64_t mag = v < 0 ? static_cast<uint64_t>(-v) : static_cast<uint64_t>(v);
      char16_t buf[16];
      int n = 0;
      uint64_t m = mag;
      do {
        buf[n++] = static_cast<char16_t>(u'0' + m % 10);
        m /= 10;
      } while (m != 0);
      if (v < 0) out.put(u'-');
      while (n > 0) out.put(buf[--n]);
      break;
    }
    case Token::kString:
      out.put(u'"');
      if (t.text.find(u'"') == std::u16string::npos) {
        out.writeString(t.text);
      } else {
        std::u16string safe = t.text;
        for (char16_t& c : safe) {
          if (c == u'"') c = u'\uFF02';
        }
        LogWrite(LOG_WARN, u"tokenizer::print : 文字列中の\"を＂に置き換えました(%.30s)\n", safe);
        out.writeString(safe);
      }
      out.put(u'"');
      break;
    case Token::kBool:
      out.write(t.value ? u"#t" : u"#f");
      break;
    default:
      break;
  }
}

}  // namespace

void printCell(const Cell* cell, MyOStream& out) {
  // Each frame is an open list: the part of its chain still to print.
  struct Frame {
    const Cell* rest;
    bool first;
  };
  std::vector<Frame> stack;
  auto begin = [&](const Cell* c) {
    if (!c) {
      out.write(u"()");
    } else if (isToken(c)) {
      printToken(*static_cast<const Token*>(c), out);
    } else {
      out.put(u'(');
      stack.push_back({c, true});
    }
  };
  begin(cell);
  while (!stack.empty()) {
    Frame& f = stack.back();
    if (!f.rest) {
      out.put(u')');
      stack.pop_back();
      continue;
    }
    if (!isCons(f.rest)) {
      const Cell* tail = f.rest;
      f.rest = nullptr;
      out.write(u" . ");
      begin(tail);  // a token: pushes nothing
      continue;
    }
    const Cons* c = static_cast<const Cons*>(f.rest);
    if (!f.first) out.put(u' ');
    f.first = false;
    f.rest = c->cdr;
    begin(c->car);  // may push: f is not used after this
  }
}

void Cons::print(MyOStream& out) const { printCell(this, out); }

void Token::print(MyOStream& out) const { printToken(*this, out); }

std::u16string toText(const Cell* cell) {
  TokenizerSupportUtil::MyOStringStream out;
  printCell(cell, out);
  return out.str();
}

}  // namespace tokenizer

namespace TokenizerSupportUtil {

void MyHeapStreamBuf::writeString(const std::u16string& text) {
  text_ += text;
  dirty_ = true;
}

void MyHeapStreamBuf::write(const char16_t* text, size_t count) {
  text_.append(text, count);
  dirty_ = true;
}

void MyHeapStreamBuf::put(char16_t c) {
  text_.push_back(c);
  dirty_ = true;
}

}  // namespace TokenizerSupportUtil
