#include "app/embedded_files.h"

#include <map>
#include <string>

namespace {

std::map<std::u16string, const EmbeddedFileRecord*>& table() {
  static std::map<std::u16string, const EmbeddedFileRecord*> files;
  return files;
}

std::u16string lowerAscii(std::u16string_view name) {
  std::u16string key(name);
  for (char16_t& c : key) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  return key;
}

}  // namespace

void RegisterEmbeddedFiles(const EmbeddedFileRecord* records, size_t count) {
  table().clear();
  for (size_t i = 0; i < count; ++i) {
    if (records[i].name) table()[lowerAscii(records[i].name)] = &records[i];
  }
}

const EmbeddedFileRecord* FindEmbeddedFile(std::u16string_view name) {
  const auto it = table().find(lowerAscii(name));
  return it == table().end() ? nullptr : it->second;
}
