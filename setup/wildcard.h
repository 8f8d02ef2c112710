// How a copy action's pattern selects entries of the file list: the pattern
// is classified by the number and places of its "*", a matcher tests one
// path component, and collectCopyFiles walks a disc's file group. Names
// compare folding only the ASCII letters A-Z to a-z. Pure functions, any
// thread.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "setup/setup_lst.h"

// -1, 0 or 1 as the first difference within the first n code units orders a
// and b; a string that ends first orders first.
int compareNoCaseN(std::u16string_view a, std::u16string_view b, size_t n);
// Equal lengths and equal code units but for ASCII case.
bool equalsNoCase(std::u16string_view a, std::u16string_view b);

namespace Matcher {

class MTBase {
 public:
  MTBase() = default;
  virtual ~MTBase() = default;
  MTBase(const MTBase&) = delete;
  MTBase& operator=(const MTBase&) = delete;

  virtual bool match(std::u16string_view name) const = 0;
};

// No star: every name.
class MT1_0 : public MTBase {
 public:
  bool match(std::u16string_view name) const override;
};

// "*x": names ending in x.
class MT1_1 : public MTBase {
 public:
  explicit MT1_1(std::u16string suffix) : suffix_(std::move(suffix)) {}
  bool match(std::u16string_view name) const override;

 private:
  std::u16string suffix_;
};

// "x*": names beginning with x.
class MT1_2 : public MTBase {
 public:
  explicit MT1_2(std::u16string prefix) : prefix_(std::move(prefix)) {}
  bool match(std::u16string_view name) const override;

 private:
  std::u16string prefix_;
};

// "*x*": names holding x.
class MT1_3 : public MTBase {
 public:
  explicit MT1_3(std::u16string middle) : middle_(std::move(middle)) {}
  bool match(std::u16string_view name) const override;

 private:
  std::u16string middle_;
};

// "x*y": names beginning with x and ending in y (the two may overlap).
class MT2_1 : public MTBase {
 public:
  MT2_1(std::u16string prefix, std::u16string suffix) : prefix_(std::move(prefix)), suffix_(std::move(suffix)) {}
  bool match(std::u16string_view name) const override;

 private:
  std::u16string prefix_;
  std::u16string suffix_;
};

}  // namespace Matcher

// 0 no star; 1 "*x"; 2 "x*"; 3 "x*y"; 4 "*x*"; 5 two stars, the first not
// leading; 6 two stars, the first leading and the last not trailing; 7 three
// stars; 8 four or more.
int classifyWildcard(std::u16string_view pattern);
// The matcher of classes 0 to 4; null for the others.
std::unique_ptr<Matcher::MTBase> makeMatcher(std::u16string_view pattern);

// The first entry whose path equals name but for ASCII case; null when none.
const ns_SetupIns::FileEntry* findFileListEntry(const ns_SetupIns::FileGroup& files, std::u16string_view name);

// Appends to out, in list order, the entries the pattern selects: without a
// star the one entry of that name; else every entry below the folder part of
// the pattern (up to its last "/", compared ignoring ASCII case, a "*" in it
// taken literally) whose first path component after that folder the matcher
// of the rest accepts, so a matching folder brings all its contents. An
// exact name not in the list and an unsupported wildcard are logged at DEBUG
// and select nothing.
void collectCopyFiles(const ns_SetupIns::FileGroup& files, std::u16string_view pattern,
                      std::vector<const ns_SetupIns::FileEntry*>* out);
