#include "cli/commands.h"

#include <exception>
#include <ostream>

#include "app/config_files.h"
#include "app/data_folder.h"
#include "app/project_files.h"
#include "app/startup.h"
#include "app/workspace.h"
#include "cli/acquire_command.h"
#include "cli/browse_command.h"
#include "cli/calibrate_command.h"
#include "cli/connect_command.h"
#include "cli/service_command.h"
#include "cli/groups_command.h"
#include "cli/project_command.h"
#include "cli/reanalyze_command.h"
#include "cli/recording_command.h"
#include "cli/regroup_command.h"
#include "cli/report_command.h"
#include "cli/simulate_command.h"
#include "cli/wells_command.h"
#include "common/console_seams.h"
#include "common/fileio.h"

namespace orb {
namespace {

const char* kUsage =
    "usage: orbelune-cli [--data DIR] COMMAND [options]\n"
    "\n"
    "commands:\n"
    "  init [--demo]   create the data folder's missing files (config.dat, plate\n"
    "                  files, project 0); --demo also adds a project \"Demo\" and\n"
    "                  makes it current\n"
    "  info            load the current project as the program does and print it\n"
    "  connect [--port N] [--offline-on-failure]\n"
    "                  find the instrument as the program's Connect does and\n"
    "                  print its port, serial number and temperature calibration\n"
    "  acquire --name NAME [--minutes M] [--description TEXT] [--proceed]\n"
    "                  record the current project until the programmed time is\n"
    "                  over or Ctrl+C, and print the acquisition folder\n"
    "  selftest [--port N] [--offline-on-failure] [--yes]\n"
    "                  the device self-test of every beam (--yes: no plate in the\n"
    "                  slot, door closed); exits 6 when a check failed\n"
    "  factory [--port N] [--offline-on-failure] [--set-temperature T]\n"
    "                  print the temperature calibration and the temperature, or\n"
    "                  calibrate against a reference thermometer reading T degC\n"
    "  calibrate [--port N] [--offline-on-failure]\n"
    "                  connect, run the automatic calibration and auto zero of\n"
    "                  the current project and print a summary\n"
    "  report FOLDER [--bin N] [--layout rows|list|warray|charray|histogram]\n"
    "         [--type csv|txt] [--spacer S] [--stats se,sd,n,median]\n"
    "         [--basal ACQUISITION [--basal-minutes Z] [--zero-basal max|average|discard|stop]]\n"
    "                  write the report of a recording (defaults of repoconf.dat)\n"
    "  reanalyze FOLDER [--method 0|1|2] [--organism 0|1] [--snr X] [--hours H]\n"
    "            [--replace] [--export-raw]\n"
    "                  count a recording again from its raw samples and report it\n"
    "  wells FOLDER [--bin N] [--time|--no-time]\n"
    "                  export a recording as one text file per well (with time\n"
    "                  stamps) or per channel plus time.txt\n"
    "  groups show | preset RxC | assign GROUP WELL... | free WELL...\n"
    "         | name GROUP NAME\n"
    "                  show or change the current project's groups of wells as\n"
    "                  the project editor does (wells A1, B12 or A1:B2), and save\n"
    "  project new --name NAME [--plate CODE] [--from N] [--overwrite]\n"
    "        | set KEY=VALUE... [--yes] | load N | rename NAME | list\n"
    "                  create, change, load, rename and list projects as the\n"
    "                  project editor does (orbelune-cli project --help for keys)\n"
    "  list [--filter TEXT] [--descending] [--expand]\n"
    "                  print the recorded-experiments list as the browser shows\n"
    "                  it (projects, and with --expand their acquisitions)\n"
    "  rename ACQ NAME\n"
    "                  rename a recorded acquisition (its subproject name) or,\n"
    "                  given a project folder, the project\n"
    "  archive ACQ\n"
    "                  take an acquisition off the list by renaming its folder;\n"
    "                  nothing is deleted\n"
    "  join ACQ ACQ... [--into NAME]\n"
    "                  join recordings of one project into a new acquisition\n"
    "  export-ascii ACQ --well A1 [--page N]\n"
    "                  write a page of a well's raw beam samples as a text table\n"
    "  export-image ACQ --well A1 [--page N] --out FILE\n"
    "                  draw a page of a well's raw signal into FILE (.bmp, .png)\n"
    "  regroup ACQ --preset RxC | --assign GROUP WELL... | --free WELL...\n"
    "          | --name GROUP NAME | --clear | --show\n"
    "                  show or change the groups of a recorded acquisition (the\n"
    "                  former group files kept as backups)\n"
    "\n"
    "  simulate [--link PATH] [--serial N] [--factory k0,...,k7] [--pace] [faults]\n"
    "                  serve a virtual instrument on a pseudo-terminal and print\n"
    "                  its device path (orbelune-cli simulate --help for more)\n"
    "\n"
    "ACQ is an acquisition folder, or its path inside the data folder\n"
    "(p00001/20240131_1405).\n"
    "The data folder is --data DIR, else $ORBELUNE_DATA, else ~/Orbelune.\n";

struct Options {
  std::string data;
  std::string command;
  std::vector<std::string> rest;
};

bool ParseOptions(const std::vector<std::string>& args, Options& o, std::ostream& err) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (o.command.empty() && a == "--data") {
      if (i + 1 >= args.size()) {
        err << "orbelune-cli: --data needs a folder\n";
        return false;
      }
      o.data = args[++i];
    } else if (o.command.empty() && a.rfind("--data=", 0) == 0) {
      o.data = a.substr(7);
    } else if (o.command.empty() && (a == "-h" || a == "--help")) {
      o.command = "help";
    } else if (o.command.empty()) {
      o.command = a;
    } else {
      o.rest.push_back(a);
    }
  }
  return true;
}

