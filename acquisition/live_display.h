// The live pictures of the main window as a display model: the signal trace
// of the selected beam (Picreal), the activity plot (Picact) in its four
// display modes, the choice of the beam by group, well and beam-in-well, the
// zoom of the trace, and the switch of the body-bends mode.
//
// The model builds each picture whole as a PlotScene and says what the
// window must show beside it (texts, page buttons); a window only paints the
// scenes, puts the texts into its controls and hands the operator's clicks
// back. It reads the engine, the plate and the groups and changes nothing
// in them.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "app/records.h"
#include "common/beam_geometry.h"
#include "common/plot_scene.h"
#include "plate/plate_format.h"
#include "setup/group_editor.h"

namespace orb {

class AcquisitionEngine;

// DisplayMode values.
enum DisplayModeValue : int { kGroupView = 0, kBarPlot = 1, kPlateMap = 2, kHistogramPlot = 3 };

inline constexpr int kMaxZoomLevel = 10;
inline constexpr int kBarsPerPage = 12;
inline constexpr int kHistogramPages = 96;      // one page per group 0..95
inline constexpr int kHistogramPlotBins = 26;   // bins 0..25 are shown
inline constexpr int kTraceTop = 2100;          // the trace's height in units
inline constexpr int kBarTop = 255;             // the bar band's top
inline constexpr PlotColour kBarColour = kPlotBlue;

// lbl_temperature: "T=" + text + "*C".
std::string TemperatureLabel(const std::string& temperatureText);

// ---- groups, wells and beams ------------------------------------------------

// The combogrup entries (GroupEntry: 002_Treated, as the project editor
// writes them) for every group from 0 to the highest group a beam belongs to
// (groups between included, empty or not); no entry when no beam has a
// group. GroupOfEntry reads the group back.
std::vector<std::string> GroupListEntries(const GroupTable& groups);
// A bar's label: "G" + group number + "_" + group name (G2_Treated).
std::string GroupBarLabel(const GroupTable& groups, int group);

// Combofila: the row letters "A", "B", ... of the plate; Combocol: its
// column numbers "1", "2", ...
std::vector<std::string> RowLetters(const PlateFormat& plate);
std::vector<std::string> ColumnNumbers(const PlateFormat& plate);

// The wells, in well order, whose first beam belongs to `group`.
std::vector<int> WellsOfGroup(const PlateFormat& plate, const GroupTable& groups, int group);

// ---- the body-bends switch (chk_bodybends) ----------------------------------

struct BodyBendsSwitch {
  bool mode = false;              // BodyBendsMode
  bool boxChecked = false;        // chk_bodybends stays checked
  bool boxVisible = true;         // chk_bodybends stays visible
  bool histoplotEnabled = false;  // Cmd_histoplot
  std::string message;            // shown with OK when not empty
};
inline constexpr const char* kBodyBendsWarning =
    "WARNING!\r\nExperimental functionality! Beta testing.\r\nContact us for more information";
// The check box was clicked and is now `checked`; plateFormat is
// ProjectSetup's Plate_format. Only "k96u" plates have the mode.
BodyBendsSwitch SetBodyBendsMode(bool checked, const std::string& plateFormat);

// ---- results handed to the window -------------------------------------------

// A beam taken from lstgrup (or from the row, column and beam-in-well
// controls): what the controls show afterwards.
struct BeamChoice {
  bool taken = false;    // false: the plate names no such beam; nothing changed
  std::string txtsub;    // the beam-in-well, lowered to the plate's highest
  std::string row;       // Combofila
  int column = 0;        // Combocol
  int well = -1;
  int beam = -1;         // the new SelectedBeam
  std::string lblcanal;  // the beam's number
};

// cmdbeam_plus / cmdbeam_minus.
struct EntryStep {
  int index = -1;       // the lstgrup selection afterwards (-1: empty list)
  std::string txtbeam;  // the entry's text
  BeamChoice choice;
};

struct ActivityView {
  PlotScene scene;
  bool pageButtonsVisible = false;  // cmd_pgup and cmd_pgdown
  int pages = 1;                    // pages of the mode shown
  int page = 0;                     // PlotPage shown
};

// A group chosen in combogrup.
struct GroupChoice {
  int group = -1;
  std::vector<std::string> entries;  // lstgrup afterwards
  int selectedEntry = -1;            // -1 when the group has no well
  BeamChoice choice;                 // the first entry taken
  ActivityView view;                 // the group view
};

// ---- the model ----------------------------------------------------------------

class LiveDisplay {
 public:
  int SelectedBeam = 0;         // the beam of the trace, 0..383
  int DisplayMode = kGroupView;
  int ZoomLevel = 0;            // 0..10, txtzoom
  std::array<std::int16_t, kChannelSlots> ZoomReference{};
  double BarScale = 1.0;        // vertical scale of the bar plots
  int PlotPage = 0;             // page of the bar plot, group of the histogram plot
  std::vector<int> GroupWells;  // wells whose first beam has SelectedBeam's group
  std::string SelectedRow = "A";  // row letter of SelectedBeam's well
  int SelectedColumn = 1;          // column number of SelectedBeam's well
  int ViewGroup = 0;               // the group of the group view (combogrup)

