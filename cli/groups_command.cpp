#include "cli/groups_command.h"

#include <cctype>
#include <charconv>
#include <exception>
#include <optional>
#include <ostream>

#include "app/data_folder.h"
#include "app/project_files.h"
#include "app/startup.h"
#include "app/workspace.h"
#include "cli/commands.h"
#include "cli/group_args.h"
#include "cli/options.h"
#include "common/console_seams.h"
#include "setup/group_editor.h"

namespace orb {
namespace {

constexpr const char* kGroupsUsage =
    "usage: orbelune-cli [--data DIR] groups show\n"
    "       orbelune-cli [--data DIR] groups preset RxC\n"
    "       orbelune-cli [--data DIR] groups clear\n"
    "       orbelune-cli [--data DIR] groups assign GROUP WELL...\n"
    "       orbelune-cli [--data DIR] groups free WELL...\n"
    "       orbelune-cli [--data DIR] groups name GROUP NAME\n"
    "WELL is a well such as A1 or B12, or a rectangle of wells such as A1:B2.\n";

constexpr const char* kPrefix = "orbelune-cli groups: ";

int Usage(std::ostream& err, const std::string& problem) {
  err << kPrefix << problem << "\n" << kGroupsUsage;
  return kExitUsage;
}


// The groups as the editor lists them: every selector entry with the
// group's wells (lstgrup), then the free wells (lstchgrup).
void PrintGroups(std::ostream& out, const Workspace& ws, const std::vector<std::string>& presets) {
  out << "Project: " << ProjectLabel(ws) << "\n";
  out << "Plate: " << ws.setup.Plate_format << ", " << ws.plate.Rows << " rows x " << ws.plate.Columns
      << " columns\n";
  out << "Presets: " << PresetList(presets) << "\n";
  for (const std::string& entry : GroupSelectorEntries(ws.groups))
    PrintLine(out, entry, GroupWellEntries(ws.plate, ws.groups, ws.status, GroupOfEntry(entry)));
  PrintLine(out, "Free", FreeWellEntries(ws.plate, ws.groups, ws.status));
}

}  // namespace

int RunGroups(const std::vector<std::string>& argsIn, std::ostream& out, std::ostream& err) {
  std::vector<std::string> args = argsIn;
  const std::string data = TakeDataOption(args);
  if (args.empty()) return Usage(err, "which action?");
  const std::string action = args.front();
  const std::vector<std::string> rest(args.begin() + 1, args.end());

  if (action == "show" || action == "preset" || action == "clear") {
    const std::size_t wanted = action == "preset" ? 1 : 0;
    if (rest.size() != wanted) return Usage(err, action + ": wrong number of arguments");
  } else if (action == "assign" || action == "name") {
    if (rest.size() < 2 || (action == "name" && rest.size() != 2))
      return Usage(err, action + ": wrong number of arguments");
  } else if (action == "free") {
    if (rest.empty()) return Usage(err, "free: which wells?");
  } else {
    return Usage(err, "unknown action " + action);
  }

  ConsoleOperator op(err);
  Workspace ws(ResolveDataFolder(data), op);
  ws.statusLine = [&err](const std::string& s) { err << "status: " << s << "\n"; };
  if (int code = LoadForCommand(ws, LoadScope::Project, err); code != kExitOk) return code;

  // The editor as its load leaves it: presets built, groups in use named.
  GroupEditor editor(ws.groups, ws.plate, ws.status, op);
  editor.Load();
  const std::vector<std::string>& presets = editor.Presets();

  if (action == "show") {
    PrintGroups(out, ws, presets);
    return kExitOk;
  }

  if (action == "clear") {
    // "CLEAR LIST" answered Yes: every channel free, every group "Free".
    ClearAllGroups(ws.groups);
    editor.Refresh(0);
  } else if (action == "preset") {
    const int item = FindPreset(presets, rest[0]);
    if (item < 0) {
      err << kPrefix << "no preset " << rest[0] << " on this plate; presets: " << PresetList(presets) << "\n";
      return kExitUsage;
    }
    editor.ApplyPreset(item);
  } else if (action == "assign" || action == "free") {
    const bool assign = action == "assign";
    std::optional<int> group;
    if (assign) {
      group = ParseGroup(rest[0]);
      if (!group) {
        err << kPrefix << "no group " << rest[0] << ": groups are numbered 0 to " << kLastGroup << "\n";
        return kExitUsage;
      }
    }
    std::vector<WellSpan> spans;
    const std::vector<std::string> wells(rest.begin() + (assign ? 1 : 0), rest.end());
    if (auto problem = ParseWells(ws.plate, wells, spans)) {
      err << kPrefix << *problem << "\n";
      return kExitUsage;
    }
    // As drags over the picture: enabled channels only, whatever group they had.
    for (const WellSpan& s : spans)
      AssignRectangle(ws.groups, ws.plate, ws.status, s.from, s.to, assign ? WellAction::Join : WellAction::Free,
                      group.value_or(-1));
    editor.Refresh(group.value_or(0));
  } else {  // name
    const auto group = ParseGroup(rest[0]);
    if (!group) {
      err << kPrefix << "no group " << rest[0] << ": groups are numbered 0 to " << kLastGroup << "\n";
      return kExitUsage;
    }
    if (rest[1].empty()) {
      err << kPrefix << "the group name is empty\n";
      return kExitUsage;
    }
    if (RenameGroup(ws.groups, *group, rest[1]) != RenameResult::Renamed) {
      err << kPrefix << kUnstorableGroupName << "\n";
      return kExitUsage;
    }
  }

  try {
    SaveProject(ws);
  } catch (const std::exception& e) {
    err << kPrefix << "the project's files could not be written in " << ws.ProjectPath.string() << ": "
        << e.what() << "\n";
    return kExitFile;
  }
  PrintGroups(out, ws, presets);
  return kExitOk;
}

}  // namespace orb
