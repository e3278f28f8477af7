#include "cli/acquire_command.h"

#include <ostream>
#include <thread>

#include "acquisition/calibration.h"
#include "acquisition/engine.h"
#include "acquisition/outputs.h"
#include "acquisition/run_control.h"
#include "app/startup.h"
#include "cli/commands.h"
#include "cli/instrument_session.h"
#include "cli/interrupt.h"
#include "cli/options.h"
#include "common/datetime.h"
#include "common/format.h"

namespace orb {

namespace {

const char* const kUsage =
    "usage: orbelune-cli acquire --name NAME [--minutes M] [--description TEXT] [--proceed]\n"
    "                            [--no-auto-calibration] [--no-auto-zero]\n"
    "                            [--port N] [--offline-on-failure]\n"
    "Records the current project with the instrument until the programmed time\n"
    "(the project's, or M minutes) is over or Ctrl+C is pressed, as Play and Stop\n"
    "do in the program, and prints the acquisition folder. As in the program, the\n"
    "run starts with the automatic calibration and auto zero switched on.\n"
    "  --proceed               answer Yes to the low disk space warning\n"
    "  --no-auto-calibration   switch the automatic calibration off (menu Auto Calibration)\n"
    "  --no-auto-zero          switch auto zero off (menu Auto Zero): real-time counting\n";

}  // namespace

int RunAcquire(const std::vector<std::string>& argsIn, std::ostream& out, std::ostream& err,
               const AcquireHooks& testHooks) {
  std::vector<std::string> args = argsIn;
  std::string data, name, description;
  int minutes = -1;
  bool proceed = false;
  bool autoCalibration = true, autoZero = true;
  std::vector<std::string> rest;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    std::string m;
    if (TakeValue(args, i, "--data", data) || TakeValue(args, i, "--name", name) ||
        TakeValue(args, i, "--description", description))
      continue;
    if (TakeValue(args, i, "--minutes", m)) {
      try {
        std::size_t used = 0;
        minutes = std::stoi(m, &used);
        if (used != m.size() || minutes < 1 || minutes > 32767) throw std::invalid_argument(m);
      } catch (const std::exception&) {
        err << "orbelune-cli acquire: --minutes takes a whole number of minutes, 1 to 32767\n";
        return kExitUsage;
      }
    } else if (a == "--proceed") {
      proceed = true;
    } else if (a == "--no-auto-calibration") {
      autoCalibration = false;
    } else if (a == "--no-auto-zero") {
      autoZero = false;
    } else if (a == "-h" || a == "--help") {
      out << kUsage;
      return kExitOk;
    } else {
      rest.push_back(a);
    }
  }

  InstrumentSession s(data, err);
  s.takeConnectionOptions(rest);
  if (!rest.empty()) {
    err << "orbelune-cli acquire: unknown option " << rest.front() << "\n" << kUsage;
    return kExitUsage;
  }
  if (name.empty()) {
    err << "orbelune-cli acquire: --name is needed (a recording needs an experiment name)\n";
    return kExitUsage;
  }
  if (int code = s.loadProject(); code != kExitOk) return code;
  if (s.ws.config.Actual_Project_Number == 0) {
    err << "Operation not allowed in Project #0:Default. Go to <Setup> and Save it with another name\n";
    return kExitUsage;
  }
  if (minutes > 0) s.ws.setup.Aq_lapse = static_cast<std::int16_t>(minutes);
  if (int code = s.connect("acquire"); code != kExitOk) return code;

  s.op.typeWhen("Enter a Name for this Experiment", name);
  if (proceed) s.op.answerWhen("PROCEED?", Answer::Yes);

