// The picture of the self-test: the 16 x 24 beams as a grid numbered down
// the columns (beam c in row c mod 16, column c div 16), each cell shaded
// by its value (reading / 8) and labelled with it, and the progress line
// under the grid.
#pragma once

#include "common/plot_scene.h"
#include "service/self_test.h"

namespace orb {

// Cells span x 0..24 and y 1..17 (row 0 at the top); the progress line runs
// along y 0.5 from 0 to progress / 100 * 24.
PlotScene SelfTestGridScene(const SelfTest& test);

}  // namespace orb
