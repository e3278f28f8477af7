// The acquisition engine: on every tick of the acquisition timer it reads one
// sample of every beam, keeps the interval's samples, turns each beam's
// signal into activity counts (real-time counting, or interval analysis when
// auto zero is on), and at the end of each interval reads the temperature,
// runs the light and temperature rules, appends the interval's records and
// checks whether the programmed time is over.
//
// The engine knows no window: what it shows or asks of the rest of the
// program goes through EngineHooks, which run control fills in.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "acquisition/calibration.h"
#include "acquisition/link_watch.h"
#include "records/record_files.h"
#include "signal/realtime_detector.h"

namespace orb {

class Clock;
class DeviceLink;
class EventLoop;
struct Workspace;

enum RunState : std::int16_t { kStopped = 0, kRunning = 1, kPaused = 2 };

inline constexpr int kTimerIntervalMs = 30;

// What the engine asks of the rest of the program. Every hook may be empty.
struct EngineHooks {
  std::function<void(bool enabled)> timer;               // the acquisition timer follows the engine
  std::function<void()> rescaleTrace;                     // once, when the warm-up window is full
  std::function<void()> refreshTrace;                     // live trace and temperature display
  std::function<void(const std::string&)> showTime;       // "hh:mm:ss [Nd]"
  std::function<void(double percent)> showProgress;       // 0..100 of the programmed time
  std::function<void(const std::string&)> showTemperature;  // "0.0"
  std::function<void()> redrawActivity;                   // after each interval close
  std::function<void()> blankFinished;                    // the blank reading ended itself
  // Interval close: temperature control and the hour schedule, then the outputs are sent.
  std::function<void(double celsius, int clockHour)> intervalOutputs;
  // Progress check: the pulse programme and a pending manual change.
  std::function<void(double minutesExact)> progressCheck;
  // Re-adjusts the beams whose entry is 0 (others -1); may mark entries -1.
  std::function<void(std::vector<std::int16_t>& beams)> autoAdjust;
  // The programmed time is over (the engine has already stopped its timer).
  std::function<void()> finished;
  // counts.bin (or the histogram file) could not be written, so nothing of
  // the interval is kept: told once until writing works again.
  std::function<void(const RecordFileError&)> recordError;
  // The raw record of an interval could not be written: the counts go on
  // being recorded and raw writing is tried again at every interval. Told
  // once until raw writing works again.
  std::function<void(const RecordFileError&)> rawSavingSuspended;
  // Raw writing works again; intervals firstMissing..lastMissing (counted
  // from 1, as the records of counts.bin) have no raw samples.
  std::function<void(long long firstMissing, long long lastMissing)> rawSavingResumed;
  // The instrument stopped answering (lost) or answers again; `text` says
  // so for the operator (LinkLostText / LinkBackText).
  std::function<void(bool lost, const std::string& text)> linkChanged;
};

// The interval count and histogram routines, given by the caller so the
// engine stays apart from the signal library's details and tests can count.
struct IntervalAnalysis {
  // Count of `beam` for the interval in the raw buffer.
  std::function<std::int16_t(const RawRecord& raw, int beam, double snr, int method)> count;
  // Fills bins 0..49 of `bins` for `beam`; blankPercent is the beam's new band.
  std::function<void(const RawRecord& raw, int beam, std::array<std::int32_t, 50>& bins, double blankPercent)>
      histogram;
};

// The project's records the engine works on: the settings (RT_Buffer,
// DSP_Interval, DSP_Method, Threshold_Counter, Aq_lapse, Save_real), each
// beam's threshold band (which the blank reading and the interval analysis
// set), the beam settings (a beam at its lowest setting is not re-adjusted)
// and the plate (which beams lie in a well). The program's load fills them.
struct EngineRecords {
  const ProjectSetup& setup;
  ChannelThresholds& thresholds;
  const ChannelCalibration& calibration;
  const PlateFormat& plate;
};
EngineRecords EngineRecordsOf(Workspace& ws);

class AcquisitionEngine {
 public:
  AcquisitionEngine(EngineRecords records, DeviceLink& link, Clock& clock, EventLoop& loop);

  EngineHooks hooks;
  IntervalAnalysis analysis;

  // ---- run state and flags (run control sets them) ----
  std::int16_t runState = kStopped;
  bool Recording = false;
  bool BlankReading = false;
  bool BodyBendsMode = false;
  bool Finished = false;
  bool timerEnabled = false;
  // The calibration state, held here once: the automatic zero switch
  // chooses interval analysis, the automatic calibration switch lets the
  // tick re-adjust bright beams, the factor sets detection and bands.
  CalibrationMenus calibration;
  std::filesystem::path acquisitionFolder;  // where records go while Recording
  // The lock of acquisitionFolder, taken by run control for a recording and
  // released at its end: the engine writes the folder's records only while
  // a run holds it.
  FolderLock folderLock;

