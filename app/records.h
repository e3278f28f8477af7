// The program-wide records: configuration, per-channel tables, project
// settings and groups. Plain data; the files that hold them are read and
// written by config_files.h and project_files.h.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "plate/plate_format.h"

namespace orb {

struct AppConfig {
  std::int16_t Actual_Project_Number = 1;
  std::int16_t Last_Project = 1;
  std::int16_t Serial_COM = 4;
  std::int16_t Restart_Time = 0;
};

// -1 enabled, 0 disabled.
using ChannelStatus = std::array<std::int16_t, kChannelSlots>;
// Each beam's threshold band in percent (the acquisition's BlankPercent).
using ChannelThresholds = std::array<double, kChannelSlots>;

struct ChannelCalibration {
  std::array<std::int16_t, kChannelSlots> PinHole{};
  std::array<std::int16_t, kChannelSlots> Gain{};
};

// Rows of the MenuTable.
enum MenuRow { Mn1 = 0, Mn2 = 1, Mn3 = 2, Mn4 = 3, Mn5 = 4, Mn6 = 5 };
// Columns of row Mn1 (calibration), Mn2 (light) and Mn3 (temperature).
enum Mn1Column { Organism = 0, Enab_Cal = 1, Enab_Zero = 2, SNRx10 = 3 };
enum Mn2Column { LightEnable = 0, Time_ON = 1, Time_OFF = 2, PulseCount = 3, PulseOnx10 = 4, PulseOffx10 = 5 };
enum Mn3Column { TempEnable = 0, Tempx10 = 1 };

struct ProjectSetup {
  std::string Num_proj;  // as read (text); written as the current project number
  std::string Name;
  std::string Working_folder;
  std::string Plate_format;
  std::int16_t Aq_mode = 0, Aq_lapse = 0, Sample_Rate = 0, RT_Buffer = 0, DSP_Method = 0, DSP_Interval = 0;
  std::int16_t Binary_Acq = 0, Threshold_Counter = 0, Cal_value = 0, Cal_mode = 0, Save_counts = 0, Save_real = 0;
  std::array<std::int16_t, 6> Tools{};  // Menu1..Menu6
  std::array<std::array<std::int16_t, 6>, 6> MenuTable{};

  std::int16_t& Menu(int i) { return Tools[i - 1]; }  // Menu(1) .. Menu(6)
  std::int16_t Menu(int i) const { return Tools[i - 1]; }
};

struct GroupTable {
  std::array<std::string, kChannelSlots> GroupName;
  std::array<std::int16_t, kChannelSlots> ChannelGroup{};  // -1 = free
};

}  // namespace orb
