#include "setup/wildcard.h"

#include <algorithm>

#include "app/log.h"

namespace {

char16_t foldAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

bool endsWithNoCase(std::u16string_view name, std::u16string_view suffix) {
  return name.size() >= suffix.size() && equalsNoCase(name.substr(name.size() - suffix.size()), suffix);
}

bool startsWithNoCase(std::u16string_view name, std::u16string_view prefix) {
  return name.size() >= prefix.size() && equalsNoCase(name.substr(0, prefix.size()), prefix);
}

}  // namespace

int compareNoCaseN(std::u16string_view a, std::u16string_view b, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    const bool aEnded = i == a.size();
    const bool bEnded = i == b.size();
    if (aEnded || bEnded) return aEnded == bEnded ? 0 : (aEnded ? -1 : 1);
    const char16_t x = foldAscii(a[i]);
    const char16_t y = foldAscii(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return 0;
}

bool equalsNoCase(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() && compareNoCaseN(a, b, a.size()) == 0;
}

namespace Matcher {

bool MT1_0::match(std::u16string_view) const { return true; }

bool MT1_1::match(std::u16string_view name) const { return endsWithNoCase(name, suffix_); }

bool MT1_2::match(std::u16string_view name) const { return startsWithNoCase(name, prefix_); }

bool MT1_3::match(std::u16string_view name) const {
  if (middle_.empty()) return true;
  if (name.size() < middle_.size()) return false;
  for (size_t at = 0; at + middle_.size() <= name.size(); ++at) {
    if (compareNoCaseN(name.substr(at), middle_, middle_.size()) == 0) return true;
  }
  return false;
}

bool MT2_1::match(std::u16string_view name) const {
  return startsWithNoCase(name, prefix_) && endsWithNoCase(name, suffix_);
}

}  // namespace Matcher

int classifyWildcard(std::u16string_view pattern) {
  const auto stars = std::count(pattern.begin(), pattern.end(), u'*');
  if (stars == 0) return 0;
  const bool first = pattern.front() == u'*';
  const bool last = pattern.back() == u'*';
  if (stars == 1) return first ? 1 : (last ? 2 : 3);
  if (stars == 2) return first && last ? 4 : (first ? 6 : 5);
  return stars == 3 ? 7 : 8;
}

std::unique_ptr<Matcher::MTBase> makeMatcher(std::u16string_view pattern) {
  switch (classifyWildcard(pattern)) {
    case 0:
      return std::make_unique<Matcher::MT1_0>();
    case 1:
      return std::make_unique<Matcher::MT1_1>(std::u16string(pattern.substr(1)));
    case 2:
      return std::make_unique<Matcher::MT1_2>(std::u16string(pattern.substr(0, pattern.size() - 1)));
    case 3: {
      const size_t star = pattern.find(u'*');
      return std::make_unique<Matcher::MT2_1>(std::u16string(pattern.substr(0, star)),
                                              std::u16string(pattern.substr(star + 1)));
    }
    case 4:
      return std::make_unique<Matcher::MT1_3>(std::u16string(pattern.substr(1, pattern.size() - 2)));
    default:
      return nullptr;
  }
}

const ns_SetupIns::FileEntry* findFileListEntry(const ns_SetupIns::FileGroup& files, std::u16string_view name) {
  for (const ns_SetupIns::FileEntry& entry : files) {
    if (equalsNoCase(entry.path, name)) return &entry;
  }
  return nullptr;
}

void collectCopyFiles(const ns_SetupIns::FileGroup& files, std::u16string_view pattern,
                      std::vector<const ns_SetupIns::FileEntry*>* out) {
  if (pattern.find(u'*') == std::u16string_view::npos) {
    if (const ns_SetupIns::FileEntry* entry = findFileListEntry(files, pattern)) {
      out->push_back(entry);
    } else {
      LogWrite(LOG_DEBUG, u"指定ファイルがファイルリストにありません(%s)\n", pattern);
    }
    return;
  }
  const size_t slash = pattern.rfind(u'/');
  const std::u16string_view folder = slash == std::u16string_view::npos ? std::u16string_view() : pattern.substr(0, slash + 1);
  const std::u16string_view namePattern = pattern.substr(folder.size());
  const std::unique_ptr<Matcher::MTBase> matcher = makeMatcher(namePattern);
  if (!matcher) {
    LogWrite(LOG_DEBUG, u"未対応のワイルドカード指定です(%s)\n", namePattern);
    return;
  }
  for (const ns_SetupIns::FileEntry& entry : files) {
    const std::u16string_view name = entry.path;
    if (name.size() < folder.size() || compareNoCaseN(name, folder, folder.size()) != 0) continue;
    std::u16string_view rest = name.substr(folder.size());
    rest = rest.substr(0, rest.find(u'/'));
    if (matcher->match(rest)) out->push_back(&entry);
  }
}
