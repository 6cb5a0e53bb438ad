#pragma once
// Whole-file replacement that survives a crash or power cut at any moment.

#include <filesystem>
#include <string_view>
#include <sys/types.h>

namespace lunaveil {

// Writes `contents` to a temporary file beside `path`, flushes it, renames it over
// `path` and flushes the folder, so readers see either the old file or the new one,
// never a torn mixture. A symbolic link at `path` is followed and its target replaced,
// so a settings file kept elsewhere by the user stays where it is.
// Returns false (and leaves `path` untouched) when any step fails; errno tells why.
bool writeFileDurably(const std::filesystem::path& path, std::string_view contents, mode_t mode = 0600);

// Creates `dir` and its missing parents with the given mode; true when it exists afterwards.
bool makeDirectories(const std::filesystem::path& dir, mode_t mode = 0700);

}  // namespace lunaveil
