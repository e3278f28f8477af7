// The project editor's rules without its window: what each box, list and
// check box stores and shows, and the New, Save, Load and rename sequences
// with their questions. A window (or the command line) moves the values
// between its controls and these functions; every question and message goes
// through the Operator seam (ws.op).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/records.h"

namespace orb {

class Operator;
struct Workspace;

inline constexpr const char* kEditorCaption = "<Orbelune> Acquisition Software  --------> Setup";

// ---- list entries, in their order (an entry's position is the stored index)

const std::vector<std::string>& AcqModeItems();         // Combo_aqmode: "0_Offline", ...
const std::vector<std::string>& DspMethodItems();       // ComboDSP
const std::vector<std::string>& EditorOrganismItems();  // Cmb_organism: "C.elegans", "Zebrafish", "Echinococcus"
const std::vector<std::string>& SaveListItems();        // Combosavecount, Combosavereal: "NO", "YES"

// ---- the boxes ---------------------------------------------------------------

// What a box stores and shows after an edit.
struct BoxEdit {
  bool accepted = false;  // false: the entry was refused and the field kept its value
  int value = 0;          // the field's value afterwards
  std::string text;       // what the box shows afterwards
  std::string message;    // the message to show, empty when none
};

// Every box reads a plain decimal number (blanks around it allowed, a period
// as decimal mark; no exponent, no thousands mark). A box holding anything
// else is refused: the field keeps its value, `text` is that value and
// `message` says what the box takes. A window that calls these on every
// change shows the message and puts `text` back when the box loses focus,
// so that a box being cleared to type a new number is not reset meanwhile.
//
// Txtlapse (on change): 32000 or more stores 32000 and shows "32000";
// otherwise the number rounded half to even; a result not above 0 stores 2
// and shows "2". Any number is taken (clamped); only a non-number is refused.
BoxEdit EditLapse(ProjectSetup& setup, const std::string& boxText);
// Txtbuffer (on losing focus): below 200 or above 10000 stores 200 and shows
// "200"; otherwise the number rounded half to even.
BoxEdit EditBuffer(ProjectSetup& setup, const std::string& boxText);
// Txtsample and Txt_dspinterval (on change): the number rounded half to
// even; a number that rounds outside -32768..32767 is refused.
BoxEdit EditSampleRate(ProjectSetup& setup, const std::string& boxText);
BoxEdit EditDspInterval(ProjectSetup& setup, const std::string& boxText);

inline constexpr const char* kInvalidSnr = "Enter a valid SNR: 1.4 to 5.0";
// lbl_snr (on losing focus): the box is reformatted with one decimal (half
// away from zero; "," is read as the decimal mark too) and a number from 1.4
// to 5.0 stores SNRx10 = number x 10 (half to even). Anything else is
// refused with kInvalidSnr and the default of the organism selected in
// Cmb_organism (`organismEntry`, -1 for none): entry 1 shows "2.1" and
// stores 28, entries 0 and 2 show "1.8" and store 18; with no such entry
// SNRx10 keeps its value and the box shows it.
BoxEdit EditSnr(ProjectSetup& setup, int organismEntry, const std::string& boxText);

// ---- the lists ---------------------------------------------------------------

// Combo_aqmode and ComboDSP: the chosen position is stored; a position
// outside the list is refused (false, nothing changes).
bool ChooseAqMode(ProjectSetup& setup, int entry);
bool ChooseDspMethod(ProjectSetup& setup, int entry);

// Cmb_organism: the organism, its SNR default and detection method.
struct OrganismChoice {
  bool accepted = false;
  std::string snrText;     // lbl_snr
  int dspMethodEntry = -1; // ComboDSP shows this entry
};
// Entry 0: "1.8", SNRx10 18, DSP_Method 1; entry 1: "2.1", SNRx10 28,
// DSP_Method 1; entry 2: "1.8", SNRx10 18, DSP_Method 2. Organism = entry.
OrganismChoice ChooseOrganism(ProjectSetup& setup, int entry);

// Combosavecount: whatever is chosen, Save_counts = 1 and the list shows
// "YES" (the returned position, 1).
int ChooseSaveCounts(ProjectSetup& setup, int entry);
// Combosavereal: Save_real = 1 for "YES" (position 1), else 0. Returns the
// position shown.
int ChooseSaveReal(ProjectSetup& setup, int entry);

// ---- the tool check boxes and "[Advanced Tools]" -------------------------------

// What a tool check box changes in the main window (unset: nothing).
struct ToolEffects {
  std::optional<bool> calibrationFrame;  // frm_mn1
  std::optional<bool> lightFrame;        // Frame_light
  std::optional<bool> pulseFrame;        // frm_pulse
  std::optional<bool> lightEnabledCheck; // Chk_lenabled
  std::optional<bool> temperatureFrame;  // Frame_temp
};
// chkcalib (tool 1), chklight (2), chktemp (3), Chk_mn4 to Chk_mn6 (4 to 6):
// Menu<tool> = 1 when checked, 0 when not; tools outside 1..6 change nothing.
ToolEffects SetTool(ProjectSetup& setup, int tool, bool checked);

inline constexpr const char* kAdvancedClosed = "[Advanced Tools]    ->";
inline constexpr const char* kAdvancedOpen = "[Advanced Tools]    <-";
struct AdvancedTools {
  bool frameVisible = false;  // Frame_advanced
  std::string caption;        // cmd_advanced
};
// The button's click: a visible frame is hidden (caption kAdvancedClosed),
// a hidden one shown (kAdvancedOpen).
AdvancedTools ToggleAdvancedTools(bool frameVisible);

// ---- the editor's load -----------------------------------------------------------

// Everything the editor's load puts into its controls (-1: no entry shown).
struct EditorControls {
  std::string projectText;  // txtprj: number + "_" + Name
  std::string folderText;   // Txtfolder: ProjectPath
  std::vector<std::string> plateItems;
  int plateEntry = -1;
  int aqModeEntry = -1;
  std::string lapseText, sampleText, bufferText, dspIntervalText;
  int dspMethodEntry = -1;
  int organismEntry = -1;
  std::string snrText;      // lbl_snr, disabled
  int saveCountsEntry = 1;  // always "YES"
  int saveRealEntry = -1;
  bool calibrationTool = true;  // chkcalib: checked and disabled
  bool lightTool = false, temperatureTool = false, menu4 = false, menu5 = false, menu6 = false;
  bool projectListVisible = false;  // frm_project
};
// The editor's load: the current project is read first when no project is
// loaded (Name empty); then the controls are derived, which also sets
// Menu1 = 1 (the main window's calibration frame is shown) and, when SNRx10
// is 0, the organism's default SNRx10 (28 for organism 1, 18 for 0 and 2).
EditorControls LoadEditor(Workspace& ws);

// ---- New, Save, Load, rename -----------------------------------------------------

enum class EditorOutcome {
  Done,       // the action did what it was asked
  Cancelled,  // a question was answered Cancel or No: nothing was written
  Refused,    // an entry was refused with a message: nothing was written
  Failed,     // a folder or file could not be written; reported, memory as before
};

// The number New gives: Last_Project + 1, 32000 wrapping to 1.
int NextProjectNumber(int lastProject);

// Why a project name cannot be stored (a double quote, a control character
// such as a line end, a character outside Windows-1252), or nothing.
std::optional<std::string> ProjectNameRefusal(const std::string& name);
inline constexpr const char* kUnstorableName =
    "The project name holds characters that cannot be stored (double quotes, line ends, or characters "
    "outside Windows-1252). Please type it again.";

// Creates a project as a copy of the current settings (New, and Save
// answered No): Last_Project moves on (32000 wraps to 1); a folder that
// exists is used only after "The project number to generate (pNNNNN"
// "already exists. do you like to overwrite?" is answered Yes (No: stop, the
// raised Last_Project stays in memory); otherwise the folder is created.
// Then the project becomes current with `name` (an empty optional, the name
// box cancelled, gives an empty name), SaveProject writes its files and
// SaveConfig the configuration. Only the project's settings files are
// written: the folder's recordings are never touched. A name that cannot be
// stored is refused before anything is done; a folder that cannot be
// created or a failed save is reported with the file and the reason, and
// the project, its number and Last_Project stay as they were.
EditorOutcome CreateProject(Workspace& ws, const std::optional<std::string>& name);

// "New...": "Do you like to Create a New Project?" (OK/Cancel), the name box
// ("Enter the New Project Name", titled with the number to be created),
// then CreateProject.
EditorOutcome NewProject(Workspace& ws);

// "Save...": "Do you like to Update <label> values?" (Yes/No/Cancel). Yes:
// SaveProject; No: the name box and CreateProject; Cancel: nothing. A failed
// save is reported with the file and the reason.
EditorOutcome SaveProjectAction(Workspace& ws);

// SaveProject of the current project; a failure is reported to the operator
// ("The project could not be saved:" with the file and the reason) and
// false returned. Nothing in memory changes.
bool SaveProjectReported(Workspace& ws);

// The project list: for every folder p + five digits (projects 1 to 32000)
// in the program folder that holds a setup.dat, in name order, the folder
// name, "_" and the text after the first ": " of its ReadProjectSummary
// (p00003_Growth test). A summary without a colon is kept whole.
std::vector<std::string> ProjectList(const std::filesystem::path& programFolder, Operator& op);

// "Load...": "Do you like to save current values before new load?"
// (Yes/No/Cancel). Yes saves first (a failed save is reported and the load
// stops there, so that the edits are not lost unsaved), Yes and No return
// the project list to show; Cancel returns nothing.
std::optional<std::vector<std::string>> StartLoad(Workspace& ws);

// A double click in the project list: the number of the entry's folder
// name (its first six characters, p + five digits) becomes the current
// project, config.dat is saved and the project loaded. An empty entry, or
// one that does not start with a project folder name, does nothing (false).
// The caller runs the editor's load again afterwards.
bool LoadListedProject(Workspace& ws, const std::string& entry);
// The same for a project number (0 is the program folder's project); false
// when config.dat could not be saved (SaveConfig reported it).
bool LoadProjectNumber(Workspace& ws, int projectNumber);

inline constexpr const char* kRenameDefault =
    "Not possible to rename the Default project. Save it with another Name";
inline constexpr const char* kRenamePrompt = "Rename Project: Entre New Name";
// A double click on txtprj: project 0 is refused with kRenameDefault;
// otherwise a non-empty answer to kRenamePrompt becomes Name (a name that
// cannot be stored is refused with kUnstorableName). Nothing is written.
EditorOutcome RenameCurrentProject(Workspace& ws);

// ---- leaving the editor ------------------------------------------------------------

// What "Continue to Run..." and "<<Back" pass to the main window.
struct DetectionHandOver {
  std::string organismName;   // "C.elegans", "Zebrafish", "Echinococcus" or empty
  std::string detectionText;  // txt_detection: "Detection Mode1, C.elegans [snr 1.8]"
  std::string snrText;        // txt_snr_umbral: SNRx10 / 10 as a plain number
  int organismEntry = -1;     // the main window's Cmb_organism position, -1 for none
  bool connect = false;       // run the main window's connect action
};
// "Continue to Run...": SNRx10 0 first becomes the organism's default (18
// for organisms 0 and 2, 28 for 1); `connect` when not connected. Nothing is
// saved or asked; showing and hiding the windows is the caller's.
DetectionHandOver ContinueToRun(ProjectSetup& setup, bool connected);
// "<<Back": the same hand-over without the default step and the connect.
DetectionHandOver BackToChooser(const ProjectSetup& setup);

}  // namespace orb
