#include "service/self_test.h"

#include <cstdio>
#include <fstream>

#include "common/datetime.h"
#include "common/format.h"
#include "device/device_link.h"

namespace orb {
namespace {

constexpr const char* kEol = "\r\n";

// Steps of the test (see the class comment).
constexpr int kStepAllOnFirst = 4, kStepAllOnLast = 19, kStepHighCheck = 20;
constexpr int kStepAllOffFirst = 21, kStepAllOffLast = 36, kStepLowCheck = 37;
constexpr int kStepColumnFirst = 38, kStepColumnLast = 61, kStepLastColumn = 62;
constexpr int kStepRowFirst = 63, kStepRowLast = 78, kStepLastRow = 79;
constexpr int kStepHalfFirst = 80, kStepHalfLast = 95, kStepHalfValues = 96;

// Steps 80..95 set pinhole 2, gain 2 on 24 beams each, from both ends of
// the channel numbers: i + 16k and 383 - i - 16k, k = 0..11.
std::vector<int> HalfPowerChannels(int i) {
  std::vector<int> v;
  for (int k = 0; k < 12; ++k) {
    v.push_back(i + kGridRows * k);
    v.push_back(kChannels - 1 - i - kGridRows * k);
  }
  return v;
}

// Stamp of the dated copy: yyyymmdd_hhmmss, so that two tests in one
// minute keep two copies.
std::string DatedStamp(const LocalDateTime& t) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d_%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
  return buf;
}

}  // namespace

bool ConfirmSelfTest(Operator& op, bool runActive) {
  if (runActive) {
    op.inform(kSelfTestRefusal);
    return false;
  }
  return op.ask(kSelfTestQuestion, Buttons::OkCancel) == Answer::Ok;
}

std::vector<int> GridColumnChannels(int column) {
  std::vector<int> v;
  for (int r = 0; r < kGridRows; ++r) v.push_back(kGridRows * column + r);
  return v;
}

std::vector<int> GridRowChannels(int row) {
  std::vector<int> v;
  for (int c = 0; c < kGridColumns; ++c) v.push_back(row + kGridRows * c);
  return v;
}

SelfTest::SelfTest(DeviceLink& link, Clock& clock, Launcher& launcher, std::filesystem::path programFolder)
    : link_(link), clock_(clock), launcher_(launcher), folder_(std::move(programFolder)) {}

bool SelfTest::begin() {
  step_ = 0;
  period_ = kSelfTestFirstPeriodMs;
  progress_ = 0.0;
  failedChecks_ = 0;
  verdicts_.clear();
  readings_.fill(0);
  end_ = SelfTestEnd::None;
  serial_ = link_.ReadSerialNumber();
  label_ = "SN" + std::to_string(serial_);
  const LocalDateTime now = clock_.now();
  const std::string name = "testdev" + std::to_string(serial_);
  report_ = folder_ / (name + ".txt");
  datedReport_ = folder_ / (name + "_" + DatedStamp(now) + ".txt");
  const std::string first = "Serial:SN" + std::to_string(serial_) + " " + FormatIsoStamp(now) + kEol;
  for (const auto& file : {report_, datedReport_}) {
    std::ofstream f(file, std::ios::binary | std::ios::trunc);
    f << first;
    if (!f.good()) return false;
  }
  running_ = true;
  return true;
}

void SelfTest::cancel() {
  running_ = false;
  step_ = 0;
  end_ = SelfTestEnd::Cancelled;
}

void SelfTest::stop(SelfTestEnd why) {
  running_ = false;
  end_ = why;
}

int SelfTest::cellValue(int channel) const {
  return static_cast<int>(RoundHalfEven(readings_.at(channel) / 8.0));
}

bool SelfTest::readAll() {
  if (link_.state().offline) return true;
  for (int start : kBlockStarts) {
    auto block = link_.ReadBlock(start, BlockReadForm::Whole);
    if (!block) return false;
    for (int i = 0; i < kBlockReadings; ++i) readings_[BlockChannel(start, i)] = std::max(0, block->values[i]);
  }
  return true;
}

bool SelfTest::tick() {
  if (!running_) return false;
  if (step_ >= kSelfTestAbortStep) return false;
  period_ = kSelfTestPeriodMs;
  if (!readAll()) {
    link_.op().inform("COM Error");
    stop(SelfTestEnd::ComError);
    return false;
  }
  progress_ = step_ * 0.83;
  act();
  if (!running_) return false;
  ++step_;
  if (step_ > kSelfTestLastStep) {
    label_ = kSelfTestEndLabel;
    stop(SelfTestEnd::Completed);
    return false;
  }
  return true;
}

