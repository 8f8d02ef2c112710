// The one text formatter of the engine: Windows wide-printf semantics over
// type-safe arguments. Format strings are UTF-16 literals (u"...").
//
// Conversions d i u x X c s p and %%; flags 0 and - (others are accepted and
// ignored); width and precision as numbers or *; the size prefixes I64, I32,
// ll, l, h, hh, w, z, j, t are accepted and change nothing: an integer
// argument always prints its full value. %x, %X and %u show a negative
// argument as the unsigned number of its own width. %s takes a UTF-16 string
// (a null pointer prints "(null)"), %c one UTF-16 unit, %p a pointer as 16
// upper-case hex digits. A conversion whose argument is missing or of the
// wrong kind prints nothing. Pure functions, any thread.
#pragma once

#include <concepts>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

class FormatArg {
 public:
  enum class Kind { Signed, Unsigned, Char, String, Pointer };

  FormatArg(char16_t c) : kind_(Kind::Char), u_(c) {}
  FormatArg(bool b) : kind_(Kind::Signed), i_(b ? 1 : 0), bits_(32) {}
  template <std::signed_integral T>
  FormatArg(T v) : kind_(Kind::Signed), i_(v), bits_(sizeof(T) * 8) {}
  template <std::unsigned_integral T>
    requires(!std::same_as<T, bool> && !std::same_as<T, char16_t>)
  FormatArg(T v) : kind_(Kind::Unsigned), u_(v), bits_(sizeof(T) * 8) {}
  template <class E>
    requires std::is_enum_v<E>
  FormatArg(E v) : FormatArg(static_cast<std::underlying_type_t<E>>(v)) {}
  FormatArg(const char16_t* s)
      : kind_(Kind::String), s_(s ? std::u16string_view(s) : std::u16string_view()), isNull_(s == nullptr) {}
  FormatArg(std::u16string_view s) : kind_(Kind::String), s_(s) {}
  FormatArg(const std::u16string& s) : kind_(Kind::String), s_(s) {}
  FormatArg(const void* p) : kind_(Kind::Pointer), u_(reinterpret_cast<uintptr_t>(p)) {}
  FormatArg(std::nullptr_t) : kind_(Kind::Pointer), u_(0) {}
  // Narrow text and floating point have no place in the engine's messages:
  // catch them at compile time instead of printing nothing.
  FormatArg(const char*) = delete;
  FormatArg(char) = delete;
  FormatArg(float) = delete;
  FormatArg(double) = delete;

  Kind kind() const { return kind_; }
  bool isInteger() const { return kind_ == Kind::Signed || kind_ == Kind::Unsigned; }
  int64_t asSigned() const { return kind_ == Kind::Signed ? i_ : static_cast<int64_t>(u_); }
  // The bit pattern, cut to the argument's own width.
  uint64_t asUnsigned() const;
  bool isNegative() const { return kind_ == Kind::Signed && i_ < 0; }
  uint64_t magnitude() const;
  char16_t asChar() const { return static_cast<char16_t>(kind_ == Kind::Signed ? i_ : u_); }
  std::u16string_view asString() const { return s_; }
  bool isNullString() const { return isNull_; }

 private:
  Kind kind_;
  int64_t i_ = 0;
  uint64_t u_ = 0;
  int bits_ = 64;
  std::u16string_view s_;
  bool isNull_ = false;
};

// Formats into a new string.
std::u16string FormatArgs(std::u16string_view format, std::span<const FormatArg> args);

// Calls f with the arguments wrapped as a span of FormatArg: the one place
// the variadic front ends (Format, LogWrite, ...) turn arguments into a list.
template <class F, class... A>
decltype(auto) WithFormatArgs(F&& f, const A&... args) {
  if constexpr (sizeof...(A) == 0) {
    return f(std::span<const FormatArg>());
  } else {
    const FormatArg list[] = {FormatArg(args)...};
    return f(std::span<const FormatArg>(list));
  }
}

template <class... A>
std::u16string Format(std::u16string_view format, const A&... args) {
  return WithFormatArgs([&](std::span<const FormatArg> list) { return FormatArgs(format, list); }, args...);
}
