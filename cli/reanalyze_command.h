// orbelune-cli [--data DIR] reanalyze FOLDER [--method 0|1|2] [--organism 0|1]
//   [--snr X] [--hours H] [--replace] [--export-raw]
// The raw data re-analysis of a recorded acquisition ("Analyze Raw Data",
// "RUN" of the report window): counts every recorded interval again from
// its raw samples and writes the report of the new counts. Method, organism
// and SNR default to the report settings of the data folder (repoconf.dat);
// an organism given without --snr brings its own threshold (1.8, 2.8), as
// in the window. --export-raw sets the hours to 533 (unless --hours is
// given) and appends the marks to ch<channel>.raw; --replace replaces the
// counts of counts.bin (after a backup counts.bin.bak, .bak1, ...) and
// records the method in the acquisition's setup.dat. Prints the files
// written, one per line; messages and a summary go to standard error. The
// report is the report generator's (layout, separator and statistics of
// repoconf.dat; the histogram layout when the folder holds histogram files),
// made from the new counts without basal normalisation. Ctrl+C stops the
// run as "STOP" does: nothing is saved or reported.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

#include "reports/reanalysis.h"

namespace orb {

class EventLoop;

// `args` are the options after the command word; "--data DIR" may be among
// them. Exit codes: 0 re-analysed and reported, 2 usage (unknown option,
// bad value, no such folder), 3 no config.dat in the data folder, 4 a file
// not written (no raw data, a re-binning error, counts or setup not
// replaced, the report or a marks line not written, stopped by Ctrl+C).
// `events` replaces the console's event loop (which has no events) when
// given: tests act between records with it.
int RunReanalyze(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                 EventLoop* events = nullptr);

}  // namespace orb