  // Whether the instrument answers: watched over the block reads of every
  // tick while a run or a blank reading is on.
  LinkWatch linkWatch;

  // ---- counters ----
  int SampleIndex = 0;
  std::int32_t TickCount = 0;
  std::int32_t SamplesSinceBlank = 0;
  int WindowCounter = 0;
  int TraceRefreshCounter = 0;
  // The rotation of the raw and histogram files: interval i of counts.bin
  // is record i % 11 of file i / 11. It moves on with every interval whose
  // counts were written, with raw samples or without.
  int RawFileIndex = 0;
  int RawFileFill = 0;
  std::int32_t HistogramRecords = 0;
  int BodyBendsBlock = 0;
  int HighestBlock = 127;
  bool blink = false;

  // ---- times ----
  // Elapsed time is measured on the clock's steady source, which never jumps
  // with daylight saving or clock corrections; local time only names folders.
  std::chrono::milliseconds StartTime{0};
  std::chrono::milliseconds IntervalStartTime{0};
  std::int32_t ElapsedMinutes = 0;
  double ElapsedMinutesExact = 0;
  double SecondsPerSample = 0;
  double SecondsSum = 0;
  double Temperature = 0;
  std::string TemperatureText = "0.0";

  // ---- tables: index [slot * kChannelSlots + beam] for per-sample tables ----
  RawRecord RawBuffer;
  std::vector<std::int16_t> LowerTrace, UpperTrace, PeakTrace, ValleyTrace;
  std::array<std::int32_t, kChannelSlots> NoiseSum{}, LevelSum{}, SampleCount{};
  std::array<std::int16_t, kChannelSlots> IntervalCounts{}, TotalCounts{};
  HistogramRecord Histogram;  // cumulative body-bends histogram of the run
  // The real-time counting of dips (and the blank reading) on these tables.
  RealTimeDetector detector;
  std::array<std::int32_t, kChannelSlots> HistogramPeak{};

  int rtBuffer() const { return rtBuffer_; }
  std::int16_t raw(int beam, int n) const { return RawBuffer.values[idx(n, beam)]; }
  std::int16_t lower(int beam, int n) const { return LowerTrace[idx(n, beam)]; }
  std::int16_t upper(int beam, int n) const { return UpperTrace[idx(n, beam)]; }

  // Sizes the tables for the project's RT_Buffer and clears them, the counts
  // and the rotation (the engine reset of a run start).
  void ResetTables();
  // Starts the clock of a run: TickCount 0, StartTime = IntervalStartTime = now.
  void StartClock();
  // Prepares a blank reading: the four blocks, counters reset, RunningMax
  // cleared and RunningMin at 10000, BlankReading set, timer on.
  void StartBlankReading();
  void setTimer(bool enabled);

  // The timer handler.
  void OnTick();

  // Elapsed time now, in milliseconds of the steady clock.
  std::chrono::milliseconds elapsed() const;
  // "hh:mm:ss [Nd]".
  static std::string FormatElapsed(std::chrono::milliseconds elapsed);

 private:
  std::size_t idx(int n, int beam) const { return std::size_t(n) * kChannelSlots + beam; }
  int ring(int n) const { return ((n % rtBuffer_) + rtBuffer_) % rtBuffer_; }
  bool online() const;
  bool beamInWell(int beam) const;

  void WarmUpReads();
  // Reads the tick's blocks; true when at least one came back whole.
  bool ReadBlocks();
  // Tells the link's changes and reopens the port while it is lost.
  void WatchLink(bool validBlock);
  // values: the block's 96 readings, or nothing for a bad reply.
  void StoreBlock(int start, const std::array<int, 96>* values);
  void RealTimeStep();
  void IntervalAnalysisStep();
  void CloseInterval();
  void AnalyseInterval();
  // True when the interval's counts were written (its raw samples may not be).
  bool WriteRecords();
  // A line in the folder's events.log for the interval at counts.bin place
  // `interval` (0 = first); a log that cannot be written is let go.
  void LogEvent(long long interval, const std::string& text);
  void KeepTime();
  void EndOfAcquisition();

  EngineRecords records_;
  DeviceLink& link_;
  Clock& clock_;
  EventLoop& loop_;
  int rtBuffer_ = 500;
  bool recordErrorShown_ = false;
  // The first interval (counts.bin place) whose raw record could not be
  // written in the present failure, or -1 while raw saving works.
  long long rawMissingFrom_ = -1;
  bool inTick_ = false;
};

}  // namespace orb
