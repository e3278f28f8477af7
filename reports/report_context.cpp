#include "reports/report_context.h"

#include <algorithm>

#include "app/project_files.h"
#include "app/settings_io.h"
#include "common/fileio.h"
#include "common/format.h"
#include "common/seams.h"

namespace orb {
namespace fs = std::filesystem;

namespace {

// The project number of the folder holding the acquisition ("p00001" -> 1),
// used only in the messages of the group files; 0 for the data folder itself.
int ProjectNumberOf(const fs::path& acquisitionFolder) {
  const std::string name = acquisitionFolder.parent_path().filename().string();
  if (name.size() != 6 || name[0] != 'p') return 0;
  int n = 0;
  for (std::size_t i = 1; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return 0;
    n = n * 10 + (name[i] - '0');
  }
  return n;
}

// A plate code names a file of the program folder, never a path elsewhere.
bool IsPlainCode(const std::string& code) {
  return !code.empty() && code.find_first_of("/\\") == std::string::npos && code.find('\0') == std::string::npos &&
         code != "." && code != "..";
}

// <code>.dat, else <code>.bak when the .dat is missing or cannot be read.
bool LoadReportPlate(const fs::path& programFolder, const std::string& code, PlateFormat& plate) {
  if (!IsPlainCode(code)) return false;
  for (const char* ext : {".dat", ".bak"}) {
    const fs::path file = programFolder / (code + ext);
    if (!FileExists(file)) continue;
    try {
      ReadPlateFile(file, plate);
      return true;
    } catch (const PlateFileError&) {
    }
  }
  return false;
}

void BuildWellChannels(ReportContext& ctx) {
  const PlateFormat& p = ctx.plate;
  int maxWell = -1, maxBeam = 0;
  for (int c = 0; c < kChannels; ++c) {
    if (p.ChannelWell[c] < 0) continue;
    maxWell = std::max<int>(maxWell, p.ChannelWell[c]);
    maxBeam = std::max<int>(maxBeam, p.ChannelBeam[c]);
  }
  // Wells 0 to MaxWell of the plate as loaded (at least every well a
  // channel names).
  maxWell = std::max<int>(maxWell, p.MaxWell);
  maxBeam = std::max<int>(maxBeam, p.MaxBeam);
  ctx.wellChannels.assign(static_cast<std::size_t>(maxWell + 1),
                          std::vector<int>(static_cast<std::size_t>(maxBeam + 1), -1));
  for (int c = 0; c < kChannels; ++c) {
    const int w = p.ChannelWell[c], b = p.ChannelBeam[c];
    if (w < 0 || b < 0) continue;
    ctx.wellChannels[static_cast<std::size_t>(w)][static_cast<std::size_t>(b)] = c;  // a later channel wins
  }
}

}  // namespace

int ReportContext::wellChannel(int well, int beam) const {
  if (well < 0 || well >= wellCount() || beam < 0 || beam >= beamCount()) return -1;
  return wellChannels[static_cast<std::size_t>(well)][static_cast<std::size_t>(beam)];
}

int ReportContext::channelWell(int channel) const {
  if (!hasPlate || channel < 0 || channel >= kChannels) return -1;
  return plate.ChannelWell[channel] < 0 ? -1 : plate.ChannelWell[channel];
}

int ReportContext::channelBeam(int channel) const {
  if (channelWell(channel) < 0) return -1;
  return plate.ChannelBeam[channel];
}

std::string ReportContext::wellName(int well) const { return WellLabel(plate, well); }

AcquisitionSettings ReadAcquisitionSettings(const fs::path& acquisitionFolder) {
  AcquisitionSettings s;
  try {
    SettingsText file = OpenSettings(acquisitionFolder / "setup.dat");
    RecordReader& r = file.reader;
    r.readLine();  // header
    NextText(r);   // Num_proj
    NextText(r);   // Name
    NextText(r);   // Working_folder
    s.plateFormat = NextText(r);
    r.readLine();
    std::int16_t acquisition[6];
    for (auto& v : acquisition) v = r.readInt16();
    s.dspMethod = acquisition[4];
    r.readLine();
    for (int i = 0; i < 6; ++i) r.readInt16();  // binary / calibration line
    r.readLine();
    for (int i = 0; i < 6; ++i) r.readInt16();  // tools
    r.readLine();
    std::int16_t mn1[6];
    for (auto& v : mn1) v = r.readInt16();
    s.organism = mn1[Organism];
    s.snrx10 = mn1[SNRx10];
  } catch (const std::exception&) {
    // Values read before the failure are kept; the rest stay at their defaults.
  }
  return s;
}

std::string SettingText(int dspMethod, int organism, int snrx10) {
  static const char* const kOrganisms[] = {"C.elegans", "Zebrafish", "Echinococcus"};
  const std::string name = organism >= 0 && organism <= 2 ? kOrganisms[organism] : "";
  const int snr = snrx10 < 10 ? 18 : snrx10;
  return "Mode" + std::to_string(dspMethod) + " " + name + "[snr=" + FormatFixed(snr / 10.0, 1) + "]";
}

bool ReportPlateAvailable(const fs::path& programFolder, const fs::path& acquisitionFolder) {
  const std::string code = ReadAcquisitionSettings(acquisitionFolder).plateFormat;
  PlateFormat plate;
  return LoadReportPlate(programFolder, code, plate) || HasBuiltInWellMap(code);
}

ReportContext LoadReportContext(const fs::path& programFolder, const fs::path& acquisitionFolder, Operator& op,
                                OneShotSetting* oneShot) {
  ReportContext ctx;
  ctx.groups.ChannelGroup.fill(-1);
  const int project = ProjectNumberOf(acquisitionFolder);
  LoadGroupNames(acquisitionFolder, ctx.groups, project, op);
  LoadChannelGroups(acquisitionFolder, ctx.groups, project, op);
  ctx.groups.ChannelGroup[kChannels] = -1;

  const AcquisitionSettings settings = ReadAcquisitionSettings(acquisitionFolder);
  ctx.plateCode = settings.plateFormat;
  ctx.hasPlate = LoadReportPlate(programFolder, settings.plateFormat, ctx.plate);
  if (!ctx.hasPlate) {
    const std::string missing = "Multiwell Configuration File " + settings.plateFormat + ".dat or .bak not found";
    // The plates the program knows without a file keep their wells.
    PlateFormat builtIn;
    builtIn.ChannelWell.fill(-1);
    if (HasBuiltInWellMap(settings.plateFormat) && ApplyBuiltInPlateFormat(settings.plateFormat, builtIn)) {
      op.inform(missing + " => using the built-in layout of " + settings.plateFormat);
      ctx.plate = builtIn;
      ctx.hasPlate = true;
    } else {
      op.inform(missing);
      ctx.plate = PlateFormat{};
      ctx.plate.ChannelWell.fill(-1);
    }
  }
  if (ctx.hasPlate) BuildWellChannels(ctx);

  std::optional<std::string> once = oneShot ? oneShot->take() : std::nullopt;
  ctx.settingText = once ? *once : SettingText(settings.dspMethod, settings.organism, settings.snrx10);
  ctx.subproject = ReadSubprojectName(acquisitionFolder);
  return ctx;
}

std::string GroupLabel(const GroupTable& groups, int group) {
  if (group < 0) return kFreeLabel;
  const std::string name = group < kChannelSlots ? groups.GroupName[static_cast<std::size_t>(group)] : "Free";
  return "\"" + FormatDigits(group, 3) + "_" + name + "\"";
}

}  // namespace orb
