// The browser's raw signal viewer without its window: the raw-sample files
// of an acquisition read page by page into the page buffer, the choice of
// the well whose beams are drawn, the channel signal plot and the progress
// bar, both as PlotScenes.
//
// A page is five raw files (55 intervals of 500 samples): file k of the
// page (0..4) fills buffer slots k x 10 + block for its blocks 0..10, the
// later file winning the slot it shares with the one before, so slots 0..49
// hold 25,000 consecutive samples and slot 50 the last block of the fifth
// file. Raw files are counted by name: only <number>.bin (0.bin, 1.bin, ...)
// are raw-sample files; counts.bin and the body-bends histograms
// (histo0000.bin, ...) are not.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/plot_scene.h"
#include "plate/plate_format.h"
#include "records/record_files.h"

namespace orb {

inline constexpr int kFilesPerPage = 5;
inline constexpr int kPageSlots = 51;        // buffer slots 0..50
inline constexpr int kPlottedSlots = 50;     // slots 0..49 are drawn and exported
inline constexpr int kSlotPositions = 501;   // sample positions 0..500 of a slot
inline constexpr int kSamplesPerSlot = 500;  // positions 1..500 are drawn and exported
inline constexpr int kSamplesPerPage = kPlottedSlots * kSamplesPerSlot;  // 25,000

// Number of raw-sample files in the folder: files named by a decimal number
// and ".bin". 0 when the folder cannot be listed.
int CountRawFiles(const std::filesystem::path& acquisitionFolder);

// Pages of `rawFiles` files: every file is on a page, five files a page, the
// last page holding what is left (7 files: page 1 files 0..4, page 2 files
// 5 and 6). 0 for no files.
int PageCount(int rawFiles);

// The files a page shows: first..last (none when last < first).
struct PageFiles {
  int first = 0;
  int last = -1;
  int count() const { return last >= first ? last - first + 1 : 0; }
};
PageFiles FilesOfPage(int page, int rawFiles);

// The page box text: page + "/" + pages ("1/0" without raw files).
std::string PageText(int page, int pages);

// Why the raw files of the folder cannot be shown: recorded with an
// RT_Buffer other than 500 (setup.dat says so; the raw-data re-analysis's
// message) or a raw file longer than 11 records of 385,770 bytes. Nothing
// when they can be read (or there are none); a short file is readable.
std::optional<std::string> RawSignalRefusal(const std::filesystem::path& acquisitionFolder);

// Called after each file of a page has been read: files read so far and
// files of the page.
using PageProgress = std::function<void(int filesRead, int filesOfPage)>;

// The page buffer of one acquisition.
class SignalPages {
 public:
  SignalPages();

  // Takes the acquisition: counts its raw files, checks that they can be
  // read and loads page 1. Returns the refusal (RawSignalRefusal) when they
  // cannot: the viewer then holds no raw data (page 1 of 0).
  std::optional<std::string> open(const std::filesystem::path& acquisitionFolder, const PageProgress& progress = {});

  // Reads page `page` (1..pageCount()) into the buffer, which is cleared
  // first, so slots the page's files do not reach hold 0 rather than an
  // earlier page's samples. Records missing from a file (a short last file)
  // leave their slots at 0. False, and nothing changes, for a page outside
  // 1..pageCount().
  bool loadPage(int page, const PageProgress& progress = {});

  const std::filesystem::path& folder() const { return folder_; }
  int fileCount() const { return files_; }
  int pageCount() const { return PageCount(files_); }
  int page() const { return page_; }
  // The acquisition has raw files the viewer can show.
  bool hasRawData() const { return files_ > 0; }
  std::string pageText() const { return PageText(page_, pageCount()); }

  // Slots 0..50 of the buffer, each a whole raw record (501 positions x 385
  // values; position 500 repeats sample 499).
  std::span<const RawRecord> slots() const { return slots_; }
  std::int16_t value(int slot, int position, int channel) const { return slots_[slot].at(position, channel); }

 private:
  std::filesystem::path folder_;
  int files_ = 0;
  int page_ = 1;
  std::vector<RawRecord> slots_;
};

// ---- the well whose beams are drawn ----------------------------------------

// (column - 1) x rows + (row letter - "A").
int WellIndex(int rows, int column, char rowLetter);

// What the row box, the column box and the beam box (txtsub) select.
struct WellSelection {
  std::string rowText;  // what the row box shows: "A" after an invalid entry
  bool rowReset = false;
  int well = -1;        // -1: no well of the plate
  int channel = -1;     // the channel of the well's beam (lblcanal); -1 when none
};
// A row box other than one letter of the plate's rows, a column outside
// 1..Columns or a beam box that is not a whole number is an invalid entry:
// the row goes back to "A" and the well is taken with row A.
WellSelection SelectWell(const PlateFormat& plate, const std::string& rowText, const std::string& columnText,
                         const std::string& beamText);

// One beam of a well and its trace colour.
struct BeamTrace {
  int beam = 0;
  int channel = 0;
  PlotColour colour = kPlotRed;
};
// Beam `beam` of a well of `beams` beams: red, blue, green, orange for up to
// four beams; with more, RGB(255 x i / n, 255 - 255 x i / n, 0), rounded.
PlotColour TraceColour(int beam, int beams);
// The beams of `well` that have a channel, in beam order, coloured by
// their beam index among the plate's MaxBeam + 1 beams a well.
std::vector<BeamTrace> WellBeams(const PlateFormat& plate, int well);
// "A1" for the well's row and column.
std::string WellText(const PlateFormat& plate, int well);

// ---- pictures --------------------------------------------------------------

// The channel signal plot of a page: x -1000..25000 (samples of the page),
// y 2150 down to -150 (signal value), black axes, the labels "100%", "  0%",
// "k" + first thousand, "[sample]", "k" + last thousand, and one trace per
// beam over slots 0..49 (positions 0..500 of each slot). Without raw data
// only the axes and labels.
PlotScene ChannelSignalScene(std::span<const RawRecord> slots, int page, const std::vector<BeamTrace>& beams,
                             bool hasRawData);
PlotScene ChannelSignalScene(const SignalPages& pages, const std::vector<BeamTrace>& beams);

// The progress bar (Pic_status, scaled 0..100 both ways): a pure blue line
// from (0, 0) to (percent, 100).
PlotScene ProgressScene(double percent);

}  // namespace orb
