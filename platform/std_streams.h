// The process's standard streams. Main thread, before other threads write.
#pragma once

#include <string>

namespace platform {

// Makes standard output write where standard error writes (the same open
// file, so the two keep their order). Tests use it to read both through one
// pipe. False when the descriptors cannot be duplicated.
bool RedirectStdoutToStderr();

// Points standard output and standard error at one open file (created or
// truncated; a relative path is relative to the current folder), so their
// lines interleave in the order they were written instead of overwriting
// each other. False, with both streams left as they were, when the file
// cannot be opened.
bool RedirectStdStreamsToFile(const std::string& path);

// A reader that went away (app_w | head) must not end the game: writes to a
// closed pipe fail instead of raising SIGPIPE. Programs the engine starts
// get the default behaviour back. Call once at start-up.
void IgnoreBrokenPipes();

}  // namespace platform
