#include "setup/safe_path.h"

#include <string>

#include "platform/install_fs.h"
#include "platform/utf8.h"

namespace {

// The copy writes "<name>.tmp<pid>-<sequence>" (both in hex) beside the
// file it replaces.
constexpr size_t kTemporarySuffixBytes = 21;

// U+FFFD stands for bytes that were not UTF-8 where the name came from; an
// unpaired surrogate has no UTF-8 form at all.
bool isValidUnicodeName(std::u16string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == 0xFFFD) return false;
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return false;
      ++i;
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      return false;
    }
  }
  return true;
}

}  // namespace

bool IsSafeRelativePath(std::u16string_view path) {
  if (path.empty() || path.front() == u'/') return false;
  for (const char16_t c : path) {
    if (c < 0x20 || c == 0x7F || c == u'\\' || c == u':' || c == u'"') return false;
  }
  size_t start = 0;
  for (;;) {
    const size_t slash = path.find(u'/', start);
    const std::u16string_view part = path.substr(start, slash == std::u16string_view::npos ? slash : slash - start);
    if (part.empty() || part == u"." || part == u"..") return false;
    if (slash == std::u16string_view::npos) return true;
    start = slash + 1;
  }
}

bool IsSafeComponent(std::u16string_view name) {
  return name.find(u'/') == std::u16string_view::npos && IsSafeRelativePath(name);
}

const char16_t* InstallFolderFault(std::u16string_view folder) {
  if (folder.empty() || folder.front() != u'/') return u"インストール先が絶対パスではありません(%s)\n";
  if (folder.find_first_not_of(u'/') == std::u16string_view::npos) {
    return u"インストール先にルートフォルダは指定できません(%s)\n";
  }
  for (size_t start = 1; start <= folder.size();) {
    size_t end = folder.find(u'/', start);
    if (end == std::u16string_view::npos) end = folder.size();
    const std::u16string_view part = folder.substr(start, end - start);
    if (part == u"." || part == u"..") return u"インストール先に「.」や「..」のフォルダ名は使えません(%s)\n";
    start = end + 1;
  }
  if (folder.find(u'"') != std::u16string_view::npos) return u"インストール先に「\"」は使えません(%s)\n";
  if (!isValidUnicodeName(folder)) return u"インストール先のフォルダ名がUTF-8ではありません(%s)\n";
  const std::string bytes = platform::ToUtf8(folder);
  if (bytes.size() >= platform::kMaxPathBytes) return kInstallFolderTooLong;
  for (size_t start = 1; start < bytes.size();) {
    size_t end = bytes.find('/', start);
    if (end == std::string::npos) end = bytes.size();
    if (end - start > platform::kMaxNameBytes) return kInstallFolderTooLong;
    start = end + 1;
  }
  return nullptr;
}

bool InstallPathFits(std::u16string_view folder, size_t relativeBytes) {
  return platform::ToUtf8(folder).size() + 1 + relativeBytes + kTemporarySuffixBytes < platform::kMaxPathBytes;
}
