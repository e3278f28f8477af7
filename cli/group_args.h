// The arguments the commands that change groups share (groups for the
// current project, regroup for a recording): group numbers, wells and
// rectangles of wells, block presets, and the printed lists.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "plate/plate_format.h"
#include "setup/group_editor.h"

namespace orb {

// A group number of groups.dat, 0..383.
std::optional<int> ParseGroup(const std::string& text);

// A WELL argument: one well (A1) or a rectangle of wells (A1:B2).
struct WellSpan {
  WellCell from, to;
};
// Every WELL argument, or the message naming the first that is not a well
// (or rectangle of wells) of the plate.
std::optional<std::string> ParseWells(const PlateFormat& plate, const std::vector<std::string>& args,
                                      std::vector<WellSpan>& spans);

// "2x3", "02x03" or the preset's whole text: the index of that block among
// the plate's presets (block layouts), or -1.
int FindPreset(const std::vector<std::string>& presets, const std::string& text);
// The presets' block sizes ("01x01 02x01 ...").
std::string PresetList(const std::vector<std::string>& presets);

// "head: entry entry ..." on one line.
void PrintLine(std::ostream& out, const std::string& head, const std::vector<std::string>& entries);

}  // namespace orb
