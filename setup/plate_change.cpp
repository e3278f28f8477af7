#include "setup/plate_change.h"

#include <algorithm>
#include <cctype>
#include <system_error>

#include "app/workspace.h"
#include "common/fileio.h"
#include "common/seams.h"
#include "plate/plate_format.h"

namespace orb {
namespace fs = std::filesystem;

namespace {

std::string Lower(std::string s) {
  for (char& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return s;
}

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// The chosen text names a file of the program folder, nothing else.
bool IsPlainName(const std::string& text) {
  return !text.empty() && text.find_first_of("/\\") == std::string::npos &&
         text.find('\0') == std::string::npos && text != "." && text != "..";
}

}  // namespace

std::vector<std::string> ListPlateFormats(const fs::path& programFolder) {
  std::vector<std::string> names;
  std::error_code ec;
  fs::directory_iterator it(programFolder, ec);
  if (ec) return names;
  for (const auto& entry : it) {
    std::error_code fileEc;
    if (!entry.is_regular_file(fileEc)) continue;
    std::string lower = Lower(entry.path().filename().string());
    if (lower.size() < 5 || lower[0] != 'k' || !EndsWith(lower, ".dat")) continue;
    std::string code = lower.substr(0, lower.size() - 4);
    if (!FileExists(programFolder / (code + ".dat"))) continue;
    names.push_back(code);
  }
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  return names;
}

PlateChangeResult ChangePlateFormat(Workspace& ws, const std::string& chosenText, Operator& op) {
  PlateChangeResult result;
  if (!IsPlainName(chosenText) || !FileExists(ws.programFolder / (chosenText + ".dat"))) {
    op.inform("Selection Error");
    result.listText = chosenText;
    return result;
  }
  if (!op.confirm("Load New Plate configuration?")) {
    result.listText = ws.setup.Plate_format;
    return result;
  }

  // The old layout is still loaded while the groups are cleared.
  ws.groups.ChannelGroup.fill(-1);
  ws.groups.GroupName.fill("Free");
  result.groupsCleared = true;

  std::string message = PlateChangeMessage(chosenText);
  if (!message.empty()) op.inform(message);

  const std::string previousCode = ws.setup.Plate_format;
  const PlateFormat previousPlate = ws.plate;
  ws.setup.Plate_format = chosenText;
  try {
    ReloadPlateFormat(ws.programFolder, chosenText, ws.plate);
  } catch (const PlateFileError& e) {
    ws.setup.Plate_format = previousCode;
    ws.plate = previousPlate;
    op.inform("Error [\\" + chosenText + ".dat] ID#" + std::to_string(e.stage) +
              " => Plate file cannot be read. Plate format kept: " + previousCode);
    result.listText = previousCode;
    return result;
  }
  result.changed = true;
  result.listText = chosenText;
  return result;
}

}  // namespace orb
