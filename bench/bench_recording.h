// An empty acquisition folder for the benchmarks: a fresh data folder with
// the demo project, and its folder 20240101_0000 holding the project's
// settings and subproj.dat. The records are the benchmark's to write.
#pragma once

#include <filesystem>
#include <string>

#include "app/data_folder.h"
#include "app/project_files.h"
#include "app/workspace.h"
#include "tests/support/scripted_seams.h"

namespace orb::bench {

struct BenchRecording {
  std::filesystem::path program, folder;
};

inline BenchRecording MakeBenchRecording(const std::string& name, const std::string& plateFormat = {}) {
  BenchRecording rec;
  rec.program = std::filesystem::temp_directory_path() / ("orbelune-" + name + "-bench");
  std::filesystem::remove_all(rec.program);
  InitDataFolder(rec.program, true);
  ScriptedOperator op;
  Workspace ws(rec.program, op);
  ws.config.Actual_Project_Number = 1;
  ws.ProjectPath = ProjectFolderPath(rec.program, 1);
  LoadProject(ws, 1);
  if (!plateFormat.empty()) ws.setup.Plate_format = plateFormat;
  rec.folder = ws.ProjectPath / "20240101_0000";
  std::filesystem::create_directories(rec.folder);
  SaveProject(ws, rec.folder);
  WriteSubproject(rec.folder, name, "benchmark");
  return rec;
}

}  // namespace orb::bench
