// The project editor's change of plate format, without its window: the list
// of plate files, the question, the cleared groups and the reload.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace orb {

class Operator;
struct Workspace;

// Plate formats offered by the editor: the plate files k*.dat of the program
// folder (the pattern matched regardless of case), each in lower case without
// ".dat", sorted by name. A name whose lower-case file does not exist is left
// out, since choosing it could never load.
std::vector<std::string> ListPlateFormats(const std::filesystem::path& programFolder);

struct PlateChangeResult {
  bool changed = false;        // the chosen plate format is now loaded
  std::string listText;        // what the plate list shows afterwards
  bool groupsCleared = false;  // every channel is Free and every group "Free"
};

// Runs the plate change for the text chosen in the list:
// - no such plate file: "Selection Error", nothing changes;
// - "Load New Plate configuration?" answered No: nothing changes and the
//   list goes back to the current Plate_format;
// - Yes: the groups are cleared, the plate's description is shown when it
//   has one, Plate_format is set and the plate file loaded. A plate file that
//   cannot be read is reported and the previous Plate_format and layout are
//   kept (the groups stay cleared).
PlateChangeResult ChangePlateFormat(Workspace& ws, const std::string& chosenText, Operator& op);

// The editor acts on a choice only after the list has closed: choosing starts
// a 200 ms timer whose first tick hands the choice over, once.
class PendingPlateChange {
 public:
  static constexpr int kDelayMs = 200;

  void choose(std::string text) { chosen_ = std::move(text); }
  bool pending() const { return chosen_.has_value(); }
  // The timer's tick: the chosen text the first time, nothing afterwards.
  std::optional<std::string> tick() {
    auto text = std::move(chosen_);
    chosen_.reset();
    return text;
  }

 private:
  std::optional<std::string> chosen_;
};

}  // namespace orb
