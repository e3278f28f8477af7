// Reading and writing of settings files. A settings file is a few kilobytes,
// so a reader never takes in more than kSettingsReadLimit bytes of it,
// whatever sits on disk under its name (a huge, binary or foreign file).
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "app/records.h"
#include "common/text_record.h"

namespace orb {

constexpr std::size_t kSettingsReadLimit = std::size_t{1} << 20;

struct SettingsText {
  RecordReader reader;
  // True when the file is longer than the limit: the reader holds its first
  // kSettingsReadLimit bytes, cut after the last line end among them.
  bool cut = false;
};

// The first `limit` bytes of a regular file; `cut` tells whether the file is
// longer. Empty optional when it is missing, not a regular file or unreadable.
std::optional<std::string> ReadFilePrefix(const std::filesystem::path& file, std::size_t limit, bool& cut);

// Opens a regular file for field reading; throws RecordError when it is
// missing, not a regular file, or cannot be read.
SettingsText OpenSettings(const std::filesystem::path& file);

// The next field as text; RecordError at the end of the data (a missing
// field), never an empty text made up for it.
std::string NextText(RecordReader& reader);

// Replaces the file atomically; throws std::system_error on failure.
void WriteSettingsFile(const std::filesystem::path& file, std::string_view bytes);

// The per-channel and per-group tables: the header field, then records read
// by `readRecord(i)` in file order, i = 0, 1, ... while data is left and
// i < kChannelSlots. A file cut by the read limit before all slots were
// filled is damaged (its remaining records cannot be reached).
template <class ReadRecord>
void ReadIndexedRecords(SettingsText& file, ReadRecord&& readRecord) {
  NextText(file.reader);
  int i = 0;
  while (!file.reader.atEnd() && i < kChannelSlots) {
    readRecord(i);
    ++i;
  }
  if (file.cut && i < kChannelSlots) throw RecordError("settings file too long");
}

}  // namespace orb
