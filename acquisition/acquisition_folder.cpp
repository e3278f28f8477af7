#include "acquisition/acquisition_folder.h"

#include <exception>
#include <system_error>

#include "app/project_files.h"
#include "app/workspace.h"

namespace orb {

namespace {

std::filesystem::path MakeRunFolder(const Workspace& ws, const LocalDateTime& start) {
  const auto folder = ws.ProjectPath / FormatFolderStamp(start);
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) throw RecordFileFailure({folder, ec.message()});
  return folder;
}

void WriteSnapshot(const Workspace& ws, const std::filesystem::path& folder) {
  try {
    SaveProject(ws, folder);
  } catch (const std::system_error& e) {
    throw RecordFileFailure({folder / "setup.dat", e.code().message()});
  } catch (const std::exception& e) {
    throw RecordFileFailure({folder / "setup.dat", e.what()});
  }
}

}  // namespace

std::filesystem::path CreateAcquisitionFolder(const Workspace& ws, const LocalDateTime& start,
                                              const std::string& name, const std::string& description) {
  const auto folder = MakeRunFolder(ws, start);
  WriteSnapshot(ws, folder);
  if (!WriteSubproject(folder, name, description))
    throw RecordFileFailure({folder / kSubprojectFile, "cannot be written"});
  return folder;
}

std::filesystem::path CreateSnapshotFolder(const Workspace& ws, const LocalDateTime& start) {
  const auto folder = MakeRunFolder(ws, start);
  WriteSnapshot(ws, folder);
  return folder;
}

}  // namespace orb
