// Project folders and their files: setup.dat (with setup.bak and recovery),
// groups.dat, chgroup.dat, subproj.dat.
#pragma once

#include <filesystem>
#include <string>

#include "app/records.h"

namespace orb {

class Operator;
struct Workspace;

// "p" + five digits (p00001).
std::string ProjectFolderName(int projectNumber);
// The data folder for project 0, else <data>/pNNNNN.
std::filesystem::path ProjectFolderPath(const std::filesystem::path& programFolder, int projectNumber);

// Defaults of ProjectSetup, group by group, as applied by the recovery.
void ApplySetupDefaultsFromStage(ProjectSetup& setup, const std::filesystem::path& programFolder,
                                 int projectNumber, int stage);
ProjectSetup DefaultProjectSetup(const std::filesystem::path& programFolder, int projectNumber);

// LoadProjectSetup, LoadChannelStatus, LoadThresholds, LoadGroupNames,
// LoadChannelGroups and LoadPlateFormat, in this order, from ws.ProjectPath
// (set to ProjectFolderPath when the caller left it empty).
void LoadProject(Workspace& ws, int projectNumber);
// setup.dat with its recovery: on a failure, setup.bak or the newest
// acquisition's setup.dat (more than 16 lines) is copied over it and read
// once more (projects above 0 only); what cannot be read gets the defaults of
// the stage it failed at. A Num_proj other than projectNumber is a warning
// (message and ws.showStatus), the values are kept.
void LoadProjectSetup(Workspace& ws, int projectNumber);
// groups.dat and chgroup.dat of a project or acquisition folder; a file that
// cannot be read is reported and gets the default groups. `projectNumber` is
// used only in the messages.
void LoadGroupNames(const std::filesystem::path& folder, GroupTable& groups, int projectNumber, Operator& op);
void LoadChannelGroups(const std::filesystem::path& folder, GroupTable& groups, int projectNumber, Operator& op);

// Writes setup.dat (after copying it to setup.bak), status.dat, threshld.dat,
// groups.dat and chgroup.dat into `folder` (ws.ProjectPath when empty), with
// Num_proj = ws.config.Actual_Project_Number. Throws on failure, the caller
// reports it: RecordError when a text cannot be stored (a double quote in a
// name), before any file is touched; std::system_error when a file cannot
// be written.
void SaveProject(const Workspace& ws, const std::filesystem::path& folder = {});

std::string SetupFileBytes(const ProjectSetup& setup, int numProj);
std::string GroupNamesFileBytes(const GroupTable& groups);
std::string ChannelGroupsFileBytes(const GroupTable& groups);

// True when the file reads whole as a setup file (every field of setup.dat).
bool ReadsAsSetup(const std::filesystem::path& file);

// Number of lines; 0 when the file cannot be read or has more than 32767.
int CountLines(const std::filesystem::path& file);
// Newest yyyymmdd_hhmm sub-folder name of `folder`, or empty.
std::string FindLatestAcquisition(const std::filesystem::path& folder);
// "<Project> pNNNNN: Name", with recovery of a damaged setup.dat.
std::string ReadProjectSummary(const std::filesystem::path& folder, Operator& op);
// Rewrites Name in folder/setup.dat (after copying it to setup.bak), every
// other byte of the line kept; returns the new name, or empty when the name
// cannot be stored (a double quote, a line end) or the file is not a setup
// of at most 51 lines. A missing setup.dat changes nothing.
std::string RenameProject(const std::filesystem::path& folder, const std::string& newName, Operator& op);
std::string ReadSubprojectName(const std::filesystem::path& folder);
std::string RenameSubproject(const std::filesystem::path& folder, const std::string& newName, Operator& op);
// subproj.dat: the acquisition's name and description.
bool WriteSubproject(const std::filesystem::path& folder, const std::string& name, const std::string& description);
// 1 on success, -1 on any failure.
int CopyFileChecked(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace orb
