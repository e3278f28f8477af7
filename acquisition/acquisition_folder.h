// The folder of a recorded experiment: created at the start of a run with a
// snapshot of the project's settings and, for a named run, subproj.dat.
#pragma once

#include <filesystem>
#include <string>

#include "common/datetime.h"
#include "records/record_files.h"

namespace orb {

struct Workspace;

// The folder of a run started at `start`: ws.ProjectPath / "yyyymmdd_hhmm".
// Creates it when missing (an existing one is reused as it is), writes the
// settings snapshot (the project's files as SaveProject writes them), then
// subproj.dat (name, description). Throws RecordFileFailure on failure.
std::filesystem::path CreateAcquisitionFolder(const Workspace& ws, const LocalDateTime& start,
                                              const std::string& name, const std::string& description);
// The same folder with the snapshot only (the blank reading): no subproj.dat.
std::filesystem::path CreateSnapshotFolder(const Workspace& ws, const LocalDateTime& start);

}  // namespace orb
