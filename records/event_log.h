// events.log of an acquisition folder: one line for each thing that makes
// an interval's records other than measured (the instrument's link lost and
// back, a temperature that could not be read, a record that could not be
// written, raw saving suspended and resumed), so that nobody later takes
// made-up intervals for measured ones.
//
// A line: "yyyy-mm-dd hh:mm:ss interval N (minute M): text" and CR LF, N
// counting the run's intervals from 1 and M the elapsed minute of the
// interval (the ElapsedMinutes its counts record carries).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "common/datetime.h"
#include "records/record_files.h"

namespace orb {

inline constexpr const char* kEventsFile = "events.log";

struct RecordedEvent {
  LocalDateTime when;
  long long interval = 1;  // 1 = the run's first interval
  long long minute = 0;    // elapsed minutes of that interval
  std::string text;
};

// The line of an event, without its CR LF.
std::string FormatEventLine(const RecordedEvent& event);

// Appends the event's line to the folder's events.log (created when
// missing) in one write at the end of the file, and syncs it. Returns what
// went wrong, if anything (the caller goes on: a full disk must not stop
// a recording).
std::optional<RecordFileError> AppendEvent(const std::filesystem::path& acquisitionFolder,
                                           const RecordedEvent& event);

}  // namespace orb
