// APValue: the one tagged value of the script engine (results, arguments of
// built-in functions, registry values, resource names that are a number or
// a file name), and vector_mtus, the argument list of a built-in call.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/private_heap.h"

class APValue {
 public:
  enum Type : int32_t { kBool = 0, kInt = 1, kString = 2 };

  // The integer 0.
  APValue() : type(kInt) {}
  APValue(bool b) : type(kBool), flag(b) {}
  APValue(int32_t i) : type(kInt), ivalue(i) {}
  APValue(std::u16string s) : type(kString), svalue(std::move(s)) {}
  APValue(const char16_t* s) : type(kString), svalue(s ? s : u"") {}

  // Boolean: the flag; integer: non-zero; string: non-empty.
  bool isTrue() const;
  // The integer for an integer value, else 0.
  int32_t asInt() const { return type == kInt ? ivalue : 0; }

  bool isBool() const { return type == kBool; }
  bool isInt() const { return type == kInt; }
  bool isString() const { return type == kString; }

  // Values of different types are never equal.
  friend bool operator==(const APValue& a, const APValue& b);

  int32_t type;
  bool flag = false;    // meaningful for kBool
  int32_t ivalue = 0;   // meaningful for kInt
  std::u16string svalue;  // meaningful for kString, empty otherwise
};

// The argument list of a built-in call, in source order. Element access is
// checked: an index past the end (a script that passed too few arguments)
// reads a default value instead of memory that is not there. Elements are
// written through push_back and friends, never through [].
template <class T>
class vector_mtus : public std::vector<T, PrivateHeapAllocator<T>> {
  using Base = std::vector<T, PrivateHeapAllocator<T>>;

 public:
  using Base::Base;

  const T& operator[](size_t i) const {
    static const T missing{};
    return i < this->size() ? Base::operator[](i) : missing;
  }
  const T& operator[](size_t i) { return static_cast<const vector_mtus&>(*this)[i]; }
};