  SystemClock systemClock;
  Clock& clock = testHooks.clock ? *testHooks.clock : systemClock;
  AcquisitionEngine engine(EngineRecordsOf(s.ws), s.link, clock, s.loop);
  CalibrationMenus& calibration = engine.calibration;
  OutputState outputs;
  outputs.LightTimerEnabled = s.ws.setup.MenuTable[Mn2][LightEnable] != 0 ? -1 : 0;
  outputs.TempControlEnabled = s.ws.setup.MenuTable[Mn3][TempEnable] != 0 ? -1 : 0;
  RunControl run(s.ws, s.link, engine, outputs, s.op, clock, s.loop);
  run.view.description = [&] { return description; };
  // The factor's box and the detection factor as the program's load sets
  // them (the organism preset included).
  const MainControls controls = DeriveMainControls(s.ws);
  TakePreset(calibration, controls.organismIndex, controls.preset);
  // The program's load ends with calibration control off, which switches
  // both automatic modes on (and stores them in the project's settings);
  // the options then act as the menu items that switch them off.
  CalibrationControlOff(calibration, s.ws.setup);
  if (!autoCalibration) SetAutoCalibration(calibration, s.ws.setup, false);
  if (!autoZero) SetAutoZero(calibration, s.ws.setup, false);
  run.view.autochannel = [&](const std::string& t) {
    if (!t.empty()) err << t << "\n";
  };
  // On a line of its own, after the progress line the run keeps rewriting.
  run.view.recordError = [&](const std::string& m) { err << "\n" << m << "\n"; };
  // One line when the instrument stops answering, one when it is back.
  run.view.linkNotice = [&](bool, const std::string& text) {
    if (!text.empty()) err << "\n" << text << "\n";
  };
  std::string lastShown;
  long long lastSecond = -1;
  engine.hooks.showTime = [&](const std::string& t) {
    const long long second = engine.elapsed().count() / 1000;
    if (second == lastSecond) return;
    lastSecond = second;
    lastShown = t;
    err << "\r" << t << "  " << engine.ElapsedMinutes << "/" << s.ws.setup.Aq_lapse << " min  T=" << engine.TemperatureText
        << " C   " << std::flush;
  };

  // Each interval close says how long a sample took.
  int intervals = 0;
  engine.hooks.redrawActivity = [&] {
    err << "\rinterval " << ++intervals << ": " << FormatFixed(engine.SecondsPerSample, 3) << " s per sample"
        << std::string(30, ' ') << "\n";
  };

  int code = kExitOk;
  try {
    if (!run.StartRun()) {
      s.disconnect();
      // A folder that cannot be created (a read-only data folder, a full
      // disk) is a file fault; the other refusals are the run's conditions.
      return run.folderFailure ? kExitFile : kExitUsage;
    }
    // Ctrl+C (or SIGTERM) acts as Stop: the records written so far are kept
    // and the outputs switched off.
    StopFlag interrupted;
    InterruptStops interrupt(interrupted, InterruptStops::Signals::InterruptAndTerminate);
    auto next = std::chrono::steady_clock::now();
    while (engine.timerEnabled) {
      if (interrupted.requested() || (testHooks.stop && testHooks.stop(engine))) {
        err << "\nstopped\n";
        run.StopRun();
        break;
      }
      next += std::chrono::milliseconds(kTimerIntervalMs);
      const auto now = std::chrono::steady_clock::now();
      if (next > now && !testHooks.clock) std::this_thread::sleep_until(next);
      else next = now;
      run.Tick();
      if (testHooks.afterTick) testHooks.afterTick(engine);
    }
    // A run that a failure inside a tick stopped (its message is out).
    if (!run.tickFailure.empty()) code = kExitRunFailed;
  } catch (const UnansweredQuestion& e) {
    err << "\norbelune-cli acquire: " << e.what() << "\n(give --proceed to go on)\n";
    code = kExitUsage;
    // A question during the run leaves nothing running: outputs off, records kept.
    if (engine.runState != kStopped) run.StopRun();
  }
  err << "\n";
  if (engine.Recording && !run.lastFolder.empty()) out << run.lastFolder.string() << "\n";
  s.disconnect();
  return code;
}

}  // namespace orb
