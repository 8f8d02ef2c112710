// Printing S-expression trees: the output stream interface the cells print
// through and the growable string buffer every writer prints into.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "script/cell.h"

namespace tokenizer {

class MyStreamBuf {
 public:
  virtual ~MyStreamBuf() = default;
  virtual void writeString(const std::u16string& text) = 0;
  virtual void write(const char16_t* text, size_t count) = 0;
  virtual void put(char16_t c) = 0;
};

class MyOStream {
 public:
  explicit MyOStream(MyStreamBuf* buf) : buf_(buf) {}
  virtual ~MyOStream() = default;

  void writeString(const std::u16string& text) { buf_->writeString(text); }
  void write(std::u16string_view text) { buf_->write(text.data(), text.size()); }
  void put(char16_t c) { buf_->put(c); }

 private:
  MyStreamBuf* buf_;
};

// Prints a cell, null as "()". Lists nested to any depth print without
// recursion. A double quote inside a string cannot be printed (the text would
// no longer read back): it becomes U+FF02 "＂" (it survives Shift-JIS files)
// and a WARN is logged.
void printCell(const Cell* cell, MyOStream& out);

}  // namespace tokenizer

namespace TokenizerSupportUtil {

class MyHeapStreamBuf : public tokenizer::MyStreamBuf {
 public:
  void writeString(const std::u16string& text) override;
  void write(const char16_t* text, size_t count) override;
  void put(char16_t c) override;

  bool dirty() const { return dirty_; }
  const std::u16string& text() const { return text_; }

 private:
  bool dirty_ = false;
  std::u16string text_;
};

class MyOStringStream : public tokenizer::MyOStream {
 public:
  MyOStringStream() : MyOStream(&buf_) {}
  const std::u16string& str() const { return buf_.text(); }

 private:
  MyHeapStreamBuf buf_;
};

}  // namespace TokenizerSupportUtil

namespace tokenizer {

// The printed text of a cell.
std::u16string toText(const Cell* cell);

}  // namespace tokenizer
