// Operations on project and acquisition folders: line counts, the newest
// acquisition, the project list summary, renames and subproj.dat.
#include <algorithm>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "app/project_files.h"
#include "app/settings_io.h"
#include "common/encoding.h"
#include "common/fileio.h"
#include "common/format.h"
#include "common/seams.h"
#include "common/text_record.h"

namespace orb {

namespace {

constexpr int kMaxCountedLines = 32767;
constexpr std::size_t kMaxRenamedLines = 51;

// Splits raw bytes into lines ended by CR LF, CR or LF; a last line without
// its line end still counts.
std::vector<std::string> SplitLines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] != '\r' && bytes[i] != '\n') continue;
    lines.push_back(bytes.substr(start, i - start));
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < bytes.size()) lines.push_back(bytes.substr(start));
  return lines;
}

// Splits a line at the commas that stand outside double quotes, into at most
// `maxFields` fields (the last one keeps the rest of the line).
std::vector<std::string> SplitFields(const std::string& line, std::size_t maxFields) {
  std::vector<std::string> fields;
  std::string field;
  bool quoted = false;
  for (char ch : line) {
    if (ch == '"') quoted = !quoted;
    if (ch == ',' && !quoted && fields.size() + 1 < maxFields) {
      fields.push_back(field);
      field.clear();
    } else {
      field += ch;
    }
  }
  fields.push_back(field);
  return fields;
}

// A name as it can be put between the quotes of a raw line: Windows-1252,
// no double quote and no line end. Empty optional otherwise.
std::optional<std::string> QuotableName(const std::string& name) {
  if (name.find_first_of("\"\r\n") != std::string::npos) return std::nullopt;
  return Utf8ToCp1252(name);
}

// The 12-digit sort key of an acquisition folder name yyyymmdd_hhmm:
// yyyy, mm, dd, hhmm read as one decimal number (leading digits only).
std::uint64_t AcquisitionKey(const std::string& name) {
  const std::string key = name.substr(4, 4) + name.substr(2, 2) + name.substr(0, 2) + name.substr(9, 4);
  std::uint64_t value = 0;
  for (char ch : key) {
    if (ch < '0' || ch > '9') break;
    value = value * 10 + static_cast<std::uint64_t>(ch - '0');
  }
  return value;
}

bool IsAcquisitionName(const std::string& name) { return name.size() == 13 && name.find('_') == 8; }

}  // namespace

int CopyFileChecked(const std::filesystem::path& from, const std::filesystem::path& to) {
  return CopyWholeFile(from, to) ? 1 : -1;
}

int CountLines(const std::filesystem::path& file) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) return 0;
  std::ifstream in(file, std::ios::binary);
  if (!in) return 0;
  // Streamed in blocks: the count stops at the first line past the limit, so
  // a huge file is neither held in memory nor read to its end.
  std::vector<char> block(64 * 1024);
  int lines = 0;
  bool openLine = false;  // bytes seen since the last line end
  bool afterCr = false;
  while (in) {
    in.read(block.data(), static_cast<std::streamsize>(block.size()));
    const auto got = static_cast<std::size_t>(in.gcount());
    if (in.bad()) return 0;
    for (std::size_t i = 0; i < got; ++i) {
      const char ch = block[i];
      if (ch == '\n' && afterCr) {
        afterCr = false;  // the LF of a CR LF
        continue;
      }
      afterCr = ch == '\r';
      if (ch == '\r' || ch == '\n') {
        openLine = false;
        if (++lines > kMaxCountedLines) return 0;
      } else {
        openLine = true;
      }
    }
  }
  if (openLine && ++lines > kMaxCountedLines) return 0;
  return lines;
}

std::string FindLatestAcquisition(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    if (!it->is_directory(typeError)) continue;
    const std::string name = it->path().filename().string();
    if (IsAcquisitionName(name)) names.push_back(name);
  }
  // Listed in name order, so that the first of equal keys is always the same.
  std::sort(names.begin(), names.end());
  std::string latest;
  std::uint64_t latestKey = 0;
  for (const auto& name : names) {
    const std::uint64_t key = AcquisitionKey(name);
    if (latest.empty() || key > latestKey) {
      latest = name;
      latestKey = key;
    }
  }
  return latest;
}

