#include "acquisition/run_control.h"

#include <sys/statvfs.h>

#include <cmath>

#include "acquisition/acquisition_folder.h"
#include "app/workspace.h"
#include "common/encoding.h"
#include "common/format.h"
#include "common/seams.h"
#include "device/device_link.h"

namespace orb {

namespace {

// subproj.dat keeps each text on one line between double quotes: line
// breaks become blanks, so a description typed over several lines never
// stops a run from starting.
std::string OneLine(std::string text) {
  for (char& c : text)
    if (c == '\r' || c == '\n' || c == '\t') c = ' ';
  return text;
}

// A text subproj.dat can hold: Windows-1252 characters and no double quote
// (the quote would end the field).
bool Storable(const std::string& text) { return text.find('"') == std::string::npos && IsStorableText(text); }

}  // namespace

long long FreeDiskMegabytes(const std::filesystem::path& path) {
  struct statvfs st {};
  if (::statvfs(path.c_str(), &st) != 0) return -1;
  const double bytes = static_cast<double>(st.f_bavail) * static_cast<double>(st.f_frsize);
  return RoundHalfEven(bytes / 1024.0 / 1024.0);
}

long long RawSavingMegabytes(int aqLapse, int rtBuffer) {
  const int samples = std::max(1, rtBuffer);
  const double intervals = aqLapse * 60.0 / (samples * kWireSecondsPerSample);
  const double bytes = intervals * static_cast<double>(RawRecordSize(samples) + kCountsRecordSize);
  return RoundHalfEven(bytes / 1024.0 / 1024.0);
}

std::string DiskWarning(int aqLapse, long long freeMb, int rtBuffer) {
  // Estimated from what a run writes (about 0.65 MB a minute at RT_Buffer
  // 500, more with a smaller buffer), not from a fixed 0.4 MB a minute that
  // let the disk fill before the run's end.
  const long long need = RawSavingMegabytes(aqLapse, rtBuffer);
  std::string text = "Programmed Acquisition lapse = " + std::to_string(aqLapse) +
                     "minutes & RealTime_recording=YES\r\n" + "Required Disk space for RealTime Saving = " +
                     std::to_string(need) + "MB\r\n" + "Current Disk Space=" + std::to_string(freeMb) + "MB\r\n";
  bool added = false;
  if (freeMb - need <= 999) {
    text += "LOW DISK SPACE\r\n";
    added = true;
  }
  if (freeMb - need < 200) {
    text += "NOT ENOUGH DISK SPACE\r\n (Please, Increase Disk Space Availablility or Deselect Realtime recording)";
    added = true;
  }
  if (need < 1001 && !added) return {};
  return "WARNING:\r\n" + text + "\r\nPROCEED?";
}

RunControl::RunControl(Workspace& ws, DeviceLink& link, AcquisitionEngine& engine, OutputState& outputs,
                       Operator& op, Clock& clock, EventLoop& loop)
    : ws_(ws), link_(link), engine_(engine), outputs_(outputs), op_(op), clock_(clock), loop_(loop) {
  WireEngine();
}

bool RunControl::online() const {
  const auto& st = link_.state();
  return st.connected && !st.offline;
}

void RunControl::Serve(int times) {
  for (int i = 0; i < times; ++i) loop_.processEvents();
}

void RunControl::Purge() {
  if (online()) link_.ports().CommFlush(link_.state().currentPort);
}

OutputSender RunControl::sender() {
  return [this](const OutputState& state) {
    if (online()) link_.SetOutputs(state.LightOn != 0, state.HeatMode != 0, state.TempOutputOn != 0);
    if (view.outputs) view.outputs(LookOf(state));
  };
}

void RunControl::OutputsOff() { SwitchOutputsOff(outputs_, sender()); }

void RunControl::WireEngine() {
  EngineHooks& h = engine_.hooks;
  h.intervalOutputs = [this](double celsius, int hour) {
    RegulateTemperature(outputs_, ws_.setup, celsius, hour, sender());
  };
  h.progressCheck = [this](double minutes) { ApplyPulseProgramme(outputs_, ws_.setup, minutes, sender()); };
  h.autoAdjust = [this](std::vector<std::int16_t>& beams) {
    AdjustList list{};
    for (int c = 0; c < kChannels; ++c) list[c] = beams[c];
    AutoAdjust(BeamSettingsOf(ws_), link_, calibrationView(), list);
    for (int c = 0; c < kChannels; ++c) beams[c] = list[c];
  };
  h.finished = [this] { OnFinished(); };
  h.linkChanged = [this](bool lost, const std::string& text) {
    if (view.linkNotice) view.linkNotice(lost, text);
  };
  h.recordError = [this](const RecordFileError& e) { Tell(RecordErrorMessage(e)); };
  h.rawSavingSuspended = [this](const RecordFileError& e) { Tell(RawSavingSuspendedMessage(e)); };
  h.rawSavingResumed = [this](long long first, long long last) { Tell(RawSavingResumedMessage(first, last)); };
  h.blankFinished = [this] {
    if (view.blankLabel) view.blankLabel(false, "");
    if (view.blankButtons) view.blankButtons(false);
  };
  engine_.analysis.count = [this](const RawRecord& raw, int beam, double snr, int method) {
    // The count routine clips the beam's samples above its upper trace in
    // the buffer it is given, as the recorded raw data then shows.
    // The interval is RT_Buffer samples long (slots 0..RT_Buffer-1 are
    // analysed) and counted whole, whatever RT_Buffer is.
    auto& values = const_cast<RawRecord&>(raw).values;
    const int samples = raw.slotCount() - 1;
    if (analyzer_.Samples() != samples) analyzer_ = IntervalAnalyzer(samples);
    return analyzer_.Count(std::span<std::int16_t>(values.data(), values.size()), beam, snr, method);
  };
  engine_.analysis.histogram = [](const RawRecord& raw, int beam, std::array<std::int32_t, 50>& bins,
                                  double band) {
    BodyBendsHistogram(std::span<const std::int16_t>(raw.values.data(), raw.values.size()), beam, band, bins,
                       raw.slotCount() - 1);
  };
}

std::string RunControl::NamePrompt() const {
  const bool autoOn = engine_.calibration.autoCalibrationMode && engine_.calibration.autoZeroMode;
  return std::string("*************************************************\r\n") +
         "***   Enter a Name for this Experiment  ***\r\n" +
         "*************************************************\r\n" + "Comments:\r\n" + "~~~~~~~\r\n" +
         (autoOn ? "> Auto Calibration is ON: Use experimental Microplate Direclty."
                 : "> Auto Calibration is OFF: Remember to read Blank.") +
         "\r\n" + "> To go into Monitor_mode (no calculation/recording) keep experiment name empty.";
}

std::string RunControl::AskName() {
  if (Autorun) return kAutorunName;
  std::string name = op_.input(NamePrompt(), kStartTitle, "").value_or("");
  if (name.empty()) {
    if (op_.ask("Name is EMPTY. Activity is NOT going to be CALCULATED/RECORDED!", Buttons::OkCancel) ==
        Answer::Cancel)
      name = op_.input("Enter a Name for this experiment", kStartTitle, "").value_or("");
  }
  return name;
}

bool RunControl::DiskCheck() {
  if (ws_.setup.Save_real != 1 || ws_.setup.Aq_lapse < 31 || Autorun) return true;
  const std::string warning =
      DiskWarning(ws_.setup.Aq_lapse, freeDisk ? freeDisk(ws_.ProjectPath) : -1, ws_.setup.RT_Buffer);
  if (warning.empty()) return true;
  if (op_.ask(warning, Buttons::YesNo) == Answer::Yes) return true;
  if (view.openSetup) view.openSetup();
  return false;
}

bool RunControl::StartRun() {
  tickFailure.clear();
  folderFailure = false;
  if (engine_.runState != kStopped) return false;
  if (view.stopSelfTest) view.stopSelfTest();
  const std::string name = AskName();
  if (view.subprojectName) view.subprojectName(name);

  if (ws_.config.Actual_Project_Number == 0) {
    op_.inform("Operation not allowed in Project #0:Default. Go to <Setup> and Save it with another name");
    if (view.openSetup) view.openSetup();
    return false;
  }
  if (!online()) {
    op_.inform("Acquisition not allowed in OFFLINE MODE. Connect the equipment and press Connect.");
    return false;
  }
  Serve(10);
  Purge();
  Serve(10);
  if (view.prepareDisplays) view.prepareDisplays();

  if (!name.empty()) {
    const std::string description = view.description ? view.description() : std::string();
    // What the files cannot hold is refused here, before anything is written.
    if (!Storable(name) || !Storable(description)) {
      op_.inform("The experiment name or its description holds characters that cannot be stored "
                 "(double quotes, or characters outside Windows-1252). Please type them again.");
      return false;
    }
    if (!DiskCheck()) return false;
    AcquisitionFolder folder;
    try {
      folder = CreateAcquisitionFolder(ws_, clock_.now(), OneLine(name), OneLine(description));
    } catch (const RecordFileFailure& e) {
      // Nothing is recorded without its folder: the run does not start.
      folderFailure = true;
      op_.inform("The acquisition folder could not be created:\r\n" + e.error.file.string() + "\r\n" +
                 e.error.reason);
      return false;
    }
    lastFolder = folder.path;
    // Held until Stop (or the end of the programmed time): no other run
    // records into this folder meanwhile.
    engine_.folderLock = std::move(folder.lock);
    engine_.Recording = true;
    engine_.acquisitionFolder = lastFolder;
    if (!folder.taken.empty()) {
      const std::string notice = FolderMovedMessage(folder.taken, folder.path);
      if (view.folderNotice) {
        view.folderNotice(notice);
      } else {
        Tell(notice);
      }
    }
  } else {
    engine_.folderLock.release();
    engine_.Recording = false;
    engine_.acquisitionFolder.clear();
  }

  engine_.Finished = false;
  engine_.HighestBlock = 127;
  engine_.setTimer(false);
  engine_.TraceRefreshCounter = 0;
  engine_.SamplesSinceBlank = 0;
  engine_.blink = false;
  engine_.BodyBendsBlock = 0;

  engine_.runState = kRunning;
  if (view.runButtons) view.runButtons(kRunning);
  if (view.hideOtherWindows) view.hideOtherWindows();
  engine_.ResetTables();

  TakeSetPoint(outputs_, ws_.setup);
  if (online()) engine_.Temperature = link_.Temperature(link_.ReadTemperatureRaw());
  engine_.TemperatureText = FormatFixed(engine_.Temperature, 1);
  if (view.temperature) view.temperature(engine_.TemperatureText);
  StartRunLight(outputs_, ws_.setup, clock_.now().hour, sender());

  if (engine_.Recording && online()) {
    // The automatic switches and the factor are the engine's calibration state.
    CalibrationMenus& calibration = engine_.calibration;
    const CalibrationView shown = calibrationView();
    if (calibration.autoCalibrationMode) {
      shown.showFrame(true);
      shown.showTitle(kCalibrationTitle);
      shown.clearProgress();
      TakeRunStartFactor(calibration);
      lastCalibration = AutoCalibrate(BeamSettingsOf(ws_), link_, shown);
      shown.showFrame(false);
    }
    if (calibration.autoZeroMode) {
      shown.showFrame(true);
      shown.showTitle(kCalibrationTitle);
      shown.clearProgress();
      TakeRunStartFactor(calibration);
      AutoZero(ws_.thresholds, link_, shown, calibration.snrFactor,
               AutoZeroSampleCount(calibration.autoCalibrationMode, calibration.autoZeroMode));
      shown.showFrame(false);
    }
  }

  if (engine_.runState == kStopped) return false;
  if (view.clearProgress) view.clearProgress();
  engine_.StartClock();
  if (view.bodyBendsBox) view.bodyBendsBox(false);
  engine_.setTimer(true);
  return true;
}

void RunControl::PauseOrResume() {
  if (engine_.runState == kRunning) {
    if (op_.ask("Pause Time Counter?", Buttons::YesNo) == Answer::Yes) {
      engine_.setTimer(false);
      engine_.runState = kPaused;
      PausedElapsed = engine_.elapsed();
      TimeCounterPaused = true;
      if (view.autochannel) view.autochannel("Time Counter = OFF");
    } else {
      TimeCounterPaused = false;
      engine_.runState = kPaused;
      if (view.autochannel) view.autochannel("Time Counter = ON");
    }
    if (view.autotext) view.autotext(true, "<< PAUSED >>");
    if (view.runButtons) view.runButtons(kPaused);
    return;
  }
  if (engine_.runState != kPaused) return;
  // A pause that stopped the clock does not count as elapsed time.
  if (TimeCounterPaused) engine_.StartTime = clock_.steady() - PausedElapsed;
  engine_.TickCount = 0;
  engine_.setTimer(true);
  engine_.runState = kRunning;
  TimeCounterPaused = false;
  if (view.autotext) view.autotext(false, "");
  if (view.runButtons) view.runButtons(kRunning);
}

void RunControl::StopRun() {
  const bool selfTestWasRunning = view.stopSelfTest && view.stopSelfTest();
  if (engine_.runState == kRunning || engine_.runState == kPaused) engine_.runState = kStopped;
  engine_.setTimer(false);
  // Stop also ends a blank reading: left set, it would turn the first
  // Threshold_Counter samples of the next run into a blank reading whose end
  // switches the acquisition timer off in the middle of that run.
  engine_.BlankReading = false;
  if (view.autotext) view.autotext(false, "");
  if (view.bodyBendsBox) view.bodyBendsBox(true);
  OutputsOff();
  if (selfTestWasRunning && view.temperature) view.temperature("__");
  if (view.runButtons) view.runButtons(kStopped);
  Serve(10);
  Purge();
  loop_.sleepMs(5);
  Serve(10);
  if (view.blankLabel) view.blankLabel(false, "");
  // The link is watched only while a run is on: its notice goes with it.
  if (engine_.linkWatch.lost() && view.linkNotice) view.linkNotice(false, "");
  engine_.TickCount = 0;
  // The run's records are all written: its folder is free for readers and
  // closed to new runs by its records.
  engine_.folderLock.release();
}

void RunControl::Tick() {
  std::string failure;
  try {
    engine_.OnTick();
    return;
  } catch (const UnansweredQuestion&) {
    throw;  // the command line had no answer for a question: not a fault of the tick
  } catch (const std::exception& e) {
    failure = e.what();
  } catch (...) {
    failure = "unknown error";
  }
  try {
    StopRun();
  } catch (const std::exception& e) {
    failure += "; stopping it failed too: " + std::string(e.what());
  }
  tickFailure = failure;
  op_.inform(kTickFailedMessage + failure);
}

void RunControl::ReadBlank() {
  if (engine_.runState != kStopped || engine_.BlankReading) return;
  try {
    CreateSnapshotFolder(ws_, clock_.now());
  } catch (const RecordFileFailure& e) {
    op_.inform("The blank folder could not be created:\r\n" + e.error.file.string() + "\r\n" + e.error.reason);
    return;
  }
  if (view.hideOtherWindows) view.hideOtherWindows();
  engine_.StartBlankReading();
  if (view.blankButtons) view.blankButtons(true);
  if (view.blankLabel)
    view.blankLabel(true, "Setting Blank.... (" + std::to_string(ws_.setup.Threshold_Counter) + " samples)");
}

void RunControl::FastCalibrate() {
  TakeSnrBoxFactor(engine_.calibration);
  lastCalibration = AutoCalibrate(BeamSettingsOf(ws_), link_, calibrationView());
}

void RunControl::FastZero() {
  CalibrationMenus& calibration = engine_.calibration;
  TakeSnrBoxFactor(calibration);
  AutoZero(ws_.thresholds, link_, calibrationView(), calibration.snrFactor,
           AutoZeroSampleCount(calibration.autoCalibrationMode, calibration.autoZeroMode));
}

void RunControl::OnFinished() {
  OutputsOff();
  const bool userBin = view.userBin && view.userBin();
  if (view.report) view.report(userBin);
  if (userBin) {
    if (view.showMain) view.showMain();
  } else {
    op_.inform("Acquisition finished");
  }
  if (engine_.runState == kRunning && view.bodyBendsBox) view.bodyBendsBox(true);
  StopRun();
}

void RunControl::Tell(const std::string& message) {
  // The run goes on while the message is shown.
  if (view.recordError) {
    view.recordError(message);
  } else {
    op_.inform(message);
  }
}

std::string RecordErrorMessage(const RecordFileError& error) {
  // The run goes on; the operator hears of it once while the fault lasts.
  return "Recording error: the interval could not be written to\r\n" + error.file.string() + "\r\n(" +
         error.reason + ")\r\nThe acquisition goes on and tries again at the next interval.";
}

std::string RawSavingSuspendedMessage(const RecordFileError& error) {
  return "Raw data saving suspended: " + error.file.string() + ": " + error.reason +
         ".\r\nThe counts are still recorded; raw saving is retried at every interval.";
}

std::string RawSavingResumedMessage(long long firstMissing, long long lastMissing) {
  const std::string which =
      firstMissing == lastMissing
          ? "Interval " + std::to_string(firstMissing) + " has no raw samples (it reads as zeros)."
          : "Intervals " + std::to_string(firstMissing) + " to " + std::to_string(lastMissing) +
                " have no raw samples (they read as zeros).";
  return "Raw data saving resumed.\r\n" + which;
}

std::string FolderMovedMessage(const std::filesystem::path& taken, const std::filesystem::path& used) {
  return "The folder " + taken.filename().string() + " already holds a recording; this run records into " +
         used.filename().string() + ".";
}

// ---- the calibration routines' view -----------------------------------------------

bool RunControl::runActive() const { return engine_.runState == kRunning || engine_.runState == kPaused; }

CalibrationView RunControl::calibrationView() {
  CalibrationView v;
  v.runActive = [this] { return runActive(); };
  v.stopRun = [this] { StopRun(); };
  v.showFrame = [this](bool visible) {
    if (view.autotext) view.autotext(visible, frameTitle_);
  };
  v.showTitle = [this](const std::string& text) {
    frameTitle_ = text;
    if (view.autotext) view.autotext(true, text);
  };
  v.showStatus = [this](const std::string& text) {
    if (view.autochannel) view.autochannel(text);
  };
  v.clearProgress = [this] {
    if (view.clearCalibrationProgress) view.clearCalibrationProgress();
  };
  v.showProgress = [this](int done, int total) {
    if (view.calibrationProgress) view.calibrationProgress(done, total);
  };
  v.storeSample = [this](int slot, const ChannelReadings& readings) { storeSample(slot, readings); };
  return v;
}

void RunControl::storeSample(int slot, const ChannelReadings& readings) {
  // The last slot of the buffer is never filled by sampling.
  if (slot < 0 || slot >= engine_.rtBuffer()) return;
  for (int c = 0; c < kChannels; ++c)
    engine_.RawBuffer.values[std::size_t(slot) * kChannelSlots + c] = static_cast<std::int16_t>(std::max(0, readings[c]));
}

}  // namespace orb
