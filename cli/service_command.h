// The service tools on the command line:
//   orbelune-cli [--data DIR] selftest [--port N] [--offline-on-failure] [--yes]
//   orbelune-cli [--data DIR] factory [--port N] [--offline-on-failure] [--set-temperature T]
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace orb {

// The whole device self-test, headless: --yes answers its questions (the
// plate slot is empty and the door closed); without it the test is
// refused. Prints the verdicts, the serial number and the report's paths.
// Exit codes: 0 every check passed, 6 a check failed, 2 usage or no --yes,
// 3 no config.dat, 4 the report cannot be written, 5 no instrument or the
// test stopped on a communication fault.
int RunSelfTest(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The factory settings: prints the serial line, the calibration state and
// the temperature; --set-temperature T performs the one-point calibration
// against a reference of T degC. Exit codes: 0 done, 2 usage or a refused
// reference, 3 no config.dat, 5 no instrument, no temperature reading or a
// failed write.
int RunFactory(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace orb
