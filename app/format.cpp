// The wide-printf formatter.
#include "app/format.h"

#include <algorithm>

uint64_t FormatArg::asUnsigned() const {
  const uint64_t bits = kind_ == Kind::Signed ? static_cast<uint64_t>(i_) : u_;
  return bits_ >= 64 ? bits : bits & ((uint64_t{1} << bits_) - 1);
}

uint64_t FormatArg::magnitude() const {
  if (kind_ != Kind::Signed) return u_;
  return i_ < 0 ? uint64_t{0} - static_cast<uint64_t>(i_) : static_cast<uint64_t>(i_);
}

namespace {

struct FieldSpec {
  bool left = false;
  bool zero = false;
  int width = 0;
  int precision = -1;  // -1: none
};

std::u16string digitsOf(uint64_t value, unsigned base, bool upper) {
  const char* set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  char16_t buf[24];
  int n = 0;
  do {
    buf[n++] = static_cast<char16_t>(set[value % base]);
    value /= base;
  } while (value != 0);
  std::u16string out;
  out.reserve(n);
  while (n > 0) out.push_back(buf[--n]);
  return out;
}

void pad(std::u16string& out, std::u16string_view body, const FieldSpec& field, char16_t fill) {
  const size_t width = field.width > 0 ? static_cast<size_t>(field.width) : 0;
  const size_t padding = width > body.size() ? width - body.size() : 0;
  if (field.left) {
    out.append(body);
    out.append(padding, u' ');
  } else {
    out.append(padding, fill);
    out.append(body);
  }
}

void formatInteger(std::u16string& out, const FormatArg& arg, char16_t conv, const FieldSpec& field) {
  std::u16string sign;
  std::u16string digits;
  if (conv == u'd' || conv == u'i') {
    if (arg.isNegative()) sign.push_back(u'-');
    digits = digitsOf(arg.magnitude(), 10, false);
  } else if (conv == u'u') {
    digits = digitsOf(arg.asUnsigned(), 10, false);
  } else {
    digits = digitsOf(arg.asUnsigned(), 16, conv == u'X');
  }
  if (field.precision >= 0) {
    if (field.precision == 0 && digits == u"0") digits.clear();
    if (digits.size() < static_cast<size_t>(field.precision)) {
      digits.insert(0, static_cast<size_t>(field.precision) - digits.size(), u'0');
    }
  }
  if (field.zero && !field.left && field.precision < 0) {
    const size_t width = field.width > 0 ? static_cast<size_t>(field.width) : 0;
    const size_t used = sign.size() + digits.size();
    if (width > used) digits.insert(0, width - used, u'0');
  }
  pad(out, sign + digits, field, u' ');
}

}  // namespace

std::u16string FormatArgs(std::u16string_view format, std::span<const FormatArg> args) {
  std::u16string out;
  out.reserve(format.size() + 16 * args.size());
  size_t next = 0;  // index of the next unused argument
  const FormatArg* none = nullptr;
  auto take = [&]() -> const FormatArg* { return next < args.size() ? &args[next++] : none; };
  auto takeInt = [&]() -> int {
    const FormatArg* a = take();
    if (!a || !a->isInteger()) return 0;
    const int64_t v = a->asSigned();
    return v > 1000000 ? 1000000 : (v < -1000000 ? -1000000 : static_cast<int>(v));
  };

  size_t i = 0;
  while (i < format.size()) {
    const char16_t c = format[i];
    if (c != u'%') {
      out.push_back(c);
      ++i;
      continue;
    }
    const size_t start = i++;
    if (i >= format.size()) {
      out.push_back(u'%');
      break;
    }
    FieldSpec field;
    // Flags.
    for (; i < format.size(); ++i) {
      const char16_t f = format[i];
      if (f == u'-') field.left = true;
      else if (f == u'0') field.zero = true;
      else if (f != u'+' && f != u' ' && f != u'#') break;
    }
    // Width.
    if (i < format.size() && format[i] == u'*') {
      field.width = takeInt();
      if (field.width < 0) {
        field.left = true;
        field.width = -field.width;
      }
      ++i;
    } else {
      while (i < format.size() && format[i] >= u'0' && format[i] <= u'9') {
        if (field.width < 1000000) field.width = field.width * 10 + (format[i] - u'0');
        ++i;
      }
    }
    // Precision.
    if (i < format.size() && format[i] == u'.') {
      ++i;
      field.precision = 0;
      if (i < format.size() && format[i] == u'*') {
        field.precision = takeInt();
        if (field.precision < 0) field.precision = -1;
        ++i;
      } else {
        while (i < format.size() && format[i] >= u'0' && format[i] <= u'9') {
          if (field.precision < 1000000) field.precision = field.precision * 10 + (format[i] - u'0');
          ++i;
        }
      }
    }
    // Size prefixes change nothing.
    for (;;) {
      const std::u16string_view rest = format.substr(i);
      if (rest.starts_with(u"I64") || rest.starts_with(u"I32")) i += 3;
      else if (rest.starts_with(u"ll") || rest.starts_with(u"hh")) i += 2;
      else if (!rest.empty() && std::u16string_view(u"lhwzjtL").find(rest[0]) != std::u16string_view::npos) i += 1;
      else break;
    }
    if (i >= format.size()) {
      out.append(format.substr(start));
      break;
    }
    const char16_t conv = format[i++];
    switch (conv) {
      case u'%':
        out.push_back(u'%');
        break;
      case u'd':
      case u'i':
      case u'u':
      case u'x':
      case u'X': {
        const FormatArg* a = take();
        if (a && a->isInteger()) formatInteger(out, *a, conv, field);
        break;
      }
      case u'c': {
        const FormatArg* a = take();
        if (a && (a->kind() == FormatArg::Kind::Char || a->isInteger())) {
          const char16_t ch = a->asChar();
          pad(out, std::u16string_view(&ch, 1), field, field.zero ? u'0' : u' ');
        }
        break;
      }
      case u's': {
        const FormatArg* a = take();
        if (a && a->kind() == FormatArg::Kind::String) {
          std::u16string_view s = a->isNullString() ? std::u16string_view(u"(null)") : a->asString();
          if (field.precision >= 0 && s.size() > static_cast<size_t>(field.precision)) {
            s = s.substr(0, static_cast<size_t>(field.precision));
          }
          pad(out, s, field, field.zero ? u'0' : u' ');
        }
        break;
      }
      case u'p': {
        const FormatArg* a = take();
        if (a && (a->kind() == FormatArg::Kind::Pointer || a->isInteger())) {
          std::u16string digits = digitsOf(a->kind() == FormatArg::Kind::Pointer ? a->magnitude() : a->asUnsigned(), 16, true);
          digits.insert(0, 16 - std::min<size_t>(16, digits.size()), u'0');
          pad(out, digits, field, u' ');
        }
        break;
      }
      default:
        // Not a conversion: keep the text as written.
        out.append(format.substr(start, i - start));
        break;
    }
  }
  return out;
}
