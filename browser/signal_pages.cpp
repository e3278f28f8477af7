#include "browser/signal_pages.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <system_error>

#include "common/format.h"
#include "reports/reanalysis.h"
#include "setup/group_editor.h"

namespace orb {
namespace fs = std::filesystem;

namespace {

bool IsRawFileName(const std::string& name) {
  constexpr std::string_view ext = ".bin";
  if (name.size() <= ext.size() || name.compare(name.size() - ext.size(), ext.size(), ext) != 0) return false;
  return std::all_of(name.begin(), name.end() - ext.size(),
                     [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; });
}

RawRecord EmptySlot() {
  RawRecord r;
  r.values.assign(std::size_t(kChannelSlots) * kSlotPositions, 0);
  return r;
}

bool ParseWhole(const std::string& text, int& value) {
  const char* end = text.data() + text.size();
  auto [p, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && p == end && !text.empty();
}

}  // namespace

int CountRawFiles(const fs::path& acquisitionFolder) {
  std::error_code ec;
  fs::directory_iterator it(acquisitionFolder, ec);
  if (ec) return 0;
  int n = 0;
  for (const auto& entry : it) {
    std::error_code fe;
    if (entry.is_regular_file(fe) && IsRawFileName(entry.path().filename().string())) ++n;
  }
  return n;
}

int PageCount(int rawFiles) { return rawFiles <= 0 ? 0 : (rawFiles + kFilesPerPage - 1) / kFilesPerPage; }

PageFiles FilesOfPage(int page, int rawFiles) {
  if (page < 1 || page > PageCount(rawFiles)) return {};
  return {(page - 1) * kFilesPerPage, std::min(page * kFilesPerPage - 1, rawFiles - 1)};
}

std::string PageText(int page, int pages) { return std::to_string(page) + "/" + std::to_string(pages); }

std::optional<std::string> RawSignalRefusal(const fs::path& acquisitionFolder) {
  // The RT_Buffer setup.dat names (no raw file sizes are checked there).
  if (auto refusal = RawDataMismatch(acquisitionFolder, 0)) return refusal;
  // A file longer than 11 records of 385,770 bytes holds records of another
  // size. Shorter files are shown: their missing records stay 0.
  const std::uintmax_t full = std::uintmax_t(kRecordsPerFile) * kRawRecordSize;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(acquisitionFolder, ec)) {
    const std::string name = entry.path().filename().string();
    std::error_code fe;
    if (!IsRawFileName(name) || !entry.is_regular_file(fe)) continue;
    const std::uintmax_t size = entry.file_size(fe);
    if (!fe && size > full)
      return "Real Time Data file " + entry.path().string() + " holds " + std::to_string(size) + " bytes, not " +
             std::to_string(kRecordsPerFile) + " records of " + std::to_string(kRawRecordSize) + " bytes";
  }
  return std::nullopt;
}

SignalPages::SignalPages() : slots_(kPageSlots, EmptySlot()) {}

std::optional<std::string> SignalPages::open(const fs::path& acquisitionFolder, const PageProgress& progress) {
  folder_ = acquisitionFolder;
  page_ = 1;
  for (RawRecord& slot : slots_) std::fill(slot.values.begin(), slot.values.end(), std::int16_t{0});
  files_ = CountRawFiles(acquisitionFolder);
  if (files_ == 0) return std::nullopt;
  if (auto refusal = RawSignalRefusal(acquisitionFolder)) {
    files_ = 0;
    return refusal;
  }
  loadPage(1, progress);
  return std::nullopt;
}

bool SignalPages::loadPage(int page, const PageProgress& progress) {
  const PageFiles files = FilesOfPage(page, files_);
  if (files.count() == 0) return false;
  page_ = page;
  for (RawRecord& slot : slots_) std::fill(slot.values.begin(), slot.values.end(), std::int16_t{0});
  RawRecord block;
  for (int k = 0; k < files.count(); ++k) {
    const int file = files.first + k;
    for (int b = 0; b < kRecordsPerFile; ++b) {
      if (!ReadRawInterval(folder_, static_cast<long long>(file) * kRecordsPerFile + b, block)) break;
      RawRecord& slot = slots_[std::size_t(k) * 10 + b];
      std::copy(block.values.begin(), block.values.end(), slot.values.begin());
      // The record's last position is never sampled (it holds 0): the
      // viewer repeats the sample before it there.
      std::copy_n(slot.values.begin() + std::ptrdiff_t(kSlotPositions - 2) * kChannelSlots, kChannelSlots,
                  slot.values.begin() + std::ptrdiff_t(kSlotPositions - 1) * kChannelSlots);
    }
    if (progress) progress(k + 1, files.count());
  }
  return true;
}

// ---- well selection ----------------------------------------------------------

int WellIndex(int rows, int column, char rowLetter) { return (column - 1) * rows + (rowLetter - 'A'); }

WellSelection SelectWell(const PlateFormat& plate, const std::string& rowText, const std::string& columnText,
                         const std::string& beamText) {
  WellSelection s;
  s.rowText = rowText;
  int column = 0, beam = 0;
  const bool rowOk = rowText.size() == 1 && rowText[0] >= 'A' && rowText[0] < 'A' + plate.Rows;
  const bool columnOk = ParseWhole(columnText, column) && column >= 1 && column <= plate.Columns;
  const bool beamOk = ParseWhole(beamText, beam) && beam >= 0;
  if (!rowOk || !columnOk || !beamOk) {
    s.rowText = "A";
    s.rowReset = true;
  }
  if (!columnOk || plate.Rows < 1) return s;
  s.well = WellIndex(plate.Rows, column, s.rowText[0]);
  s.channel = beamOk ? BeamOfWell(plate, s.well, beam) : -1;
  return s;
}

PlotColour TraceColour(int beam, int beams) {
  static constexpr PlotColour kFour[] = {0xFF0000, 0x0000FF, 0x00FF00, 0xC88000};
  if (beams <= 4) return kFour[std::clamp(beam, 0, 3)];
  const double share = 255.0 * beam / beams;
  const auto red = static_cast<PlotColour>(std::clamp<std::int64_t>(RoundHalfEven(share), 0, 255));
  const auto green = static_cast<PlotColour>(std::clamp<std::int64_t>(RoundHalfEven(255.0 - share), 0, 255));
  return (red << 16) | (green << 8);
}

std::vector<BeamTrace> WellBeams(const PlateFormat& plate, int well) {
  std::vector<BeamTrace> beams;
  if (well < 0) return beams;
  const int n = plate.MaxBeam + 1;
  for (int b = 0; b < n; ++b) {
    const int channel = BeamOfWell(plate, well, b);
    if (channel >= 0) beams.push_back({b, channel, TraceColour(b, n)});
  }
  return beams;
}

std::string WellText(const PlateFormat& plate, int well) {
  if (plate.Rows < 1 || well < 0) return {};
  return RowLabel(well % plate.Rows) + std::to_string(well / plate.Rows + 1);
}

// ---- pictures ----------------------------------------------------------------

PlotScene ChannelSignalScene(std::span<const RawRecord> slots, int page, const std::vector<BeamTrace>& beams,
                             bool hasRawData) {
  PlotScene scene;
  scene.scale(-1000, 2150, 25000, -150);
  scene.line({0, 2150}, {0, 0}, kPlotBlack);
  scene.line({0, 0}, {24900, 0}, kPlotBlack);
  scene.text({-1000, 2150}, "100%");
  scene.text({-1000, 100}, "  0%");
  scene.text({0, -20}, "k" + std::to_string((page - 1) * 25));
  scene.text({12000, -20}, "[sample]");
  scene.text({24000, -20}, "k" + std::to_string(page * 25));
  if (!hasRawData) return scene;
  const int drawn = std::min<int>(kPlottedSlots, static_cast<int>(slots.size()));
  for (const BeamTrace& beam : beams) {
    if (beam.channel < 0 || beam.channel >= kChannelSlots) continue;
    for (int s = 0; s < drawn; ++s) {
      const RawRecord& slot = slots[std::size_t(s)];
      if (slot.slotCount() < kSlotPositions) continue;
      std::vector<PlotPoint> points;
      points.reserve(kSlotPositions);
      for (int j = 0; j < kSlotPositions; ++j)
        points.push_back({double(s * kSamplesPerSlot + j), double(slot.at(j, beam.channel))});
      scene.polyline(std::move(points), beam.colour);
    }
  }
  return scene;
}

PlotScene ChannelSignalScene(const SignalPages& pages, const std::vector<BeamTrace>& beams) {
  return ChannelSignalScene(pages.slots(), pages.page(), beams, pages.hasRawData());
}

PlotScene ProgressScene(double percent) {
  PlotScene scene;
  scene.scale(0, 0, 100, 100);
  scene.line({0, 0}, {std::clamp(percent, 0.0, 100.0), 100}, kPlotBlue);
  return scene;
}

}  // namespace orb
