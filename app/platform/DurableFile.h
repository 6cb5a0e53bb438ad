#pragma once
// Whole-file replacement that survives a crash or power cut at any moment.

#include <filesystem>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace lunaveil {

// Writes `contents` to a temporary file beside `path`, flushes it, renames it over
// `path` and flushes the folder, so readers see either the old file or the new one,
// never a torn mixture. Symbolic links at `path` are followed and their target replaced,
// so a settings file kept elsewhere by the user stays where it is.
// Returns false (and leaves `path` untouched) when any step fails; errno tells why.
bool writeFileDurably(const std::filesystem::path& path, std::string_view contents, mode_t mode = 0600);

// Writes all of `data` to `fd`, resuming after interruptions; false (errno set) when a write fails.
bool writeAll(int fd, std::string_view data);

// The temporary files writeFileDurably makes beside `file` are named this prefix, ".<name>.",
// followed by six random characters.
std::string temporaryFilePrefix(const std::filesystem::path& file);

// The file `path` finally names, every symbolic link on the way followed; `path` itself when it
// is no link, or when its links go round in a loop.
std::filesystem::path followLinks(const std::filesystem::path& path);

// Creates `dir` and its missing parents with the given mode; true when it exists afterwards.
bool makeDirectories(const std::filesystem::path& dir, mode_t mode = 0700);

}  // namespace lunaveil
