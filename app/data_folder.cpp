#include "app/data_folder.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <system_error>

#include "app/config_files.h"
#include "app/data_files.h"
#include "app/project_files.h"
#include "common/fileio.h"
#include "common/text_record.h"

namespace orb {
namespace fs = std::filesystem;
namespace {

std::filesystem::path HomeFolder() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return fs::current_path();
}

void WriteIfMissing(const fs::path& file, const std::string& bytes, InitResult& result) {
  if (fs::exists(file)) return;
  if (auto ec = WriteFileAtomic(file, bytes)) throw std::system_error(ec, "cannot write " + file.string());
  result.written.push_back(file);
}

// The five project files of a project whose setup is given, each written
// only when it is missing.
void WriteProjectFiles(const fs::path& folder, const ProjectSetup& setup, int number,
                       const GroupTable& groups, InitResult& result) {
  ChannelStatus status{};
  status.fill(-1);
  ChannelThresholds thresholds{};
  thresholds.fill(3.0);
  WriteIfMissing(folder / "setup.dat", SetupFileBytes(setup, number), result);
  WriteIfMissing(folder / "status.dat", StatusFileBytes(status), result);
  WriteIfMissing(folder / "threshld.dat", ThresholdFileBytes(thresholds), result);
  WriteIfMissing(folder / "groups.dat", GroupNamesFileBytes(groups), result);
  WriteIfMissing(folder / "chgroup.dat", ChannelGroupsFileBytes(groups), result);
}

GroupTable DefaultGroups() {
  GroupTable g;
  for (int i = 0; i < kChannelSlots; ++i) g.GroupName[i] = i < 12 ? "Group" + std::to_string(i) : "Free";
  for (int c = 0; c < kChannels; ++c) g.ChannelGroup[c] = static_cast<std::int16_t>((c / 16 + 1) / 2);
  g.ChannelGroup[kChannels] = -1;
  return g;
}

// Wells of a 96-well plate grouped by pairs of columns: 1-2, 3-4, ... 11-12.
GroupTable DemoGroups() {
  PlateFormat plate;
  ApplyBuiltInPlateFormat("k96f", plate);
  GroupTable g;
  for (int i = 0; i < kChannelSlots; ++i) g.GroupName[i] = "Free";
  for (int k = 0; k < 6; ++k)
    g.GroupName[k] = "Columns" + std::to_string(2 * k + 1) + "-" + std::to_string(2 * k + 2);
  for (int c = 0; c < kChannelSlots; ++c) {
    int well = c < kChannels ? plate.ChannelWell[c] : -1;
    g.ChannelGroup[c] = static_cast<std::int16_t>(well < 0 ? -1 : (well / plate.Rows) / 2);
  }
  return g;
}

}  // namespace

fs::path ResolveDataFolder(const std::string& option) {
  if (!option.empty()) return fs::absolute(option);
  if (const char* env = std::getenv("ORBELUNE_DATA"); env && *env) return fs::absolute(env);
  return HomeFolder() / "Orbelune";
}

InitResult InitDataFolder(const fs::path& folder, bool demo) {
  InitResult result;
  fs::create_directories(folder);

  AppConfig config;
  config.Actual_Project_Number = 0;
  config.Last_Project = 0;
  config.Serial_COM = 4;
  WriteIfMissing(folder / "config.dat", ConfigFileBytes(config), result);
  for (const auto& f : EmbeddedDataFiles()) WriteIfMissing(folder / std::string(f.name), std::string(f.bytes), result);

  ProjectSetup setup0 = DefaultProjectSetup(folder, 0);
  setup0.Plate_format = "k96f";
  WriteProjectFiles(folder, setup0, 0, DefaultGroups(), result);

  if (demo) {
    // The configuration as it stands (an existing folder keeps its projects).
    auto reader = RecordReader::fromFile(folder / "config.dat");
    reader.readText();
    config.Actual_Project_Number = reader.readInt16();
    config.Last_Project = reader.readInt16();
    config.Serial_COM = reader.readInt16();
    config.Restart_Time = 0;
    int n = std::max<int>(config.Last_Project, config.Actual_Project_Number) + 1;
    while (fs::exists(ProjectFolderPath(folder, n))) ++n;
    fs::path projectFolder = ProjectFolderPath(folder, n);
    fs::create_directories(projectFolder);
    ProjectSetup demoSetup = DefaultProjectSetup(folder, n);
    demoSetup.Name = "Demo";
    demoSetup.Plate_format = "k96f";
    WriteProjectFiles(projectFolder, demoSetup, n, DemoGroups(), result);
    config.Actual_Project_Number = static_cast<std::int16_t>(n);
    config.Last_Project = static_cast<std::int16_t>(n);
    if (auto ec = WriteFileAtomic(folder / "config.dat", ConfigFileBytes(config)))
      throw std::system_error(ec, "cannot write " + (folder / "config.dat").string());
    result.demoProject = n;
  }
  return result;
}

}  // namespace orb
