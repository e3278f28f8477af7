// The folder of a recorded experiment: created at the start of a run with a
// snapshot of the project's settings and, for a named run, subproj.dat.
#pragma once

#include <filesystem>
#include <string>

#include "common/datetime.h"
#include "records/record_files.h"

namespace orb {

struct Workspace;

// How many minutes past the start a run looks for a free folder.
inline constexpr int kFolderMinutesAhead = 24 * 60;

// The folder a run records into, with the lock the run holds on it.
struct AcquisitionFolder {
  std::filesystem::path path;
  FolderLock lock;
  // The folder of the start minute when it was not free (it holds a
  // recording, or another run holds its lock) and the run went on to a
  // later minute's folder; empty otherwise.
  std::filesystem::path taken;
};

// The folder of a run started at `start`: ws.ProjectPath / "yyyymmdd_hhmm".
// A folder is free when no other run holds its lock and it holds no
// records; one that exists without records (the blank reading's snapshot of
// the same minute) is used as it is. When the start minute's folder is not
// free, the next minutes' are tried (start + 1 minute, + 2, ...) up to
// kFolderMinutesAhead. The chosen folder is locked, then the settings
// snapshot (the project's files as SaveProject writes them) and
// subproj.dat (name, description) are written into it. Throws
// RecordFileFailure on failure.
AcquisitionFolder CreateAcquisitionFolder(const Workspace& ws, const LocalDateTime& start, const std::string& name,
                                          const std::string& description);
// A free folder, chosen the same way, with the snapshot only (the blank
// reading): no subproj.dat. Its lock is released once the snapshot is
// written, so a run of the same minute may still record into it.
std::filesystem::path CreateSnapshotFolder(const Workspace& ws, const LocalDateTime& start);

// `t` moved on by `minutes` on the calendar (day, month and year roll over;
// February 29 in leap years). The seconds stay.
LocalDateTime MinutesLater(const LocalDateTime& t, int minutes);

}  // namespace orb
