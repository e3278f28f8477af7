#include "cli/report_command.h"

#include <charconv>
#include <map>
#include <optional>
#include <ostream>
#include <sstream>

#include "app/data_folder.h"
#include "cli/commands.h"
#include "cli/input_check.h"
#include "cli/options.h"
#include "common/console_seams.h"
#include "common/fileio.h"
#include "reports/basal.h"
#include "reports/report_config.h"
#include "reports/report_generator.h"
#include "reports/report_histogram.h"
#include "reports/report_settings.h"

namespace orb {
namespace {

constexpr const char* kReportUsage =
    "usage: orbelune-cli [--data DIR] report FOLDER [--bin N] [--layout rows|list|warray|charray|histogram]\n"
    "         [--type csv|txt] [--spacer S] [--stats se,sd,n,median]\n"
    "         [--basal ACQUISITION [--basal-minutes Z] [--zero-basal max|average|discard|stop]]\n";

// Prompt and question texts the options answer.
constexpr const char* kPeriodPrompt = "How many minutes do you want to use";
constexpr const char* kRangePrompt = "Enter a value between";
constexpr const char* kZeroWellsQuestion = "BASAL WELLS with 0 activity";
constexpr const char* kZeroChoiceQuestion = "For ZERO Activity Basal Wells";

struct Options {
  std::string data, folder, layout, type, stats, basal, basalMinutes, zeroBasal;
  std::optional<std::string> bin, spacer;
};

// The console operator, except that the basal period's range box means the
// value given by --basal-minutes was out of range: asking again would loop.
class ReportOperator final : public Operator {
 public:
  ReportOperator(std::ostream& err, std::string minutes) : inner_(err), minutes_(std::move(minutes)) {}
  ConsoleOperator& console() { return inner_; }
  Answer ask(std::string_view text, Buttons buttons) override { return inner_.ask(text, buttons); }
  std::optional<std::string> input(std::string_view prompt, std::string_view title, std::string_view initial) override {
    if (prompt.find(kRangePrompt) != std::string_view::npos)
      throw UnansweredQuestion("--basal-minutes " + minutes_ + " is out of range: " + std::string(prompt));
    return inner_.input(prompt, title, initial);
  }

 private:
  ConsoleOperator inner_;
  std::string minutes_;
};

std::optional<std::string> ParseOptions(const std::vector<std::string>& args, Options& o) {
  const std::vector<std::pair<std::string, std::string*>> named = {
      {"--data", &o.data},           {"--layout", &o.layout}, {"--type", &o.type},
      {"--stats", &o.stats},         {"--basal", &o.basal},   {"--basal-minutes", &o.basalMinutes},
      {"--zero-basal", &o.zeroBasal}};
  for (std::size_t i = 0; i < args.size(); ++i) {
    bool matched = false, missing = false;
    std::string value;
    for (const auto& [name, target] : named) {
      if (OptionValue(args, i, name, value, missing)) {
        if (missing) return name + " needs a value";
        *target = value;
        matched = true;
        break;
      }
    }
    if (matched) continue;
    if (OptionValue(args, i, "--bin", value, missing)) {
      if (missing) return std::string("--bin needs a value");
      o.bin = value;
    } else if (OptionValue(args, i, "--spacer", value, missing)) {
      if (missing) return std::string("--spacer needs a value");
      o.spacer = value;
    } else if (args[i].rfind("--", 0) == 0 || !o.folder.empty()) {
      return "unexpected argument " + args[i];
    } else {
      o.folder = args[i];
    }
  }
  if (o.folder.empty()) return std::string("which acquisition folder?");
  return std::nullopt;
}

// Applies the options to the request; a message when one is wrong.
std::optional<std::string> ApplyOptions(const Options& o, ReportRequest& r, bool& layoutGiven) {
  if (o.bin) {
    int bin = 0;
    const char* end = o.bin->data() + o.bin->size();
    auto [p, ec] = std::from_chars(o.bin->data(), end, bin);
    if (ec != std::errc() || p != end) return "--bin needs a whole number of minutes, not " + *o.bin;
    r.bin = bin;
  }
  static const std::map<std::string, ReportLayout> layouts = {{"rows", ReportLayout::Rows},
                                                              {"list", ReportLayout::List},
                                                              {"warray", ReportLayout::WellArray},
                                                              {"charray", ReportLayout::ChannelArray},
                                                              {"histogram", ReportLayout::Histogram}};
  layoutGiven = !o.layout.empty();
  if (layoutGiven) {
    auto it = layouts.find(o.layout);
    if (it == layouts.end()) return "--layout is one of rows, list, warray, charray, histogram, not " + o.layout;
    r.layout = it->second;
  }
  if (!o.type.empty()) {
    if (o.type != "csv" && o.type != "txt") return "--type is csv or txt, not " + o.type;
    r.filetype = o.type == "csv" ? 0 : 1;
    r.spacer = SpacerForFileType(r.filetype);
  }
  if (o.spacer) r.spacer = *o.spacer;
  if (!o.stats.empty()) {
    StatisticsChoice s{true, false, false, false, false};
    std::stringstream list(o.stats);
    for (std::string item; std::getline(list, item, ',');) {
      if (item == "se")
        s.stdError = true;
      else if (item == "sd")
        s.stdDev = true;
      else if (item == "n")
        s.n = true;
      else if (item == "median")
        s.median = true;
      else if (item == "average" || item == "none")
        continue;
      else
        return "--stats takes se, sd, n, median, not " + item;
    }
    r.statistics = s;
  }
  if (o.basal.empty()) {
    if (!o.basalMinutes.empty() || !o.zeroBasal.empty())
      return std::string("--basal-minutes and --zero-basal need --basal");
    return std::nullopt;
  }
  // Exactly the name of an acquisition folder beside the recording: the
  // report takes the first 13 characters of what it is given, so anything
  // longer or shorter would quietly name another folder.
  if (!IsFolderStampName(o.basal))
    return "--basal takes the name of an acquisition folder of the same project (yyyymmdd_hhmm), not " + o.basal;
  std::error_code ec;
  std::filesystem::path recording = std::filesystem::absolute(o.folder, ec).lexically_normal();
  if (recording.filename().empty()) recording = recording.parent_path();
  if (!FolderExists(recording.parent_path() / o.basal))
    return "--basal " + o.basal + ": no such acquisition folder in " + recording.parent_path().string();
  r.basalText = o.basal;
  if (!o.zeroBasal.empty() && o.zeroBasal != "max" && o.zeroBasal != "average" && o.zeroBasal != "discard" &&
      o.zeroBasal != "stop")
    return "--zero-basal is one of max, average, discard, stop, not " + o.zeroBasal;
  return std::nullopt;
}

void AnswerBasalQuestions(const Options& o, ConsoleOperator& op) {
  if (!o.basalMinutes.empty()) op.typeWhen(kPeriodPrompt, o.basalMinutes);
  if (o.zeroBasal.empty()) return;
  op.answerWhen(kZeroWellsQuestion, o.zeroBasal == "stop" ? Answer::No : Answer::Yes);
  const Answer choice = o.zeroBasal == "max" ? Answer::Yes : o.zeroBasal == "average" ? Answer::No : Answer::Cancel;
  op.answerWhen(kZeroChoiceQuestion, choice);
}

// The option that answers the question that was left unanswered.
std::string MissingOption(const std::string& what) {
  if (what.find(kPeriodPrompt) != std::string::npos) return "give --basal-minutes Z for the basal period";
  if (what.find(kZeroWellsQuestion) != std::string::npos || what.find(kZeroChoiceQuestion) != std::string::npos)
    return "give --zero-basal max|average|discard|stop for the wells of zero basal activity";
  return "";
}

}  // namespace

int RunReport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Options o;
  if (auto problem = ParseOptions(args, o)) {
    err << "orbelune-cli report: " << *problem << "\n" << kReportUsage;
    return kExitUsage;
  }
  const auto programFolder = ResolveDataFolder(o.data);
  ReportOperator op(err, o.basalMinutes);

