#include "plate/plate_format.h"

#include <algorithm>
#include <cmath>

#include "common/fileio.h"
#include "common/seams.h"
#include "common/text_record.h"

namespace orb {
namespace fs = std::filesystem;

namespace {

constexpr int kLastWell = kChannels - 1;   // one beam per well at most 384 wells
constexpr int kLastBeam = kChannels - 1;
constexpr int kMaxLines = kChannels;       // Rows and Columns
constexpr double kMaxCells = kChannels;    // steps and offsets, in grid cells

bool IsPlainCode(const std::string& code) {
  return !code.empty() && code.find_first_of("/\\") == std::string::npos &&
         code.find('\0') == std::string::npos && code != "." && code != "..";
}

void SetGeometry(PlateFormat& p, int rows, double rowStep, double rowOffset, int columns,
                 double columnStep, double columnOffset) {
  p.Rows = static_cast<std::int16_t>(rows);
  p.RowStep = rowStep;
  p.RowOffset = rowOffset;
  p.Columns = static_cast<std::int16_t>(columns);
  p.ColumnStep = columnStep;
  p.ColumnOffset = columnOffset;
}

// The 96-well walk shared by k96u and k96f: grid columns 0..23 and, inside
// each, the even grid rows; `oddColumnIsBeam1` makes the odd grid columns the
// second beam of the well to their left (k96f) instead of unused (k96u).
void Apply96Walk(PlateFormat& p, bool oddColumnIsBeam1) {
  int well = 0;
  for (int g = 0; g < kGridColumns; ++g) {
    for (int row = 0; row < kGridRows; row += 2) {
      int c = g * kGridRows + row;
      if (g % 2 == 0) {
        p.ChannelWell[c] = static_cast<std::int16_t>(well++);
        p.ChannelBeam[c] = 0;
      } else if (oddColumnIsBeam1) {
        p.ChannelWell[c] = p.ChannelWell[c - kGridRows];
        p.ChannelBeam[c] = 1;
      } else {
        p.ChannelWell[c] = -1;
        p.ChannelBeam[c] = 0;
      }
      p.ChannelWell[c + 1] = -1;
      p.ChannelBeam[c + 1] = 0;
    }
  }
  p.ChannelWell[kChannels] = -1;
  p.ChannelBeam[kChannels] = 0;
}

PlateFormat ParsePlateFile(const fs::path& file) {
  if (!FileExists(file)) throw PlateFileError(0, "plate file not found: " + file.string());
  RecordReader reader = [&] {
    try {
      return RecordReader::fromFile(file);
    } catch (const RecordError& e) {
      throw PlateFileError(0, e.what());
    }
  }();

  PlateFormat p;
  p.ChannelWell.fill(-1);
  p.ChannelBeam.fill(0);

  try {
    reader.readText();  // title
    reader.readText();
    int rows = reader.readInt16();
    double rowStep = reader.readReal();
    double rowOffset = reader.readReal();
    int columns = reader.readInt16();
    double columnStep = reader.readReal();
    double columnOffset = reader.readReal();
    reader.readText();  // column headings
    auto stepOk = [](double s) { return s > 0 && s <= kMaxCells; };
    auto offsetOk = [](double o) { return std::fabs(o) <= kMaxCells; };
    if (rows < 1 || rows > kMaxLines || columns < 1 || columns > kMaxLines || !stepOk(rowStep) ||
        !stepOk(columnStep) || !offsetOk(rowOffset) || !offsetOk(columnOffset))
      throw PlateFileError(1, "plate geometry out of range");
    SetGeometry(p, rows, rowStep, rowOffset, columns, columnStep, columnOffset);
  } catch (const RecordError& e) {
    throw PlateFileError(1, e.what());
  }

  try {
    for (int k = 0; k < kChannelSlots && !reader.atEnd(); ++k) {
      reader.readText();  // label
      int well = reader.readInt16();
      int beam = reader.readInt16();
      bool wellOk = well >= -1 && well <= kLastWell;
      bool beamOk = beam >= 0 && beam <= kLastBeam;
      if (well == -1 && beam == -1) beamOk = true;  // an unused channel may say "no beam"
      if (!wellOk || !beamOk)
        throw PlateFileError(2, "channel record " + std::to_string(k) + " out of range");
      p.ChannelWell[k] = static_cast<std::int16_t>(well);
      p.ChannelBeam[k] = static_cast<std::int16_t>(beam);
      p.MaxWell = std::max<std::int16_t>(p.MaxWell, p.ChannelWell[k]);
      p.MaxBeam = std::max<std::int16_t>(p.MaxBeam, p.ChannelBeam[k]);
    }
  } catch (const RecordError& e) {
    throw PlateFileError(2, e.what());
  }
  BuildWellMap(p);
  return p;
}

}  // namespace

int PlateFormat::wellMap(int well, int beam) const {
  if (well < 0 || beam < 0 || well >= static_cast<int>(WellMap.size())) return -1;
  const auto& beams = WellMap[static_cast<std::size_t>(well)];
  if (beam >= static_cast<int>(beams.size())) return -1;
  return beams[static_cast<std::size_t>(beam)];
}

// ---- channel grid and drawing geometry ------------------------------------

Point ChannelCentre(int channel) {
  return {static_cast<double>(GridColumnOfChannel(channel) * kCellUnits + kCellUnits / 2),
          static_cast<double>(GridRowOfChannel(channel) * kCellUnits + kCellUnits / 2)};
}

int WellRow(const PlateFormat& p, int well) {
  if (well < 0 || p.Rows <= 0) return -1;
  return well % p.Rows;
}

int WellColumn(const PlateFormat& p, int well) {
  if (well < 0 || p.Rows <= 0) return -1;
  return well / p.Rows;
}

Box WellBox(const PlateFormat& p, int well) {
  int r = std::max(WellRow(p, well), 0);
  int k = std::max(WellColumn(p, well), 0);
  Box b;
  b.x1 = k * p.ColumnStep * kCellUnits + p.ColumnOffset * kCellUnits;
  b.x2 = b.x1 + p.ColumnStep * kCellUnits;
  b.y1 = r * p.RowStep * kCellUnits + p.RowOffset * kCellUnits;
  b.y2 = b.y1 + p.RowStep * kCellUnits;
  return b;
}

std::string RowLabel(int row) {
  if (row < 0) return {};
  // Letters as spreadsheet columns: A..Z, then AA, AB, ... for plates with
  // more than 26 rows.
  std::string label;
  for (int n = row + 1; n > 0; n = (n - 1) / 26) label.insert(label.begin(), static_cast<char>('A' + (n - 1) % 26));
  return label;
}

std::string WellLabel(const PlateFormat& p, int well) {
  int r = WellRow(p, well);
  if (r < 0) return {};
  return RowLabel(r) + std::to_string(WellColumn(p, well) + 1);
}

// ---- loading ---------------------------------------------------------------

void ReloadPlateFormat(const fs::path& programFolder, const std::string& code, PlateFormat& plate) {
  // The code comes from setup.dat or the editor's list: it names a file of
  // the program folder, never a path elsewhere.
  if (!IsPlainCode(code)) throw PlateFileError(0, "not a plate format name: " + code);
  plate = ParsePlateFile(programFolder / (code + ".dat"));
}

void ReadPlateFile(const fs::path& file, PlateFormat& plate) { plate = ParsePlateFile(file); }

void LoadPlateFormat(const fs::path& programFolder, std::string& code, PlateFormat& plate, Operator& op) {
  try {
    ReloadPlateFormat(programFolder, code, plate);
    return;
  } catch (const PlateFileError& e) {
    op.inform("Error [\\" + code + ".dat] ID#" + std::to_string(e.stage) +
              " => Loading plate format from default: 384,96f or 96u...");
  }
  if (!HasBuiltInWellMap(code)) code = "k96f";
  plate.MaxWell = plate.MaxBeam = 0;
  plate.RowOffset = plate.ColumnOffset = 0;
  ApplyBuiltInPlateFormat(code, plate);
}

bool HasBuiltInWellMap(const std::string& code) { return code == "k384" || code == "k96u" || code == "k96f"; }

bool ApplyBuiltInPlateFormat(const std::string& code, PlateFormat& p) {
  if (code == "k384") {
    SetGeometry(p, 16, 1.0, 0, 24, 1.0, 0);
    for (int c = 0; c < kChannels; ++c) {
      p.ChannelWell[c] = static_cast<std::int16_t>(c);
      p.ChannelBeam[c] = 0;
    }
    p.ChannelWell[kChannels] = -1;
    p.ChannelBeam[kChannels] = 0;
    p.MaxWell = 383;
    p.MaxBeam = 0;
  } else if (code == "k96u") {
    SetGeometry(p, 8, 2.0, -0.5, 12, 2.0, -0.5);
    Apply96Walk(p, false);
    p.MaxWell = 96;
    p.MaxBeam = 0;
  } else if (code == "k96f") {
    SetGeometry(p, 8, 2.0, -0.5, 12, 2.0, 0);
    Apply96Walk(p, true);
    p.MaxWell = 96;
    p.MaxBeam = 1;
  } else if (code == "k24") {
    SetGeometry(p, 4, 4.0, 0, 6, 4.0, 0);
  } else if (code == "k6") {
    SetGeometry(p, 2, 8.0, 0, 3, 8.0, 0);
  } else {
    return false;
  }
  BuildWellMap(p);
  return true;
}

void BuildWellMap(PlateFormat& p) {
  p.MaxWell = static_cast<std::int16_t>(std::clamp<int>(p.MaxWell, 0, kLastWell));
  p.MaxBeam = static_cast<std::int16_t>(std::clamp<int>(p.MaxBeam, 0, kLastBeam));
  p.WellMap.assign(static_cast<std::size_t>(p.MaxWell) + 1,
                   std::vector<std::int16_t>(static_cast<std::size_t>(p.MaxBeam) + 1, 0));
  for (int c = 0; c < kChannels; ++c) {
    int w = p.ChannelWell[c], b = p.ChannelBeam[c];
    if (w < 0 || w > p.MaxWell || b < 0 || b > p.MaxBeam) continue;
    p.WellMap[static_cast<std::size_t>(w)][static_cast<std::size_t>(b)] = static_cast<std::int16_t>(c);
  }
}

// ---- descriptions shown when a plate format is chosen ----------------------

const std::vector<PlateDescription>& PlateDescriptions() {
  static const std::vector<PlateDescription> table = {
      {"k384", "384 Well microplate [1microbeams/well]", "USE 'K384' plate Adapter", ""},
      {"k96f", "96 Wells flat bottom [2microbeams/well]", "USE 'K96F' plate Adapter", ""},
      {"k96u", "96 Wells U shape bottom [1microbeam/well]", "USE 'K96U' plate Adapter", ""},
      {"k48", "48 Wells flat bottom [1-3microbeams/well]", "USE 'K384' or 'K48' plate Adapter", ""},
      {"k24", "24 Wells flat bottom [4microbeams/well]", "USE 'K384' or 'K24' plate Adapter", ""},
      {"k6", "6 Wells flat bottom [30-32microbeams/well]", "USE 'K384' or 'K6' plate Adapter", ""},
      {"k96flat", "96 Wells flat bottom [4microbeams/well]", "USE 'K384' or 'K96x4' plate Adapter",
       "NOTE: DISCONTINUED. Contact provider"},
  };
  return table;
}

std::string PlateChangeMessage(const std::string& code) {
  for (const auto& d : PlateDescriptions()) {
    if (d.code != code) continue;
    std::string text = d.description + "\r\n" + d.adapterAdvice;
    if (!d.extraLine.empty()) text += "\r\n" + d.extraLine;
    return text;
  }
  return {};
}

}  // namespace orb
