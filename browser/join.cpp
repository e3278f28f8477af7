#include "browser/join.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <limits>
#include <system_error>

#include "app/project_files.h"
#include "browser/acquisition_ref.h"
#include "common/encoding.h"
#include "common/fileio.h"
#include "common/seams.h"
#include "records/record_files.h"
#include "reports/report_context.h"

namespace orb {
namespace fs = std::filesystem;

namespace {

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
long long DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const long long yoe = y - era * 400;
  const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

int DaysInMonth(int y, int m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return m == 2 && leap ? 29 : kDays[m - 1];
}

long long MinuteNumber(const LocalDateTime& t) {
  return DaysFromCivil(t.year, t.month, t.day) * 1440 + t.hour * 60 + t.minute;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// A name subproj.dat can hold: no double quote, no line break or other
// control character, only characters of Windows-1252.
bool IsStorableName(const std::string& name) {
  for (char ch : name) {
    const auto u = static_cast<unsigned char>(ch);
    if (ch == '"' || (u < 0x20 && ch != '\t') || u == 0x7F) return false;
  }
  return IsStorableText(name);
}

fs::path ProjectOf(const fs::path& acquisition) {
  std::error_code ec;
  fs::path p = fs::weakly_canonical(acquisition, ec);
  if (ec) p = acquisition.lexically_normal();
  if (!p.has_filename()) p = p.parent_path();
  return p.parent_path();
}

std::string FolderName(const fs::path& folder) {
  fs::path p = folder;
  if (!p.has_filename()) p = p.parent_path();
  return p.filename().string();
}

constexpr const char* kSnapshotFiles[] = {"setup.dat", "status.dat", "threshld.dat", "groups.dat", "chgroup.dat"};

JoinResult Stop(JoinResult::Status status, std::string message, Operator& op) {
  op.inform(message);
  JoinResult r;
  r.status = status;
  r.message = std::move(message);
  return r;
}

// Removes the half-made folder and says what failed.
JoinResult Fail(const fs::path& folder, const std::string& what, Operator& op) {
  std::error_code ec;
  fs::remove_all(folder, ec);
  return Stop(JoinResult::Status::Failed,
              "Join failed: " + what + "\r\nNothing was joined; the folder " + folder.string() + " was removed.", op);
}

}  // namespace

std::string AcquisitionLine(const fs::path& acquisitionFolder) {
  const std::string n = FolderName(acquisitionFolder);
  if (!IsAcquisitionFolderName(n)) return {};
  return "  > " + n.substr(0, 4) + "." + n.substr(4, 4) + "\t ACQ" + n.substr(9, 2) + ":" + n.substr(11, 2) +
         " \"" + ReadSubprojectName(acquisitionFolder) + "\"";
}

std::optional<LocalDateTime> AcquisitionStart(const std::string& folderName) {
  if (!IsFolderStampName(folderName)) return std::nullopt;
  const auto num = [&](std::size_t pos, std::size_t len) { return std::stoi(folderName.substr(pos, len)); };
  LocalDateTime t{num(0, 4), num(4, 2), num(6, 2), num(9, 2), num(11, 2), 0};
  if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > DaysInMonth(t.year, t.month) || t.hour > 23 ||
      t.minute > 59)
    return std::nullopt;
  return t;
}

long long MinutesBetween(const LocalDateTime& from, const LocalDateTime& to) {
  return MinuteNumber(to) - MinuteNumber(from);
}

LocalDateTime NextMinute(const LocalDateTime& t) {
  LocalDateTime n = t;
  n.second = 0;
  if (++n.minute < 60) return n;
  n.minute = 0;
  if (++n.hour < 24) return n;
  n.hour = 0;
  if (++n.day <= DaysInMonth(n.year, n.month)) return n;
  n.day = 1;
  if (++n.month <= 12) return n;
  n.month = 1;
  ++n.year;
  return n;
}

std::string JoinSubprojectText(const std::vector<JoinItem>& items) {
  std::string text = "Data Block: ";
  for (const JoinItem& item : items) {
    std::string line = item.line;
    std::replace(line.begin(), line.end(), '"', '\'');
    text += line + " + ";
  }
  return text;
}

std::string JoinQuestion(const std::vector<JoinItem>& items) {
  std::string list;
  for (const JoinItem& item : items) list += item.line + "\r\n";
  return "Would you like to Join:\r\n" + list + " ?";
}

JoinResult JoinAcquisitions(const std::vector<JoinItem>& items, const JoinOptions& options, Operator& op,
                            Clock& clock) {
  using Status = JoinResult::Status;
  const bool acquisitions = !items.empty() && std::all_of(items.begin(), items.end(), [](const JoinItem& i) {
    return IsAcquisitionFolderName(FolderName(i.folder));
  });
  if (!acquisitions) return Stop(Status::Refused, kJoinWrongSelection, op);

  // What makes the join impossible is said before the question.
  std::vector<LocalDateTime> starts;
  if (items.size() >= 2) {
    const fs::path project = ProjectOf(items[0].folder);
    const std::string plate = Lower(ReadAcquisitionSettings(items[0].folder).plateFormat);
    for (const JoinItem& item : items) {
      if (ProjectOf(item.folder) != project)
        return Stop(Status::Refused,
                    "Cannot join acquisitions of different projects:\r\n" + items[0].folder.string() + "\r\n" +
                        item.folder.string(),
                    op);
      const std::string other = Lower(ReadAcquisitionSettings(item.folder).plateFormat);
      if (other != plate)
        return Stop(Status::Refused,
                    "Cannot join acquisitions of different plate formats: " + plate + " (" +
                        FolderName(items[0].folder) + ") and " + other + " (" + FolderName(item.folder) + ")",
                    op);
      if (!FileExists(item.folder / kCountsFile))
        return Stop(Status::Refused, "Cannot join: " + (item.folder / kCountsFile).string() + " not found", op);
      const auto start = AcquisitionStart(FolderName(item.folder));
      if (!start)
        return Stop(Status::Refused, "Cannot join: " + FolderName(item.folder) + " names no start time", op);
      starts.push_back(*start);
    }
    if (options.name && !IsStorableName(*options.name))
      return Stop(Status::Refused,
                  "Cannot join: the name holds characters subproj.dat cannot hold (double quotes, line breaks, or "
                  "characters outside Windows-1252)",
                  op);
  }

  if (options.ask && op.ask(JoinQuestion(items), Buttons::OkCancel) != Answer::Ok) {
    JoinResult r;
    r.status = Status::Cancelled;
    return r;
  }
  if (items.size() < 2) return Stop(Status::NotEnough, kJoinWrongSelection, op);

  // The blocks' records, read whole before anything is created.
  std::vector<std::vector<CountsRecord>> blocks;
  for (const JoinItem& item : items) {
    auto records = ReadCountsFile(item.folder);
    if (!records)
      return Stop(Status::Refused, "Cannot join: " + (item.folder / kCountsFile).string() + " cannot be read", op);
    blocks.push_back(std::move(*records));
  }
  const LocalDateTime earliest = *std::min_element(starts.begin(), starts.end(), [](const auto& a, const auto& b) {
    return MinuteNumber(a) < MinuteNumber(b);
  });

  // The new folder: the minute of the join, else the next free minute.
  const fs::path project = ProjectOf(items[0].folder);
  fs::path folder;
  LocalDateTime when = clock.now();
  for (int tries = 0; tries < 7 * 1440 && folder.empty(); ++tries, when = NextMinute(when)) {
    const fs::path candidate = project / FormatFolderStamp(when);
    std::error_code ec;
    if (fs::exists(candidate, ec)) continue;
    if (fs::create_directory(candidate, ec)) {
      folder = candidate;
    } else if (ec) {
      return Stop(Status::Failed, "Join failed: the folder " + candidate.string() + " cannot be created (" +
                                      ec.message() + ")",
                  op);
    }
  }
  if (folder.empty()) return Stop(Status::Failed, "Join failed: no free folder name in " + project.string(), op);

  // The settings snapshot of the first acquisition.
  const fs::path& first = items[0].folder;
  std::vector<std::string> snapshot(std::begin(kSnapshotFiles), std::end(kSnapshotFiles));
  snapshot.push_back(ReadAcquisitionSettings(first).plateFormat + ".dat");
  for (const std::string& name : snapshot) {
    if (!FileExists(first / name)) continue;
    if (!CopyWholeFile(first / name, folder / name)) return Fail(folder, name + " cannot be copied", op);
  }

  std::string description = "Joint Files; minutes moved by each block's start:";
  std::vector<long long> offsets;
  for (std::size_t i = 0; i < items.size(); ++i) {
    offsets.push_back(MinutesBetween(earliest, starts[i]));
    description += (i ? ", " : " ") + FolderName(items[i].folder) + " +" + std::to_string(offsets.back());
  }
  const std::string name = options.name ? *options.name : JoinSubprojectText(items);
  if (!WriteSubproject(folder, name, description)) return Fail(folder, "subproj.dat cannot be written", op);

  // counts.bin under a temporary name, renamed when whole.
  const fs::path part = folder / "counts.bin.part";
  long long written = 0;
  {
    std::ofstream out(part, std::ios::binary | std::ios::trunc);
    for (std::size_t i = 0; i < blocks.size() && out; ++i) {
      for (CountsRecord record : blocks[i]) {
        const long long minutes = record.ElapsedMinutes + offsets[i];
        record.ElapsedMinutes = static_cast<std::int32_t>(
            std::clamp<long long>(minutes, std::numeric_limits<std::int32_t>::min(),
                                  std::numeric_limits<std::int32_t>::max()));
        const std::string bytes = PackCountsRecord(record);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        ++written;
      }
    }
    out.flush();
    if (!out) return Fail(folder, "counts.bin cannot be written", op);
  }
  std::error_code ec;
  fs::rename(part, folder / kCountsFile, ec);
  if (ec) return Fail(folder, "counts.bin cannot be written (" + ec.message() + ")", op);

  JoinResult r;
  r.status = Status::Joined;
  r.folder = folder;
  r.records = written;
  r.message = "Joined " + std::to_string(items.size()) + " acquisitions (" + std::to_string(written) +
              " records) into " + folder.string();
  op.inform(r.message);
  return r;
}

}  // namespace orb