std::string ReadProjectSummary(const std::filesystem::path& folder, Operator& op) {
  try {
    const auto setup = folder / "setup.dat";
    const auto backup = folder / "setup.bak";
    int lines = FileExists(setup) ? CountLines(setup) : 0;
    if (lines < 6) {
      // setup.bak when it reads whole, else the newest acquisition's copy,
      // else a setup.bak that reads only in part.
      const std::string latest = FindLatestAcquisition(folder);
      const auto copy = folder / latest / "setup.dat";
      const bool backupWhole = FileExists(backup) && ReadsAsSetup(backup);
      if (backupWhole && CopyFileChecked(backup, setup) == 1) {
        lines = CountLines(setup);
        op.inform("Error reading Setup.dat -> recovered from Setup.bak");
      } else if (!latest.empty() && CountLines(copy) > 5 && CopyFileChecked(copy, setup) == 1) {
        lines = CountLines(setup);
        op.inform("Error reading Setup.dat -> recovered from " + (folder / latest).string());
      } else if (!backupWhole && FileExists(backup) && CountLines(backup) > 5 && CopyFileChecked(backup, setup) == 1) {
        lines = CountLines(setup);
        op.inform("Error reading Setup.dat -> recovered from Setup.bak");
      }
    }
    if (lines < 6) return "<Project> p: SETUP NOT FOUND!!";

    auto file = OpenSettings(setup);
    NextText(file.reader);
    const std::string numProj = NextText(file.reader);
    const std::string name = NextText(file.reader);
    NextText(file.reader);  // Working_folder
    NextText(file.reader);  // Plate_format
    RecordReader number(numProj);
    const std::int16_t n = number.readInt16();
    if (!number.atEnd()) throw RecordError("not a number: " + numProj);
    return "<Project> p" + FormatDigits(n, 5) + ": " + name;
  } catch (const std::exception&) {
    return "ERROR on SETUP.DAT FILE!!!";
  }
}

std::string RenameProject(const std::filesystem::path& folder, const std::string& newName, Operator& op) {
  const auto setup = folder / "setup.dat";
  const auto backup = folder / "setup.bak";
  if (!FileExists(setup)) return newName;
  const auto quotedName = QuotableName(newName);
  if (!quotedName) return {};
  if (CopyFileChecked(setup, backup) != 1) {
    op.inform("error");
    return {};
  }
  bool cut = false;
  const auto bytes = ReadFilePrefix(backup, kSettingsReadLimit, cut);
  if (!bytes || cut) return {};
  std::vector<std::string> lines = SplitLines(*bytes);
  if (lines.size() < 2 || lines.size() > kMaxRenamedLines) return {};

  // Line 2 is Num_proj,"Name","Working_folder","Plate_format": only the
  // second field changes. Commas inside quotes do not split, so an old name
  // holding a comma is replaced whole.
  std::vector<std::string> fields = SplitFields(lines[1], 11);
  if (fields.size() < 2) return {};
  fields[1] = "\"" + *quotedName + "\"";
  std::string line2;
  for (std::size_t i = 0; i < fields.size(); ++i) line2 += (i ? "," : "") + fields[i];
  lines[1] = line2;

  std::string out;
  for (const auto& line : lines) out += line + "\r\n";
  if (WriteFileAtomic(setup, out)) return {};
  return newName;
}

std::string ReadSubprojectName(const std::filesystem::path& folder) {
  try {
    auto file = OpenSettings(folder / "subproj.dat");
    return NextText(file.reader);
  } catch (const std::exception&) {
    return {};
  }
}

bool WriteSubproject(const std::filesystem::path& folder, const std::string& name, const std::string& description) {
  try {
    RecordWriter w;
    w.text(name).endLine().text(description).endLine();
    return !WriteFileAtomic(folder / "subproj.dat", w.bytes());
  } catch (const RecordError&) {
    return false;
  }
}

std::string RenameSubproject(const std::filesystem::path& folder, const std::string& newName, Operator& op) {
  const auto subproj = folder / "subproj.dat";
  const auto backup = folder / "subproj.bak";
  if (!FileExists(subproj)) return newName;
  if (CopyFileChecked(subproj, backup) != 1) {
    op.inform("error");
    return {};
  }
  // The description is kept; a file whose two fields cannot be read is not
  // rewritten and the rename fails.
  std::string description;
  try {
    auto file = OpenSettings(backup);
    NextText(file.reader);
    description = NextText(file.reader);
  } catch (const std::exception&) {
    return {};
  }
  return WriteSubproject(folder, newName, description) ? newName : std::string{};
}

}  // namespace orb
