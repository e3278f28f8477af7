#include "reports/report_config.h"

#include <clocale>
#include <stdexcept>

#include "common/fileio.h"
#include "common/seams.h"
#include "common/text_record.h"

namespace orb {
namespace fs = std::filesystem;

namespace {

constexpr const char* kFileName = "repoconf.dat";
constexpr const char* kHeader =
    "<User_defined>, <Bin>, <filetype>, <spacer>, <stdError>, <stdDev>, <n>, <out_format>, "
    "<organism>, <method>, <threshold>, <rawexport>";

void KeepInRange(std::int16_t& value, int low, int high, std::int16_t fallback) {
  if (value < low || value > high) value = fallback;
}

void ForceRanges(ReportConfig& c) {
  const ReportConfig d;  // the defaults of every range-checked field
  KeepInRange(c.User_defined, 0, 1, d.User_defined);
  KeepInRange(c.Bin, 2, 1440, d.Bin);
  KeepInRange(c.filetype, 0, 1, d.filetype);
  KeepInRange(c.stdError, 0, 1, d.stdError);
  KeepInRange(c.stdDev, 0, 1, d.stdDev);
  KeepInRange(c.n, 0, 1, d.n);
  KeepInRange(c.out_format, 0, 3, d.out_format);
  KeepInRange(c.organism, 0, 2, d.organism);
  KeepInRange(c.method, 0, 2, d.method);
  KeepInRange(c.threshold, 11, 30, d.threshold);
  KeepInRange(c.rawexport, 0, 1, d.rawexport);
}

ReportConfig ReadFile(const fs::path& file) {
  RecordReader r = RecordReader::fromFile(file);
  ReportConfig c;
  r.readText();  // header
  c.User_defined = r.readInt16();
  c.Bin = r.readInt16();
  c.filetype = r.readInt16();
  c.spacer = r.readText();
  c.stdError = r.readInt16();
  c.stdDev = r.readInt16();
  c.n = r.readInt16();
  c.out_format = r.readInt16();
  c.organism = r.readInt16();
  c.method = r.readInt16();
  c.threshold = r.readInt16();
  c.rawexport = r.readInt16();
  return c;
}

// Writes the file; false on any failure, without a message.
bool WriteFile(const fs::path& programFolder, const ReportConfig& config, int flag) {
  try {
    return !WriteFileAtomic(programFolder / kFileName, ReportConfigFileBytes(config, flag));
  } catch (const RecordError&) {
    return false;
  }
}

}  // namespace

std::string ListSeparatorFor(const std::locale& locale) {
  return std::use_facet<std::numpunct<char>>(locale).decimal_point() == ',' ? ";" : ",";
}

char DecimalMark() {
  try {
    // Only the numeric category, from the environment; the program's own
    // global locale is left alone.
    return std::use_facet<std::numpunct<char>>(std::locale(std::locale::classic(), "", std::locale::numeric))
        .decimal_point();
  } catch (const std::runtime_error&) {
    // The environment names a locale this machine lacks: use the C library's
    // current numeric settings.
    const std::lconv* conv = std::localeconv();
    if (conv && conv->decimal_point && conv->decimal_point[0] == ',') return ',';
    return '.';
  }
}

std::string ListSeparator() { return DecimalMark() == ',' ? ";" : ","; }

void ApplyReportDefaults(ReportConfig& config) {
  ReportConfig defaults;
  defaults.User_defined = config.User_defined;
  defaults.spacer = ListSeparator();
  config = defaults;
}

std::string ReportConfigFileBytes(const ReportConfig& c, int flag) {
  RecordWriter w;
  w.text(kHeader).endLine();
  w.int16(flag).int16(c.Bin).int16(c.filetype).text(c.spacer);
  w.int16(c.stdError).int16(c.stdDev).int16(c.n).int16(c.out_format);
  w.int16(c.organism).int16(c.method).int16(c.threshold).int16(c.rawexport).endLine();
  return w.bytes();
}

std::int16_t LoadReportConfig(const fs::path& programFolder, ReportConfig& config, int flag, Operator& op) {
  const fs::path file = programFolder / kFileName;
  bool ok = false;
  std::int16_t result = 0;
  std::error_code ec;
  if (flag != 0 && fs::exists(file, ec)) {
    try {
      ReportConfig read = ReadFile(file);
      ForceRanges(read);
      config = read;
      result = read.User_defined;
      ok = true;
    } catch (const RecordError&) {
      ok = false;
    }
  } else {
    ApplyReportDefaults(config);
    config.User_defined = static_cast<std::int16_t>(flag);
    ok = WriteFile(programFolder, config, flag);
  }
  if (ok) return result;

  op.inform("Error loading repoconf.dat -> Using Default values");
  ApplyReportDefaults(config);
  config.User_defined = 0;
  SaveReportConfig(programFolder, config, 0, op);
  return 0;
}

bool SaveReportConfig(const fs::path& programFolder, const ReportConfig& config, int flag, Operator& op) {
  if (WriteFile(programFolder, config, flag)) return true;
  op.inform("Error Writing Report Configuration (repoconf.dat)");
  return false;
}

}  // namespace orb
