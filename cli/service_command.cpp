#include "cli/service_command.h"

#include <charconv>
#include <cmath>
#include <ostream>

#include "cli/commands.h"
#include "cli/instrument_session.h"
#include "cli/options.h"
#include "common/seams.h"
#include "service/factory_settings.h"
#include "service/self_test.h"

namespace orb {
namespace {

// The report is named on standard output at the end, beside the summary.
class QuietLauncher final : public Launcher {
 public:
  bool openPath(const std::filesystem::path&) override { return true; }
  bool openUrl(std::string_view) override { return true; }
};

bool ParseNumber(const std::string& text, double& v) {
  auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  return ec == std::errc() && p == text.data() + text.size() && std::isfinite(v);
}

}  // namespace

int RunSelfTest(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::vector<std::string> rest = args;
  const std::string data = TakeDataOption(rest);
  InstrumentSession s(data, err);
  s.takeConnectionOptions(rest);
  bool yes = false;
  for (const auto& a : rest) {
    if (a == "--yes") {
      yes = true;
    } else {
      err << "orbelune-cli selftest: unknown option " << a << "\n";
      return kExitUsage;
    }
  }
  if (yes) {
    s.op.answerWhen("DEVICE TEST:", Answer::Ok);
    s.op.answerWhen("OK to proceed?", Answer::Yes);
  }
  try {
    if (!ConfirmSelfTest(s.op, false)) return kExitUsage;
  } catch (const UnansweredQuestion&) {
    err << "orbelune-cli selftest: the test drives every beam to maximum and minimum; remove any microplate, "
           "close the door and confirm with --yes\n";
    return kExitUsage;
  }
  if (int code = s.loadProject(false); code != kExitOk) return code;
  if (int code = s.connect("selftest"); code != kExitOk) return code;

  SystemClock clock;
  QuietLauncher launcher;
  SelfTest test(s.link, clock, launcher, s.ws.programFolder);
  if (!test.begin()) {
    err << "orbelune-cli selftest: cannot write " << test.reportPath().string() << "\n";
    s.disconnect();
    return kExitFile;
  }
  std::string shown = test.label();
  err << shown << "\n";
  while (test.tick()) {
    if (test.label() != shown) err << (shown = test.label()) << "\n";
    s.loop.sleepMs(test.periodMs());
  }
  s.disconnect();
  if (test.end() != SelfTestEnd::Completed) {
    err << "orbelune-cli selftest: the test stopped at step " << test.step() << "; the report keeps what was written\n";
    out << "Report: " << test.reportPath().string() << "\n";
    return kExitDevice;
  }
  out << "Serial number: " << test.serial() << "\n";
  for (const auto& line : test.verdicts()) out << line << "\n";
  out << (test.allPassed() ? std::string("All checks passed")
                           : "Checks failed: " + std::to_string(test.failedChecks()))
      << "\n";
  out << "Report: " << test.reportPath().string() << "\n";
  out << "Dated copy: " << test.datedReportPath().string() << "\n";
  return test.allPassed() ? kExitOk : kExitCheckFailed;
}

int RunFactory(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::vector<std::string> rest = args;
  const std::string data = TakeDataOption(rest);
  InstrumentSession s(data, err);
  s.takeConnectionOptions(rest);
  bool set = false;
  double reference = 0.0;
  for (std::size_t i = 0; i < rest.size(); ++i) {
    std::string value;
    bool missing = false;
    if (OptionValue(rest, i, "--set-temperature", value, missing)) {
      if (missing || !ParseNumber(value, reference)) {
        err << "orbelune-cli factory: --set-temperature needs a temperature in degC (for example 23.5)\n";
        return kExitUsage;
      }
      set = true;
    } else {
      err << "orbelune-cli factory: unknown option " << rest[i] << "\n";
      return kExitUsage;
    }
  }
  if (int code = s.loadProject(false); code != kExitOk) return code;
  if (int code = s.connect("factory"); code != kExitOk) return code;
  if (!FactorySettingsAllowed(s.state, false, s.op)) {
    s.disconnect();
    return kExitNoInstrument;
  }
  std::string state = LoadFactoryWindow(s.state);
  out << FactorySerialLine(s.state.serial) << "\n";
  int code = kExitOk;
  if (set) {
    SystemClock clock;
    SetResult r = SetReferenceTemperature(s.link, reference, clock.now());
    if (!r.stateText.empty()) state = r.stateText;
    switch (r.outcome) {
      case SetOutcome::Written: break;
      case SetOutcome::OutOfRange:
      case SetOutcome::OffsetTooLarge: code = kExitUsage; break;
      case SetOutcome::NoTemperature:
      case SetOutcome::WriteFailed: code = kExitDevice; break;
    }
  }
  out << state << "\n";
  const int raw = s.link.ReadTemperatureRaw();
  if (raw < 0) out << "Temperature: no reading\n";
  else out << "Temperature: " << TemperatureText(raw, s.state.factory) << "\n";
  s.disconnect();
  return code;
}

}  // namespace orb
