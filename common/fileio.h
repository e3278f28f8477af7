// Whole-file helpers. Settings files are replaced atomically: written whole to
// a temporary file in the same folder, synced, then renamed over the old one,
// so a crash or a full disk never leaves a truncated settings file.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace orb {

// Whole content, or empty optional when the file cannot be read or is not a
// regular file (a FIFO or a device under the name would block the read or
// never end it).
std::optional<std::string> ReadWholeFile(const std::filesystem::path& file);

// Atomic replace; on failure the old file is left as it was and the error
// is returned (never thrown).
std::error_code WriteFileAtomic(const std::filesystem::path& file, std::string_view bytes);

// Byte copy of `from` over `to` (replaced atomically); false on any failure.
bool CopyWholeFile(const std::filesystem::path& from, const std::filesystem::path& to);

bool FileExists(const std::filesystem::path& file);    // a regular file
bool FolderExists(const std::filesystem::path& folder);

}  // namespace orb
