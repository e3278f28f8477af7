// The files a report generation leaves in the acquisition folder: the report
// ("report.csv" / "report.txt", or "report_1", "report_2", ... when that
// name cannot be created) and its copy named after the subproject.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace orb {

// The report's bytes: Windows-1252 like every text file of the program; a
// character it cannot hold becomes "?".
std::string ReportFileBytes(const std::string& utf8);

struct WrittenReport {
  std::filesystem::path path;  // empty when no name could be created
  bool complete = false;       // false: the write failed part-way (the file stays as it is)
};

// Creates "report" + extension in the folder, else "report_1" + extension,
// "report_2" + extension, ..., and writes the text into the first one that
// can be created.
WrittenReport WriteReportFile(const std::filesystem::path& folder, const std::string& extension,
                              const std::string& utf8Text);

// A subproject name made into one safe file name: blanks become "_" (the
// copy's naming rule), and so do path separators, ".." and control
// characters, so that the copy always lands inside the acquisition folder.
std::string SafeReportFileName(const std::string& subproject);

// Copies the finished report to <folder>/<safe subproject name><extension>.
// No copy without a subproject name, nor when the name is the report's own;
// a failed copy is ignored (nothing returned).
std::optional<std::filesystem::path> CopyReportAsSubproject(const std::filesystem::path& report,
                                                            const std::string& subproject);

}  // namespace orb
