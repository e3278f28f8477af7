#include "cli/calibrate_command.h"

#include <algorithm>
#include <exception>
#include <memory>
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
CalibrationView ConsoleCalibrationView(std::ostream& err, std::shared_ptr<bool> active) {
  CalibrationView v;
  v.runActive = [active] { return *active; };
  v.stopRun = [active] { *active = false; };
  v.showTitle = [&err](const std::string& text) { err << text << "\n"; };
  v.showStatus = [&err](const std::string& text) {
    if (text.rfind("Writing calibration...", 0) == 0 || text.rfind("AutoZero... <", 0) == 0) return;
    err << text << "\n";
  };
  return v;
}

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
  const CalibrationView view = ConsoleCalibrationView(err, std::make_shared<bool>(true));
  const BeamSettings beams = BeamSettingsOf(ws);

  if (s.connect("calibrate") != kExitOk) {
    if (state.offline) AutoCalibrate(beams, link, view);  // says why nothing happens
    return kExitNoInstrument;
  }

  CalibrationResult cal = AutoCalibrate(beams, link, view);
  if (cal.end != CalibrationEnd::Completed) {  // the messages said why
    s.disconnect();
    return kExitDevice;
  }
  if (!cal.saved) {
    s.disconnect();
    return kExitFile;
  }
  view.showTitle(kCalibrationTitle);
  const int samples = AutoZeroSampleCount(true, true);
  ZeroResult zero = AutoZero(ws.thresholds, link, view, snrFactor, samples);
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
