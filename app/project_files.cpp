#include "app/project_files.h"

#include <array>
#include <optional>
#include <string>

#include "app/config_files.h"
#include "app/settings_io.h"
#include "app/workspace.h"
#include "common/fileio.h"
#include "common/format.h"
#include "common/seams.h"
#include "common/text_record.h"

namespace orb {

namespace {

constexpr const char* kSetupFile = "setup.dat";
constexpr const char* kSetupBackup = "setup.bak";
constexpr const char* kGroupsFile = "groups.dat";
constexpr const char* kChannelGroupsFile = "chgroup.dat";
constexpr const char* kRecheckWarning = "Warning!! PLEASE Re-Check setup values before RUN";

// Headers of the setup.dat value lines, in file order.
constexpr const char* kSetupHeader = "Project Setup: <Num_proj>,<Name>,<Working_folder>,<Plate_format>";
constexpr const char* kAcquisitionHeader =
    "<Aq_mode>,<Aq_lapse>,<Sample_Rate>,<RT_Buffer>,<DSP_Method>,<DSP_Interval>";
constexpr const char* kBinaryHeader =
    "<Binary_Acq>,<Threshold_Counter>,<Cal_value>,<Cal_mode>,<Save_counts>,<Save_real>";
constexpr const char* kToolsHeader = "Tools: <Menu1:Cal>, <Menu2:Light>, <Menu3:Temp>, <Menu4>, <Menu5>, <Menu6>";
constexpr const char* kMenuRowHeaders[6] = {
    "Mn1: <Organism>, <Enab_Cal>, <Enab_Zero>, <SNRx10>,,",
    "Mn2: <Enable>, <Time_ON>, <v3:Time_OFF>,,,",
    "Mn3: <v1:Enable>, <v2:Tempx10>,,,,",
    "Mn4: ,,,,,",
    "Mn5: ,,,,,",
    "Mn6: ,,,,,",
};

// The six int16 of the acquisition line and of the binary/calibration line,
// in file order (S is ProjectSetup or const ProjectSetup).
template <class S>
auto AcquisitionLine(S& s) {
  return std::array{&s.Aq_mode, &s.Aq_lapse, &s.Sample_Rate, &s.RT_Buffer, &s.DSP_Method, &s.DSP_Interval};
}
template <class S>
auto BinaryLine(S& s) {
  return std::array{&s.Binary_Acq, &s.Threshold_Counter, &s.Cal_value, &s.Cal_mode, &s.Save_counts, &s.Save_real};
}

std::string SetupErrorPrefix(int n) {
  return "Error [\\p" + FormatDigits(n, 5) + "\\setup.dat] ID#";
}

std::string DefaultWorkingFolder(const std::filesystem::path& programFolder, int n) {
  return (programFolder / ProjectFolderName(n)).string() + "/";
}

// The number held by a text field (Num_proj): a whole int16 and nothing else.
std::int16_t TextToInt16(const std::string& text) {
  RecordReader reader(text);
  const std::int16_t value = reader.readInt16();
  if (!reader.atEnd()) throw RecordError("not a number: " + text);
  return value;
}

// Reads a setup file into `s` field by field, raising `stage` as each group
// of values is complete; throws on the first failure. Returns Num_proj as a
// number (an empty or non-numeric Num_proj is a failure too).
std::int16_t ReadSetupFile(const std::filesystem::path& path, ProjectSetup& s, int& stage) {
  const int lines = CountLines(path);
  auto file = OpenSettings(path);
  if (lines <= 5) throw RecordError("setup.dat too short");

  RecordReader& r = file.reader;
  r.readLine();
  s.Num_proj = NextText(r);
  s.Name = NextText(r);
  s.Working_folder = NextText(r);
  s.Plate_format = NextText(r);
  stage = 2;
  r.readLine();
  for (auto* field : AcquisitionLine(s)) *field = r.readInt16();
  stage = 3;
  r.readLine();
  for (auto* field : BinaryLine(s)) *field = r.readInt16();
  stage = 4;
  if (lines > 19) {
    r.readLine();
    for (auto& flag : s.Tools) flag = r.readInt16();
    stage = 5;
    for (int row = 0; row < 6; ++row) {
      r.readLine();
      for (auto& value : s.MenuTable[row]) value = r.readInt16();
      stage = 6 + row;
    }
  }
  return TextToInt16(s.Num_proj);
}

}  // namespace

bool ReadsAsSetup(const std::filesystem::path& file) {
  ProjectSetup scratch;
  int stage = 1;
  try {
    ReadSetupFile(file, scratch, stage);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

namespace {

// Copies a recovery source over the project's setup.dat: setup.bak when it
// reads whole as a setup file, else the newest acquisition's setup.dat when
// it has more than 16 lines, else a setup.bak that reads only in part (what
// it holds before the damage is still the project's). Returns whether a
// copy was made and, in `source`, the acquisition folder name (empty for
// setup.bak).
bool RestoreSetupFile(const std::filesystem::path& folder, std::string& source) {
  const auto target = folder / kSetupFile;
  const auto backup = folder / kSetupBackup;
  source.clear();
  if (FileExists(backup) && ReadsAsSetup(backup)) return CopyFileChecked(backup, target) == 1;
  const std::string latest = FindLatestAcquisition(folder);
  if (!latest.empty() && CountLines(folder / latest / kSetupFile) > 16 &&
      CopyFileChecked(folder / latest / kSetupFile, target) == 1) {
    source = latest;
    return true;
  }
  return FileExists(backup) && CopyFileChecked(backup, target) == 1;
}

void LoadProjectSetupOnce(Workspace& ws, int n, bool mayRecover) {
  int stage = 1;
  std::optional<int> numProj;
  try {
    numProj = ReadSetupFile(ws.projectFile(kSetupFile), ws.setup, stage);
  } catch (const std::exception&) {
  }
  if (numProj) {
    if (*numProj != n) {
      const std::string warning = "Warning: Project ID# <> Folder Name [p00" +
                                  std::to_string(ws.config.Actual_Project_Number) + "]";
      ws.showStatus(warning);
      ws.op->inform(warning);
    }
    return;
  }

  if (mayRecover && n > 0 && stage < 11) {
    ws.setup.Working_folder = DefaultWorkingFolder(ws.programFolder, n);
    std::string source;
    if (RestoreSetupFile(ws.ProjectPath, source)) {
      ws.op->inform(SetupErrorPrefix(n) + std::to_string(stage) + " => Loading values from: " +
                    ProjectFolderName(n) + "\\" + source);
      ws.op->inform(kRecheckWarning);
      // The restored file is read once; if it fails too, its defaults apply.
      LoadProjectSetupOnce(ws, n, false);
      return;
    }
  }
  ws.op->inform(SetupErrorPrefix(n) + std::to_string(stage) + " => Loading default values...");
  ws.op->inform(kRecheckWarning);
  ApplySetupDefaultsFromStage(ws.setup, ws.programFolder, n, stage);
}

}  // namespace

std::string ProjectFolderName(int projectNumber) { return "p" + FormatDigits(projectNumber, 5); }

std::filesystem::path ProjectFolderPath(const std::filesystem::path& programFolder, int projectNumber) {
  return projectNumber == 0 ? programFolder : programFolder / ProjectFolderName(projectNumber);
}

// ---- defaults --------------------------------------------------------------

void ApplySetupDefaultsFromStage(ProjectSetup& s, const std::filesystem::path& programFolder, int projectNumber,
                                 int stage) {
  if (stage < 2) {
    s.Name = "Default";
    s.Working_folder = DefaultWorkingFolder(programFolder, projectNumber);
    s.Plate_format = "96f";
  }
  if (stage < 3) {
    const std::int16_t acquisition[6] = {1, 30, 99, 500, 1, 30};
    for (int i = 0; i < 6; ++i) *AcquisitionLine(s)[i] = acquisition[i];
  }
  if (stage < 4) {
    const std::int16_t binary[6] = {1, 300, 80, 1, 1, 1};
    for (int i = 0; i < 6; ++i) *BinaryLine(s)[i] = binary[i];
  }
  if (stage < 5) s.Tools = {1, 0, 0, 0, 0, 0};
  static constexpr std::array<std::array<std::int16_t, 6>, 6> kMenuDefaults = {{
      {0, 1, 1, 0, 0, 0},
      {0, 9, 21, 0, 0, 0},
      {0, 200, 0, 0, 0, 0},
      {0, 0, 0, 0, 0, 0},
      {0, 0, 0, 0, 0, 0},
      {0, 0, 0, 0, 0, 0},
  }};
  for (int row = 0; row < 6; ++row) {
    if (stage < 6 + row) s.MenuTable[row] = kMenuDefaults[row];
  }
}

ProjectSetup DefaultProjectSetup(const std::filesystem::path& programFolder, int projectNumber) {
  ProjectSetup s;
  s.Num_proj = std::to_string(projectNumber);
  ApplySetupDefaultsFromStage(s, programFolder, projectNumber, 1);
  return s;
}

// ---- loading ---------------------------------------------------------------

void LoadProjectSetup(Workspace& ws, int projectNumber) { LoadProjectSetupOnce(ws, projectNumber, true); }

void LoadGroupNames(const std::filesystem::path& folder, GroupTable& groups, int projectNumber, Operator& op) {
  try {
    auto file = OpenSettings(folder / kGroupsFile);
    ReadIndexedRecords(file, [&](int i) {
      NextText(file.reader);
      groups.GroupName[i] = NextText(file.reader);
    });
  } catch (const std::exception&) {
    op.inform("Error [\\p" + FormatDigits(projectNumber, 5) + "\\groups.dat] => Loading default groups...");
    for (int g = 0; g < kChannels; ++g) groups.GroupName[g] = g < 12 ? "Group" + std::to_string(g) : "Free";
  }
}

void LoadChannelGroups(const std::filesystem::path& folder, GroupTable& groups, int projectNumber, Operator& op) {
  try {
    auto file = OpenSettings(folder / kChannelGroupsFile);
    ReadIndexedRecords(file, [&](int i) {
      NextText(file.reader);
      groups.ChannelGroup[i] = file.reader.readInt16();
    });
  } catch (const std::exception&) {
    op.inform("Error [\\p" + FormatDigits(projectNumber, 5) + "\\chgroup.dat] => Loading default groups...");
    // Two grid columns per group, the first column alone in group 0.
    for (int c = 0; c < kChannels; ++c) groups.ChannelGroup[c] = static_cast<std::int16_t>((c / 16 + 1) / 2);
  }
}

void LoadProject(Workspace& ws, int projectNumber) {
  if (ws.ProjectPath.empty()) ws.ProjectPath = ProjectFolderPath(ws.programFolder, projectNumber);
  LoadProjectSetup(ws, projectNumber);
  LoadChannelStatus(ws.ProjectPath, ws.status, projectNumber, *ws.op);
  LoadThresholds(ws.ProjectPath, ws.thresholds, projectNumber, *ws.op);
  LoadGroupNames(ws.ProjectPath, ws.groups, projectNumber, *ws.op);
  LoadChannelGroups(ws.ProjectPath, ws.groups, projectNumber, *ws.op);
  LoadPlateFormat(ws.programFolder, ws.setup.Plate_format, ws.plate, *ws.op);
}

// ---- saving ----------------------------------------------------------------

std::string SetupFileBytes(const ProjectSetup& s, int numProj) {
  RecordWriter w;
  w.text(kSetupHeader).endLine();
  w.int16(numProj).text(s.Name).text(s.Working_folder).text(s.Plate_format).endLine();
  w.text(kAcquisitionHeader).endLine();
  for (const auto* field : AcquisitionLine(s)) w.int16(*field);
  w.endLine();
  w.text(kBinaryHeader).endLine();
  for (const auto* field : BinaryLine(s)) w.int16(*field);
  w.endLine();
  w.text(kToolsHeader).endLine();
  for (auto flag : s.Tools) w.int16(flag);
  w.endLine();
  for (int row = 0; row < 6; ++row) {
    w.text(kMenuRowHeaders[row]).endLine();
    for (auto value : s.MenuTable[row]) w.int16(value);
    w.endLine();
  }
  return w.bytes();
}

std::string GroupNamesFileBytes(const GroupTable& groups) {
  RecordWriter w;
  w.text("<Group_Number>, <Group_Name>").endLine();
  for (int g = 0; g < kChannels; ++g) w.int16(g).text(groups.GroupName[g]).endLine();
  return w.bytes();
}

std::string ChannelGroupsFileBytes(const GroupTable& groups) {
  RecordWriter w;
  w.text("<Channel>, <Group: -1=Free>").endLine();
  for (int c = 0; c < kChannels; ++c) w.int16(c).int16(groups.ChannelGroup[c]).endLine();
  return w.bytes();
}

void SaveProject(const Workspace& ws, const std::filesystem::path& folder) {
  const std::filesystem::path target = folder.empty() ? ws.ProjectPath : folder;
  // Every file is built before anything is touched: a text that cannot be
  // stored (a double quote in a name) fails the save with all files intact.
  const std::string setup = SetupFileBytes(ws.setup, ws.config.Actual_Project_Number);
  const std::string status = StatusFileBytes(ws.status);
  const std::string thresholds = ThresholdFileBytes(ws.thresholds);
  const std::string groupNames = GroupNamesFileBytes(ws.groups);
  const std::string channelGroups = ChannelGroupsFileBytes(ws.groups);

  CopyFileChecked(target / kSetupFile, target / kSetupBackup);  // no setup.dat yet is fine
  WriteSettingsFile(target / kSetupFile, setup);
  WriteSettingsFile(target / "status.dat", status);
  WriteSettingsFile(target / "threshld.dat", thresholds);
  WriteSettingsFile(target / kGroupsFile, groupNames);
  WriteSettingsFile(target / kChannelGroupsFile, channelGroups);
}

}  // namespace orb
