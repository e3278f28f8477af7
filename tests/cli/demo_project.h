// A data folder with the demo project (project 1, k96f) whose settings a
// command-line test changes before it runs the command.
#pragma once

#include <filesystem>
#include <functional>

#include "app/data_folder.h"
#include "app/project_files.h"
#include "app/workspace.h"
#include "tests/support/scripted_seams.h"

namespace orb::testing {

inline void WriteDemoProject(const std::filesystem::path& data, const std::function<void(ProjectSetup&)>& edit) {
  InitDataFolder(data, true);
  ScriptedOperator op;
  Workspace ws(data, op);
  ws.config.Actual_Project_Number = 1;
  ws.ProjectPath = data / "p00001";
  LoadProject(ws, 1);
  edit(ws.setup);
  SaveProject(ws);
}

}  // namespace orb::testing
