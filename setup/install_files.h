// Small file operations shared by the setup built-ins of the main thread and
// the setup worker: the disc identification check, the file walker, the
// folder maker, the folder test and the date text. A disc is any folder;
// lookups on it ignore ASCII case per path component. Paths use "/". Any
// thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// 0 when the file holds exactly the identification text in the game code
// page (no line end after it), 1 when it cannot be opened, 2 when its size
// or content differs, 4 when the text is empty (the file is not opened).
int32_t checkDiscIdFile(std::u16string_view path, std::u16string_view idText);

// The VERSION file that product registration writes holds 1 to this many
// bytes.
constexpr int64_t kMaxVersionBytes = 1000;
// The text of the install folder's VERSION file (UTF-8, else the game code
// page); false when it cannot be read or its size is outside 1 to
// kMaxVersionBytes.
bool readVersionFile(std::u16string_view installFolder, std::u16string* version);

// Appends the files that match the last component of the pattern path
// ("*" and "?" wildcards ignoring ASCII case; "*.*" matches every name), each
// as folder + "/" + name, the folder with its case as found on the disc. A
// name that begins with "." is hidden and left out unless includeHidden.
// Recursive: the files of every folder below are added too (with "*.*"),
// but linked folders are not entered. A missing folder answers true with
// nothing added; a folder that cannot be read answers false.
bool listFiles(std::u16string_view pattern, bool recursive, bool includeHidden, std::vector<std::u16string>* out);

// Creates every missing folder above the file (mode 0755). False for a path
// without "/"; false with *error := the Windows code when a folder cannot be
// made (3 when a file stands in the way).
bool makeParentFolders(std::u16string_view path, int32_t* error);

// True when the path names a folder.
bool isDirectory(std::u16string_view path);

// The local date as "%04d%02d%02d".
std::u16string todayText();
