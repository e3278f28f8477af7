// The one object that holds the program-wide records, owned by the
// application and passed by reference (no hidden globals).
#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "app/records.h"
#include "plate/plate_format.h"

namespace orb {

class Operator;

struct Workspace {
  Workspace(std::filesystem::path programFolder, Operator& op)
      : programFolder(std::move(programFolder)), op(&op) {}

  // The data folder: config.dat, calvalue.dat, the plate files, project 0.
  std::filesystem::path programFolder;
  // Folder of the current project (the data folder itself for project 0).
  std::filesystem::path ProjectPath;

  AppConfig config;
  ProjectSetup setup;
  ChannelStatus status{};
  ChannelThresholds thresholds{};
  ChannelCalibration calibration;
  GroupTable groups;
  PlateFormat plate;

  Operator* op;
  // The chooser's status line; messages that also go there are sent here.
  std::function<void(const std::string&)> statusLine;

  void showStatus(const std::string& text) const { if (statusLine) statusLine(text); }
  std::filesystem::path programFile(const std::string& name) const { return programFolder / name; }
  std::filesystem::path projectFile(const std::string& name) const { return ProjectPath / name; }
};

}  // namespace orb
