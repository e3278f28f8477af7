#include "reports/report_output.h"

#include <algorithm>
#include <fstream>

#include "common/encoding.h"
#include "common/fileio.h"

namespace orb {
namespace fs = std::filesystem;

namespace {

// Names tried before giving up: report, report_1, ..., report_999.
constexpr int kNameAttempts = 1000;

// Length of the UTF-8 sequence that starts with `lead` (1 for a stray byte).
std::size_t SequenceLength(unsigned char lead) {
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  if (lead >= 0xE0) return lead <= 0xEF ? 3 : 1;
  if (lead >= 0xC2) return 2;
  return 1;
}

}  // namespace

std::string ReportFileBytes(const std::string& utf8) {
  if (auto whole = Utf8ToCp1252(utf8)) return *whole;
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const std::size_t n = std::min(SequenceLength(static_cast<unsigned char>(utf8[i])), utf8.size() - i);
    auto one = Utf8ToCp1252(std::string_view(utf8).substr(i, n));
    out += one ? *one : "?";
    i += n;
  }
  return out;
}

WrittenReport WriteReportFile(const fs::path& folder, const std::string& extension, const std::string& utf8Text) {
  const std::string bytes = ReportFileBytes(utf8Text);
  WrittenReport result;
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    const std::string name = attempt == 0 ? "report" : "report_" + std::to_string(attempt);
    const fs::path path = folder / (name + extension);
    std::error_code ec;
    if (fs::is_directory(path, ec)) continue;  // a folder of that name cannot be replaced by a file
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) continue;
    result.path = path;
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    result.complete = !file.fail();
    return result;
  }
  return result;
}

std::string SafeReportFileName(const std::string& subproject) {
  std::string name;
  name.reserve(subproject.size());
  for (unsigned char c : subproject) {
    const bool unsafe = c == ' ' || c == '/' || c == '\\' || c < 0x20 || c == 0x7F;
    name.push_back(unsafe ? '_' : static_cast<char>(c));
  }
  for (std::size_t at = name.find(".."); at != std::string::npos; at = name.find("..", at)) name.replace(at, 2, "_");
  if (name == ".") name = "_";
  return name;
}

std::optional<fs::path> CopyReportAsSubproject(const fs::path& report, const std::string& subproject) {
  if (subproject.empty()) return std::nullopt;
  const fs::path copy = report.parent_path() / (SafeReportFileName(subproject) + report.extension().string());
  if (copy.filename() == report.filename()) return std::nullopt;
  if (!CopyWholeFile(report, copy)) return std::nullopt;
  return copy;
}

}  // namespace orb
