// The cost of loading a project as the start-up does (six files read and
// parsed), and of saving one.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "app/data_folder.h"
#include "app/project_files.h"
#include "app/workspace.h"
#include "tests/support/scripted_seams.h"

namespace {

std::filesystem::path DemoFolder() {
  static const auto folder = [] {
    auto f = std::filesystem::temp_directory_path() / "orbelune-bench-data";
    std::filesystem::remove_all(f);
    orb::InitDataFolder(f, true);
    return f;
  }();
  return folder;
}

void BM_LoadProject(benchmark::State& state) {
  orb::ScriptedOperator op;
  orb::Workspace ws(DemoFolder(), op);
  ws.config.Actual_Project_Number = 1;
  ws.ProjectPath = orb::ProjectFolderPath(ws.programFolder, 1);
  for (auto _ : state) {
    orb::LoadProject(ws, 1);
    benchmark::DoNotOptimize(ws.plate.MaxWell);
  }
  if (!op.shown().empty()) state.SkipWithError(op.shown().front().text.c_str());
}
BENCHMARK(BM_LoadProject)->Unit(benchmark::kMicrosecond);

void BM_SaveProject(benchmark::State& state) {
  orb::ScriptedOperator op;
  orb::Workspace ws(DemoFolder(), op);
  ws.config.Actual_Project_Number = 1;
  ws.ProjectPath = orb::ProjectFolderPath(ws.programFolder, 1);
  orb::LoadProject(ws, 1);
  for (auto _ : state) orb::SaveProject(ws);
}
BENCHMARK(BM_SaveProject)->Unit(benchmark::kMicrosecond);

}  // namespace
