#include "acquisition/engine.h"

#include <algorithm>
#include <cmath>

#include "app/workspace.h"
#include "common/format.h"
#include "common/seams.h"
#include "device/device_link.h"
#include "device/protocol.h"
#include "records/event_log.h"
#include "signal/checked_math.h"

namespace orb {

namespace {

double RoundTo(double v, int decimals) {
  const double scale = std::pow(10.0, decimals);
  return static_cast<double>(RoundHalfEven(v * scale)) / scale;
}

}  // namespace

EngineRecords EngineRecordsOf(Workspace& ws) { return {ws.setup, ws.thresholds, ws.calibration, ws.plate}; }

AcquisitionEngine::AcquisitionEngine(EngineRecords records, DeviceLink& link, Clock& clock, EventLoop& loop)
    : records_(records), link_(link), clock_(clock), loop_(loop) {
  ResetTables();
}

bool AcquisitionEngine::online() const {
  const auto& st = link_.state();
  return st.connected && !st.offline;
}

bool AcquisitionEngine::beamInWell(int beam) const { return records_.plate.ChannelWell[beam] >= 0; }

void AcquisitionEngine::setTimer(bool enabled) {
  timerEnabled = enabled;
  if (hooks.timer) hooks.timer(enabled);
}

void AcquisitionEngine::ResetTables() {
  rtBuffer_ = std::max<int>(1, records_.setup.RT_Buffer);
  const std::size_t cells = std::size_t(kChannelSlots) * (rtBuffer_ + 1);
  RawBuffer.values.assign(cells, 0);
  LowerTrace.assign(cells, 0);
  UpperTrace.assign(cells, 0);
  // The peak and valley traces span the whole buffer whatever RT_Buffer is.
  PeakTrace.assign(std::size_t(kChannelSlots) * (rtBuffer_ + 2), 0);
  ValleyTrace.assign(std::size_t(kChannelSlots) * (rtBuffer_ + 2), 0);
  NoiseSum.fill(0);
  LevelSum.fill(0);
  SampleCount.fill(0);
  detector.ResetFlags();
  TotalCounts.fill(0);
  IntervalCounts.fill(0);
  Histogram = HistogramRecord{};
  HistogramPeak.fill(0);
  RawFileFill = 0;
  RawFileIndex = 0;
  SampleIndex = 0;
  recordErrorShown_ = false;
  rawMissingFrom_ = -1;
}

void AcquisitionEngine::StartClock() {
  TickCount = 0;
  StartTime = IntervalStartTime = clock_.steady();
  linkWatch.Start(StartTime);
  ElapsedMinutes = 0;
  ElapsedMinutesExact = 0;
  SecondsSum = 0;
  HistogramRecords = 0;
}

void AcquisitionEngine::StartBlankReading() {
  Recording = false;
  HighestBlock = 127;
  if (static_cast<int>(RawBuffer.values.size()) != kChannelSlots * (std::max<int>(1, records_.setup.RT_Buffer) + 1))
    ResetTables();
  TickCount = 0;
  SampleIndex = 0;
  SamplesSinceBlank = 0;
  WindowCounter = 0;
  TraceRefreshCounter = 0;
  detector.StartBlankReading();
  StartTime = IntervalStartTime = clock_.steady();
  linkWatch.Start(StartTime);
  BlankReading = true;
  setTimer(true);
}

std::chrono::milliseconds AcquisitionEngine::elapsed() const { return clock_.steady() - StartTime; }

std::string AcquisitionEngine::FormatElapsed(std::chrono::milliseconds elapsed) {
  long long s = std::max<long long>(0, elapsed.count()) / 1000;
  const long long days = s / 86400;
  s %= 86400;
  return FormatDigits(s / 3600, 2) + ":" + FormatDigits(s / 60 % 60, 2) + ":" + FormatDigits(s % 60, 2) + " [" +
         std::to_string(days) + "d]";
}

// ---- the tick ----------------------------------------------------------------

void AcquisitionEngine::OnTick() {
  // Dialogs and the calibration let pending events run from inside a tick;
  // a timer event delivered then must not start a second tick.
  if (inTick_) return;
  struct Guard {
    bool& flag;
    explicit Guard(bool& f) : flag(f) { flag = true; }
    ~Guard() { flag = false; }
  } guard(inTick_);
  try {
    if (runState != kRunning && !BlankReading) {
      linkWatch.Idle(clock_.steady());
      KeepTime();
      return;
    }
    WarmUpReads();
    WatchLink(ReadBlocks());
    if (TickCount == records_.setup.DSP_Interval && hooks.rescaleTrace) hooks.rescaleTrace();
    // A blank reading measures on the real-time path even with auto zero
    // checked, so that it always ends itself after Threshold_Counter samples.
    if (calibration.autoZeroMode && !BlankReading)
      IntervalAnalysisStep();
    else
      RealTimeStep();
    if (TraceRefreshCounter > 1) {
      if (hooks.refreshTrace) hooks.refreshTrace();
      TraceRefreshCounter = 0;
    }
    SamplesSinceBlank = Checked32(std::int64_t(SamplesSinceBlank) + 1);
    ++SampleIndex;
    if (SampleIndex >= rtBuffer_) {
      SampleIndex = 0;
      CloseInterval();
    }
    KeepTime();
    ++TraceRefreshCounter;
    if (WindowCounter < records_.setup.DSP_Interval) {
      ++WindowCounter;
    } else {
      WindowCounter = 0;
      blink = !blink;
    }
    TickCount = Checked32(std::int64_t(TickCount) + 1);
  } catch (const CounterOverflow&) {
    // Ends the tick silently; the next one starts afresh.
  }
}

void AcquisitionEngine::WarmUpReads() {
  if (!online() || (SampleIndex > 1 && TickCount > 1)) return;
  for (int start : kBlockStarts) link_.ReadBlock(start, BlockReadForm::Halves);
  loop_.sleepMs(50);
}

bool AcquisitionEngine::ReadBlocks() {
  if (!online()) return false;
  bool anyValid = false;
  auto readOne = [&](int start) {
    auto block = link_.ReadBlock(start, BlockReadForm::Halves);
    const bool valid = block && !block->highByteOutOfRange;
    anyValid = anyValid || valid;
    StoreBlock(start, valid ? &block->values : nullptr);
  };
  if (BodyBendsMode) {
    readOne(BodyBendsBlock);
    readOne(BodyBendsBlock + kBlockPositions);
  } else {
    for (int start : kBlockStarts)
      if (start <= HighestBlock) readOne(start);
  }
  return anyValid;
}

void AcquisitionEngine::WatchLink(bool validBlock) {
  if (!online()) return;
  const auto now = clock_.steady();
  const LinkWatch::Time silent = linkWatch.silentFor(now);
  const LinkWatch::Change change = linkWatch.Observe(validBlock, now);
  if (change != LinkWatch::Change::None) {
    const bool lost = change == LinkWatch::Change::Lost;
    const std::string text = lost ? LinkLostText(silent) : LinkBackText(silent);
    if (Recording) LogEvent(RawFileIndex * 11LL + RawFileFill, text);
    if (hooks.linkChanged) hooks.linkChanged(lost, text);
  }
  // An unplugged adapter comes back under the same name, but only to a
  // new open of the port.
  if (linkWatch.ReopenDue(now)) link_.ReopenPort();
}

void AcquisitionEngine::StoreBlock(int start, const std::array<int, kBlockReadings>* values) {
  const int n = SampleIndex;
  for (int k = 0; k < kBlockReadings; ++k) {
    const int beam = BlockChannel(start, k);
    if (values) {
      RawBuffer.values[idx(n, beam)] = static_cast<std::int16_t>(std::max(0, (*values)[k]));
    } else if (n > 1) {
      // A bad reply repeats the previous sample of the block's beams.
      RawBuffer.values[idx(n, beam)] = RawBuffer.values[idx(n - 1, beam)];
    }
  }
}

void AcquisitionEngine::RealTimeStep() {
  DetectorTables tables{RawBuffer.values, LowerTrace, rtBuffer_, records_.thresholds, IntervalCounts, TotalCounts};
  DetectorSample sample;
  sample.slot = SampleIndex;
  sample.tickCount = TickCount;
  sample.windowCounter = WindowCounter;
  sample.windowLength = records_.setup.DSP_Interval;
  sample.method = records_.setup.DSP_Method;
  sample.blankReading = BlankReading;
  sample.blankComplete = SamplesSinceBlank > records_.setup.Threshold_Counter;
  detector.Step(sample, tables, [this] {
    BlankReading = false;
    setTimer(false);
    if (hooks.blankFinished) hooks.blankFinished();
  });
}

void AcquisitionEngine::IntervalAnalysisStep() {
  const int N = records_.setup.DSP_Interval;
  const int n = SampleIndex;
  const bool analyse = TickCount > N && n >= 2;
  for (int beam = 0; beam < kChannels; ++beam) {
    if (!beamInWell(beam)) continue;
    const double band = records_.thresholds[beam];
    auto rawAt = [&](int k) -> std::int16_t& { return RawBuffer.values[idx(k, beam)]; };
    if (!analyse) {
      NoiseSum[beam] = LevelSum[beam] = SampleCount[beam] = 0;
      PeakTrace[idx(n, beam)] = ValleyTrace[idx(n, beam)] = rawAt(n);
      LowerTrace[idx(n, beam)] = Round16((100.0 - band) / 100.0 * rawAt(n));
      UpperTrace[idx(n, beam)] = Round16((band + 100.0) / 100.0 * rawAt(n));
      continue;
    }
    // Single-sample spike above the upper trace: replaced by its neighbours' mean.
    if (rawAt(n - 1) > UpperTrace[idx(n - 1, beam)] && rawAt(n - 2) < rawAt(n - 1) && rawAt(n) < rawAt(n - 1))
      rawAt(n - 1) = Round16((rawAt(n) + rawAt(n - 2)) / 2.0);
    std::int16_t valley = ValleyTrace[idx(n - 1, beam)];
    std::int16_t peak = PeakTrace[idx(n - 1, beam)];
    if (rawAt(n - 1) < rawAt(n - 2) && rawAt(n - 1) < rawAt(n)) valley = rawAt(n - 1);
    if (rawAt(n - 2) < rawAt(n - 1) && rawAt(n) < rawAt(n - 1)) peak = rawAt(n - 1);
    ValleyTrace[idx(n, beam)] = valley;
    PeakTrace[idx(n, beam)] = peak;
    NoiseSum[beam] = Checked32(std::int64_t(NoiseSum[beam]) + peak - valley);
    LevelSum[beam] = Checked32(std::int64_t(LevelSum[beam]) + rawAt(n));
    SampleCount[beam] = Checked32(std::int64_t(SampleCount[beam]) + 1);

    int m = 0;
    for (int k = 1; k <= N; ++k) m = std::max<int>(m, RawBuffer.values[idx(ring(n - k), beam)]);
    int sl = 0, su = 0;
    for (int k = 1; k <= 3; ++k) {
      sl += LowerTrace[idx(ring(n - k), beam)];
      su += UpperTrace[idx(ring(n - k), beam)];
    }
    LowerTrace[idx(n, beam)] = Round16(((100.0 - band) * m / 100.0 + sl) / 4.0);
    UpperTrace[idx(n, beam)] = Round16(((band + 100.0) * m / 100.0 + su) / 4.0);
  }
}

// ---- interval close ------------------------------------------------------------

void AcquisitionEngine::CloseInterval() {
  const auto now = clock_.steady();
  SecondsPerSample = RoundTo((now - IntervalStartTime).count() / 1000.0 / rtBuffer_, 3);

  // A temperature query without reply gives -1, which converts below the
  // regulated range: the heater/cooler is then switched off rather than
  // driven on a stale reading.
  bool temperatureRead = true;
  if (online()) {
    const int rawTemperature = link_.ReadTemperatureRaw();
    temperatureRead = rawTemperature >= 0;
    Temperature = link_.Temperature(rawTemperature);
  }
  TemperatureText = FormatFixed(Temperature, 1);
  if (hooks.showTemperature) hooks.showTemperature(TemperatureText);
  if (hooks.intervalOutputs) hooks.intervalOutputs(Temperature, clock_.now().hour);

  if (calibration.autoZeroMode) AnalyseInterval();
  if (hooks.redrawActivity) hooks.redrawActivity();

  if (Recording) {
    IntervalCounts[kChannels] = Round16(Temperature * 10.0);
    // The record keeps its temperature field; the log says it was not measured.
    if (!temperatureRead)
      LogEvent(RawFileIndex * 11LL + RawFileFill,
               "temperature could not be read: the record's " + TemperatureText + " C is not a measurement");
    // The rotation follows counts.bin: an interval whose counts could not be
    // written leaves it where it is, one whose raw record alone failed moves
    // it on, so every later raw record keeps the place of its interval.
    if (WriteRecords()) {
      if (RawFileFill > 9) {
        RawFileFill = 0;
        ++RawFileIndex;
      } else {
        ++RawFileFill;
      }
    }
  }
  IntervalStartTime = clock_.steady();
}

void AcquisitionEngine::AnalyseInterval() {
  std::vector<std::int16_t> adjust(kChannels, -1);  // 0: this beam needs re-adjustment
  bool anyAdjust = false;
  for (int beam = 0; beam < kChannels; ++beam) {
    if (!beamInWell(beam)) continue;
    std::int32_t noise = NoiseSum[beam], level = LevelSum[beam];
    if (SampleCount[beam] >= 1) {
      noise = NoiseSum[beam] = Checked32(RoundHalfEven(double(NoiseSum[beam]) / SampleCount[beam]));
      level = LevelSum[beam] = Checked32(RoundHalfEven(double(LevelSum[beam]) / SampleCount[beam]));
    }
    const double q = (noise >= level || level < 1)
                         ? calibration.snrFactor * 100.0
                         : (1.0 - double(level - noise) / level) * 100.0 * calibration.snrFactor;
    double& band = records_.thresholds[beam];
    band = std::max(1.0, q + 1.0);

    if (level > 1944 && calibration.autoCalibrationMode && Recording &&
        (records_.calibration.Gain[beam] != 0 || records_.calibration.PinHole[beam] > 1)) {
      adjust[beam] = 0;
      anyAdjust = true;
    }
    if (BodyBendsMode && analysis.histogram) {
      std::array<std::int32_t, 50> bins{};
      analysis.histogram(RawBuffer, beam, bins, band);
      for (int b = 0; b < 50; ++b) {
        std::int32_t& cell = Histogram.counts[std::size_t(b) * kChannelSlots + beam];
        cell = Checked32(std::int64_t(cell) + bins[b]);
        HistogramPeak[beam] = std::max(HistogramPeak[beam], cell);
      }
    }
    const std::int16_t c =
        analysis.count ? analysis.count(RawBuffer, beam, calibration.snrFactor, records_.setup.DSP_Method) : 0;
    IntervalCounts[beam] = c;
    if (TotalCounts[beam] <= kTotalCountsLimit) TotalCounts[beam] = Checked16(TotalCounts[beam] + c);
  }
  if (BodyBendsMode) {
    BodyBendsBlock += 64;
    if (BodyBendsBlock >= 127) BodyBendsBlock = 0;
  }
  if (anyAdjust && hooks.autoAdjust) hooks.autoAdjust(adjust);
}

bool AcquisitionEngine::WriteRecords() {
  IntervalRecords records;
  records.interval = static_cast<long long>(RawFileIndex) * kRecordsPerFile + RawFileFill;
  if (records_.setup.Save_real == 1) {
    records.raw = &RawBuffer;
    records.rawMissingFrom = rawMissingFrom_;
  }
  records.counts.ElapsedMinutes = ElapsedMinutes;
  std::copy_n(IntervalCounts.begin(), kChannels, records.counts.IntervalCounts.begin());
  records.counts.TemperatureTenths = IntervalCounts[kChannels];
  if (BodyBendsMode) {
    Histogram.ElapsedMinutesExact = ElapsedMinutesExact;
    Histogram.SecondsPerSample = SecondsPerSample;
    records.histogram = &Histogram;
  }
  const IntervalWriteResult written = AppendIntervalRecords(acquisitionFolder, records);
  if (written.counts) {
    const RecordFileError& e = *written.counts;
    LogEvent(records.interval, "record write failure: " + e.file.string() + ": " + e.reason +
                                   "; nothing of this interval is recorded");
    if (!recordErrorShown_) {
      recordErrorShown_ = true;
      if (hooks.recordError) hooks.recordError(e);
    }
    return false;
  }
  recordErrorShown_ = false;
  if (BodyBendsMode) {
    SecondsSum += SecondsPerSample;
    ++HistogramRecords;
  }
  if (records.raw) {
    if (written.raw && rawMissingFrom_ < 0) {
      rawMissingFrom_ = records.interval;
      LogEvent(records.interval, "raw saving suspended: " + written.raw->file.string() + ": " + written.raw->reason +
                                     "; the counts are still recorded");
      if (hooks.rawSavingSuspended) hooks.rawSavingSuspended(*written.raw);
    } else if (!written.raw && rawMissingFrom_ >= 0) {
      // Counted from 1 as the lines of events.log: the missing records are
      // places rawMissingFrom_ .. interval - 1.
      const long long first = rawMissingFrom_ + 1, last = records.interval;
      rawMissingFrom_ = -1;
      const std::string which = first == last ? "interval " + std::to_string(first) + " has"
                                              : "intervals " + std::to_string(first) + " to " +
                                                    std::to_string(last) + " have";
      LogEvent(records.interval,
               "raw saving resumed; " + which + " no raw samples (" + (first == last ? "it reads" : "they read") +
                   " as zeros)");
      if (hooks.rawSavingResumed) hooks.rawSavingResumed(first, last);
    }
  }
  return true;
}

void AcquisitionEngine::LogEvent(long long interval, const std::string& text) {
  (void)AppendEvent(acquisitionFolder, RecordedEvent{clock_.now(), interval + 1, ElapsedMinutes, text});
}

// ---- time keeping ---------------------------------------------------------------

void AcquisitionEngine::KeepTime() {
  if (runState == kStopped) return;
  const auto e = elapsed();
  if (hooks.showTime) hooks.showTime(FormatElapsed(e));
  const double minutes = e.count() / 60000.0;
  // The minutes are kept in the 16-bit range: past 32767 minutes every tick
  // ends here, so a run must be programmed to end before.
  ElapsedMinutes = Checked16(static_cast<std::int64_t>(std::floor(minutes)));
  ElapsedMinutesExact = RoundTo(minutes, 2);

  const bool paused = runState == kPaused;
  if (ElapsedMinutes >= records_.setup.Aq_lapse && (paused || SampleIndex == 0)) {
    EndOfAcquisition();
    return;
  }
  if (paused || SampleIndex % 25 == 0) {
    if (hooks.showProgress) {
      const double lapse = std::max<int>(1, records_.setup.Aq_lapse);
      hooks.showProgress(std::min(100.0, ElapsedMinutes / lapse * 100.0));
    }
    if (hooks.progressCheck) hooks.progressCheck(minutes);
  }
}

void AcquisitionEngine::EndOfAcquisition() {
  Finished = true;
  setTimer(false);
  if (hooks.finished) hooks.finished();
}

}  // namespace orb