bool SelfTest::writeChannels(const std::vector<int>& channels, int pinhole, int gain) {
  for (int ch : channels) {
    if (link_.WriteChannelSetting(ch, pinhole, gain) != 1) {  // the write showed its message
      step_ = kSelfTestAbortStep;
      stop(SelfTestEnd::WriteFailed);
      return false;
    }
  }
  return true;
}

void SelfTest::append(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& l : lines) text += l + kEol;
  for (const auto& file : {report_, datedReport_}) {
    std::ofstream f(file, std::ios::binary | std::ios::app);
    f << text;
  }
}

void SelfTest::record(const CheckResult& r) {
  label_ = r.label;
  append(r.reportLines);
  if (!r.passed) ++failedChecks_;
  // A failed check tells all its lines; a passed section its verdict; a
  // passed column or row nothing (the summary would drown in them).
  for (const auto& l : r.reportLines) {
    if (l.empty()) continue;
    if (r.passed && l.rfind("Test_all_", 0) != 0) break;
    verdicts_.push_back(l);
    if (r.passed) break;
  }
}

void SelfTest::act() {
  EventLoop& loop = link_.loop();
  Operator& op = link_.op();
  const int s = step_;
  if (s == 1) {
    op.inform("Turning ON A1-D1");
    writeChannels({0, 1, 2, 3}, 7, 7);
  } else if (s == 2) {
    op.inform("Turning OFF A1-D1");
    writeChannels({0, 1, 2, 3}, 0, 0);
  } else if (s == 3) {
    if (!op.confirm("OK to proceed?")) stop(SelfTestEnd::Declined);
  } else if (s >= kStepAllOnFirst && s <= kStepAllOnLast) {
    label_ = "[ON ALL]";
    if (writeChannels(GridRowChannels(s - kStepAllOnFirst), 7, 7)) loop.sleepMs(100);
  } else if (s == kStepHighCheck) {
    record(CheckAllHigh(readings_));
    loop.sleepMs(500);
  } else if (s >= kStepAllOffFirst && s <= kStepAllOffLast) {
    label_ = "[OFF ALL]";
    if (writeChannels(GridRowChannels(s - kStepAllOffFirst), 0, 0)) loop.sleepMs(100);
  } else if (s == kStepLowCheck) {
    record(CheckAllLow(readings_));
    loop.sleepMs(500);
  } else if (s >= kStepColumnFirst && s <= kStepColumnLast) {
    if (s == kStepColumnFirst) {
      append({"", "Test_24_Columns:"});
    } else {
      record(CheckColumn(readings_, s - kStepColumnFirst - 1));
      if (!writeChannels(GridColumnChannels(s - kStepColumnFirst - 1), 0, 0)) return;
    }
    label_ = "[1 COLUMN]";
    if (writeChannels(GridColumnChannels(s - kStepColumnFirst), 7, 7)) loop.sleepMs(100);
  } else if (s == kStepLastColumn) {
    record(CheckColumn(readings_, kGridColumns - 1));
    if (writeChannels(GridColumnChannels(kGridColumns - 1), 0, 0)) loop.sleepMs(500);
  } else if (s >= kStepRowFirst && s <= kStepRowLast) {
    if (s == kStepRowFirst) {
      append({"", "Test_16_Rows:"});
    } else {
      record(CheckRow(readings_, s - kStepRowFirst - 1));
      if (!writeChannels(GridRowChannels(s - kStepRowFirst - 1), 0, 0)) return;
    }
    label_ = "[1 ROW]";
    if (writeChannels(GridRowChannels(s - kStepRowFirst), 7, 7)) loop.sleepMs(100);
  } else if (s == kStepLastRow) {
    record(CheckRow(readings_, kGridRows - 1));
    writeChannels(GridRowChannels(kGridRows - 1), 0, 0);
  } else if (s >= kStepHalfFirst && s <= kStepHalfLast) {
    label_ = "[GAIN/POWER=2]";
    writeChannels(HalfPowerChannels(s - kStepHalfFirst), 2, 2);
  } else if (s == kStepHalfValues) {
    std::vector<std::string> lines = {"", "Gain/Power[2] Values:"};
    for (int ch = 0; ch < kChannels; ++ch)
      lines.push_back("CH[" + std::to_string(ch) + "] " + std::to_string(SelfTestPercent(readings_[ch])) + "%");
    append(lines);
  } else if (s == kSelfTestReportStep) {
    launcher_.openPath(report_);
  }
}

}  // namespace orb
