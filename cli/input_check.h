// The inputs a command reads from an acquisition folder, checked before it
// starts, so that a missing or unreadable file is named with its reason
// and ends the command with kExitInput instead of an empty result.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace orb {

// Why `file` cannot be read as a data file ("no such file", "not a regular
// file", or the system's reason), or nothing when it can.
std::optional<std::string> UnreadableReason(const std::filesystem::path& file);

// The problem with the acquisition's counts.bin and plate, as one line
// naming the file ("<file>: <reason>"), or nothing when both are usable.
std::optional<std::string> AcquisitionInputProblem(const std::filesystem::path& programFolder,
                                                   const std::filesystem::path& acquisitionFolder);

}  // namespace orb
