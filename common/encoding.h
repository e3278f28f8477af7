// Windows-1252 <-> UTF-8, the single-byte encoding of every text file.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orb {

std::string Cp1252ToUtf8(std::string_view bytes);

// Empty optional when `utf8` holds a character Windows-1252 cannot hold (or is
// not valid UTF-8).
std::optional<std::string> Utf8ToCp1252(std::string_view utf8);

// True when every character of `utf8` can be stored in a file.
inline bool IsStorableText(std::string_view utf8) { return Utf8ToCp1252(utf8).has_value(); }

}  // namespace orb
