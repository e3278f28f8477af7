#include "app/settings_io.h"

#include <algorithm>
#include <fstream>
#include <string>
#include <system_error>

#include "common/fileio.h"

namespace orb {

std::optional<std::string> ReadFilePrefix(const std::filesystem::path& file, std::size_t limit, bool& cut) {
  cut = false;
  std::error_code ec;
  // Only regular files: opening a pipe or a device could block for ever.
  if (!std::filesystem::is_regular_file(file, ec)) return std::nullopt;
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  const auto size = std::filesystem::file_size(file, ec);
  const std::size_t want = ec ? limit : static_cast<std::size_t>(std::min<std::uintmax_t>(size, limit));
  std::string bytes(want, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(want));
  if (in.bad()) return std::nullopt;
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  if (bytes.size() == limit) {
    in.clear();
    cut = in.peek() != std::ifstream::traits_type::eof();
  }
  return bytes;
}

SettingsText OpenSettings(const std::filesystem::path& file) {
  bool cut = false;
  auto bytes = ReadFilePrefix(file, kSettingsReadLimit, cut);
  if (!bytes) throw RecordError("cannot read " + file.string());
  if (cut) {
    // Whole lines only, so that no field is read cut in two.
    const auto lastEnd = bytes->find_last_of("\r\n");
    bytes->resize(lastEnd == std::string::npos ? 0 : lastEnd + 1);
  }
  return SettingsText{RecordReader(std::move(*bytes)), cut};
}

std::string NextText(RecordReader& reader) {
  if (reader.atEnd()) throw RecordError("missing field");
  return reader.readText();
}

void WriteSettingsFile(const std::filesystem::path& file, std::string_view bytes) {
  if (const auto ec = WriteFileAtomic(file, bytes)) throw std::system_error(ec, "cannot write " + file.string());
}

}  // namespace orb
