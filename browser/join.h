// "Join...": several recorded acquisitions of one project merged into a new
// acquisition folder of that project, without its window.
//
// The new folder is named after the moment of joining (yyyymmdd_hhmm); when
// a folder of that name exists, the next free minute is taken, so no
// earlier recording is ever written into. It receives the settings snapshot
// of the first acquisition (setup.dat, status.dat, threshld.dat, groups.dat,
// chgroup.dat and the plate file when that folder holds one), a subproj.dat
// and a counts.bin with every record of every acquisition in the order
// given. Each block is placed after the earlier ones in time: its records'
// minutes are moved by the whole minutes between its start (the folder
// name) and the earliest start. counts.bin is written under a temporary
// name and renamed last, and a failure removes the new folder, so a half
// written join never looks like a recording.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "common/datetime.h"

namespace orb {

class Operator;
class Clock;

inline constexpr const char* kJoinWrongSelection = "Wrong Selection!\r\nSelect more than one acquisition folder";

// One acquisition of the selection: its folder and its list line.
struct JoinItem {
  std::filesystem::path folder;
  std::string line;
};

// The list line of an acquisition folder as the browser shows it:
// "  > yyyy.mmdd" TAB " ACQhh:mm " and the subproject name in double quotes.
std::string AcquisitionLine(const std::filesystem::path& acquisitionFolder);

// The start of an acquisition from its folder name (yyyymmdd_hhmm); nothing
// for another name or an impossible date.
std::optional<LocalDateTime> AcquisitionStart(const std::string& folderName);
// Minutes from `from` to `to` (local date-times, calendar arithmetic).
long long MinutesBetween(const LocalDateTime& from, const LocalDateTime& to);
// The same moment one minute later.
LocalDateTime NextMinute(const LocalDateTime& t);

// "Data Block: " followed by every line and " + ". subproj.dat cannot hold a
// double quote, so the quotes around the lines' subproject names become
// apostrophes.
std::string JoinSubprojectText(const std::vector<JoinItem>& items);
// "Would you like to Join:" CR LF, every line followed by CR LF, then " ?".
std::string JoinQuestion(const std::vector<JoinItem>& items);

struct JoinOptions {
  // Ask the OK/Cancel question first (the window); the command line does not.
  bool ask = true;
  // The joined acquisition's name (first field of subproj.dat); the
  // "Data Block: ..." text when not given.
  std::optional<std::string> name;
};

struct JoinResult {
  enum class Status {
    Joined,
    Cancelled,      // the question was answered Cancel
    NotEnough,      // fewer than two acquisitions: nothing created
    Refused,        // the acquisitions cannot be joined (message says why)
    Failed,         // writing failed part-way: the new folder was removed
  };
  Status status = Status::NotEnough;
  std::filesystem::path folder;  // the new acquisition folder (Joined)
  long long records = 0;         // records in its counts.bin
  std::string message;           // what was shown to the operator
  bool joined() const { return status == Status::Joined; }
};

// Joins the acquisitions in the order given. Every message (the wrong
// selection, a refusal, a failure, the folder made) is also shown through
// `op`. Refused: a folder that is not an acquisition (kJoinWrongSelection),
// acquisitions of different projects, of different plate formats, or one
// without a readable counts.bin.
JoinResult JoinAcquisitions(const std::vector<JoinItem>& items, const JoinOptions& options, Operator& op,
                            Clock& clock);

}  // namespace orb
