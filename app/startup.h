// What the main window decides while it loads and closes, as plain
// functions: the window only moves these values into its controls.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/records.h"
#include "signal/detection_preset.h"

namespace orb {

class EventLoop;
class Operator;
struct Workspace;

inline constexpr const char* kVersionText = "<< V3.6-API Rev04/22 >>";
inline constexpr const char* kMainCaption = "<Orbelune> Acquisition Software  --------> Main";

inline constexpr const char* kConfigNotFound = "Config file not found: Check correct software installation";

// How far the program's load goes.
enum class LoadScope {
  CheckConfig,  // only that config.dat is there (the raw re-analysis)
  Config,       // and LoadConfig (commands that need only the port)
  Project,      // and the current project: ChooseProjectPath, LoadProject
};
enum class LoadResult {
  Loaded,    // everything the scope asks for is loaded
  NoConfig,  // no config.dat in the data folder: the program ends (kConfigNotFound)
  Ended,     // a step hook ended the load
};
// What the caller does between the steps of the load. The stage numbers
// are those of the main window's "Error loading INIT parameters #ERROR:"
// message: 1 reading config.dat, 2 choosing the project folder, 3 before
// the project's files (the window shows its chooser here), 4 loaded.
struct LoadSteps {
  std::function<void(int stage)> stage;
  // Runs before the project's files are read; false ends the load.
  std::function<bool()> beforeProject;
};
// The program's load: the check for config.dat, LoadConfig, the choice of
// the current project's folder and LoadProject, as far as `scope` says.
// Messages go through ws.op and ws.statusLine; config.dat is never created.
LoadResult LoadProgram(Workspace& ws, LoadScope scope = LoadScope::Project, const LoadSteps& steps = {});

// The trimmed command line is exactly "/run", "/RUN" or "/Run".
bool IsAutorunArgument(std::string_view commandLine);

// The current project's folder: that of Actual_Project_Number when it exists
// and the number is above 0, else the data folder itself and project 0.
void ChooseProjectPath(Workspace& ws);

// "<number>_<Name>", the project label shown everywhere.
std::string ProjectLabel(const Workspace& ws);

// Everything the load sequence sets on the main window from the project.
// Building it also applies the load's corrections to the project: Menu2
// follows the light Enable, Time_ON/Time_OFF 0/0 become 9/21, a set point
// outside 20..500 becomes 200.
struct MainControls {
  // Tool frames: shown/hidden, or nullopt to leave the designed visibility.
  std::optional<bool> calibrationFrame, lightFrame, temperatureFrame;

  std::string snrText;        // txt_snr_umbral after the preset
  int organismIndex = -1;     // Cmb_organism selection, -1 = none
  DetectionPreset preset;
  double snrThreshold = 1.8;  // the window's working threshold

  bool autoCalibration = false, autoZero = false;  // before the calibration-control-off action

  bool lightEnabled = false;  // Chk_lenabled
  int timeOn = 9, timeOff = 21;
  bool pulseFrameVisible = false;
  bool lightBoxesEnabled = true;  // txt_lon, txt_loff
  std::string pulseTimes, pulseOn, pulseOff;  // set only when light is enabled

  bool temperatureEnabled = false;  // Chk_tenabled
  std::string setPointText;         // txttemp

  std::string projectLabel;
};
MainControls DeriveMainControls(Workspace& ws, double currentSnrFactor = 1.7);

// The bin-size list of the main window and its selection, after the report
// settings were read (User_defined 1 adds their bin and shows it).
struct BinSizeList {
  std::vector<std::string> items;
  int selected = 1;
  bool userDefined = false;  // mn_userbin checked
};
BinSizeList MakeBinSizeList(int userDefined, int reportBin);

// "Update values to project <label> before Exit?"
std::string SaveQuestion(const Workspace& ws);

// The closing of the main window: unless offline, ask the save question and
// on Yes save the project (then wait 300 ms, let events run, 300 ms more).
// A failed save is reported and skips the rest of the step (the waits and
// the port); the closing goes on. Returns true when the port should be
// closed (not offline, no failure).
bool CloseMainWindow(Workspace& ws, bool offline, EventLoop& loop);

}  // namespace orb
