#include "cli/regroup_command.h"

#include <cctype>
#include <charconv>
#include <optional>
#include <ostream>

#include "app/data_folder.h"
#include "app/workspace.h"
#include "browser/acquisition_ref.h"
#include "browser/regroup.h"
#include "cli/commands.h"
#include "cli/group_args.h"
#include "cli/options.h"
#include "common/console_seams.h"
#include "common/fileio.h"
#include "setup/group_editor.h"

namespace orb {
namespace fs = std::filesystem;

namespace {

constexpr const char* kRegroupUsage =
    "usage: orbelune-cli [--data DIR] regroup ACQ --show\n"
    "       orbelune-cli [--data DIR] regroup ACQ --preset RxC\n"
    "       orbelune-cli [--data DIR] regroup ACQ --assign GROUP WELL...\n"
    "       orbelune-cli [--data DIR] regroup ACQ --free WELL...\n"
    "       orbelune-cli [--data DIR] regroup ACQ --name GROUP NAME\n"
    "       orbelune-cli [--data DIR] regroup ACQ --clear\n"
    "ACQ is an acquisition folder, or its path inside the data folder (p00001/20240131_1405).\n"
    "WELL is a well such as A1 or B12, or a rectangle of wells such as A1:B2.\n"
    "Every change is saved at once; the group files it replaces are kept as\n"
    "chgroup.bak, groups.bak and time-stamped chgroup<yyyymmdd_hhmmss>.bak, groups<...>.bak.\n";

constexpr const char* kPrefix = "orbelune-cli regroup: ";

int Usage(std::ostream& err, const std::string& problem) {
  err << kPrefix << problem << "\n" << kRegroupUsage;
  return kExitUsage;
}

struct Request {
  std::string data, acquisition, action;
  std::vector<std::string> values;  // the action's arguments
};

// Parses "ACQ --action VALUES...": the values of an action run up to the
// next option. Empty text on success, else the problem.
std::string Parse(const std::vector<std::string>& args, Request& r) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (TakeValue(args, i, "--data", r.data)) continue;
    if (a == "--show" || a == "--preset" || a == "--assign" || a == "--free" || a == "--name" || a == "--clear") {
      if (!r.action.empty()) return "one action at a time (" + r.action + " and " + a + ")";
      r.action = a;
      while (i + 1 < args.size() && args[i + 1].rfind("--", 0) != 0) r.values.push_back(args[++i]);
      continue;
    }
    if (a.rfind("--", 0) == 0) return "unknown option " + a;
    if (!r.acquisition.empty()) return "unexpected argument " + a;
    r.acquisition = a;
  }
  if (r.acquisition.empty()) return "which acquisition?";
  if (r.action.empty()) return "which action?";
  const std::size_t n = r.values.size();
  if ((r.action == "--show" || r.action == "--clear") && n != 0) return r.action + " takes no value";
  if (r.action == "--preset" && n != 1) return "--preset takes one block size such as 2x3";
  if (r.action == "--assign" && n < 2) return "--assign takes a group and at least one well";
  if (r.action == "--free" && n < 1) return "--free takes at least one well";
  if (r.action == "--name" && n != 2) return "--name takes a group and a name";
  return {};
}


// The groups as the editing frame lists them: every combogrup2 entry with
// its wells, then the free wells.
void PrintGroups(std::ostream& out, const AcquisitionGroups& acq) {
  out << "Acquisition: " << acq.folder.string() << "\n";
  out << "Plate: " << acq.plateCode << ", " << acq.plate.Rows << " rows x " << acq.plate.Columns << " columns\n";
  out << "Layouts: " << PresetList(BlockLayouts(acq.plate)) << "\n";
  for (const std::string& entry : EditingGroupEntries(acq.groups))
    PrintLine(out, entry, GroupWellEntries(acq.plate, acq.groups, acq.status, GroupOfEntry(entry)));
  PrintLine(out, "Free", FreeWellEntries(acq.plate, acq.groups, acq.status));
}

}  // namespace

