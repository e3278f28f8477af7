#include "cli/recording_command.h"

#include <charconv>
#include <ostream>

#include "app/data_folder.h"
#include "browser/acquisition_ref.h"
#include "browser/join.h"
#include "browser/signal_export.h"
#include "browser/signal_pages.h"
#include "cli/commands.h"
#include "cli/input_check.h"
#include "common/console_seams.h"
#include "common/fileio.h"
#include "common/seams.h"
#include "plate/plate_format.h"
#include "records/record_files.h"
#include "reports/report_context.h"
#include "setup/group_editor.h"

namespace orb {
namespace fs = std::filesystem;

namespace {

constexpr const char* kJoinUsage =
    "usage: orbelune-cli [--data DIR] join ACQ ACQ... [--into NAME]\n"
    "  Joins recordings of one project, in the order given, into a new acquisition\n"
    "  folder named after the present minute (the next free minute when that folder\n"
    "  exists). Each recording's minutes are moved by its start after the earliest\n"
    "  start. --into NAME names the new acquisition (default: \"Data Block: ...\").\n"
    "  Prints the new folder.\n";
constexpr const char* kAsciiUsage =
    "usage: orbelune-cli [--data DIR] export-ascii ACQ --well A1 [--page N]\n"
    "  Writes page N (default 1) of the well's raw beam samples as a text table\n"
    "  into the acquisition folder (signal_A1_page1.txt, or _2, _3, ... when that\n"
    "  name is taken) and prints the file written.\n";
constexpr const char* kImageUsage =
    "usage: orbelune-cli [--data DIR] export-image ACQ --well A1 [--page N] --out FILE [--force]\n"
    "  Draws page N (default 1) of the well's raw signal into FILE, a 1040 x 420\n"
    "  picture: a Windows bitmap for .bmp, a PNG for .png. An existing FILE is\n"
    "  replaced only with --force. Prints the file written.\n";

bool ParsePositive(const std::string& text, int& value) {
  const char* end = text.data() + text.size();
  auto [p, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && p == end && value >= 1;
}

// The options the commands share; what is left is positional.
struct Parsed {
  std::string data;
  std::vector<std::string> positional;
  std::string well, page, out, into;
  bool force = false;
  bool help = false;
};

// False (with the message) for an unknown option or one without its value.
bool Parse(const std::vector<std::string>& args, const std::vector<std::string>& valued, bool allowForce,
           Parsed& p, std::string& error) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      p.help = true;
      continue;
    }
    if (a == "--force" && allowForce) {
      p.force = true;
      continue;
    }
    bool matched = false;
    std::vector<std::string> names = valued;
    names.push_back("--data");
    for (const std::string& name : names) {
      std::string value;
      if (a == name) {
        if (i + 1 >= args.size()) {
          error = name + " needs a value";
          return false;
        }
        value = args[++i];
      } else if (a.rfind(name + "=", 0) == 0) {
        value = a.substr(name.size() + 1);
      } else {
        continue;
      }
      matched = true;
      if (name == "--data") p.data = value;
      else if (name == "--well") p.well = value;
      else if (name == "--page") p.page = value;
      else if (name == "--out") p.out = value;
      else if (name == "--into") p.into = value;
      break;
    }
    if (matched) continue;
    if (a.rfind("--", 0) == 0) {
      error = "unknown option " + a;
      return false;
    }
    p.positional.push_back(a);
  }
  return true;
}

// The page of a well an export shows, read from the acquisition.
struct ExportInput {
  fs::path folder;
  PlateFormat plate;
  int well = -1;
  SignalPages pages;
};

// Resolves ACQ, the well and the page and loads the page; the exit code on
// a problem (its message written to err).
int LoadExportInput(const Parsed& p, const char* command, const char* usage, std::ostream& err, ExportInput& in) {
  if (p.positional.size() != 1 || p.well.empty()) {
    const char* what = p.positional.size() > 1 ? "one acquisition only"
                       : p.positional.empty()  ? "which acquisition?"
                                               : "which well? (--well A1)";
    err << "orbelune-cli " << command << ": " << what << "\n" << usage;
    return kExitUsage;
  }
  int page = 1;
  if (!p.page.empty() && !ParsePositive(p.page, page)) {
    err << "orbelune-cli " << command << ": --page needs a page number from 1, not " << p.page << "\n";
    return kExitUsage;
  }
  const fs::path programFolder = ResolveDataFolder(p.data);
  in.folder = ResolveAcquisition(programFolder, p.positional[0]);
  if (in.folder.empty()) {
    err << "orbelune-cli " << command << ": " << p.positional[0] << ": no such acquisition folder\n";
    return kExitInput;
  }
  ConsoleOperator op(err);
  const ReportContext ctx = LoadReportContext(programFolder, in.folder, op);
  in.plate = ctx.plate;
  if (!ctx.hasPlate) {
    // The project loader's fallback: a built-in layout, with its message.
    std::string code = ctx.plateCode;
    LoadPlateFormat(programFolder, code, in.plate, op);
  }
  const EntryParts parts = SplitEntry(p.well);
  in.well = parts.hasBeam ? -1 : WellOfEntry(in.plate, p.well);
  if (in.well < 0 || WellBeams(in.plate, in.well).empty()) {
    err << "orbelune-cli " << command << ": " << p.well << " is no well of the plate " << ctx.plateCode
        << " (write it as A1)\n";
    return kExitUsage;
  }
  if (auto refusal = in.pages.open(in.folder)) {
    err << "orbelune-cli " << command << ": " << *refusal << "\n";
    return kExitInput;
  }
  if (!in.pages.hasRawData()) {
    err << "orbelune-cli " << command << ": " << in.folder.string() << ": no raw signal files (0.bin, 1.bin, ...)\n";
    return kExitInput;
  }
  if (page > in.pages.pageCount()) {
    err << "orbelune-cli " << command << ": page " << page << " of " << in.pages.pageCount() << " pages\n";
    return kExitUsage;
  }
  if (page != 1) in.pages.loadPage(page);
  return kExitOk;
}

}  // namespace

