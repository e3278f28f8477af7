#include "acquisition/acquisition_folder.h"

#include <chrono>
#include <exception>
#include <system_error>

#include "app/project_files.h"
#include "app/workspace.h"

namespace orb {

LocalDateTime MinutesLater(const LocalDateTime& t, int minutes) {
  using namespace std::chrono;
  const sys_days day{year{t.year} / month{static_cast<unsigned>(t.month)} / static_cast<unsigned>(t.day)};
  const sys_time<std::chrono::minutes> moved = day + hours{t.hour} + std::chrono::minutes{t.minute + minutes};
  const sys_days movedDay = floor<days>(moved);
  const year_month_day ymd{movedDay};
  const hh_mm_ss<std::chrono::minutes> clock{moved - movedDay};
  return {static_cast<int>(ymd.year()),
          static_cast<int>(static_cast<unsigned>(ymd.month())),
          static_cast<int>(static_cast<unsigned>(ymd.day())),
          static_cast<int>(clock.hours().count()),
          static_cast<int>(clock.minutes().count()),
          t.second};
}

namespace {

// Creates (when missing) and locks the first free folder from the start
// minute on. The lock is taken before the folder is looked into, so two
// runs choosing at the same moment never both find the same folder free.
AcquisitionFolder ChooseRunFolder(const Workspace& ws, const LocalDateTime& start) {
  AcquisitionFolder chosen;
  const auto first = ws.ProjectPath / FormatFolderStamp(start);
  for (int k = 0; k <= kFolderMinutesAhead; ++k) {
    const auto folder = k == 0 ? first : ws.ProjectPath / FormatFolderStamp(MinutesLater(start, k));
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) throw RecordFileFailure({folder, ec.message()});
    FolderLock lock = FolderLock::TryLock(folder);
    if (lock.error()) throw RecordFileFailure(*lock.error());
    if (!lock.held() || FolderHoldsRecords(folder)) continue;
    chosen.path = folder;
    chosen.lock = std::move(lock);
    if (k > 0) chosen.taken = first;
    return chosen;
  }
  throw RecordFileFailure({first, "this folder and those of the next " + std::to_string(kFolderMinutesAhead) +
                                      " minutes all hold recordings"});
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

AcquisitionFolder CreateAcquisitionFolder(const Workspace& ws, const LocalDateTime& start, const std::string& name,
                                          const std::string& description) {
  AcquisitionFolder chosen = ChooseRunFolder(ws, start);
  WriteSnapshot(ws, chosen.path);
  if (!WriteSubproject(chosen.path, name, description))
    throw RecordFileFailure({chosen.path / kSubprojectFile, "cannot be written"});
  return chosen;
}

std::filesystem::path CreateSnapshotFolder(const Workspace& ws, const LocalDateTime& start) {
  AcquisitionFolder chosen = ChooseRunFolder(ws, start);
  WriteSnapshot(ws, chosen.path);
  return chosen.path;
}

}  // namespace orb