int CmdInit(const Options& o, std::ostream& out, std::ostream& err) {
  bool demo = false;
  for (const auto& a : o.rest) {
    if (a == "--demo") demo = true;
    else {
      err << "orbelune-cli init: unknown option " << a << "\n";
      return kExitUsage;
    }
  }
  auto folder = ResolveDataFolder(o.data);
  try {
    InitResult r = InitDataFolder(folder, demo);
    out << "data folder: " << folder.string() << "\n";
    for (const auto& f : r.written) out << "wrote " << f.string() << "\n";
    if (r.written.empty()) out << "nothing to create: the data folder is complete\n";
    if (r.demoProject > 0) out << "current project: " << r.demoProject << "_Demo\n";
  } catch (const std::exception& e) {
    err << "orbelune-cli init: " << e.what() << "\n";
    return kExitFile;
  }
  return kExitOk;
}

void PrintRow(std::ostream& out, const char* name, const std::array<std::int16_t, 6>& row) {
  out << name << ":";
  for (std::size_t i = 0; i < row.size(); ++i) out << (i ? "," : " ") << row[i];
  out << "\n";
}

}  // namespace

int LoadForCommand(Workspace& ws, LoadScope scope, std::ostream& err) {
  if (LoadProgram(ws, scope) != LoadResult::NoConfig) return kExitOk;
  err << kConfigNotFound << "\n";
  err << "(data folder " << ws.programFolder.string() << "; create it with: orbelune-cli init)\n";
  return kExitConfig;
}

