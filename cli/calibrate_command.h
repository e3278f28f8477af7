// orbelune-cli [--data DIR] calibrate [--port N] [--offline-on-failure]:
// connects as "connect" does, loads the current project, runs the automatic
// calibration and then the automatic zero as a run start with both switches
// on would, saves calvalue.dat and the project's threshld.dat, and prints a
// summary on standard output.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace orb {

// `args` are the options after the command word; "--data DIR" may be among
// them. Exit codes: 0 calibrated and saved, 2 usage, 3 no config.dat,
// 4 a file could not be written, 5 no instrument (also offline) or the
// instrument stopped answering during the calibration.
int RunCalibrate(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace orb
