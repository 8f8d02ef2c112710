#include "tools/sample_files.h"

#include <cstdio>
#include <system_error>

#include "platform/file.h"

bool WriteSampleFile(const std::filesystem::path& target, const std::string& bytes) {
  std::error_code ec;
  std::filesystem::create_directories(target.parent_path(), ec);
  if (ec || platform::ReplaceFileAtomically(target.string(), bytes) != 0) {
    std::fprintf(stderr, "make_sample_art: cannot write %s\n", target.c_str());
    return false;
  }
  return true;
}