  // ---- run start ----
  // Zoom references 0, BarScale 1.0, nothing of the last run kept on the
  // trace, GroupWells rebuilt for SelectedBeam's group. DisplayMode,
  // ZoomLevel, SelectedBeam and PlotPage keep their values.
  void PrepareRun(const PlateFormat& plate, const GroupTable& groups);
  // The cleared trace: scale 0..rtBuffer + 20 by 0..2100, the base line and
  // the marks at 500, 1000, 1500 and 2000; forgets what was drawn before.
  PlotScene ClearTrace(int rtBuffer);
  // Picact prepared for the current mode, empty: -30..300 both ways, or the
  // plate's drawing for the heat map.
  PlotScene PreparedActivity(const PlateFormat& plate) const;

  // ---- the trace ----
  // Where a value of `beam` is drawn: y = value at zoom 0, otherwise
  // 1750 + (value - ZoomReference[beam]) x ZoomLevel, never below 6.
  double TraceY(int value, int beam) const;
  // The trace as the screen shows it now (every second tick).
  PlotScene RedrawTrace(const AcquisitionEngine& engine);
  // Cmdzoom_plus / Cmdzoom_minus, then the trace redrawn.
  PlotScene ZoomPlus(const AcquisitionEngine& engine);
  PlotScene ZoomMinus(const AcquisitionEngine& engine);
  // The automatic scale when the warm-up window is full: a redraw at zoom
  // 0, otherwise the zoom level lowered by one and ZoomPlus.
  PlotScene RescaleTrace(const AcquisitionEngine& engine);
  // "#" + the engine's sample counter (samples since the run's start).
  static std::string CounterText(const AcquisitionEngine& engine);

  // ---- choosing the beam ----
  // SelectedBeam changes: its well's row letter and column are kept and,
  // when the beam has a group, GroupWells is rebuilt for that group.
  void SetSelectedBeam(int beam, const PlateFormat& plate, const GroupTable& groups);
  // lstgrup: row letter + column + "." + beam-in-well for every beam of
  // every well of GroupWells (A1.0, A1.1, B1.0, ...).
  std::vector<std::string> BeamEntries(const PlateFormat& plate) const;
  // Takes well (row letter, column) and beam-in-well; a beam-in-well above
  // the plate's highest is lowered to it (below 0 raised to 0).
  BeamChoice SelectWell(const std::string& row, int column, int beamInWell, const PlateFormat& plate,
                        const GroupTable& groups);
  // Takes an lstgrup entry (double click or Enter).
  BeamChoice TakeEntry(const std::string& entry, const PlateFormat& plate, const GroupTable& groups);
  // cmdbeam_plus (+1) / cmdbeam_minus (-1) from lstgrup's selection
  // `current` (-1 = none), never past the ends; the entry is taken.
  EntryStep StepEntry(int current, int delta, const PlateFormat& plate, const GroupTable& groups);
  // A combogrup entry chosen: group view of that group, page buttons
  // hidden, its first entry taken.
  GroupChoice ChooseGroup(const std::string& entry, const AcquisitionEngine& engine, const PlateFormat& plate,
                          const GroupTable& groups);

  // ---- the activity plot ----
  // The plot of DisplayMode (every interval close).
  ActivityView RedrawActivityPlot(const AcquisitionEngine& engine, const PlateFormat& plate,
                                  const GroupTable& groups);
  // Cmd_barplot, Cmd_gridplot, Cmd_histoplot: the mode set and drawn.
  ActivityView BarPlot(const AcquisitionEngine& engine, const PlateFormat& plate, const GroupTable& groups);
  ActivityView GridPlot(const AcquisitionEngine& engine, const PlateFormat& plate, const GroupTable& groups);
  ActivityView HistoPlot(const AcquisitionEngine& engine, const PlateFormat& plate, const GroupTable& groups);
  // cmd_pgup (">") and cmd_pgdown ("<"): PlotPage by one within the pages.
  ActivityView PageUp(const AcquisitionEngine& engine, const PlateFormat& plate, const GroupTable& groups);
  ActivityView PageDown(const AcquisitionEngine& engine, const PlateFormat& plate, const GroupTable& groups);
  // The pages of the current mode: bars / 12 rounded up in the bar plot,
  // 96 in the histogram plot, 1 otherwise.
  int PageCount(const GroupTable& groups) const;

 private:
  // What the last redraw of an interval left on the screen: the y of every
  // sample it drew, per polyline.
  struct TraceDrawing {
    std::vector<double> raw, lower, upper;
    PlotColour threshold = kPlotBlue;
  };

  ActivityView DrawBarPlot(const AcquisitionEngine& engine, const GroupTable& groups);
  ActivityView DrawGroupView(const AcquisitionEngine& engine, const PlateFormat& plate, const GroupTable& groups);
  ActivityView DrawPlateMap(const AcquisitionEngine& engine, const PlateFormat& plate) const;
  ActivityView DrawHistogramPlot(const AcquisitionEngine& engine, const GroupTable& groups);
  void TakeZoomReferences(const AcquisitionEngine& engine);
  // Nothing drawn on the trace any more.
  void ForgetTrace();

  TraceDrawing current_, previous_;
  int traceBuffer_ = 0;   // RT_Buffer of the drawings
  int lastIndex_ = -1;    // sample of the latest redraw (-1: cleared since)
  int firstIndex_ = 0;    // sample of the interval's first redraw
  std::string counterShown_;
};

}  // namespace orb