int RunRegroup(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  for (const std::string& a : args)
    if (a == "--help" || a == "-h") {
      out << kRegroupUsage;
      return kExitOk;
    }
  Request r;
  if (std::string problem = Parse(args, r); !problem.empty()) return Usage(err, problem);

  const fs::path programFolder = ResolveDataFolder(r.data);
  ConsoleOperator op(err);
  {
    Workspace ws(programFolder, op);
    if (int code = LoadForCommand(ws, LoadScope::CheckConfig, err); code != kExitOk) return code;
  }
  const fs::path folder = ResolveAcquisition(programFolder, r.acquisition);
  if (folder.empty()) {
    err << kPrefix << "no acquisition folder " << r.acquisition << "\n";
    return kExitInput;
  }
  fs::path named = folder.lexically_normal();
  if (named.filename().empty()) named = named.parent_path();
  std::error_code ec;
  if (IsProjectFolderName(named.filename().string()) || fs::equivalent(folder, programFolder, ec)) {
    err << kPrefix << "Only possible for SubProjects: " << folder.string() << " is a project folder\n";
    return kExitUsage;
  }
  AcquisitionGroups acq = LoadAcquisitionGroups(programFolder, folder, op);
  if (!acq.hasPlate) {
    err << kPrefix << "the plate " << acq.plateCode << " of " << folder.string()
        << " has no plate file in " << programFolder.string() << " and no built-in layout\n";
    return kExitInput;
  }

  if (r.action == "--show") {
    PrintGroups(out, acq);
    return kExitOk;
  }

  const std::vector<std::string>& v = r.values;
  if (r.action == "--clear") {
    // "CLEAR LIST" answered Yes.
    ClearAllGroups(acq.groups);
  } else if (r.action == "--preset") {
    const std::vector<std::string> layouts = BlockLayouts(acq.plate);
    const int item = FindPreset(layouts, v[0]);
    if (item < 0) {
      err << kPrefix << "no block layout " << v[0] << " on this plate; layouts: " << PresetList(layouts) << "\n";
      return kExitUsage;
    }
    AutoArrange(acq.groups, acq.plate, acq.status, layouts[static_cast<std::size_t>(item)]);
  } else if (r.action == "--assign" || r.action == "--free") {
    const bool assign = r.action == "--assign";
    std::optional<int> group;
    if (assign) {
      group = ParseGroup(v[0]);
      if (!group) {
        err << kPrefix << "no group " << v[0] << ": groups are numbered 0 to " << kLastGroup << "\n";
        return kExitUsage;
      }
    }
    std::vector<WellSpan> spans;
    if (auto problem = ParseWells(acq.plate, {v.begin() + (assign ? 1 : 0), v.end()}, spans)) {
      err << kPrefix << *problem << "\n";
      return kExitUsage;
    }
    // Channels in use only; assigned wells join whatever group they had.
    for (const WellSpan& s : spans)
      AssignRectangle(acq.groups, acq.plate, acq.status, s.from, s.to, assign ? WellAction::Join : WellAction::Free,
                      group.value_or(-1));
  } else {  // --name
    const auto group = ParseGroup(v[0]);
    if (!group) {
      err << kPrefix << "no group " << v[0] << ": groups are numbered 0 to " << kLastGroup << "\n";
      return kExitUsage;
    }
    if (v[1].empty()) return Usage(err, "the group name is empty");
    if (RenameGroup(acq.groups, *group, v[1]) != RenameResult::Renamed) {
      err << kPrefix << kUnstorableGroupName << "\n";
      return kExitUsage;
    }
  }
  // The groups in use are named as the editing frame shows them.
  NameGroupsInUse(acq.groups);

  SystemClock clock;
  const GroupSaveResult saved = SaveAcquisitionGroups(folder, acq.groups, clock);
  for (const fs::path& b : saved.backups) out << "backup: " << b.string() << "\n";
  if (!saved.saved) {
    err << kPrefix << saved.message << ": " << saved.reason << "\n";
    return kExitFile;
  }
  for (const fs::path& w : saved.written) out << "written: " << w.string() << "\n";
  PrintGroups(out, acq);
  return kExitOk;
}

}  // namespace orb
