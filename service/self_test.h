// The device self-test ("Test DEVICE") as a plain object advanced one step
// at a time: a QTimer calls tick() every periodMs() in the window, a loop
// does in the command line. Each tick reads all 384 beams, then acts on the
// step: A1-D1 on and off with the operator's questions, every beam lit and
// checked high, every beam dark and checked low, one column of 16 and one
// row of 24 lit at a time, and every beam at pinhole 2, gain 2 recorded.
// The results go to the report testdev<serial>.txt in the program folder
// (the latest test) and to a dated copy beside it (the instrument's
// history), which is shown to the person at step 100.
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "common/seams.h"
#include "service/self_test_checks.h"

namespace orb {

class DeviceLink;

inline constexpr int kSelfTestLastStep = 110;     // the test ends after this step
inline constexpr int kSelfTestAbortStep = 121;    // set by a failed write
inline constexpr int kSelfTestReportStep = 100;   // the report is shown
inline constexpr int kSelfTestPeriodMs = 100;
inline constexpr int kSelfTestFirstPeriodMs = 200;

// The texts of the menu item and its questions.
inline constexpr const char* kSelfTestRefusal = "Stop acquisition before Testing";
inline constexpr const char* kSelfTestQuestion =
    "DEVICE TEST:\r\nLigth Microbeams will be adjusted to maximum and minimum.\r\n"
    "Please, remove any microplate from the slot\r\n and close Orbelune door";
inline constexpr const char* kSelfTestDoorHint = "Open and close Orbelune Door to see sensing changes";
inline constexpr const char* kSelfTestEndLabel = "T = __ °C";

// "Test DEVICE" chosen: refused with its message while a run is active,
// else the OK/Cancel question. True when the test is to start.
bool ConfirmSelfTest(Operator& op, bool runActive);

enum class SelfTestEnd {
  None,         // still running, or never started
  Completed,    // every step done
  ComError,     // a block reply of the wrong length ("COM Error")
  WriteFailed,  // a verified channel write failed
  Declined,     // "No" to "OK to proceed?"
  Cancelled,
};

class SelfTest {
 public:
  SelfTest(DeviceLink& link, Clock& clock, Launcher& launcher, std::filesystem::path programFolder);

  // OK to the question: step 0, reads the serial number, creates the report
  // (and its dated copy) with "Serial:SN<serial> yyyy-mm-dd_hh:mm". False
  // when the report cannot be written (the test does not start).
  bool begin();
  // Cancel: the test stops at once and starts again at step 0 next time.
  void cancel();
  // One step; false once the test has ended (see end()).
  bool tick();

  bool running() const { return running_; }
  SelfTestEnd end() const { return end_; }
  int step() const { return step_; }
  int periodMs() const { return period_; }
  int serial() const { return serial_; }
  // lbl_temperature: "SN<serial>", the step's caption, or a check's result.
  const std::string& label() const { return label_; }
  const BeamReadings& readings() const { return readings_; }
  // The grid cell of a beam: its reading / 8, rounded half to even.
  int cellValue(int channel) const;
  // The progress line: step * 0.83 on a scale of 100.
  double progress() const { return progress_; }

  // Verdicts so far: every check passed (high, low, 24 columns, 16 rows)
  // and the lines that tell them, for a summary.
  bool allPassed() const { return failedChecks_ == 0; }
  int failedChecks() const { return failedChecks_; }
  const std::vector<std::string>& verdicts() const { return verdicts_; }

  const std::filesystem::path& reportPath() const { return report_; }
  const std::filesystem::path& datedReportPath() const { return datedReport_; }

 private:
  bool readAll();
  void act();
  bool writeChannels(const std::vector<int>& channels, int pinhole, int gain);
  void record(const CheckResult& r);
  void append(const std::vector<std::string>& lines);
  void stop(SelfTestEnd why);

  DeviceLink& link_;
  Clock& clock_;
  Launcher& launcher_;
  std::filesystem::path folder_;
  std::filesystem::path report_, datedReport_;
  BeamReadings readings_{};
  std::string label_;
  std::vector<std::string> verdicts_;
  int failedChecks_ = 0;
  int step_ = 0;
  int period_ = kSelfTestFirstPeriodMs;
  int serial_ = 0;
  double progress_ = 0.0;
  bool running_ = false;
  SelfTestEnd end_ = SelfTestEnd::None;
};

// The beams switched together at the steps of the test.
std::vector<int> GridColumnChannels(int column);  // 16 * column + 0..15
std::vector<int> GridRowChannels(int row);        // row + 16k, k = 0..23

}  // namespace orb
