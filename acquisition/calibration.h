// Channel calibration: AutoCalibrate (steps every used channel's pinhole and
// gain until its raw reading lies in the working band), AutoAdjust (the same
// stepping for the channels the acquisition tick flags), AutoZero (measures
// each channel's noise and derives its BlankPercent), and the calibration
// state (automatic switches, calibration control, organism and
// signal-to-noise factor) with the rules of the menus and the box that
// change it.
//
// The routines run on the one interface thread and let events run through
// the link's EventLoop. They act only while their view says a run is
// active; the caller (run control, or the command line) owns the run state,
// the status frame and the raw history table.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "app/records.h"
#include "plate/plate_format.h"
#include "signal/detection_preset.h"

namespace orb {

class DeviceLink;
struct Workspace;

// ---- band and stepping -----------------------------------------------------

// Working band of the raw 12-bit reading: 40 % and 45 % of 4096, rounded.
inline constexpr int kBandLow = 1638;
inline constexpr int kBandHigh = 1843;
inline bool InBand(int reading) { return reading >= kBandLow && reading <= kBandHigh; }

// One sensitivity step (index = pinhole * 8 + gain). False, and nothing
// changed, at the limit: 7/7 going up; gain 0 with pinhole below 2 going down.
bool StepUp(std::int16_t& pinhole, std::int16_t& gain);
bool StepDown(std::int16_t& pinhole, std::int16_t& gain);

// Per-channel working state of a calibration (not saved).
struct ChannelWork {
  bool done = false;
  int direction = 0;  // -1 last step down, 0 none, +1 up
};

// What one pass decided for a channel not yet done.
enum class StepOutcome {
  InBand,      // in band: done
  Write,       // outside: new (or, turning, unchanged) setting to write
  DoneTop,     // below the band at pinhole 7 gain 7: done
  DoneBottom,  // above the band at gain 0, pinhole below 2: done
  DoneCrossed, // came down and fell below the band: done
};
// The stepping rule of one pass for one channel with its new reading.
// Every outcome but InBand makes the pass not final.
StepOutcome StepChannel(int reading, std::int16_t& pinhole, std::int16_t& gain, ChannelWork& work);

// ---- reading all channels ---------------------------------------------------

using ChannelReadings = std::array<int, kChannels>;

// The three users of the "read all channels once" routine differ in the
// form of the block request and in the pause after the warm-up.
enum class ReadVariant {
  Calibrate,  // two requests of 96 bytes, 50 ms after the warm-up
  Adjust,     // one request of 192 bytes, 50 ms after the warm-up
  Zero,       // one request of 192 bytes, no pause
};

// Reads and discards the four blocks, then pauses as the variant says.
// Nothing when offline.
void WarmUpReads(DeviceLink& link, ReadVariant variant);
// One reading of every channel into `readings` (negative values stored as 0).
// A block that is unreadable (or every block when offline) leaves its 96
// channels as they were. Returns a mask of the blocks read: bit b for block
// start 32 * b.
int ReadAllChannelsOnce(DeviceLink& link, ReadVariant variant, ChannelReadings& readings);

// ---- what the routines show and ask -----------------------------------------

// What the routines need from the window or the command line. runActive is
// required (the routines act only while it says a run is active); every
// other member may be empty.
struct CalibrationView {
  // Run state 1 (running) or 2 (paused).
  std::function<bool()> runActive;
  // StopRun of run control (a failed write during the passes).
  std::function<void()> stopRun;
  // Status frame frm_autotext, its title lbl_autotext ("<AUTOCALIBRATION>")
  // and its status line lbl_autochannel ("Acquiring...", "Calibration OK").
  std::function<void(bool visible)> showFrame;
  std::function<void(const std::string&)> showTitle;
  std::function<void(const std::string&)> showStatus;
  // The progress line on picturecal: clear, then `done` of `total`.
  std::function<void()> clearProgress;
  std::function<void(int done, int total)> showProgress;
  // AutoZero's sample `slot` (0..N-1) for the raw history (RawBuffer[beam][slot]).
  std::function<void(int slot, const ChannelReadings& readings)> storeSample;
};

// The beam settings a calibration steps and saves: each beam's pinhole and
// gain, kept in calvalue.dat of the data folder, for the beams the plate uses.
struct BeamSettings {
  const std::filesystem::path& programFolder;
  ChannelCalibration& calibration;
  const PlateFormat& plate;
};
BeamSettings BeamSettingsOf(Workspace& ws);

// ---- AutoCalibrate / AutoAdjust ------------------------------------------------

// How each channel ended.
enum class ChannelEnd : std::uint8_t {
  Unused,      // no well on this plate: 0/0
  NotDone,     // the run stopped (or a write failed) before it was done
  InBand,
  AtTop,       // still below the band at 7/7
  AtBottom,    // still above the band at 1/0
  Crossed,     // came down through the band and ended below it
  Unread,      // its block never answered in any pass (stepped on stale readings)
  Skipped,     // AutoAdjust: not in the list
};

enum class CalibrationEnd {
  Completed,        // every channel done; calvalue.dat saved (see `saved`)
  Stopped,          // the run stopped during the write-out or the passes; saved
  Offline,          // "Operation not possible in OFFLINE mode"; nothing done
  FirstWriteFailed, // "Communication error..." during the write-out; nothing saved
  PassWriteFailed,  // a write failed during the passes: StopRun; nothing saved
  ReadFailed,       // no block could be read in a pass: message, StopRun; nothing saved
};

struct CalibrationResult {
  CalibrationEnd end = CalibrationEnd::Completed;
  bool saved = false;   // calvalue.dat written
  int passes = 0;
  ChannelReadings readings{};  // the reading each channel ended on (-1 never read)
  std::array<ChannelEnd, kChannels> channels{};
  int count(ChannelEnd e) const;
};

inline constexpr const char* kOfflineMessage = "Operation not possible in OFFLINE mode";
inline constexpr const char* kCommunicationError =
    "Communication error. Check COM PORT and equipment connection.";
inline constexpr const char* kCalibrationTitle = "<AUTOCALIBRATION>";

// Loads calvalue.dat (or resets it), writes every channel, then steps the
// used channels pass by pass until none is outside the band, and saves
// calvalue.dat. The offline flag is the link's connection state. Shows its
// texts through the view and its messages through the link's Operator.
CalibrationResult AutoCalibrate(const BeamSettings& beams, DeviceLink& link, const CalibrationView& view);

// The tick's list: per channel 0 = adjust, -1 = leave. Channels marked done
// get -1. Unused channels get 0/0 and -1.
using AdjustList = std::array<std::int16_t, kChannels>;
// Same stepping for the listed channels; no first write-out. A failed write
// hides the frame and returns without saving (end PassWriteFailed, no
// StopRun). Offline: nothing (end Offline, no message).
CalibrationResult AutoAdjust(const BeamSettings& beams, DeviceLink& link, const CalibrationView& view,
                             AdjustList& list);

// ---- AutoZero --------------------------------------------------------------------

// 30 samples when both automatic switches are on, otherwise 100.
int AutoZeroSampleCount(bool autoCalibrationMode, bool autoZeroMode);

// Noise of one channel from its samples x(0..n-1), using x(10)..x(n-1):
// mean of (last maximum - last minimum) and mean level over k = 11..n-2,
// each rounded half to even. count = 0 when n < 13.
struct ZeroStats {
  int meanSpread = 0;
  int meanLevel = 0;
  int count = 0;
};
ZeroStats ZeroStatistics(const int* samples, int n);
// 1 + 100 * snr * spread / level (band 0 when level < 1), at least 1.0.
double ZeroBlankPercent(const ZeroStats& stats, double snrFactor);

enum class ZeroEnd { Completed, Stopped, Offline };
struct ZeroResult {
  ZeroEnd end = ZeroEnd::Completed;
  int samples = 0;  // samples taken
};
// Takes `samples` readings of all channels (each handed to view.storeSample)
// and sets thresholds[0..383] (BlankPercent). Returns early, thresholds
// unchanged, when the run stops or when offline; a channel whose block was
// never read keeps its threshold.
ZeroResult AutoZero(ChannelThresholds& thresholds, DeviceLink& link, const CalibrationView& view, double snrFactor,
                    int samples);

// ---- signal-to-noise factor ------------------------------------------------------

// Val() of the box: the leading number of the text, 0 when none.
double SnrBoxValue(const std::string& text);
// At run start: the box value, 1.8 when below 1.3.
double RunStartSnrFactor(const std::string& boxText);

inline constexpr const char* kSnrInvalidMessage = "Invalid value: 1.1 to 5.0";
// Leaving txt_snr_umbral: valid when non-empty, numeric, > 1 and <= 5.
struct SnrValidation {
  bool accepted = false;
  std::int16_t snrx10 = 18;  // for SNRx10
  std::string boxText;       // "0.0" form, or "1.8" when rejected
};
SnrValidation ValidateSnrBox(const std::string& text);

// ---- the calibration state -------------------------------------------------------

// The program's calibration state, held once: by the acquisition engine,
// whose tick reads the switches and the factor, and which run control reads
// at Play. The main window's calibration panel changes it only through the
// functions below and then moves Controls() into its widgets; the command
// line sets it from the project.
struct CalibrationMenus {
  bool autoCalibrationMode = false;  // mnCalibra checked
  bool autoZeroMode = false;         // mnZero checked
  bool calibrationControl = true;    // mncal_on checked (false: mncal_off)
  int organism = -1;                 // Cmb_organism selection
  double snrFactor = 1.7;            // the signal-to-noise factor of detection and zero
  std::string snrText = "1.7";       // txt_snr_umbral
  bool snrBoxVisible = true;
  std::string umbralLabel = "> Zero SNR:";  // lbl_umbral
};

struct CalibrationControls {
  bool mnCalibraChecked = false, mnZeroChecked = false;
  bool mnCalibraEnabled = true, mnZeroEnabled = true;
  bool fastCalibVisible = true;   // cmd_calibra "Fast CALIB"
  bool fastZeroVisible = true;    // Cmd_autozero "Fast ZERO"
  bool readBlankVisible = true;   // Cmd_readblank "Read Blank"
  bool calOnChecked = true, calOffChecked = false;
  int organism = -1;
  std::string snrText;
  bool snrBoxVisible = true;
  std::string umbralLabel;
};
CalibrationControls Controls(const CalibrationMenus& m);

// A switch set on or off; Enab_Cal / Enab_Zero store it as 1 / 0.
void SetAutoCalibration(CalibrationMenus& m, ProjectSetup& setup, bool on);
void SetAutoZero(CalibrationMenus& m, ProjectSetup& setup, bool on);
// mnCalibra / mnZero clicked: toggles the switch.
void ToggleAutoCalibration(CalibrationMenus& m, ProjectSetup& setup);
void ToggleAutoZero(CalibrationMenus& m, ProjectSetup& setup);
// mncal_on / mncal_off. OFF also switches both automatic modes on (stored
// in Enab_Cal / Enab_Zero); the window then checks the project setup
// window's "Calibration Control" box.
void CalibrationControlOn(CalibrationMenus& m);
void CalibrationControlOff(CalibrationMenus& m, ProjectSetup& setup);
// An organism and its detection preset become the state: the selection,
// the factor, the box's text and visibility and the label. The load takes
// the project's this way (nothing is stored back into the project).
void TakePreset(CalibrationMenus& m, int organism, const DetectionPreset& preset);
// The project editor's hand-over ("<<Back", "Continue to Run..."): the
// organism selected, and the factor's box showing snrText, whose number
// becomes the factor (a text that is not a positive number leaves the
// factor as it was).
void TakeEditorDetection(CalibrationMenus& m, int organism, const std::string& snrText);
// Cmb_organism: stores the index in Organism and applies the preset
// (ApplyDetectionPreset, shared with the window's load).
void ChooseOrganism(CalibrationMenus& m, ProjectSetup& setup, int item);
// lbl_umbral clicked: shows or hides the entry box.
void ToggleSnrBox(CalibrationMenus& m);
// Leaving txt_snr_umbral: validates, stores SNRx10, then selects
// "Customized" (which applies its preset). The message, if any, is returned
// for the window to show.
std::optional<std::string> LeaveSnrBox(CalibrationMenus& m, ProjectSetup& setup, const std::string& typed);
// Fast CALIB / Fast ZERO: the factor becomes the box's number as it stands
// (SnrBoxValue, no lower limit).
void TakeSnrBoxFactor(CalibrationMenus& m);
// The start of a recording with an automatic calibration or zero: the
// factor becomes the box's number, 1.8 below 1.3 (RunStartSnrFactor).
void TakeRunStartFactor(CalibrationMenus& m);

}  // namespace orb
