// The sample generator's one way of writing a file: its folder made, the
// bytes put in place by the atomic replace. Build tool, one thread.
#pragma once

#include <filesystem>
#include <string>

// False, after a message on standard error, when the file cannot be written.
bool WriteSampleFile(const std::filesystem::path& target, const std::string& bytes);