int RunJoin(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Parsed p;
  std::string error;
  if (!Parse(args, {"--into"}, false, p, error)) {
    err << "orbelune-cli join: " << error << "\n" << kJoinUsage;
    return kExitUsage;
  }
  if (p.help) {
    out << kJoinUsage;
    return kExitOk;
  }
  if (p.positional.size() < 2) {
    err << "orbelune-cli join: name two acquisitions or more\n" << kJoinUsage;
    return kExitUsage;
  }
  const fs::path programFolder = ResolveDataFolder(p.data);
  std::vector<JoinItem> items;
  for (const std::string& text : p.positional) {
    const fs::path folder = ResolveAcquisition(programFolder, text);
    if (folder.empty()) {
      err << "orbelune-cli join: " << text << ": no such acquisition folder\n";
      return kExitInput;
    }
    if (auto reason = UnreadableReason(folder / kCountsFile)) {
      err << "orbelune-cli join: " << (folder / kCountsFile).string() << ": " << *reason << "\n";
      return kExitInput;
    }
    items.push_back({folder, AcquisitionLine(folder)});
  }
  ConsoleOperator op(err);
  SystemClock clock;
  JoinOptions options;
  options.ask = false;
  if (!p.into.empty()) options.name = p.into;
  const JoinResult r = JoinAcquisitions(items, options, op, clock);
  switch (r.status) {
    case JoinResult::Status::Joined:
      out << r.folder.string() << "\n";
      return kExitOk;
    case JoinResult::Status::Failed:
      return kExitFile;
    default:
      return kExitUsage;
  }
}

int RunExportAscii(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Parsed p;
  std::string error;
  if (!Parse(args, {"--well", "--page"}, false, p, error)) {
    err << "orbelune-cli export-ascii: " << error << "\n" << kAsciiUsage;
    return kExitUsage;
  }
  if (p.help) {
    out << kAsciiUsage;
    return kExitOk;
  }
  ExportInput in;
  if (const int code = LoadExportInput(p, "export-ascii", kAsciiUsage, err, in)) return code;
  const SignalExport e = ExportSignalAscii(in.pages, in.plate, in.well);
  if (!e.ok()) {
    err << "orbelune-cli export-ascii: " << e.error << "\n";
    return kExitFile;
  }
  out << e.file->string() << "\n";
  return kExitOk;
}

int RunExportImage(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Parsed p;
  std::string error;
  if (!Parse(args, {"--well", "--page", "--out"}, true, p, error)) {
    err << "orbelune-cli export-image: " << error << "\n" << kImageUsage;
    return kExitUsage;
  }
  if (p.help) {
    out << kImageUsage;
    return kExitOk;
  }
  if (p.out.empty()) {
    err << "orbelune-cli export-image: which file? (--out FILE.bmp or FILE.png)\n" << kImageUsage;
    return kExitUsage;
  }
  const auto format = ImageFormatOf(p.out);
  if (!format) {
    err << "orbelune-cli export-image: " << p.out << ": the file must end in .bmp or .png\n";
    return kExitUsage;
  }
  ExportInput in;
  if (const int code = LoadExportInput(p, "export-image", kImageUsage, err, in)) return code;
  const std::string bytes = SignalImageBytes(ChannelSignalScene(in.pages, WellBeams(in.plate, in.well)), *format);
  if (auto problem = WriteNewFile(p.out, bytes, p.force)) {
    std::error_code ec;
    const bool exists = fs::exists(p.out, ec);
    err << "orbelune-cli export-image: " << p.out << ": " << *problem
        << (exists && !p.force ? " (an existing file is replaced only with --force)" : "") << "\n";
    return kExitFile;
  }
  out << fs::path(p.out).string() << "\n";
  return kExitOk;
}

}  // namespace orb
