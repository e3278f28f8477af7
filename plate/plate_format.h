// Plate formats: the well rows and columns of a plate, how they are drawn
// over the 16 x 24 channel grid, and which channel is which beam of which well.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/beam_geometry.h"

namespace orb {

class Operator;

constexpr int kCellUnits = 100;      // drawing units of one grid cell

struct PlateFormat {
  std::int16_t Rows = 0;
  double RowStep = 0;
  double RowOffset = 0;
  std::int16_t Columns = 0;
  double ColumnStep = 0;
  double ColumnOffset = 0;
  std::array<std::int16_t, kChannelSlots> ChannelWell{};  // -1 = channel not used
  std::array<std::int16_t, kChannelSlots> ChannelBeam{};
  std::int16_t MaxWell = 0;
  std::int16_t MaxBeam = 0;
  // WellMap[w][b] = channel that is beam b of well w (0 where none is named).
  std::vector<std::vector<std::int16_t>> WellMap;

  int wellMap(int well, int beam) const;  // -1 outside the map
};

// ---- channel grid and drawing geometry ------------------------------------
struct Point { double x = 0, y = 0; };
struct Box { double x1 = 0, y1 = 0, x2 = 0, y2 = 0; };
Point ChannelCentre(int channel);                     // x = col*100+50, y = row*100+50
int WellRow(const PlateFormat& p, int well);          // well mod Rows (-1 for no well)
int WellColumn(const PlateFormat& p, int well);       // well div Rows (-1 for no well)
Box WellBox(const PlateFormat& p, int well);
std::string RowLabel(int row);                        // 0 -> "A", ..., 25 -> "Z", 26 -> "AA"
std::string WellLabel(const PlateFormat& p, int well);  // "A1", "H12", ...

// ---- loading ---------------------------------------------------------------
// Reads <programFolder>/<code>.dat (fields in order, see the plate file
// layout); throws PlateFileError with the stage reached (0 the file could not
// be opened, 1 the head is incomplete or malformed, 2 a channel record is
// malformed). On success fills `plate` and builds its WellMap; on failure
// `plate` is left as it was. Channels the file has no record for are unused
// (-1). Values a plate cannot have are malformed: Rows or Columns outside
// 1..384, a step outside (0, 384], an offset beyond +-384, a well outside
// -1..383, a beam outside 0..383 (an unused channel may carry beam -1).
class PlateFileError : public std::runtime_error {
 public:
  PlateFileError(int stage, const std::string& what) : std::runtime_error(what), stage(stage) {}
  int stage;
};
void ReloadPlateFormat(const std::filesystem::path& programFolder, const std::string& code,
                       PlateFormat& plate);
// The same reading for a plate file given by its path (the reports fall back
// to <code>.bak when <code>.dat is missing).
void ReadPlateFile(const std::filesystem::path& file, PlateFormat& plate);

// ReloadPlateFormat with the built-in fallbacks and their message. A code
// other than "k96f", "k384" and "k96u" is replaced by "k96f" before its
// built-in layout is applied.
void LoadPlateFormat(const std::filesystem::path& programFolder, std::string& code,
                     PlateFormat& plate, Operator& op);

// The built-in layouts ("k384", "k96u", "k96f", "k24", "k6"); k24 and k6 set
// only the geometry. The WellMap is rebuilt. Returns false (and changes
// nothing) for any other code.
bool ApplyBuiltInPlateFormat(const std::string& code, PlateFormat& plate);
// True for the codes whose built-in layout maps every channel to its well
// ("k384", "k96u", "k96f"); k24 and k6 set only the geometry.
bool HasBuiltInWellMap(const std::string& code);
// Sizes WellMap to (0..MaxWell, 0..MaxBeam) and fills it from the channel
// tables (channels 0..383; a later channel wins). MaxWell and MaxBeam are
// first brought into 0..383; a channel outside the map is left out.
void BuildWellMap(PlateFormat& plate);

// ---- descriptions shown when a plate format is chosen ----------------------
struct PlateDescription {
  std::string code, description, adapterAdvice, extraLine;
};
const std::vector<PlateDescription>& PlateDescriptions();
// "description CR LF advice [CR LF extra]"; empty for an unknown code.
std::string PlateChangeMessage(const std::string& code);

}  // namespace orb
