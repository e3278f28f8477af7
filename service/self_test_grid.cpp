#include "service/self_test_grid.h"

#include <algorithm>
#include <string>

namespace orb {

PlotScene SelfTestGridScene(const SelfTest& test) {
  PlotScene s;
  s.scale(0, kGridRows + 1, kGridColumns, 0);
  for (int ch = 0; ch < kChannels; ++ch) {
    const int row = GridRowOfChannel(ch), column = GridColumnOfChannel(ch);
    const int value = test.cellValue(ch);
    const double top = kGridRows + 1 - row;
    // Lit beams (value 256 and more, 2048 read) light, dark ones dark.
    const int shade = std::clamp(value, 0, 255);
    s.filledBox({double(column), top}, {column + 1.0, top - 1}, PlotGrey(shade), kPlotBlack);
    s.text({column + 0.1, top - 0.1}, std::to_string(value), shade < 128 ? kPlotWhite : kPlotBlack);
  }
  const double progress = std::clamp(test.progress(), 0.0, 100.0);
  s.line({0, 0.5}, {progress / 100.0 * kGridColumns, 0.5}, kPlotBlue, 4);
  return s;
}

}  // namespace orb
