// The browser's views over a recorded acquisition besides the raw signal:
// the group activity view ("[Group Activity]", mode 2) drawn from counts.bin
// with the group choice (combogrup, lstgrup), and "Analyze", the interval
// count routine run on the displayed page of raw signal for the beams of
// the shown well, its counts drawn over the signal.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/records.h"
#include "common/plot_scene.h"
#include "plate/plate_format.h"
#include "records/record_files.h"
#include "signal/signal_analysis.h"

namespace orb {

struct AcquisitionGroups;

// ---- the group choice of the activity view (combogrup, lstgrup) ----------------

// The groups that hold channels in use on the plate, each "000_Name" (a group
// named "Free" shown as "Group" + number), then "999_Free" for the free wells.
std::vector<std::string> ActivityGroupEntries(const AcquisitionGroups& acq);
// lstgrup for a combogrup entry: the wells (A1.0, A1.1, ...) of the group in
// its first three characters; "999" lists the free wells.
std::vector<std::string> ActivityGroupWells(const AcquisitionGroups& acq, const std::string& entry);

// ---- the group activity view -----------------------------------------------------

// One group's activity: per record of counts.bin, the mean count per channel
// over the group's channels in use on the plate (a mean, so that groups of
// different sizes compare).
struct GroupSeries {
  int group = 0;
  std::string label;          // "000_Name"
  PlotColour colour = kPlotBlack;
  std::vector<int> channels;  // the channels averaged
  std::vector<int> wells;     // their wells, in well order
  std::vector<double> mean;   // one per record
};

struct GroupActivity {
  std::vector<double> minutes;  // ElapsedMinutes of each record
  std::vector<GroupSeries> series;
  double highest = 0;           // the largest mean drawn
  PlotScene scene;
};

// The colour of group g's curve and label (twelve colours in turn).
PlotColour GroupCurveColour(int group);

// The view from the records: a curve per group in use over "Time[min]", each
// group's label in its colour with its wells beside the plot.
GroupActivity BuildGroupActivity(std::span<const CountsRecord> records, const PlateFormat& plate,
                                 const GroupTable& groups, const ChannelStatus& status);
// The same from the acquisition's counts.bin; nothing when it cannot be read.
std::optional<GroupActivity> LoadGroupActivity(const AcquisitionGroups& acq);

// ---- "Analyze" -----------------------------------------------------------------------

inline constexpr const char* kDefaultAnalyzeThreshold = "1.8";
inline constexpr double kLowestAnalyzeThreshold = 1.1;
inline constexpr double kHighestAnalyzeThreshold = 6.0;

// The threshold box (frmtxt_threshold) as "Analyze" takes it: a value above 6
// or below 1.1 (no number counts as 0) is reset to "1.8".
struct AnalyzeThreshold {
  std::string text;  // what the box shows afterwards
  double snr = 1.8;
  bool reset = false;
};
AnalyzeThreshold CheckAnalyzeThreshold(const std::string& text);
// cmb_modeanalisis: "Mode:1" is method 1, anything else method 0.
int AnalyzeMethod(const std::string& modeText);


struct SlotCounts {
  int slot = 0;
  int count = 0;
  SignalTrace lower;   // the detection threshold of the slot's samples
  std::string marks;   // '1' at each counted sample
};

struct BeamAnalysis {
  int beam = 0;     // beam in the well
  int channel = 0;
  PlotColour colour = kPlotRed;
  std::vector<SlotCounts> slots;  // the slots that hold a whole interval
  int total = 0;
};

struct AnalyzeResult {
  AnalyzeThreshold threshold;
  int method = 0;
  std::vector<BeamAnalysis> beams;
  int total = 0;
  PlotScene scene;
};

// Slots of a page drawn and analysed (the signal view's 50).
inline constexpr int kAnalyzedSlots = 50;

// The minutes (ElapsedMinutes of counts.bin) of slots 0..49 of page `page`
// (1-based) of an acquisition of `rawFiles` raw files: slot k x 10 + b holds
// block b of the page's file k, i.e. interval file x 11 + b; slot k x 10 of a
// page without file k holds block 10 of file k - 1. NaN for a slot that holds
// no interval or whose interval counts.bin does not have.
std::vector<double> PageSlotMinutes(std::span<const CountsRecord> records, int page, int rawFiles);

// "Analyze" on the page's slots (slot s at x = s x 500 on the signal view's
// scale): for each beam of `well`, the count routine with the box's SNR
// factor and method on a copy of every slot 0..49 that holds a whole
// interval (the slots are not changed); the lower traces, counted samples and
// counts per slot drawn over the signal view's area with "Time(min)" under
// it. `slotMinutes`, when given, labels the time axis (the minutes of slot s
// at s); the axis is otherwise labelled by slot.
AnalyzeResult AnalyzePage(std::span<const RawRecord> slots, const PlateFormat& plate, int well,
                          const std::string& thresholdText, const std::string& modeText,
                          std::span<const double> slotMinutes = {});

}  // namespace orb
