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
// written, one per line; messages and a summary go to standard error.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

#include "reports/reanalysis.h"

namespace orb {

struct ReportRequest;

// `args` are the options after the command word; "--data DIR" may be among
// them. Exit codes: 0 re-analysed and reported, 2 usage (unknown option,
// bad value, no such folder), 3 no config.dat in the data folder, 4 a file
// not written (no raw data, a re-binning error, counts or setup not
// replaced, the report or a marks line not written).
int RunReanalyze(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The report of a re-analysis, as the report generator writes a report
// without basal normalisation, with the layout, separator and statistics of
// `request`. Returns the report and its subproject copy (nothing when the
// report could not be written, after "Report Calculation Error" or "Report
// Error").
std::vector<std::filesystem::path> WriteReanalysisReport(const ReportRequest& request,
                                                         const ReanalysedRecording& recording, Operator& op);

}  // namespace orb
