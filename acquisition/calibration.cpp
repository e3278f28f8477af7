#include "acquisition/calibration.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "app/config_files.h"
#include "app/workspace.h"
#include "common/fileio.h"
#include "common/format.h"
#include "common/seams.h"
#include "device/device_link.h"

namespace orb {
namespace {

constexpr int kTopSetting = 7;
constexpr int kWarmUpPauseMs = 50;
constexpr int kWriteYieldEvery = 20;   // channels written between two event spins
constexpr int kZeroYieldEvery = 10;    // auto-zero samples between two event spins
constexpr int kAllBlocks = 0xF;
constexpr const char* kCalibrationFile = "calvalue.dat";
constexpr const char* kSaveCalibrationError = "<Error Saving Calibration File>";

BlockReadForm FormOf(ReadVariant v) {
  return v == ReadVariant::Calibrate ? BlockReadForm::Halves : BlockReadForm::Whole;
}

bool Online(DeviceLink& link) { return !link.state().offline; }

bool Used(const BeamSettings& beams, int channel) { return beams.plate.ChannelWell[channel] >= 0; }

// A view member that may be empty is called only when set.
template <class Member, class... Args>
void Tell(const Member& member, Args&&... args) {
  if (member) member(std::forward<Args>(args)...);
}

// Settings read from a file are held to what the instrument can take, so
// that stepping always reaches its limits.
void HoldSetting(std::int16_t& value) { value = std::clamp<std::int16_t>(value, 0, kTopSetting); }

// Holds the channel's settings to 0..7; an unused channel (no well on this
// plate) is left dark at 0/0. False for an unused channel.
bool PrepareChannel(const BeamSettings& beams, int ch, CalibrationResult& result) {
  ChannelCalibration& cal = beams.calibration;
  HoldSetting(cal.PinHole[ch]);
  HoldSetting(cal.Gain[ch]);
  if (Used(beams, ch)) return true;
  cal.PinHole[ch] = 0;
  cal.Gain[ch] = 0;
  result.channels[ch] = ChannelEnd::Unused;
  return false;
}

enum class PassEnd { Final, Stopped, WriteFailed, ReadFailed };

// The passes shared by AutoCalibrate and AutoAdjust: read, step the channels
// not done, write what changed, until a pass finds none outside the band or
// the run stops. `onDone` is told of every channel that becomes done.
template <typename OnDone>
PassEnd RunPasses(const BeamSettings& beams, DeviceLink& link, const CalibrationView& view, ReadVariant variant,
                  std::array<ChannelWork, kChannels>& work, CalibrationResult& result, bool showPasses,
                  OnDone onDone) {
  ChannelCalibration& cal = beams.calibration;
  // A block that cannot be read leaves its channels' previous readings in
  // place for the pass.
  ChannelReadings latest = result.readings;
  std::array<bool, kChannels> everRead{};
  int writtenLastPass = kChannels - 1;
  bool final = false;
  auto doneCount = [&work] {
    return static_cast<int>(std::count_if(work.begin(), work.end(), [](const ChannelWork& w) { return w.done; }));
  };
  while (!final && view.runActive()) {
    if (showPasses) Tell(view.showStatus, "Acquiring...");
    WarmUpReads(link, variant);
    const int blocks = ReadAllChannelsOnce(link, variant, latest);
    ++result.passes;
    for (int ch = 0; ch < kChannels; ++ch) {
      if (blocks & (1 << BlockOfChannel(ch))) everRead[ch] = true;
      if (!work[ch].done) result.readings[ch] = latest[ch];
    }
    // No block at all answered: stepping on nothing but old readings would
    // drive every channel to a limit and save that as the calibration.
    if (blocks == 0) return PassEnd::ReadFailed;
    if (showPasses) Tell(view.showStatus, "Calibrating... [" + std::to_string(writtenLastPass) + "]");
    Tell(view.showProgress, doneCount(), kChannels);

    final = true;
    int written = 0;
    for (int ch = 0; ch < kChannels; ++ch) {
      ChannelWork& w = work[ch];
      if (w.done) continue;
      const StepOutcome outcome = StepChannel(result.readings[ch], cal.PinHole[ch], cal.Gain[ch], w);
      if (outcome != StepOutcome::InBand) final = false;
      switch (outcome) {
        case StepOutcome::InBand: result.channels[ch] = ChannelEnd::InBand; break;
        case StepOutcome::DoneTop: result.channels[ch] = ChannelEnd::AtTop; break;
        case StepOutcome::DoneBottom: result.channels[ch] = ChannelEnd::AtBottom; break;
        case StepOutcome::DoneCrossed: result.channels[ch] = ChannelEnd::Crossed; break;
        case StepOutcome::Write:
          ++written;
          if (link.WriteChannelSetting(ch, cal.PinHole[ch], cal.Gain[ch]) != 1) return PassEnd::WriteFailed;
          break;
      }
      if (w.done) onDone(ch);
    }
    writtenLastPass = written;
    Tell(view.showProgress, doneCount(), kChannels);
    link.loop().processEvents();
  }
  for (int ch = 0; ch < kChannels; ++ch)
    if (!everRead[ch] && result.channels[ch] != ChannelEnd::Unused && result.channels[ch] != ChannelEnd::Skipped &&
        result.passes > 0)
      result.channels[ch] = ChannelEnd::Unread;
  return final ? PassEnd::Final : PassEnd::Stopped;
}

CalibrationResult FreshResult() {
  CalibrationResult r;
  r.readings.fill(-1);
  r.channels.fill(ChannelEnd::NotDone);
  return r;
}

// A number as a person types it: optional sign, digits, one point, digits.
// `whole` requires the text (blanks trimmed) to be nothing else.
std::optional<double> ParseNumber(const std::string& text, bool whole) {
  std::size_t i = 0, n = text.size();
  while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
  std::size_t start = i;
  if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
  bool digits = false, point = false;
  for (; i < n; ++i) {
    if (text[i] >= '0' && text[i] <= '9') digits = true;
    else if (text[i] == '.' && !point) point = true;
    else break;
  }
  if (!digits) return std::nullopt;
  std::size_t end = i;
  while (i < n && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n')) ++i;
  if (whole && i != n) return std::nullopt;
  return std::stod(text.substr(start, end - start));
}

}  // namespace

// ---- band and stepping -----------------------------------------------------

bool StepUp(std::int16_t& pinhole, std::int16_t& gain) {
  if (gain < kTopSetting) {
    ++gain;
    return true;
  }
  if (pinhole >= kTopSetting) return false;
  ++pinhole;
  gain = 0;
  return true;
}

bool StepDown(std::int16_t& pinhole, std::int16_t& gain) {
  if (gain > 0) {
    --gain;
    return true;
  }
  if (pinhole < 2) return false;
  --pinhole;
  gain = kTopSetting;
  return true;
}

StepOutcome StepChannel(int r, std::int16_t& pinhole, std::int16_t& gain, ChannelWork& w) {
  if (InBand(r)) {
    w = {true, 0};
    return StepOutcome::InBand;
  }
  StepOutcome outcome = StepOutcome::Write;
  if (r < kBandLow && w.direction != -1) {
    if (StepUp(pinhole, gain)) {
      w.direction = +1;
    } else {
      w = {true, 0};
      outcome = StepOutcome::DoneTop;
    }
  }
  if (r > kBandHigh && w.direction != +1) {
    if (StepDown(pinhole, gain)) {
      w.direction = -1;
    } else {
      w = {true, 0};
      outcome = StepOutcome::DoneBottom;
    }
  }
  if (r < kBandLow && w.direction == -1) {
    // It was coming down and went through the band: it stays where it is.
    w = {true, 0};
    outcome = StepOutcome::DoneCrossed;
  }
  if (r > kBandHigh && w.direction == +1) w.direction = 0;  // the next pass steps it down
  return outcome;
}

// ---- reading all channels ---------------------------------------------------

void WarmUpReads(DeviceLink& link, ReadVariant variant) {
  if (!Online(link)) return;
  for (int start : kBlockStarts) link.ReadBlock(start, FormOf(variant));
  if (variant != ReadVariant::Zero) link.loop().sleepMs(kWarmUpPauseMs);
}

int ReadAllChannelsOnce(DeviceLink& link, ReadVariant variant, ChannelReadings& readings) {
  if (!Online(link)) return 0;
  int mask = 0;
  for (int b = 0; b < 4; ++b) {
    const int start = kBlockStarts[b];
    auto block = link.ReadBlock(start, FormOf(variant));
    if (!block) continue;
    mask |= 1 << b;
    for (int i = 0; i < kBlockReadings; ++i) readings[BlockChannel(start, i)] = std::max(block->values[i], 0);
  }
  return mask;
}

// ---- AutoCalibrate / AutoAdjust ----------------------------------------------

int CalibrationResult::count(ChannelEnd e) const {
  return static_cast<int>(std::count(channels.begin(), channels.end(), e));
}

BeamSettings BeamSettingsOf(Workspace& ws) { return {ws.programFolder, ws.calibration, ws.plate}; }

CalibrationResult AutoCalibrate(const BeamSettings& beams, DeviceLink& link, const CalibrationView& view) {
  CalibrationResult result = FreshResult();
  Operator& op = link.op();
  if (!Online(link)) {
    op.inform(kOfflineMessage);
    result.end = CalibrationEnd::Offline;
    return result;
  }
  std::array<ChannelWork, kChannels> work{};
  ChannelCalibration& cal = beams.calibration;

  if (FileExists(beams.programFolder / kCalibrationFile)) {
    Tell(view.showStatus, "Writing Calibration...");
    // A damaged file keeps what could be read of it; the passes step every
    // used channel from there, and the loaded values are held to 0..7 below.
    LoadCalibration(beams.programFolder, cal);
  } else {
    Tell(view.showStatus, "Writing First Time Calibration...");
    ResetCalibration(beams.programFolder, cal);
  }

  for (int ch = 0; ch < kChannels; ++ch) {
    if (!PrepareChannel(beams, ch, result)) {
      work[ch].done = true;
    } else if (cal.PinHole[ch] == 0 && cal.Gain[ch] == 0) {
      cal.PinHole[ch] = 2;
    }
  }

  bool stopped = false;
  for (int ch = 0; ch < kChannels; ++ch) {
    if (!view.runActive()) {
      stopped = true;
      break;
    }
    Tell(view.showStatus, "Writing calibration..." + std::to_string(ch));
    Tell(view.showProgress, ch + 1, kChannels);
    if (ch % kWriteYieldEvery == 0) link.loop().processEvents();
    if (link.WriteChannelSetting(ch, cal.PinHole[ch], cal.Gain[ch]) != 1) {
      op.inform(kCommunicationError);
      result.end = CalibrationEnd::FirstWriteFailed;
      return result;
    }
  }

  if (!stopped) {
    switch (RunPasses(beams, link, view, ReadVariant::Calibrate, work, result, true, [](int) {})) {
      case PassEnd::Final: break;
      case PassEnd::Stopped: stopped = true; break;
      case PassEnd::WriteFailed:
        Tell(view.stopRun);
        result.end = CalibrationEnd::PassWriteFailed;
        return result;
      case PassEnd::ReadFailed:
        op.inform(kCommunicationError);
        Tell(view.stopRun);
        result.end = CalibrationEnd::ReadFailed;
        return result;
    }
  }

  result.end = stopped ? CalibrationEnd::Stopped : CalibrationEnd::Completed;
  Tell(view.showStatus, "Calibration OK");
  result.saved = SaveCalibration(beams.programFolder, cal);
  if (!result.saved) op.inform(kSaveCalibrationError);
  return result;
}

CalibrationResult AutoAdjust(const BeamSettings& beams, DeviceLink& link, const CalibrationView& view,
                             AdjustList& list) {
  CalibrationResult result = FreshResult();
  if (!Online(link)) {
    result.end = CalibrationEnd::Offline;
    return result;
  }
  Tell(view.showFrame, true);
  Tell(view.showTitle, kCalibrationTitle);
  Tell(view.showStatus, "Auto-Adjustment...");

  ChannelCalibration& cal = beams.calibration;
  std::array<ChannelWork, kChannels> work{};
  for (int ch = 0; ch < kChannels; ++ch) {
    if (!PrepareChannel(beams, ch, result)) {
      list[ch] = -1;
    } else if (list[ch] != 0) {
      result.channels[ch] = ChannelEnd::Skipped;
    }
    work[ch].done = list[ch] != 0;
  }

  PassEnd end = RunPasses(beams, link, view, ReadVariant::Adjust, work, result, false,
                          [&list](int ch) { list[ch] = -1; });
  if (end == PassEnd::WriteFailed || end == PassEnd::ReadFailed) {
    Tell(view.showFrame, false);
    result.end = end == PassEnd::WriteFailed ? CalibrationEnd::PassWriteFailed : CalibrationEnd::ReadFailed;
    return result;
  }
  result.end = end == PassEnd::Final ? CalibrationEnd::Completed : CalibrationEnd::Stopped;
  result.saved = SaveCalibration(beams.programFolder, cal);
  if (!result.saved) link.op().inform(kSaveCalibrationError);
  Tell(view.showFrame, false);
  return result;
}

// ---- AutoZero --------------------------------------------------------------------

int AutoZeroSampleCount(bool autoCalibrationMode, bool autoZeroMode) {
  return autoCalibrationMode && autoZeroMode ? 30 : 100;
}

ZeroStats ZeroStatistics(const int* x, int n) {
  ZeroStats s;
  if (n < 13) return s;
  int lastMin = x[10], lastMax = x[10];
  long long spreads = 0, levels = 0;
  for (int k = 11; k <= n - 2; ++k) {
    if (x[k] < x[k + 1] && x[k] < x[k - 1]) lastMin = x[k];
    if (x[k + 1] < x[k] && x[k - 1] < x[k]) lastMax = x[k];
    spreads += lastMax - lastMin;
    levels += x[k];
    ++s.count;
  }
  s.meanSpread = static_cast<int>(RoundHalfEven(static_cast<double>(spreads) / s.count));
  s.meanLevel = static_cast<int>(RoundHalfEven(static_cast<double>(levels) / s.count));
  return s;
}

double ZeroBlankPercent(const ZeroStats& s, double snrFactor) {
  double band = s.meanLevel >= 1 ? 100.0 * snrFactor * s.meanSpread / s.meanLevel : 0.0;
  return std::max(band + 1.0, 1.0);
}

ZeroResult AutoZero(ChannelThresholds& thresholds, DeviceLink& link, const CalibrationView& view, double snrFactor,
                    int samples) {
  ZeroResult result;
  Tell(view.showStatus, "AutoZero Calculation .... <000>");
  Tell(view.clearProgress);
  // Offline nothing can be measured; the thresholds stay as they are rather
  // than being derived from a flat, unread signal.
  if (!Online(link)) {
    result.end = ZeroEnd::Offline;
    return result;
  }
  if (samples <= 0) return result;
  WarmUpReads(link, ReadVariant::Zero);

  ChannelReadings readings{};
  std::vector<int> history(static_cast<std::size_t>(kChannels) * samples);
  int blocksSeen = 0;  // blocks read at least once among the samples analysed
  for (int i = 0; i < samples; ++i) {
    const int blocks = ReadAllChannelsOnce(link, ReadVariant::Zero, readings);
    if (i >= 10) blocksSeen |= blocks;
    for (int ch = 0; ch < kChannels; ++ch) history[static_cast<std::size_t>(ch) * samples + i] = readings[ch];
    Tell(view.storeSample, i, readings);
    result.samples = i + 1;
    Tell(view.showStatus, "AutoZero... <" + std::to_string(i) + ">");
    Tell(view.showProgress, i + 1, samples);
    if (i % kZeroYieldEvery == 0) {
      link.loop().processEvents();
      if (!view.runActive()) {
        result.end = ZeroEnd::Stopped;
        return result;
      }
    }
  }

  for (int ch = 0; ch < kChannels; ++ch) {
    if (!(blocksSeen & (1 << BlockOfChannel(ch))) && samples > 10) continue;
    ZeroStats s = ZeroStatistics(&history[static_cast<std::size_t>(ch) * samples], samples);
    thresholds[ch] = ZeroBlankPercent(s, snrFactor);
  }
  return result;
}

// ---- signal-to-noise factor ------------------------------------------------------

double SnrBoxValue(const std::string& text) { return ParseNumber(text, false).value_or(0.0); }

double RunStartSnrFactor(const std::string& boxText) {
  double v = SnrBoxValue(boxText);
  return v < 1.3 ? 1.8 : v;
}

SnrValidation ValidateSnrBox(const std::string& text) {
  SnrValidation v;
  auto number = ParseNumber(text, true);
  if (number && *number > 1.0 && *number <= 5.0) {
    v.accepted = true;
    v.snrx10 = static_cast<std::int16_t>(RoundHalfEven(*number * 10.0));
    v.boxText = FormatFixed(*number, 1);
  } else {
    v.snrx10 = 18;
    v.boxText = "1.8";
  }
  return v;
}

// ---- the calibration state -------------------------------------------------------

CalibrationControls Controls(const CalibrationMenus& m) {
  CalibrationControls c;
  c.mnCalibraChecked = m.autoCalibrationMode;
  c.mnZeroChecked = m.autoZeroMode;
  c.mnCalibraEnabled = m.calibrationControl;
  c.mnZeroEnabled = m.calibrationControl;
  c.fastCalibVisible = !m.autoCalibrationMode;
  c.fastZeroVisible = !m.autoZeroMode;
  c.readBlankVisible = m.calibrationControl;
  c.calOnChecked = m.calibrationControl;
  c.calOffChecked = !m.calibrationControl;
  c.organism = m.organism;
  c.snrText = m.snrText;
  c.snrBoxVisible = m.snrBoxVisible;
  c.umbralLabel = m.umbralLabel;
  return c;
}

void SetAutoCalibration(CalibrationMenus& m, ProjectSetup& setup, bool on) {
  m.autoCalibrationMode = on;
  setup.MenuTable[Mn1][Enab_Cal] = on ? 1 : 0;
}

void SetAutoZero(CalibrationMenus& m, ProjectSetup& setup, bool on) {
  m.autoZeroMode = on;
  setup.MenuTable[Mn1][Enab_Zero] = on ? 1 : 0;
}

void ToggleAutoCalibration(CalibrationMenus& m, ProjectSetup& setup) {
  SetAutoCalibration(m, setup, !m.autoCalibrationMode);
}

void ToggleAutoZero(CalibrationMenus& m, ProjectSetup& setup) { SetAutoZero(m, setup, !m.autoZeroMode); }

void CalibrationControlOn(CalibrationMenus& m) { m.calibrationControl = true; }

void CalibrationControlOff(CalibrationMenus& m, ProjectSetup& setup) {
  m.calibrationControl = false;
  SetAutoCalibration(m, setup, true);
  SetAutoZero(m, setup, true);
}

void TakePreset(CalibrationMenus& m, int organism, const DetectionPreset& preset) {
  m.organism = organism;
  m.snrFactor = preset.snrFactor;
  m.snrText = preset.boxText;
  m.umbralLabel = preset.labelText;
  m.snrBoxVisible = preset.boxVisible;
}

void TakeEditorDetection(CalibrationMenus& m, int organism, const std::string& snrText) {
  m.organism = organism;
  m.snrText = snrText;
  try {
    std::size_t used = 0;
    const double factor = std::stod(snrText, &used);
    if (used == snrText.size() && std::isfinite(factor) && factor > 0) m.snrFactor = factor;
  } catch (const std::exception&) {
  }
}

void ChooseOrganism(CalibrationMenus& m, ProjectSetup& setup, int item) {
  setup.MenuTable[Mn1][Organism] = static_cast<std::int16_t>(item);
  TakePreset(m, item, ApplyDetectionPreset(item, m.snrFactor, m.snrText));
}

void ToggleSnrBox(CalibrationMenus& m) {
  m.snrBoxVisible = !m.snrBoxVisible;
  m.umbralLabel = m.snrBoxVisible ? "> Zero SNR:" : ">>>>";
}

std::optional<std::string> LeaveSnrBox(CalibrationMenus& m, ProjectSetup& setup, const std::string& typed) {
  SnrValidation v = ValidateSnrBox(typed);
  setup.MenuTable[Mn1][SNRx10] = v.snrx10;
  m.snrText = v.boxText;
  ChooseOrganism(m, setup, 2);
  if (v.accepted) return std::nullopt;
  return std::string(kSnrInvalidMessage);
}

void TakeSnrBoxFactor(CalibrationMenus& m) { m.snrFactor = SnrBoxValue(m.snrText); }

void TakeRunStartFactor(CalibrationMenus& m) { m.snrFactor = RunStartSnrFactor(m.snrText); }

}  // namespace orb
