// The file helpers every reader and writer opens, sizes, tests and deletes
// files with: one table of open modes with their sharing rules, and one
// policy for deleting files that scripts name. Paths are UTF-16 with "/".
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "platform/file.h"

using FileStream = platform::File;

// Modes: 0 read binary, 1 read text, 2 write binary (truncate or create),
// 3 write text. Readers let others read but not write; writers let nobody
// else in. A mode outside 0..3 logs "不正なモード定数(%d)\n" and gives null;
// a failed open gives null without a message (callers report it).
std::unique_ptr<FileStream> OpenFileByMode(std::u16string_view path, int mode);

// The size in bytes, or -1 for a null stream or an unreadable status.
int64_t GetFileSize(const FileStream* stream);

// 0 when the path exists, non-zero otherwise.
int FileStatus(std::u16string_view path);

// Deletes a file named relative to the work folder. Refuses (WARN
// "削除ファイルパスとして不適切(%s)\n", result 0) an empty path, a drive
// letter, a leading slash or backslash, and any ".." component. A failed
// delete logs WARN "ファイルの削除に失敗(%s)\n" and gives -1; success gives 0.
int DeleteRelativeFile(std::u16string_view path);
