// The detection presets of the organism list: each organism comes with the
// signal-to-noise factor its movements need to stand out of the beam noise.
#pragma once

#include <string>
#include <vector>

namespace orb {

// The organism list of the main window, in its order.
const std::vector<std::string>& OrganismItems();

// The signal-to-noise factor and its entry box after an organism item is
// chosen: items 0 and 1 write their factor, item 2 ("Customized") takes the
// value typed in the box, no item (-1) keeps the factor. A factor not above
// 1.4 becomes 1.8.
struct DetectionPreset {
  double snrFactor = 1.7;
  std::string boxText;      // txt_snr_umbral
  std::string labelText;    // lbl_umbral: ">>>>" or "> Zero SNR:"
  bool boxVisible = false;
};
DetectionPreset ApplyDetectionPreset(int organismItem, double currentFactor, const std::string& boxText);

}  // namespace orb
