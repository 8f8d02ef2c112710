// The one check every path the installer reads from its lists and ini files
// goes through before it names a file: a safe path stays inside the folder
// it is joined to. Any thread.
#pragma once

#include <string_view>

// Not empty, not absolute, no "\", ":", '"' or control character, and no
// empty, "." or ".." component between its "/" separators.
bool IsSafeRelativePath(std::u16string_view path);
// A safe relative path of one component (no "/").
bool IsSafeComponent(std::u16string_view name);

// Why a folder cannot take an installation: the WARN line (its one %s is
// the folder) of the first rule it breaks, or null when it can. The folder
// must be absolute, not the root, free of "." and ".." components and free
// of '"' (the launchers quote paths with it).
const char16_t* InstallFolderFault(std::u16string_view folder);
