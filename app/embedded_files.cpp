#include "app/embedded_files.h"

#include <map>
#include <string>

#include "app/string_util.h"

namespace {

std::map<std::u16string, const EmbeddedFileRecord*>& table() {
  static std::map<std::u16string, const EmbeddedFileRecord*> files;
  return files;
}

}  // namespace

void RegisterEmbeddedFiles(const EmbeddedFileRecord* records, size_t count) {
  table().clear();
  for (size_t i = 0; i < count; ++i) {
    if (records[i].name) table()[LowerAscii(records[i].name)] = &records[i];
  }
}

const EmbeddedFileRecord* FindEmbeddedFile(std::u16string_view name) {
  const auto it = table().find(LowerAscii(name));
  return it == table().end() ? nullptr : it->second;
}
