#include "cli/wells_command.h"

#include <charconv>
#include <ostream>

#include "app/data_folder.h"
#include "cli/commands.h"
#include "cli/input_check.h"
#include "common/console_seams.h"
#include "common/fileio.h"
#include "reports/report_config.h"
#include "reports/well_export.h"

namespace orb {
namespace {

constexpr const char* kWellsUsage = "usage: orbelune-cli [--data DIR] wells FOLDER [--bin N] [--time|--no-time]\n";

bool ParseBin(const std::string& text, int& bin) {
  const char* end = text.data() + text.size();
  auto [p, ec] = std::from_chars(text.data(), end, bin);
  return ec == std::errc() && p == end;
}

}  // namespace

int RunWells(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::string data, folderText, binText;
  bool withTime = true;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--time") {
      withTime = true;
    } else if (a == "--no-time") {
      withTime = false;
    } else if (a == "--bin" && i + 1 < args.size()) {
      binText = args[++i];
    } else if (a.rfind("--bin=", 0) == 0) {
      binText = a.substr(6);
    } else if (a == "--data" && i + 1 < args.size()) {
      data = args[++i];
    } else if (a.rfind("--data=", 0) == 0) {
      data = a.substr(7);
    } else if (a.rfind("--", 0) == 0 || !folderText.empty()) {
      err << "orbelune-cli wells: unexpected argument " << a << "\n" << kWellsUsage;
      return kExitUsage;
    } else {
      folderText = a;
    }
  }
  if (folderText.empty()) {
    err << "orbelune-cli wells: which acquisition folder?\n" << kWellsUsage;
    return kExitUsage;
  }

  const auto programFolder = ResolveDataFolder(data);
  ConsoleOperator op(err);
  int bin = 30;
  if (!binText.empty()) {
    if (!ParseBin(binText, bin)) {
      err << "orbelune-cli wells: --bin needs a whole number of minutes, not " << binText << "\n";
      return kExitUsage;
    }
  } else if (FileExists(programFolder / "repoconf.dat")) {
    ReportConfig config;
    LoadReportConfig(programFolder, config, 1, op);
    bin = config.Bin;
  }

  const std::filesystem::path folder(folderText);
  if (auto problem = AcquisitionInputProblem(programFolder, folder)) {
    err << "orbelune-cli wells: " << *problem << "\n";
    return kExitInput;
  }
  auto result = ExportWells(programFolder, folder, bin, withTime, CurrentLocalTime(), op);
  if (!result) {
    // The inputs were checked: what failed is counts.bin's reading.
    err << "orbelune-cli wells: " << (folder / kCountsFile).string() << ": cannot be read\n";
    return kExitInput;
  }
  for (const auto& file : result->written) out << file.string() << "\n";
  if (!result->complete) {
    err << "orbelune-cli wells: the well files could not all be written in " << folder.string() << "\n";
    return kExitFile;
  }
  if (result->bin != bin) err << "bin of " << result->bin << " minutes used\n";
  err << result->written.size() << " files, " << result->n << " bins of " << result->bin << " minutes\n";
  return kExitOk;
}

}  // namespace orb
