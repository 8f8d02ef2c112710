// The process-wide table of files built into the program, looked up by name
// before the disk. Names compare ignoring ASCII case. Filled once at start-up
// (the program itself registers none; tests register their own), then only
// read, on the main thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

struct EmbeddedFileRecord {
  const char16_t* name;  // "/"-separated, relative to the game folder
  const uint8_t* data;
  uint32_t size;
  uint32_t time;         // Unix time
};

// Replaces the table with these records (they must outlive it).
void RegisterEmbeddedFiles(const EmbeddedFileRecord* records, size_t count);
// The record of that name, or null.
const EmbeddedFileRecord* FindEmbeddedFile(std::u16string_view name);
