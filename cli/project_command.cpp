#include "cli/project_command.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <functional>
#include <ostream>

#include "app/config_files.h"
#include "app/data_folder.h"
#include "app/project_files.h"
#include "app/startup.h"
#include "app/workspace.h"
#include "cli/commands.h"
#include "cli/options.h"
#include "common/console_seams.h"
#include "common/fileio.h"
#include "setup/plate_change.h"
#include "setup/project_editor.h"

namespace orb {
namespace {

const char* const kProjectUsage =
    "usage: orbelune-cli [--data DIR] project new --name NAME [--plate CODE] [--from N] [--overwrite]\n"
    "       orbelune-cli [--data DIR] project set KEY=VALUE ... [--yes]\n"
    "       orbelune-cli [--data DIR] project load N\n"
    "       orbelune-cli [--data DIR] project rename NAME\n"
    "       orbelune-cli [--data DIR] project list\n"
    "new     creates the next project as a copy of the current one (of project N with\n"
    "        --from), with the plate format CODE when given (its groups are cleared),\n"
    "        and makes it current; --overwrite writes into a project folder that\n"
    "        already exists (its recordings are kept)\n"
    "set     changes settings of the current project, in the order given, and saves it;\n"
    "        a refused value saves nothing. Keys:\n"
    "          mode=0..5            acquisition mode (0_Offline, 1_Default, 2_Fast(0.31), ...)\n"
    "          lapse=MINUTES        acquisition lapse (32000 at most, 2 at least)\n"
    "          sample-rate=N        sample rate\n"
    "          buffer=SAMPLES       real-time buffer, 200 to 10000 (else 200)\n"
    "          dsp-interval=N       detection window in samples\n"
    "          method=0|1|2         detection algorithm\n"
    "          organism=0|1|2       C.elegans, Zebrafish, Echinococcus (sets snr and method)\n"
    "          snr=X                signal-to-noise threshold, 1.4 to 5.0\n"
    "          plate=CODE           plate format; clears the groups, needs --yes\n"
    "          save-real=yes|no     save the real-time data\n"
    "          light-tools=on|off   light control tools in the main window\n"
    "          temperature-tools=on|off  temperature control tools\n"
    "load    makes project N the current one (0 is the data folder's own project)\n"
    "rename  renames the current project and saves it\n"
    "list    prints the project list of the editor's Load\n";

int Usage(std::ostream& err, const std::string& problem) {
  err << "orbelune-cli project: " << problem << "\n" << kProjectUsage;
  return kExitUsage;
}

std::optional<int> WholeNumber(const std::string& text, int low, int high) {
  int value = 0;
  const char* end = text.data() + text.size();
  auto [p, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || p != end || value < low || value > high) return std::nullopt;
  return value;
}

std::string Lower(std::string s) {
  for (char& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return s;
}

// on/off, yes/no, 1/0.
std::optional<bool> Switch(const std::string& text) {
  const std::string t = Lower(text);
  if (t == "on" || t == "yes" || t == "1") return true;
  if (t == "off" || t == "no" || t == "0") return false;
  return std::nullopt;
}

// The position of a list entry given by its number or its text.
std::optional<int> ListEntry(const std::string& text, const std::vector<std::string>& items) {
  if (auto n = WholeNumber(text, 0, static_cast<int>(items.size()) - 1)) return n;
  for (std::size_t i = 0; i < items.size(); ++i)
    if (Lower(items[i]) == Lower(text)) return static_cast<int>(i);
  return std::nullopt;
}

std::string ListChoices(const std::vector<std::string>& items) {
  std::string text;
  for (std::size_t i = 0; i < items.size(); ++i) text += (i ? ", " : "") + items[i];
  return text;
}

struct Session {
  ConsoleOperator op;
  Workspace ws;
  Session(const std::string& data, std::ostream& err) : op(err), ws(ResolveDataFolder(data), op) {
    ws.statusLine = [&err](const std::string& s) { err << "status: " << s << "\n"; };
  }
};

void PrintProject(const Workspace& ws, std::ostream& out) {
  out << "project: " << ProjectLabel(ws) << "\n";
  out << "folder: " << ws.ProjectPath.string() << "\n";
}

// ---- new ------------------------------------------------------------------------

int CmdNew(const std::vector<std::string>& args, const std::string& data, std::ostream& out, std::ostream& err) {
  std::optional<std::string> name;
  std::string plate, from;
  bool overwrite = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string value;
    bool missing = false;
    if (OptionValue(args, i, "--name", value, missing)) {
      if (missing) return Usage(err, "--name needs a project name");
      name = value;
    } else if (OptionValue(args, i, "--plate", value, missing)) {
      if (missing || value.empty()) return Usage(err, "--plate needs a plate format code");
      plate = value;
    } else if (OptionValue(args, i, "--from", value, missing)) {
      if (missing || value.empty()) return Usage(err, "--from needs a project number");
      from = value;
    } else if (args[i] == "--overwrite") {
      overwrite = true;
    } else {
      return Usage(err, "unexpected argument " + args[i]);
    }
  }
  if (!name) return Usage(err, "project new needs --name NAME");
  std::optional<int> fromNumber;
  if (!from.empty()) {
    fromNumber = WholeNumber(from, 0, 32000);
    if (!fromNumber) return Usage(err, "--from takes a project number, 0 to 32000");
  }

  Session s(data, err);
  Workspace& ws = s.ws;
  std::optional<std::int16_t> loadedCurrent;  // config.dat's current project, when --from changes it
  if (!fromNumber) {
    if (int code = LoadForCommand(ws, LoadScope::Project, err); code != kExitOk) return code;
  } else {
    if (int code = LoadForCommand(ws, LoadScope::Config, err); code != kExitOk) return code;
    loadedCurrent = ws.config.Actual_Project_Number;
    const auto folder = ProjectFolderPath(ws.programFolder, *fromNumber);
    if (*fromNumber > 0 && !FolderExists(folder)) {
      err << "orbelune-cli project new: no project " << *fromNumber << " (" << folder.string() << " is missing)\n";
      return kExitInput;
    }
    ws.ProjectPath = folder;
    ws.config.Actual_Project_Number = static_cast<std::int16_t>(*fromNumber);
    LoadProject(ws, *fromNumber);
  }
  const std::int16_t currentProject = loadedCurrent.value_or(ws.config.Actual_Project_Number);

  // The options are the answers the editor's questions get.
  s.op.answerWhen("Do you like to Create a New Project?", Answer::Ok);
  s.op.typeWhen("Enter the New Project Name", *name);
  s.op.answerWhen("already exists. do you like to overwrite?", overwrite ? Answer::Yes : Answer::No);
  // The new project's plate is asked for explicitly, and the project it is
  // copied from keeps its groups on disk.
  s.op.answerWhen("Load New Plate configuration?", Answer::Yes);

  if (!plate.empty()) {
    const bool present = FileExists(ws.programFolder / (plate + ".dat"));
    if (!ChangePlateFormat(ws, plate, s.op).changed) {
      if (!present) return Usage(err, "no plate file " + plate + ".dat in " + ws.programFolder.string());
      return kExitInput;  // the plate file cannot be read; the message said why
    }
  }

  switch (NewProject(ws)) {
    case EditorOutcome::Done:
      PrintProject(ws, out);
      return kExitOk;
    case EditorOutcome::Cancelled: {
      // The number moved on as in the editor; it is kept so that running the
      // command again goes to the next number. The current project stays.
      ws.config.Actual_Project_Number = currentProject;
      SaveConfig(ws.programFolder, ws.config, s.op);
      const std::string folder = ProjectFolderName(ws.config.Last_Project);
      err << "orbelune-cli project new: " << folder << " already exists and nothing was written into it; "
          << "run the command again for the next number, or add --overwrite to write the new project's "
          << "settings into " << folder << " (its recordings are kept)\n";
      return kExitUsage;
    }
    case EditorOutcome::Refused:
      return kExitUsage;
    case EditorOutcome::Failed:
      return kExitFile;
  }
  return kExitUsage;
}

// ---- set ------------------------------------------------------------------------

// One key of `project set`: applies the value as the editor's control does
// and returns the message of a refusal (empty when taken).
struct SetKey {
  const char* name;
  const char* field;  // printed with the stored value
  std::function<std::string(Workspace&, const std::string&)> apply;
  std::function<int(const ProjectSetup&)> stored;
};

std::string BoxRefusal(const BoxEdit& edit) { return edit.accepted ? std::string() : edit.message; }

std::string SwitchTool(Workspace& ws, int tool, const std::string& value, const char* key) {
  const auto on = Switch(value);
  if (!on) return std::string(key) + " takes on or off";
  SetTool(ws.setup, tool, *on);
  return {};
}

const std::vector<SetKey>& SetKeys() {
  static const std::vector<SetKey> keys = {
      {"mode", "Aq_mode",
       [](Workspace& ws, const std::string& v) {
         const auto entry = ListEntry(v, AcqModeItems());
         if (entry && ChooseAqMode(ws.setup, *entry)) return std::string();
         return "mode takes 0 to 5: " + ListChoices(AcqModeItems());
       },
       [](const ProjectSetup& s) { return int{s.Aq_mode}; }},
      {"lapse", "Aq_lapse", [](Workspace& ws, const std::string& v) { return BoxRefusal(EditLapse(ws.setup, v)); },
       [](const ProjectSetup& s) { return int{s.Aq_lapse}; }},
      {"sample-rate", "Sample_Rate",
       [](Workspace& ws, const std::string& v) { return BoxRefusal(EditSampleRate(ws.setup, v)); },
       [](const ProjectSetup& s) { return int{s.Sample_Rate}; }},
      {"buffer", "RT_Buffer", [](Workspace& ws, const std::string& v) { return BoxRefusal(EditBuffer(ws.setup, v)); },
       [](const ProjectSetup& s) { return int{s.RT_Buffer}; }},
      {"dsp-interval", "DSP_Interval",
       [](Workspace& ws, const std::string& v) { return BoxRefusal(EditDspInterval(ws.setup, v)); },
       [](const ProjectSetup& s) { return int{s.DSP_Interval}; }},
      {"method", "DSP_Method",
       [](Workspace& ws, const std::string& v) {
         const auto entry = ListEntry(v, DspMethodItems());
         if (entry && ChooseDspMethod(ws.setup, *entry)) return std::string();
         return "method takes 0 to 2: " + ListChoices(DspMethodItems());
       },
       [](const ProjectSetup& s) { return int{s.DSP_Method}; }},
      {"organism", "Organism",
       [](Workspace& ws, const std::string& v) {
         const auto entry = ListEntry(v, EditorOrganismItems());
         if (entry && ChooseOrganism(ws.setup, *entry).accepted) return std::string();
         return "organism takes 0 to 2: " + ListChoices(EditorOrganismItems());
       },
       [](const ProjectSetup& s) { return int{s.MenuTable[Mn1][Organism]}; }},
      {"snr", "SNRx10",
       [](Workspace& ws, const std::string& v) {
         const int organism = ws.setup.MenuTable[Mn1][Organism];
         return BoxRefusal(EditSnr(ws.setup, organism >= 0 && organism <= 2 ? organism : -1, v));
       },
       [](const ProjectSetup& s) { return int{s.MenuTable[Mn1][SNRx10]}; }},
      {"save-real", "Save_real",
       [](Workspace& ws, const std::string& v) {
         const auto yes = Switch(v);
         if (!yes) return std::string("save-real takes yes or no");
         ChooseSaveReal(ws.setup, *yes ? 1 : 0);
         return std::string();
       },
       [](const ProjectSetup& s) { return int{s.Save_real}; }},
      {"light-tools", "Menu2",
       [](Workspace& ws, const std::string& v) { return SwitchTool(ws, 2, v, "light-tools"); },
       [](const ProjectSetup& s) { return int{s.Menu(2)}; }},
      {"temperature-tools", "Menu3",
       [](Workspace& ws, const std::string& v) { return SwitchTool(ws, 3, v, "temperature-tools"); },
       [](const ProjectSetup& s) { return int{s.Menu(3)}; }},
  };
  return keys;
}

int CmdSet(const std::vector<std::string>& args, const std::string& data, std::ostream& out, std::ostream& err) {
  std::vector<std::pair<std::string, std::string>> changes;
  bool yes = false;
  for (const auto& a : args) {
    if (a == "--yes") {
      yes = true;
      continue;
    }
    const auto eq = a.find('=');
    if (eq == std::string::npos || a.rfind("--", 0) == 0) return Usage(err, "expected KEY=VALUE, not " + a);
    const std::string key = a.substr(0, eq);
    const bool known = key == "plate" || std::any_of(SetKeys().begin(), SetKeys().end(),
                                                     [&](const SetKey& k) { return key == k.name; });
    if (!known) return Usage(err, "unknown key " + key);
    changes.emplace_back(key, a.substr(eq + 1));
  }
  if (changes.empty()) return Usage(err, "project set needs at least one KEY=VALUE");

  Session s(data, err);
  Workspace& ws = s.ws;
  if (int code = LoadForCommand(ws, LoadScope::Project, err); code != kExitOk) return code;
  if (yes) s.op.answerWhen("Load New Plate configuration?", Answer::Yes);

  std::vector<std::string> printed;
  for (const auto& [key, value] : changes) {
    if (key == "plate") {
      const bool present = FileExists(ws.programFolder / (value + ".dat"));
      PlateChangeResult r;
      try {
        r = ChangePlateFormat(ws, value, s.op);
      } catch (const UnansweredQuestion&) {
        err << "orbelune-cli project set: changing the plate clears the project's groups; add --yes to answer "
               "Yes to \"Load New Plate configuration?\". Nothing was saved.\n";
        return kExitUsage;
      }
      if (!r.changed) {
        err << "orbelune-cli project set: plate " << value << " refused; nothing was saved\n";
        return present ? kExitInput : kExitUsage;
      }
      printed.push_back("Plate_format: " + ws.setup.Plate_format);
      continue;
    }
    const SetKey& k = *std::find_if(SetKeys().begin(), SetKeys().end(),
                                    [&](const SetKey& candidate) { return key == candidate.name; });
    const std::string refusal = k.apply(ws, value);
    if (!refusal.empty()) {
      err << refusal << "\n";
      err << "orbelune-cli project set: " << key << "=" << value << " refused; nothing was saved\n";
      return kExitUsage;
    }
    printed.push_back(std::string(k.field) + ": " + std::to_string(k.stored(ws.setup)));
  }
  if (!SaveProjectReported(ws)) return kExitFile;
  out << "project: " << ProjectLabel(ws) << "\n";
  for (const auto& line : printed) out << line << "\n";
  return kExitOk;
}

// ---- load, rename, list -------------------------------------------------------------

int CmdLoad(const std::vector<std::string>& args, const std::string& data, std::ostream& out, std::ostream& err) {
  if (args.size() != 1) return Usage(err, "project load needs one project number");
  const auto number = WholeNumber(args[0], 0, 32000);
  if (!number) return Usage(err, "project load takes a project number, 0 to 32000, not " + args[0]);
  Session s(data, err);
  Workspace& ws = s.ws;
  if (int code = LoadForCommand(ws, LoadScope::Config, err); code != kExitOk) return code;
  // The editor lists only project folders that hold a setup.dat.
  const auto folder = ProjectFolderPath(ws.programFolder, *number);
  if (*number > 0 && !FileExists(folder / "setup.dat")) {
    err << "orbelune-cli project load: no project " << *number << " (" << (folder / "setup.dat").string()
        << " is missing)\n";
    return kExitInput;
  }
  if (!LoadProjectNumber(ws, *number)) return kExitFile;
  PrintProject(ws, out);
  return kExitOk;
}

int CmdRename(const std::vector<std::string>& args, const std::string& data, std::ostream& out,
              std::ostream& err) {
  if (args.size() != 1) return Usage(err, "project rename needs one new name");
  if (args[0].empty()) return Usage(err, "project rename needs a name that is not empty");
  Session s(data, err);
  Workspace& ws = s.ws;
  if (int code = LoadForCommand(ws, LoadScope::Project, err); code != kExitOk) return code;
  s.op.typeWhen(kRenamePrompt, args[0]);
  if (RenameCurrentProject(ws) != EditorOutcome::Done) return kExitUsage;
  if (!SaveProjectReported(ws)) return kExitFile;
  PrintProject(ws, out);
  return kExitOk;
}

int CmdList(const std::vector<std::string>& args, const std::string& data, std::ostream& out, std::ostream& err) {
  if (!args.empty()) return Usage(err, "project list takes no arguments");
  Session s(data, err);
  if (int code = LoadForCommand(s.ws, LoadScope::CheckConfig, err); code != kExitOk) return code;
  for (const auto& entry : ProjectList(s.ws.programFolder, s.op)) out << entry << "\n";
  return kExitOk;
}

}  // namespace

int RunProject(const std::vector<std::string>& argsIn, std::ostream& out, std::ostream& err) {
  std::vector<std::string> args = argsIn;
  const std::string data = TakeDataOption(args);
  if (args.empty()) return Usage(err, "which project command?");
  const std::string command = args.front();
  args.erase(args.begin());
  if (command == "-h" || command == "--help") {
    out << kProjectUsage;
    return kExitOk;
  }
  try {
    if (command == "new") return CmdNew(args, data, out, err);
    if (command == "set") return CmdSet(args, data, out, err);
    if (command == "load") return CmdLoad(args, data, out, err);
    if (command == "rename") return CmdRename(args, data, out, err);
    if (command == "list") return CmdList(args, data, out, err);
  } catch (const UnansweredQuestion& e) {
    err << "orbelune-cli project: " << e.what() << "\n";
    return kExitUsage;
  }
  return Usage(err, "unknown project command " + command);
}

}  // namespace orb
