#include "app/startup.h"

#include <cstdlib>
#include <exception>

#include "app/config_files.h"
#include "app/project_files.h"
#include "app/workspace.h"
#include "common/fileio.h"
#include "common/format.h"
#include "common/seams.h"

namespace orb {
namespace {

std::string_view Trim(std::string_view s) {
  const char* blanks = " \t\r\n";
  auto b = s.find_first_not_of(blanks);
  if (b == std::string_view::npos) return {};
  auto e = s.find_last_not_of(blanks);
  return s.substr(b, e - b + 1);
}

// The number in a box, as a person typed it; nullopt when it is none.
std::optional<double> BoxNumber(const std::string& text) {
  std::string t(Trim(text));
  if (t.empty()) return std::nullopt;
  char* end = nullptr;
  double v = std::strtod(t.c_str(), &end);
  if (end != t.c_str() + t.size()) return std::nullopt;
  return v;
}

}  // namespace

LoadResult LoadProgram(Workspace& ws, LoadScope scope, const LoadSteps& steps) {
  auto stage = [&](int n) {
    if (steps.stage) steps.stage(n);
  };
  if (!FileExists(ws.programFile("config.dat"))) return LoadResult::NoConfig;
  if (scope == LoadScope::CheckConfig) return LoadResult::Loaded;
  stage(1);
  LoadConfig(ws.programFolder, ws.config, *ws.op);
  if (scope == LoadScope::Config) return LoadResult::Loaded;
  stage(2);
  ChooseProjectPath(ws);
  stage(3);
  if (steps.beforeProject && !steps.beforeProject()) return LoadResult::Ended;
  LoadProject(ws, ws.config.Actual_Project_Number);
  stage(4);
  return LoadResult::Loaded;
}

bool IsAutorunArgument(std::string_view commandLine) {
  auto t = Trim(commandLine);
  return t == "/run" || t == "/RUN" || t == "/Run";
}

void ChooseProjectPath(Workspace& ws) {
  int n = ws.config.Actual_Project_Number;
  auto folder = ProjectFolderPath(ws.programFolder, n);
  if (n > 0 && FolderExists(folder)) {
    ws.ProjectPath = folder;
  } else {
    ws.ProjectPath = ws.programFolder;
    ws.config.Actual_Project_Number = 0;
  }
}

std::string ProjectLabel(const Workspace& ws) {
  return std::to_string(ws.config.Actual_Project_Number) + "_" + ws.setup.Name;
}

MainControls DeriveMainControls(Workspace& ws, double currentSnrFactor) {
  ProjectSetup& s = ws.setup;
  MainControls c;
  auto frame = [](std::int16_t flag) -> std::optional<bool> {
    if (flag == 1) return true;
    if (flag == 0) return false;
    return std::nullopt;
  };
  c.calibrationFrame = frame(s.Menu(1));
  c.lightFrame = frame(s.Menu(2));
  c.temperatureFrame = frame(s.Menu(3));

  auto& mn1 = s.MenuTable[Mn1];
  std::string box = mn1[SNRx10] != 0 ? FormatFixed(mn1[SNRx10] / 10.0, 1) : FormatFixed(1.8, 1);
  int code = mn1[Organism];
  c.organismIndex = (code >= 0 && code <= 2) ? code : -1;
  c.preset = ApplyDetectionPreset(c.organismIndex, currentSnrFactor, box);
  c.snrText = c.preset.boxText;
  c.snrThreshold = BoxNumber(c.snrText).value_or(0);
  if (!(c.snrThreshold > 1.4)) c.snrThreshold = 1.8;

  c.autoCalibration = mn1[Enab_Cal] == 1;
  c.autoZero = mn1[Enab_Zero] == 1;

  auto& mn2 = s.MenuTable[Mn2];
  c.lightEnabled = mn2[LightEnable] == 1;
  s.Menu(2) = c.lightEnabled ? 1 : 0;
  if (mn2[Time_ON] == 0 && mn2[Time_OFF] == 0) {
    mn2[Time_ON] = 9;
    mn2[Time_OFF] = 21;
  }
  c.timeOn = mn2[Time_ON];
  c.timeOff = mn2[Time_OFF];
  c.pulseFrameVisible = false;
  c.lightBoxesEnabled = true;
  if (c.lightEnabled) {
    c.pulseTimes = std::to_string(mn2[PulseCount]);
    c.pulseOn = FormatFixed(mn2[PulseOnx10] / 10.0, 1);
    c.pulseOff = FormatFixed(mn2[PulseOffx10] / 10.0, 1);
    if (mn2[PulseCount] >= 1) {
      c.pulseFrameVisible = true;
      c.lightBoxesEnabled = false;
    }
  }

  auto& mn3 = s.MenuTable[Mn3];
  c.temperatureEnabled = mn3[TempEnable] == 1;
  if (mn3[Tempx10] < 20 || mn3[Tempx10] > 500) mn3[Tempx10] = 200;
  c.setPointText = FormatFixed(mn3[Tempx10] / 10.0, 1);

  c.projectLabel = ProjectLabel(ws);
  return c;
}

BinSizeList MakeBinSizeList(int userDefined, int reportBin) {
  BinSizeList l;
  l.items = {"15", "30", "60", "120", "180", "240", "360", "480", "720", "1440"};
  if (userDefined == 1) {
    l.userDefined = true;
    l.items.push_back(std::to_string(reportBin));
    l.selected = static_cast<int>(l.items.size()) - 1;
  } else {
    l.userDefined = false;
    l.selected = 1;
  }
  return l;
}

std::string SaveQuestion(const Workspace& ws) {
  return "Update values to project " + ProjectLabel(ws) + " before Exit?";
}

bool CloseMainWindow(Workspace& ws, bool offline, EventLoop& loop) {
  if (offline) return false;
  if (ws.op->confirm(SaveQuestion(ws))) {
    try {
      SaveProject(ws);
    } catch (const std::exception& e) {
      // A failure skips the rest of this step (the waits and the port); the
      // closing goes on, and the person learns the settings were not saved.
      ws.op->inform("Error saving project " + ProjectLabel(ws) + ": " + e.what());
      return false;
    }
    loop.sleepMs(300);
    loop.processEvents();
    loop.sleepMs(300);
  }
  return true;
}

}  // namespace orb