namespace {

int CmdInfo(const Options& o, std::ostream& out, std::ostream& err) {
  if (!o.rest.empty()) {
    err << "orbelune-cli info: unknown option " << o.rest.front() << "\n";
    return kExitUsage;
  }
  auto folder = ResolveDataFolder(o.data);
  ConsoleOperator op(err);
  Workspace ws(folder, op);
  ws.statusLine = [&err](const std::string& s) { err << "status: " << s << "\n"; };
  if (int code = LoadForCommand(ws, LoadScope::Project, err); code != kExitOk) return code;

  const AppConfig& c = ws.config;
  const ProjectSetup& s = ws.setup;
  out << "Data folder: " << folder.string() << "\n";
  out << "Actual_Project_Number: " << c.Actual_Project_Number << "\n";
  out << "Last_Project: " << c.Last_Project << "\n";
  out << "Serial_COM: " << c.Serial_COM << "\n";
  out << "Restart_Time: " << c.Restart_Time << "\n";
  out << "ProjectPath: " << ws.ProjectPath.string() << "\n";
  out << "Project: " << ProjectLabel(ws) << "\n";
  out << "Num_proj: " << s.Num_proj << "\n";
  out << "Name: " << s.Name << "\n";
  out << "Working_folder: " << s.Working_folder << "\n";
  out << "Plate_format: " << s.Plate_format << "\n";
  out << "Aq_mode: " << s.Aq_mode << "\nAq_lapse: " << s.Aq_lapse << "\nSample_Rate: " << s.Sample_Rate
      << "\nRT_Buffer: " << s.RT_Buffer << "\nDSP_Method: " << s.DSP_Method << "\nDSP_Interval: " << s.DSP_Interval
      << "\n";
  out << "Binary_Acq: " << s.Binary_Acq << "\nThreshold_Counter: " << s.Threshold_Counter
      << "\nCal_value: " << s.Cal_value << "\nCal_mode: " << s.Cal_mode << "\nSave_counts: " << s.Save_counts
      << "\nSave_real: " << s.Save_real << "\n";
  for (int i = 1; i <= 6; ++i) out << "Menu" << i << ": " << s.Menu(i) << "\n";
  const char* rows[] = {"Mn1", "Mn2", "Mn3", "Mn4", "Mn5", "Mn6"};
  for (int r = 0; r < 6; ++r) PrintRow(out, rows[r], s.MenuTable[r]);

  const PlateFormat& p = ws.plate;
  int usedChannels = 0;
  for (int ch = 0; ch < kChannels; ++ch) usedChannels += p.ChannelWell[ch] >= 0;
  out << "Plate: " << p.Rows << " rows x " << p.Columns << " columns, wells 0.." << p.MaxWell << ", beams 0.."
      << p.MaxBeam << ", " << usedChannels << " channels used\n";

  int enabled = 0;
  for (int ch = 0; ch < kChannels; ++ch) enabled += ws.status[ch] != 0;
  out << "Channels enabled: " << enabled << " of " << kChannels << "\n";

  out << "Groups:\n";
  int free = 0;
  for (int g = 0; g < kChannels; ++g) {
    std::vector<int> channels;
    for (int ch = 0; ch < kChannels; ++ch)
      if (ws.groups.ChannelGroup[ch] == g) channels.push_back(ch);
    if (channels.empty()) continue;
    out << "  " << g << " " << ws.groups.GroupName[g] << ": " << channels.size() << " channels (";
    for (std::size_t i = 0; i < channels.size(); ++i) {
      if (i == 8) {
        out << ", ...";
        break;
      }
      out << (i ? ", " : "") << channels[i];
    }
    out << ")\n";
  }
  for (int ch = 0; ch < kChannels; ++ch) free += ws.groups.ChannelGroup[ch] < 0;
  out << "  free: " << free << " channels\n";
  return kExitOk;
}

// The entry of `command` in the overview above: its line and the lines
// indented under it, up to the next command. Empty for an unknown command.
std::string CommandUsage(const std::string& command) {
  const std::string text = kUsage;
  const std::string start = "\n  " + command + " ";
  std::size_t at = text.find(start);
  if (at == std::string::npos) at = text.find("\n  " + command + "\n");
  if (at == std::string::npos) return {};
  std::string entry;
  std::size_t line = at + 1;
  bool first = true;
  while (line < text.size()) {
    const std::size_t end = text.find('\n', line);
    const std::string l = text.substr(line, end - line);
    const bool indented = l.size() > 3 && l.compare(0, 3, "   ") == 0;
    if (!first && !indented) break;
    entry += (first ? "usage: orbelune-cli [--data DIR] " + l.substr(2) : l) + "\n";
    first = false;
    if (end == std::string::npos) break;
    line = end + 1;
  }
  return entry;
}

bool AsksForHelp(const std::vector<std::string>& rest) {
  for (const auto& a : rest)
    if (a == "--help" || a == "-h") return true;
  return false;
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Options o;
  if (!ParseOptions(args, o, err)) return kExitUsage;
  if (o.command == "help") {
    out << kUsage;
    return kExitOk;
  }
  // "orbelune-cli COMMAND --help" prints the command's entry of the overview;
  // the commands with more to say (project, simulate, acquire) print their own.
  if (o.command != "project" && o.command != "simulate" && o.command != "acquire" && AsksForHelp(o.rest)) {
    const std::string usage = CommandUsage(o.command);
    if (!usage.empty()) {
      out << usage << "\n";
      if (usage.find("ACQ") != std::string::npos)
        out << "ACQ is an acquisition folder, or its path inside the data folder (p00001/20240131_1405).\n";
      out << "The data folder is --data DIR, else $ORBELUNE_DATA, else ~/Orbelune.\n";
      return kExitOk;
    }
  }
  if (o.command == "init") return CmdInit(o, out, err);
  if (o.command == "info") return CmdInfo(o, out, err);
  // The commands in their own files get the data folder option first.
  std::vector<std::string> rest = o.rest;
  if (!o.data.empty()) rest.insert(rest.begin(), {"--data", o.data});
  if (o.command == "connect") return RunConnect(rest, out, err);
  if (o.command == "acquire") return RunAcquire(rest, out, err);
  if (o.command == "calibrate") return RunCalibrate(rest, out, err);
  if (o.command == "wells") return RunWells(rest, out, err);
  if (o.command == "groups") return RunGroups(rest, out, err);
  if (o.command == "project") return RunProject(rest, out, err);
  if (o.command == "report") return RunReport(rest, out, err);
  if (o.command == "reanalyze") return RunReanalyze(rest, out, err);
  if (o.command == "selftest") return RunSelfTest(rest, out, err);
  if (o.command == "factory") return RunFactory(rest, out, err);
  if (o.command == "list") return RunList(rest, out, err);
  if (o.command == "rename") return RunRename(rest, out, err);
  if (o.command == "archive") return RunArchive(rest, out, err);
  if (o.command == "join") return RunJoin(rest, out, err);
  if (o.command == "export-ascii") return RunExportAscii(rest, out, err);
  if (o.command == "export-image") return RunExportImage(rest, out, err);
  if (o.command == "regroup") return RunRegroup(rest, out, err);
  if (o.command == "simulate") return sim::RunSimulate(o.rest, out, err);
  if (o.command.empty()) err << kUsage;
  else err << "orbelune-cli: unknown command " << o.command << "\n" << kUsage;
  return kExitUsage;
}

}  // namespace orb
