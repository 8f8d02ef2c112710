// The file list of an installation ("st_menu.lst"): the files of each disc,
// in groups keyed by the disc index, with their sizes and time stamps. Read
// once on the main thread (SetupIns::readFileList) and only read afterwards,
// by the main thread and the setup worker.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "app/shared_ref.h"
#include "script/cell.h"

namespace ns_SetupIns {

struct FileEntry {
  std::u16string path;  // relative, "/"-separated, a safe relative path
  int64_t size = 0;
  int32_t time = 0;     // seconds since 1970-01-01, given to the copied file
  int32_t extra = 0;    // the entry's fourth number; nothing uses it
};

// The entries of one disc in file order.
using FileGroup = std::vector<FileEntry>;
// Disc index -> the files of that disc.
using FileTable = std::map<int32_t, SharedRef<FileGroup>>;

// The largest size an entry may give (1 TiB): the sizes of a whole list then
// add up without overflow.
constexpr int64_t kMaxFileEntrySize = int64_t{1} << 40;

// Reads the entries of one group (the elements after its key) into group.
// False when an entry is not a list of a string, an integer or a string of
// decimal digits, and two integers, or its size is negative or above the
// cap. An entry whose path is not a safe relative path is skipped with a
// WARN and the group goes on.
bool readFileGroup(tokenizer::Cell* entries, FileGroup* group);

}  // namespace ns_SetupIns
