// The one check every path the installer reads from its lists and ini files
// goes through before it names a file: a safe path stays inside the folder
// it is joined to. Any thread.
#pragma once

#include <cstddef>
#include <string_view>

// Not empty, not absolute, no "\", ":", '"' or control character, and no
// empty, "." or ".." component between its "/" separators.
bool IsSafeRelativePath(std::u16string_view path);
// A safe relative path of one component (no "/").
bool IsSafeComponent(std::u16string_view name);

// Why a folder cannot take an installation: the WARN line (its one %s is
// the folder) of the first rule it breaks, or null when it can. The folder
// must be absolute, not the root, free of "." and ".." components and free
// of '"' (the launchers quote paths with it); its name must have been valid
// UTF-8 (no U+FFFD, which stands for bytes that were not, and no unpaired
// surrogate), and the system must be able to open it (no name over 255
// bytes, the whole under 4096).
const char16_t* InstallFolderFault(std::u16string_view folder);

// The WARN line of an install folder whose path leaves no room for the
// installed names (its one %s is the folder).
inline constexpr char16_t kInstallFolderTooLong[] = u"インストール先のパスが長すぎます(%s)\n";

// True when folder + "/" + a relative name of this many UTF-8 bytes, with
// the suffix of the copy's temporary file, stays under the system's limit.
bool InstallPathFits(std::u16string_view folder, size_t relativeBytes);