  // The stored report settings, read without rewriting them.
  ReportConfig config;
  if (FileExists(programFolder / "repoconf.dat"))
    LoadReportConfig(programFolder, config, 1, op);
  else
    ApplyReportDefaults(config);

  std::error_code ec;
  const std::filesystem::path folder = std::filesystem::absolute(o.folder, ec).lexically_normal();
  ReportRequest request = ReportRequestFromConfig(config, programFolder, folder);
  request.autoreport = true;  // nothing to show a report on: its name is printed
  bool layoutGiven = false;
  if (auto problem = ApplyOptions(o, request, layoutGiven)) {
    err << "orbelune-cli report: " << *problem << "\n" << kReportUsage;
    return kExitUsage;
  }
  if (!layoutGiven && HighestHistogramFile(folder)) request.layout = ReportLayout::Histogram;
  AnswerBasalQuestions(o, op.console());
  if (auto problem = AcquisitionInputProblem(programFolder, folder)) {
    err << "orbelune-cli report: " << *problem << "\n";
    return kExitInput;
  }

  ConsoleLauncher launcher(out);
  ReportResult result;
  try {
    result = GenerateReport(request, op, launcher);
  } catch (const UnansweredQuestion& e) {
    err << "orbelune-cli report: " << e.what() << "\n";
    if (const std::string hint = MissingOption(e.what()); !hint.empty()) err << "(" << hint << ")\n";
    return kExitUsage;
  }
  for (const auto& file : result.files()) out << file.string() << "\n";
  if (result.status == ReportStatus::Stopped) {
    err << "no report written: stopped at the wells of zero basal activity (--zero-basal stop)\n";
    return kExitOk;
  }
  if (!result.ok()) {
    switch (result.status) {
      case ReportStatus::WriteError:
        err << "orbelune-cli report: the report could not be written in " << folder.string()
            << (result.report.empty() ? std::string(" (no report file could be created)")
                                      : " (" + result.report.string() + " is incomplete)")
            << "\n";
        return kExitFile;
      case ReportStatus::NoActivityFile:
      case ReportStatus::ReadError:
        err << "orbelune-cli report: " << (folder / kCountsFile).string() << ": "
            << UnreadableReason(folder / kCountsFile).value_or("cannot be read") << "\n";
        return kExitInput;
      case ReportStatus::NoHistogramData:
        err << "orbelune-cli report: the histogram files of " << folder.string() << " do not match counts.bin\n";
        return kExitInput;
      default:
        err << "orbelune-cli report: the recording in " << folder.string() << " cannot be reported\n";
        return kExitInput;
    }
  }
  if (result.bin != request.bin) err << "bin of " << result.bin << " minutes used\n";
  return kExitOk;
}

}  // namespace orb
