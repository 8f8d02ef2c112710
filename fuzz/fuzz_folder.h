// What the fuzzers whose readers take paths share: one scratch folder per
// process, memory-backed where there is one (writes sync), removed at exit,
// and writing the input into a file there. Called from the fuzzer's one
// thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

inline std::filesystem::path& FuzzFolder() {
  static std::filesystem::path folder;
  return folder;
}

// Makes the folder ("zep-<name>-fuzz-XXXXXX"); aborts when it cannot.
inline void MakeFuzzFolder(const char* name) {
  const std::filesystem::path base = std::filesystem::is_directory("/dev/shm") ? std::filesystem::path("/dev/shm")
                                                                               : std::filesystem::temp_directory_path();
  std::string pattern = (base / (std::string("zep-") + name + "-fuzz-XXXXXX")).string();
  if (!mkdtemp(pattern.data())) std::abort();
  FuzzFolder() = pattern;
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(FuzzFolder(), ignored);
  });
}

// Writes the bytes as the whole file <folder>/<name>; returns its path.
inline std::filesystem::path WriteFuzzFile(const std::string& name, const void* data, size_t size) {
  const std::filesystem::path path = FuzzFolder() / name;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  return path;
}

inline std::string ReadFuzzFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
