#include "cli/calibrate_command.h"

#include <algorithm>
#include <exception>
#include <ostream>

#include "acquisition/calibration.h"
#include "app/config_files.h"
#include "app/data_folder.h"
#include "app/project_files.h"
#include "app/startup.h"
#include "app/workspace.h"
#include "cli/commands.h"
#include "cli/instrument_session.h"
#include "cli/options.h"
#include "common/console_seams.h"
#include "common/fileio.h"
#include "common/format.h"
#include "device/connection.h"

namespace orb {
namespace {

// The run is active from the start; only a failure stops it. Status texts
// go to standard error, except the one-per-channel and one-per-sample ones.
class ConsoleCalibrationHost final : public CalibrationHost {
 public:
  explicit ConsoleCalibrationHost(std::ostream& err) : err_(err) {}
  bool runActive() override { return active_; }
  void stopRun() override { active_ = false; }
  void showTitle(const std::string& text) override { err_ << text << "\n"; }
  void showStatus(const std::string& text) override {
    if (text.rfind("Writing calibration...", 0) == 0 || text.rfind("AutoZero... <", 0) == 0) return;
    err_ << text << "\n";
  }

 private:
  std::ostream& err_;
  bool active_ = true;
};

}  // namespace

int RunCalibrate(const std::vector<std::string>& argsIn, std::ostream& out, std::ostream& err) {
  std::vector<std::string> rest = argsIn;
  const std::string data = TakeDataOption(rest);
  InstrumentSession s(data, err);
  s.takeConnectionOptions(rest);
  if (!rest.empty()) {
    err << "orbelune-cli calibrate: unknown option " << rest.front() << "\n";
    return kExitUsage;
  }
  s.ws.statusLine = [&err](const std::string& text) { err << "status: " << text << "\n"; };
  if (int code = s.loadProject(); code != kExitOk) return code;
  Workspace& ws = s.ws;
  ConnectionState& state = s.state;
  DeviceLink& link = s.link;
  // The factor a run start takes from txt_snr_umbral as the load sets it.
  const double snrFactor = RunStartSnrFactor(DeriveMainControls(ws).snrText);
  ConsoleCalibrationHost host(err);

  if (s.connect("calibrate") != kExitOk) {
    if (state.offline) AutoCalibrate(ws, link, host);  // says why nothing happens
    return kExitNoInstrument;
  }

  CalibrationResult cal = AutoCalibrate(ws, link, host);
  if (cal.end != CalibrationEnd::Completed) {  // the messages said why
    s.disconnect();
    return kExitDevice;
  }
  if (!cal.saved) {
    s.disconnect();
    return kExitFile;
  }
  host.showTitle(kCalibrationTitle);
  const int samples = AutoZeroSampleCount(true, true);
  ZeroResult zero = AutoZero(ws, link, host, snrFactor, samples);
  s.disconnect();
  if (zero.end != ZeroEnd::Completed) return kExitDevice;

  int used = 0;
  double low = 0, high = 0;
  for (int ch = 0; ch < kChannels; ++ch) {
    if (ws.plate.ChannelWell[ch] < 0) continue;
    const double t = ws.thresholds[ch];
    low = used ? std::min(low, t) : t;
    high = used ? std::max(high, t) : t;
    ++used;
  }
  const int top = cal.count(ChannelEnd::AtTop), bottom = cal.count(ChannelEnd::AtBottom),
            crossed = cal.count(ChannelEnd::Crossed);
  out << "Port: COM" << state.currentPort << "\n";
  out << "Passes: " << cal.passes << "\n";
  out << "Channels used: " << used << " of " << kChannels << "\n";
  out << "Channels in band: " << cal.count(ChannelEnd::InBand) << "\n";
  out << "Channels done at a limit: " << top + bottom + crossed << " (dark at 7/7: " << top
      << ", bright at 1/0: " << bottom << ", came down through the band: " << crossed << ")\n";
  out << "Channels not read: " << cal.count(ChannelEnd::Unread) << "\n";
  out << "SNR factor: " << FormatFixed(snrFactor, 1) << "\n";
  out << "AutoZero samples: " << zero.samples << "\n";
  if (used > 0)
    out << "Thresholds of used channels: " << FormatFixed(low, 3) << " to " << FormatFixed(high, 3) << " %\n";
  out << "Saved: " << ws.programFile("calvalue.dat").string() << "\n";
  try {
    SaveThresholds(ws.ProjectPath, ws.thresholds);
  } catch (const std::exception& e) {
    err << "orbelune-cli calibrate: threshld.dat not saved: " << e.what() << "\n";
    return kExitFile;
  }
  out << "Saved: " << ws.projectFile("threshld.dat").string() << "\n";
  return kExitOk;
}

}  // namespace orb
