#include "app/config_files.h"

#include <string>
#include <system_error>

#include "app/settings_io.h"
#include "app/workspace.h"
#include "common/fileio.h"
#include "common/format.h"
#include "common/seams.h"
#include "common/text_record.h"

namespace orb {

namespace {

constexpr const char* kConfigFile = "config.dat";
constexpr const char* kCalibrationFile = "calvalue.dat";
constexpr const char* kStatusFile = "status.dat";
constexpr const char* kThresholdFile = "threshld.dat";

std::string DefaultValuesMessage(int projectNumber, const char* file) {
  return "Error [\\p" + FormatDigits(projectNumber, 5) + "\\" + file + "] => Loading default values...";
}

}  // namespace

// ---- config.dat ------------------------------------------------------------

std::string ConfigFileBytes(const AppConfig& config) {
  RecordWriter w;
  w.text("Config: <Actual_Project_Number>, <Last_Project>,<Serial_COM>,<Restart_Time>").endLine();
  w.int16(config.Actual_Project_Number).int16(config.Last_Project).int16(config.Serial_COM)
      .int16(config.Restart_Time).endLine();
  return w.bytes();
}

bool LoadConfig(const std::filesystem::path& programFolder, AppConfig& config, Operator& op) {
  bool loaded = true;
  try {
    auto file = OpenSettings(programFolder / kConfigFile);
    NextText(file.reader);
    AppConfig read;
    read.Actual_Project_Number = file.reader.readInt16();
    read.Last_Project = file.reader.readInt16();
    read.Serial_COM = file.reader.readInt16();
    read.Restart_Time = file.reader.readInt16();
    if (read.Actual_Project_Number < 0) read.Actual_Project_Number = 0;
    if (read.Last_Project < read.Actual_Project_Number) read.Last_Project = read.Actual_Project_Number;
    if (read.Serial_COM < 1) read.Serial_COM = 1;
    if (read.Serial_COM > 16) read.Serial_COM = 16;
    config = read;
  } catch (const std::exception&) {
    op.inform("Error opening config File >>>> Loading DEFAULT configuration...");
    config.Actual_Project_Number = 1;
    config.Last_Project = 1;
    config.Serial_COM = 4;
    loaded = false;
  }
  config.Restart_Time = 0;
  return loaded;
}

bool SaveConfig(const std::filesystem::path& programFolder, const AppConfig& config, Operator& op) {
  if (WriteFileAtomic(programFolder / kConfigFile, ConfigFileBytes(config))) {
    op.inform("<Error Saving Config File>");
    return false;
  }
  return true;
}

// ---- status.dat and threshld.dat -------------------------------------------

std::string StatusFileBytes(const ChannelStatus& status) {
  RecordWriter w;
  w.text("<Channel>, <Enabled>").endLine();
  for (int c = 0; c < kChannels; ++c) w.int16(c).int16(status[c] != 0 ? 1 : 0).endLine();
  return w.bytes();
}

std::string ThresholdFileBytes(const ChannelThresholds& thresholds) {
  RecordWriter w;
  w.text("<Channel>, <Threshold>").endLine();
  for (int c = 0; c < kChannels; ++c) w.int16(c).real(RoundHalfAwayDecimal(thresholds[c], 3)).endLine();
  return w.bytes();
}

void LoadChannelStatus(const std::filesystem::path& folder, ChannelStatus& status, int projectNumber, Operator& op) {
  // Channels past the end of a short file keep their state: the raw table
  // starts from the current one, whose -1/0 map onto themselves below.
  ChannelStatus raw = status;
  try {
    auto file = OpenSettings(folder / kStatusFile);
    ReadIndexedRecords(file, [&](int i) {
      NextText(file.reader);
      raw[i] = file.reader.readInt16();
    });
  } catch (const std::exception&) {
    op.inform(DefaultValuesMessage(projectNumber, kStatusFile));
    for (int c = 0; c < kChannels; ++c) status[c] = -1;
    return;
  }
  for (int c = 0; c < kChannels; ++c) status[c] = raw[c] != 0 ? -1 : 0;
}

void LoadThresholds(const std::filesystem::path& folder, ChannelThresholds& thresholds, int projectNumber,
                    Operator& op) {
  try {
    auto file = OpenSettings(folder / kThresholdFile);
    ReadIndexedRecords(file, [&](int i) {
      NextText(file.reader);
      thresholds[i] = file.reader.readReal();
    });
  } catch (const std::exception&) {
    op.inform(DefaultValuesMessage(projectNumber, kThresholdFile));
    for (int c = 0; c < kChannels; ++c) thresholds[c] = 3.0;
  }
}

void SaveChannelStatus(const std::filesystem::path& folder, const ChannelStatus& status) {
  WriteSettingsFile(folder / kStatusFile, StatusFileBytes(status));
}

void SaveThresholds(const std::filesystem::path& folder, const ChannelThresholds& thresholds) {
  WriteSettingsFile(folder / kThresholdFile, ThresholdFileBytes(thresholds));
}

// ---- calvalue.dat ----------------------------------------------------------

std::string CalibrationFileBytes(const ChannelCalibration& cal) {
  RecordWriter w;
  w.text("<Num_Channel>, <PinHole>, <Gain> ").endLine();
  for (int c = 0; c < kChannels; ++c) w.int16(c).int16(cal.PinHole[c]).int16(cal.Gain[c]).endLine();
  return w.bytes();
}

bool LoadCalibration(const std::filesystem::path& programFolder, ChannelCalibration& cal) {
  try {
    auto file = OpenSettings(programFolder / kCalibrationFile);
    ReadIndexedRecords(file, [&](int i) {
      NextText(file.reader);
      cal.PinHole[i] = file.reader.readInt16();
      cal.Gain[i] = file.reader.readInt16();
    });
  } catch (const std::exception&) {
    return false;
  }
  return true;
}

bool SaveCalibration(const std::filesystem::path& programFolder, const ChannelCalibration& cal) {
  return !WriteFileAtomic(programFolder / kCalibrationFile, CalibrationFileBytes(cal));
}

bool ResetCalibration(const std::filesystem::path& programFolder, ChannelCalibration& cal) {
  for (int c = 0; c < kChannels; ++c) {
    cal.PinHole[c] = 2;
    cal.Gain[c] = 3;
  }
  return SaveCalibration(programFolder, cal);
}

}  // namespace orb
