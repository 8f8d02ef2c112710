// The file helpers every reader and writer opens, sizes, tests, writes and
// deletes files with: one table of open modes with their sharing rules, the
// one atomic replace every written file goes through, and one policy each
// for writing and deleting files that data or scripts name. Paths are UTF-16
// with "/". Any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "app/log.h"
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

// Deletes a file named relative to the folder (empty: the work folder).
// Refuses (WARN "削除ファイルパスとして不適切(%s)\n", result 0) an empty
// path, a drive letter, a leading slash or backslash, and any ".."
// component. A failed delete logs WARN "ファイルの削除に失敗(%s)\n" and gives
// -1; success gives 0. The messages name the path as given.
int DeleteRelativeFile(std::u16string_view path, std::u16string_view folder = {});

// Makes the bytes the whole content of the file, or leaves an existing file
// exactly as it was: a temporary file in the same folder is written, synced
// and renamed over it, and the folder synced; leftovers of an interrupted
// write of the same file go with the next successful one. Every file the
// engine writes goes through here. A temporary file that cannot be made logs
// "ファイルの書き込みオープンに失敗(%s)\n", any later failure
// "ファイルの書き込みに失敗(%s,errno=%d)\n", at the caller's level. 0 on
// success, else the errno.
int WriteFileAtomically(std::u16string_view path, const void* data, size_t size, uint32_t level = LOG_WARN);

// Joins a file name that comes from data or scripts (save slots, captures,
// storage files, installed files) to the folder it is written in; "\"
// separates too, and "." and "dir/.." fold away. Refused with WARN
// "書き込みファイルパスとして不適切(%s)\n" (the name) and false: an empty name
// or one that folds to the folder itself, an absolute name (leading slash or
// backslash, drive letter), a ".." that climbs out of the folder, and a name
// whose existing parts lead through a symbolic link out of the folder (or to
// a link that leads nowhere). Otherwise *out = folder + "/" + the folded
// name. Reads keep the lookup rules of the game environment.
bool ResolveWritePath(std::u16string_view folder, std::u16string_view name, std::u16string* out);

// Whether a relative name's ".." parts never climb above where it starts
// ("\" separates too).
bool RelativePathStaysBelow(std::u16string_view name);

// Text files an author writes (the configuration, scenarios, the default
// settings file, args.txt) are read as CP932. When such a file's bytes are
// UTF-8 with a character of two bytes or more, logs once per file name and
// run the WARN "UTF-8で書かれたファイルのようです。CP932として読みます(%s)\n"
// (the engine reads it as CP932 all the same, so every non-ASCII character
// turns into others). Any thread.
void WarnIfUtf8Text(std::string_view bytes, std::u16string_view name);
