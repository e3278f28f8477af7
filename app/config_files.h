// config.dat, status.dat, threshld.dat and calvalue.dat.
#pragma once

#include <filesystem>

#include "app/records.h"

namespace orb {

class Operator;

// Reads <programFolder>/config.dat and applies the range rules; on any error
// shows "Error opening config File >>>> Loading DEFAULT configuration..." and
// loads 1, 1, 4. Restart_Time is always 0 afterwards. Returns false when the
// defaults were applied.
bool LoadConfig(const std::filesystem::path& programFolder, AppConfig& config, Operator& op);
// Replaces config.dat; on failure shows "<Error Saving Config File>".
bool SaveConfig(const std::filesystem::path& programFolder, const AppConfig& config, Operator& op);

// status.dat and threshld.dat of a project folder; a file that cannot be
// read is reported and every channel gets the default (enabled, 3 %).
// `projectNumber` is used only in the messages.
void LoadChannelStatus(const std::filesystem::path& folder, ChannelStatus& status, int projectNumber, Operator& op);
void LoadThresholds(const std::filesystem::path& folder, ChannelThresholds& thresholds, int projectNumber,
                    Operator& op);
// Throw RecordError / std::system_error: written only by SaveProject.
void SaveChannelStatus(const std::filesystem::path& folder, const ChannelStatus& status);
void SaveThresholds(const std::filesystem::path& folder, const ChannelThresholds& thresholds);

// calvalue.dat in the data folder. No message of their own: false on failure;
// entries read before a failure keep their new values.
bool LoadCalibration(const std::filesystem::path& programFolder, ChannelCalibration& cal);
bool SaveCalibration(const std::filesystem::path& programFolder, const ChannelCalibration& cal);
// PinHole 2 and Gain 3 for channels 0..383, then SaveCalibration.
bool ResetCalibration(const std::filesystem::path& programFolder, ChannelCalibration& cal);

// The file contents as written (for byte checks and atomic writes).
std::string ConfigFileBytes(const AppConfig& config);
std::string StatusFileBytes(const ChannelStatus& status);
std::string ThresholdFileBytes(const ChannelThresholds& thresholds);
std::string CalibrationFileBytes(const ChannelCalibration& cal);

}  // namespace orb
