// Run control: Play names and starts an experiment (or a monitor run
// without a name), Pause pauses and resumes it with or without stopping the
// clock, Stop ends it; Read Blank starts a blank measurement. Run control
// owns the wiring between the engine and the calibration, the light and
// temperature outputs and the record files, so the main window and the
// command line only move values.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

#include "acquisition/calibration.h"
#include "acquisition/engine.h"
#include "acquisition/outputs.h"
#include "signal/signal_analysis.h"

namespace orb {

class Operator;

// What the main window shows and opens. Every member may be empty.
struct RunView {
  std::function<void(const std::string&)> subprojectName;  // txt_subproject
  std::function<std::string()> description;                 // Txt_description
  std::function<void()> openSetup;                          // the project setup screen
  std::function<void()> hideOtherWindows;                   // setup and browser screens
  // Disables the self-test timer; true when it was running.
  std::function<bool()> stopSelfTest;
  // Run state 0/1/2: CmdPlay, CmdPause, Cmdsetup, Cmdoffline, Cmb_organism and
  // txt_snr_umbral follow it.
  std::function<void(int runState)> runButtons;
  // A blank reading starts (true) or ends (false): ">Edit" and "<< Back" are
  // made unavailable at its start and come back with Stop; Play waits for
  // its end.
  std::function<void(bool reading)> blankButtons;
  std::function<void(bool visible, const std::string& text)> autotext;  // frm_autotext
  std::function<void(const std::string&)> autochannel;                 // lbl_autochannel
  std::function<void(bool visible, const std::string& text)> blankLabel;  // lblcalibrando
  std::function<void()> prepareDisplays;  // activity display and live trace for a new run
  std::function<void()> clearProgress;    // picturetime
  std::function<void(bool enabled)> bodyBendsBox;
  std::function<void(const OutputLook&)> outputs;  // the light and temperature panels
  std::function<void(const std::string&)> temperature;
  // The end of the programmed time: the report (Cmdreport); autoreport when
  // "User Defined BIN size" is checked.
  std::function<void(bool autoreport)> report;
  std::function<bool()> userBin;  // mn_userbin checked
  std::function<void()> showMain;
  // A record file could not be written, raw saving was suspended or
  // resumed (shown without stopping the run); without it the Operator is
  // told.
  std::function<void(const std::string& message)> recordError;
  // The start minute's folder was not free and the run records into a
  // later one (FolderMovedMessage); without it, recordError shows it, and
  // without that the Operator is told.
  std::function<void(const std::string& message)> folderNotice;
  // The instrument stopped answering (lost: a notice that stays, without
  // stopping the run) or answers again (the notice goes; `text` says so).
  std::function<void(bool lost, const std::string& text)> linkNotice;
  // Calibration status frame and progress line.
  std::function<void(int done, int total)> calibrationProgress;
  std::function<void()> clearCalibrationProgress;
};

// Free space of the file system holding `path`, in whole megabytes (half
// to even); -1 when it cannot be asked.
long long FreeDiskMegabytes(const std::filesystem::path& path);

// The texts of the disk check; empty when no question is due.
// Megabytes (of 1,048,576 bytes, as FreeDiskMegabytes counts them) that
// `aqLapse` minutes of recording with raw samples write: one raw record and
// one counts record per interval of `rtBuffer` samples, a sample taking at
// least the wire time of its four block replies (kWireSecondsPerSample).
inline constexpr double kWireSecondsPerSample = 4 * (5 + 192) * 10 / 115200.0;
long long RawSavingMegabytes(int aqLapse, int rtBuffer);
std::string DiskWarning(int aqLapse, long long freeMb, int rtBuffer);

inline constexpr const char* kAutorunName = "Autorun project";
inline constexpr const char* kStartTitle = "Starting New acquisition...";
inline constexpr const char* kTickFailedMessage = "The acquisition stopped because of an internal error: ";

// What the operator is told about the recording's files.
std::string RecordErrorMessage(const RecordFileError& error);
std::string RawSavingSuspendedMessage(const RecordFileError& error);
// Intervals counted from 1, as the records of counts.bin.
std::string RawSavingResumedMessage(long long firstMissing, long long lastMissing);
// `taken` and `used` are acquisition folders; their names are shown.
std::string FolderMovedMessage(const std::filesystem::path& taken, const std::filesystem::path& used);

class RunControl {
 public:
  RunControl(Workspace& ws, DeviceLink& link, AcquisitionEngine& engine, OutputState& outputs, Operator& op,
             Clock& clock, EventLoop& loop);

  RunView view;
  bool Autorun = false;
  bool TimeCounterPaused = false;
  std::chrono::milliseconds PausedElapsed{0};
  std::function<long long(const std::filesystem::path&)> freeDisk = FreeDiskMegabytes;
  std::filesystem::path lastFolder;  // the acquisition folder of the last recording run
  CalibrationResult lastCalibration;

  // The Play command; true when a run started.
  bool StartRun();
  // The Pause command.
  void PauseOrResume();
  // The Stop command.
  void StopRun();
  // The Read Blank command.
  void ReadBlank();
  // One firing of the acquisition timer: the engine's tick. A failure
  // inside it never ends the program: the run stops as Stop does (the
  // records written so far are kept, the outputs switched off) and the
  // operator is told what failed (kTickFailedMessage + the reason).
  void Tick();
  // What stopped the last run from inside a tick; empty when nothing did.
  std::string tickFailure;
  // The last StartRun was refused because the acquisition folder could not
  // be created or written (a file-system fault, not the operator's choice).
  bool folderFailure = false;
  // Fast CALIB and Fast ZERO: the calibration or the zero alone, with the
  // factor the box holds as it stands (no lower limit); the zero takes 30
  // samples when both automatic switches are on, otherwise 100. Like every
  // calibration they act only while a run is active.
  void FastCalibrate();
  void FastZero();

  // The prompt of the name dialog, lines joined by CR LF.
  std::string NamePrompt() const;
  // The outputs as they go to the instrument (and to the panels).
  OutputSender sender();
  // The outputs switched off and sent (Stop, end of the programmed time).
  void OutputsOff();

  // Run state 1 (running) or 2 (paused).
  bool runActive() const;
  // A reading of every channel from AutoZero, into slot `slot` of the
  // engine's raw buffer (the last slot is never filled by sampling).
  void storeSample(int slot, const ChannelReadings& readings);
  // What the calibration routines show, through the run's view, and ask.
  CalibrationView calibrationView();

 private:
  bool online() const;
  std::string AskName();
  bool DiskCheck();
  void Serve(int times);
  void Purge();
  void WireEngine();
  void OnFinished();
  // A message shown without stopping the run.
  void Tell(const std::string& message);

  Workspace& ws_;
  DeviceLink& link_;
  AcquisitionEngine& engine_;
  OutputState& outputs_;
  Operator& op_;
  Clock& clock_;
  EventLoop& loop_;
  IntervalAnalyzer analyzer_;
  std::string frameTitle_;
};

}  // namespace orb
