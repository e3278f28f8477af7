#include "setup/project_editor.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <exception>
#include <system_error>

#include "app/config_files.h"
#include "app/project_files.h"
#include "app/startup.h"
#include "app/workspace.h"
#include "common/encoding.h"
#include "common/fileio.h"
#include "common/format.h"
#include "common/seams.h"
#include "common/text_record.h"
#include "setup/plate_change.h"

namespace orb {
namespace fs = std::filesystem;

namespace {

constexpr int kMaxProjectNumber = 32000;
constexpr int kLapseCeiling = 32000;
constexpr int kLapseFloor = 2;
constexpr int kBufferLow = 200, kBufferHigh = 10000;
constexpr int kSnrElegans = 18, kSnrZebrafish = 28;

// A plain decimal number as typed into a box: blanks around it, an optional
// sign, digits with an optional period. Read without the locale, so that a
// window that set the user's locale still reads "2.5" as two and a half.
std::optional<double> BoxNumber(std::string text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::nullopt;
  text = text.substr(first, text.find_last_not_of(" \t") - first + 1);
  std::size_t i = 0;
  if (text[i] == '+' || text[i] == '-') ++i;
  bool digits = false;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, digits = true;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, digits = true;
  }
  if (!digits || i != text.size()) return std::nullopt;
  const std::size_t start = text[0] == '+' ? 1 : 0;  // from_chars takes no plus sign
  double value = 0;
  const auto [end, ec] = std::from_chars(text.data() + start, text.data() + text.size(), value,
                                         std::chars_format::fixed);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

BoxEdit Refuse(int kept, std::string message) {
  return BoxEdit{false, kept, std::to_string(kept), std::move(message)};
}

// Txtsample and Txt_dspinterval: the number rounded; what a 16-bit field
// cannot hold is refused.
BoxEdit EditWholeNumber(std::int16_t& field, const std::string& boxText, const std::string& label) {
  const std::string message = "Enter a valid " + label + ": a number from -32768 to 32767";
  const auto number = BoxNumber(boxText);
  if (!number) return Refuse(field, message);
  const double rounded = std::nearbyint(*number);
  if (rounded < -32768.0 || rounded > 32767.0) return Refuse(field, message);
  field = static_cast<std::int16_t>(rounded);
  return BoxEdit{true, field, boxText, {}};
}

bool IsDefaultProject(const Workspace& ws) { return ws.config.Actual_Project_Number == 0; }

// The five digits of a project folder name "pNNNNN" as its number, when the
// name is one (projects 1 to 32000).
std::optional<int> ProjectFolderNumber(const std::string& name) {
  if (name.size() != 6 || name[0] != 'p') return std::nullopt;
  int n = 0;
  for (std::size_t i = 1; i < 6; ++i) {
    if (name[i] < '0' || name[i] > '9') return std::nullopt;
    n = n * 10 + (name[i] - '0');
  }
  if (n < 1 || n > kMaxProjectNumber) return std::nullopt;
  return n;
}

// The name box of New and of Save answered No. A refused name is reported
// here; Cancel gives an empty name (an empty optional).
std::optional<std::string> AskProjectName(Workspace& ws, const std::string& titleNumber) {
  return ws.op->input("Enter the New Project Name", "Saving <" + titleNumber + "> with a new name", "");
}

DetectionHandOver HandOver(const ProjectSetup& setup) {
  DetectionHandOver h;
  const int organism = setup.MenuTable[Mn1][Organism];
  if (organism >= 0 && organism <= 2) {
    h.organismName = EditorOrganismItems()[organism];
    h.organismEntry = organism;
  }
  const int snr = setup.MenuTable[Mn1][SNRx10];
  h.detectionText = "Detection Mode" + std::to_string(setup.DSP_Method) + ", " + h.organismName + " [snr " +
                    FormatFixed(snr / 10.0, 1) + "]";
  h.snrText = FormatPlainReal(snr / 10.0);
  return h;
}

}  // namespace

// ---- lists --------------------------------------------------------------------

const std::vector<std::string>& AcqModeItems() {
  static const std::vector<std::string> items = {"0_Offline",     "1_Default",     "2_Fast(0.31)",
                                                 "3_Fast(32.63)", "4_Fast(64.95)", "5_Fast(96.127)"};
  return items;
}

const std::vector<std::string>& DspMethodItems() {
  static const std::vector<std::string> items = {"0_Threshold+Binary (Old Method.w/filters)",
                                                 "1_Threshold Avrg (Default.Agar&Liquid)",
                                                 "2_Motility Index(ameboid movement)"};
  return items;
}

const std::vector<std::string>& EditorOrganismItems() {
  static const std::vector<std::string> items = {"C.elegans", "Zebrafish", "Echinococcus"};
  return items;
}

const std::vector<std::string>& SaveListItems() {
  static const std::vector<std::string> items = {"NO", "YES"};
  return items;
}

// ---- boxes --------------------------------------------------------------------

BoxEdit EditLapse(ProjectSetup& setup, const std::string& boxText) {
  const auto number = BoxNumber(boxText);
  if (!number) return Refuse(setup.Aq_lapse, "Enter a valid Acquisition lapse: a number of minutes");
  BoxEdit edit{true, 0, boxText, {}};
  if (*number >= kLapseCeiling) {
    setup.Aq_lapse = kLapseCeiling;
    edit.text = std::to_string(kLapseCeiling);
  } else {
    // Below 32000 the rounded number is at most 32000; very negative
    // numbers are held at the floor below before they reach the field.
    const double rounded = std::nearbyint(*number);
    setup.Aq_lapse = static_cast<std::int16_t>(rounded > 0 ? rounded : 0);
  }
  // Tested on the stored value: a number such as 0.4, above 0 but rounding
  // to 0, must not program a run of 0 minutes either.
  if (setup.Aq_lapse <= 0) {
    setup.Aq_lapse = kLapseFloor;
    edit.text = std::to_string(kLapseFloor);
  }
  edit.value = setup.Aq_lapse;
  return edit;
}

BoxEdit EditBuffer(ProjectSetup& setup, const std::string& boxText) {
  const auto number = BoxNumber(boxText);
  if (!number) return Refuse(setup.RT_Buffer, "Enter a valid Real-time Buffer: a number from 200 to 10000");
  BoxEdit edit{true, 0, boxText, {}};
  if (*number < kBufferLow || *number > kBufferHigh) {
    setup.RT_Buffer = kBufferLow;
    edit.text = std::to_string(kBufferLow);
  } else {
    setup.RT_Buffer = static_cast<std::int16_t>(std::nearbyint(*number));
  }
  edit.value = setup.RT_Buffer;
  return edit;
}

BoxEdit EditSampleRate(ProjectSetup& setup, const std::string& boxText) {
  return EditWholeNumber(setup.Sample_Rate, boxText, "Sample rate");
}

BoxEdit EditDspInterval(ProjectSetup& setup, const std::string& boxText) {
  return EditWholeNumber(setup.DSP_Interval, boxText, "DSP Interval");
}

BoxEdit EditSnr(ProjectSetup& setup, int organismEntry, const std::string& boxText) {
  std::int16_t& snr = setup.MenuTable[Mn1][SNRx10];
  std::string typed = boxText;
  if (const auto comma = typed.find(','); comma != std::string::npos) typed[comma] = '.';
  const auto number = BoxNumber(typed);
  if (number) {
    const std::string shown = FormatFixed(*number, 1);
    const double value = RoundHalfAwayDecimal(*number, 1);
    if (value >= 1.4 && value <= 5.0) {
      snr = static_cast<std::int16_t>(RoundHalfEven(value * 10));
      return BoxEdit{true, snr, shown, {}};
    }
  }
  BoxEdit edit{false, 0, {}, kInvalidSnr};
  if (organismEntry == 1) {
    snr = kSnrZebrafish;
    edit.text = "2.1";
  } else if (organismEntry == 0 || organismEntry == 2) {
    snr = kSnrElegans;
    edit.text = "1.8";
  } else {
    // No organism to fall back on: the box shows what is kept, not a
    // refused number the acquisition would never use.
    edit.text = FormatFixed(snr / 10.0, 1);
  }
  edit.value = snr;
  return edit;
}

// ---- lists --------------------------------------------------------------------

bool ChooseAqMode(ProjectSetup& setup, int entry) {
  if (entry < 0 || entry >= static_cast<int>(AcqModeItems().size())) return false;
  setup.Aq_mode = static_cast<std::int16_t>(entry);
  return true;
}

bool ChooseDspMethod(ProjectSetup& setup, int entry) {
  if (entry < 0 || entry >= static_cast<int>(DspMethodItems().size())) return false;
  setup.DSP_Method = static_cast<std::int16_t>(entry);
  return true;
}

OrganismChoice ChooseOrganism(ProjectSetup& setup, int entry) {
  OrganismChoice c;
  if (entry < 0 || entry > 2) return c;
  auto& mn1 = setup.MenuTable[Mn1];
  mn1[Organism] = static_cast<std::int16_t>(entry);
  mn1[SNRx10] = static_cast<std::int16_t>(entry == 1 ? kSnrZebrafish : kSnrElegans);
  setup.DSP_Method = static_cast<std::int16_t>(entry == 2 ? 2 : 1);
  c.accepted = true;
  c.snrText = entry == 1 ? "2.1" : "1.8";
  c.dspMethodEntry = setup.DSP_Method;
  return c;
}

int ChooseSaveCounts(ProjectSetup& setup, int) {
  setup.Save_counts = 1;
  return 1;
}

int ChooseSaveReal(ProjectSetup& setup, int entry) {
  setup.Save_real = entry == 1 ? 1 : 0;
  return setup.Save_real;
}

// ---- tools --------------------------------------------------------------------

ToolEffects SetTool(ProjectSetup& setup, int tool, bool checked) {
  ToolEffects effects;
  if (tool < 1 || tool > 6) return effects;
  setup.Menu(tool) = checked ? 1 : 0;
  if (tool == 1) effects.calibrationFrame = checked;
  if (tool == 2) effects.lightFrame = effects.pulseFrame = effects.lightEnabledCheck = checked;
  if (tool == 3) effects.temperatureFrame = checked;
  return effects;
}

AdvancedTools ToggleAdvancedTools(bool frameVisible) {
  if (frameVisible) return {false, kAdvancedClosed};
  return {true, kAdvancedOpen};
}

// ---- load ---------------------------------------------------------------------

EditorControls LoadEditor(Workspace& ws) {
  if (ws.setup.Name.empty()) LoadProject(ws, ws.config.Actual_Project_Number);
  ProjectSetup& s = ws.setup;
  EditorControls c;
  c.projectText = ProjectLabel(ws);
  c.folderText = ws.ProjectPath.string();

  c.plateItems = ListPlateFormats(ws.programFolder);
  const auto plate = std::find(c.plateItems.begin(), c.plateItems.end(), s.Plate_format);
  if (plate != c.plateItems.end()) c.plateEntry = static_cast<int>(plate - c.plateItems.begin());

  if (s.Aq_mode >= 0 && s.Aq_mode < static_cast<int>(AcqModeItems().size())) c.aqModeEntry = s.Aq_mode;
  c.lapseText = std::to_string(s.Aq_lapse);
  c.sampleText = std::to_string(s.Sample_Rate);
  c.bufferText = std::to_string(s.RT_Buffer);
  c.dspIntervalText = std::to_string(s.DSP_Interval);
  if (s.DSP_Method >= 0 && s.DSP_Method <= 2) c.dspMethodEntry = s.DSP_Method;

  auto& mn1 = s.MenuTable[Mn1];
  const int organism = mn1[Organism];
  if (organism >= 0 && organism <= 2) c.organismEntry = organism;
  if (mn1[SNRx10] != 0) {
    c.snrText = FormatFixed(mn1[SNRx10] / 10.0, 1);
  } else if (organism == 1) {
    c.snrText = "2.8";
    mn1[SNRx10] = kSnrZebrafish;
  } else if (organism == 0 || organism == 2) {
    c.snrText = "1.8";
    mn1[SNRx10] = kSnrElegans;
  }

  if (s.Save_real == 0 || s.Save_real == 1) c.saveRealEntry = s.Save_real;
  s.Menu(1) = 1;
  c.lightTool = s.Menu(2) == 1;
  c.temperatureTool = s.Menu(3) == 1;
  c.menu4 = s.Menu(4) == 1;
  c.menu5 = s.Menu(5) == 1;
  c.menu6 = s.Menu(6) == 1;
  return c;
}

// ---- New, Save, Load, rename ----------------------------------------------------

int NextProjectNumber(int lastProject) {
  if (lastProject > kMaxProjectNumber - 1) lastProject = 0;
  return lastProject + 1;
}

std::optional<std::string> ProjectNameRefusal(const std::string& name) {
  const bool control = std::any_of(name.begin(), name.end(), [](char ch) {
    return static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F;
  });
  if (control || name.find('"') != std::string::npos || !IsStorableText(name)) return std::string(kUnstorableName);
  return std::nullopt;
}

bool SaveProjectReported(Workspace& ws) {
  try {
    SaveProject(ws);
    return true;
  } catch (const std::exception& e) {
    // The exception names the file and the reason ("cannot write <file>:
    // <reason>"), or the text that cannot be stored.
    ws.op->inform("The project could not be saved:\r\n" + std::string(e.what()));
    return false;
  }
}

EditorOutcome CreateProject(Workspace& ws, const std::optional<std::string>& typed) {
  const std::string name = typed.value_or(std::string());
  if (auto refusal = ProjectNameRefusal(name)) {
    ws.op->inform(*refusal);
    return EditorOutcome::Refused;
  }

  const std::int16_t previousLast = ws.config.Last_Project;
  const int number = NextProjectNumber(ws.config.Last_Project);
  ws.config.Last_Project = static_cast<std::int16_t>(number);
  const std::string folderName = ProjectFolderName(number);
  const fs::path folder = ws.programFolder / folderName;

  if (FolderExists(folder)) {
    // Only the settings files are written into it; its recordings stay.
    if (ws.op->ask("The project number to generate (" + folderName + "already exists. do you like to overwrite?",
                   Buttons::YesNo) != Answer::Yes)
      return EditorOutcome::Cancelled;
  } else {
    std::error_code ec;
    fs::create_directory(folder, ec);
    if (ec) {
      ws.config.Last_Project = previousLast;
      ws.op->inform("The project folder could not be created:\r\n" + folder.string() + "\r\n" + ec.message());
      return EditorOutcome::Failed;
    }
  }

  const fs::path previousPath = ws.ProjectPath;
  const std::int16_t previousNumber = ws.config.Actual_Project_Number;
  const std::string previousName = ws.setup.Name;
  ws.ProjectPath = folder;
  ws.config.Actual_Project_Number = static_cast<std::int16_t>(number);
  ws.setup.Name = name;
  if (!SaveProjectReported(ws)) {
    ws.ProjectPath = previousPath;
    ws.config.Actual_Project_Number = previousNumber;
    ws.setup.Name = previousName;
    ws.config.Last_Project = previousLast;
    return EditorOutcome::Failed;
  }
  // SaveConfig reports its own failure; the project itself is on disk.
  SaveConfig(ws.programFolder, ws.config, *ws.op);
  return EditorOutcome::Done;
}

EditorOutcome NewProject(Workspace& ws) {
  if (ws.op->ask("Do you like to Create a New Project?", Buttons::OkCancel) != Answer::Ok)
    return EditorOutcome::Cancelled;
  // The title names the number that will be created (32000 wraps to 1).
  const auto name = AskProjectName(ws, std::to_string(NextProjectNumber(ws.config.Last_Project)));
  return CreateProject(ws, name);
}

EditorOutcome SaveProjectAction(Workspace& ws) {
  const std::string label = ProjectLabel(ws);
  switch (ws.op->ask("Do you like to Update <" + label + "> values?", Buttons::YesNoCancel)) {
    case Answer::Yes:
      return SaveProjectReported(ws) ? EditorOutcome::Done : EditorOutcome::Failed;
    case Answer::No:
      return CreateProject(ws, AskProjectName(ws, label));
    default:
      return EditorOutcome::Cancelled;
  }
}

std::vector<std::string> ProjectList(const fs::path& programFolder, Operator& op) {
  std::vector<std::string> folders;
  std::error_code ec;
  for (fs::directory_iterator it(programFolder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    if (!it->is_directory(typeError)) continue;
    const std::string name = it->path().filename().string();
    if (ProjectFolderNumber(name) && FileExists(it->path() / "setup.dat")) folders.push_back(name);
  }
  std::sort(folders.begin(), folders.end());
  std::vector<std::string> entries;
  for (const auto& name : folders) {
    const std::string summary = ReadProjectSummary(programFolder / name, op);
    const auto colon = summary.find(':');
    std::string text = summary;
    if (colon != std::string::npos) text = summary.substr(std::min(colon + 2, summary.size()));
    entries.push_back(name + "_" + text);
  }
  return entries;
}

std::optional<std::vector<std::string>> StartLoad(Workspace& ws) {
  switch (ws.op->ask("Do you like to save current values before new load?", Buttons::YesNoCancel)) {
    case Answer::Yes:
      if (!SaveProjectReported(ws)) return std::nullopt;
      return ProjectList(ws.programFolder, *ws.op);
    case Answer::No:
      return ProjectList(ws.programFolder, *ws.op);
    default:
      return std::nullopt;
  }
}

bool LoadProjectNumber(Workspace& ws, int projectNumber) {
  ws.ProjectPath = ProjectFolderPath(ws.programFolder, projectNumber);
  ws.config.Actual_Project_Number = static_cast<std::int16_t>(projectNumber);
  const bool saved = SaveConfig(ws.programFolder, ws.config, *ws.op);
  LoadProject(ws, projectNumber);
  return saved;
}

bool LoadListedProject(Workspace& ws, const std::string& entry) {
  const auto number = ProjectFolderNumber(entry.substr(0, 6));
  if (!number) return false;
  LoadProjectNumber(ws, *number);
  return true;
}

EditorOutcome RenameCurrentProject(Workspace& ws) {
  if (IsDefaultProject(ws)) {
    ws.op->inform(kRenameDefault);
    return EditorOutcome::Refused;
  }
  const auto typed = ws.op->input(kRenamePrompt, kEditorCaption, ws.setup.Name);
  if (!typed || typed->empty()) return EditorOutcome::Cancelled;
  if (auto refusal = ProjectNameRefusal(*typed)) {
    ws.op->inform(*refusal);
    return EditorOutcome::Refused;
  }
  ws.setup.Name = *typed;
  return EditorOutcome::Done;
}

// ---- leaving -------------------------------------------------------------------

DetectionHandOver ContinueToRun(ProjectSetup& setup, bool connected) {
  auto& mn1 = setup.MenuTable[Mn1];
  if (mn1[SNRx10] == 0) {
    if (mn1[Organism] == 0 || mn1[Organism] == 2) mn1[SNRx10] = kSnrElegans;
    if (mn1[Organism] == 1) mn1[SNRx10] = kSnrZebrafish;
  }
  DetectionHandOver h = HandOver(setup);
  h.connect = !connected;
  return h;
}

DetectionHandOver BackToChooser(const ProjectSetup& setup) { return HandOver(setup); }

}  // namespace orb
