// The acquisition context of a report, read afresh at each generation: the
// groups of the acquisition (groups.dat, chgroup.dat), its plate format (the
// plate file named by its setup.dat, with the ".bak" fallback), the setting
// text and the subproject name.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/records.h"
#include "plate/plate_format.h"

namespace orb {

class Operator;

// The setting text of a raw-data re-analysis that did not replace the data:
// the next generation writes it instead of the acquisition's own, once.
class OneShotSetting {
 public:
  void set(std::string text) { text_ = std::move(text); }
  std::optional<std::string> take() {
    auto t = std::move(text_);
    text_.reset();
    return t;
  }
  bool pending() const { return text_.has_value(); }

 private:
  std::optional<std::string> text_;
};

struct ReportContext {
  GroupTable groups;      // channels without a record in chgroup.dat are free (-1)
  bool hasPlate = false;  // false: the plate file was not found, no wells
  std::string plateCode;
  PlateFormat plate;
  // wellChannel[w][b]: the channel that is beam b of well w, or -1;
  // wells 0..MaxWell, beams 0..MaxBeam (empty without a plate).
  std::vector<std::vector<int>> wellChannels;
  std::string settingText;
  std::string subproject;

  int wellCount() const { return static_cast<int>(wellChannels.size()); }
  int beamCount() const { return wellChannels.empty() ? 0 : static_cast<int>(wellChannels[0].size()); }
  bool oneBeamPerWell() const { return beamCount() <= 1; }
  int wellChannel(int well, int beam) const;  // -1 when none
  int channelWell(int channel) const;         // -1 for an unused channel (or no plate)
  int channelBeam(int channel) const;
  std::string wellName(int well) const;  // "A1"
};

// The fields of an acquisition's setup.dat the report needs.
struct AcquisitionSettings {
  std::string plateFormat = "96f";
  int dspMethod = 1;
  int organism = 0;
  int snrx10 = 0;
};
// Reads them without any recovery (the acquisition folder is never
// written); what cannot be read keeps the project defaults.
AcquisitionSettings ReadAcquisitionSettings(const std::filesystem::path& acquisitionFolder);
// Whether a report of the acquisition has its wells: its plate's file reads
// (<code>.dat or .bak in the program folder) or the program knows the plate
// without a file (k384, k96f, k96u).
bool ReportPlateAvailable(const std::filesystem::path& programFolder, const std::filesystem::path& acquisitionFolder);

// "Mode" + method + " " + organism name + "[snr=" + snr / 10 + "]", for
// example "Mode1 C.elegans[snr=1.8]"; an snr below 10 counts as 18.
std::string SettingText(int dspMethod, int organism, int snrx10);

// Loads the context of `acquisitionFolder`; plate files come from
// `programFolder`. Messages: the group files' own ("Error [\p.....\groups.dat]
// => Loading default groups...") and "Multiwell Configuration File " + code +
// ".dat or .bak not found". A pending one-shot setting text is taken.
ReportContext LoadReportContext(const std::filesystem::path& programFolder,
                                const std::filesystem::path& acquisitionFolder, Operator& op,
                                OneShotSetting* oneShot = nullptr);

// The group label: quote + number "000" + "_" + name + quote; a negative
// group is the free label. Groups beyond the name table are named "Free".
std::string GroupLabel(const GroupTable& groups, int group);
inline constexpr const char* kFreeLabel = "\"999_Free\"";

}  // namespace orb
