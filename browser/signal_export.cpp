#include "browser/signal_export.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "common/encoding.h"
#include "common/fileio.h"
#include "common/text_record.h"

namespace orb {
namespace fs = std::filesystem;

namespace {

// Windows-1252 where the text can be held in it, else its own bytes (a path
// of the system that Windows-1252 lacks a character of).
std::string FileText(const std::string& utf8) { return Utf8ToCp1252(utf8).value_or(utf8); }

}  // namespace

std::string AcquisitionProjectName(const fs::path& acquisitionFolder) {
  try {
    RecordReader r = RecordReader::fromFile(acquisitionFolder / "setup.dat");
    r.readLine();  // the header line
    r.readText();  // Num_proj
    return r.readText();
  } catch (const RecordError&) {
    return {};
  }
}

std::string SignalAsciiBytes(const std::string& projectName, const fs::path& acquisitionFolder,
                             const std::string& wellText, int page, int pages, const std::vector<BeamTrace>& beams,
                             std::span<const RawRecord> slots) {
  std::string out;
  out.reserve(200 + std::size_t(kSamplesPerPage) * (beams.size() * 7 + 2));
  out += "\"" + FileText(projectName) + "\"\r\n";
  out += "\"" + FileText(acquisitionFolder.string()) + "\"\r\n";
  out += "\r\n";
  out += "Well: " + wellText + " Page[" + PageText(page, pages) + "] [#" + std::to_string((page - 1) * 25) + "k-" +
         std::to_string(page * 25) + "k]\r\n";
  out += "\r\n";
  for (const BeamTrace& beam : beams) out += wellText + "." + std::to_string(beam.beam) + " ";
  out += "\r\n";
  const int count = std::min<int>(kPlottedSlots, static_cast<int>(slots.size()));
  for (int s = 0; s < kPlottedSlots; ++s) {
    for (int j = 1; j <= kSamplesPerSlot; ++j) {
      for (const BeamTrace& beam : beams) {
        const bool have = s < count && slots[std::size_t(s)].slotCount() > j;
        out += std::to_string(have ? slots[std::size_t(s)].at(j, beam.channel) : 0);
        out += ' ';
      }
      out += "\r\n";
    }
  }
  return out;
}

std::string SignalExportStem(const std::string& wellText, int page) {
  return "signal_" + wellText + "_page" + std::to_string(page);
}

fs::path FreeExportPath(const fs::path& folder, const std::string& stem, const std::string& extension) {
  fs::path candidate = folder / (stem + extension);
  std::error_code ec;
  for (int n = 2; fs::exists(candidate, ec) || fs::is_symlink(candidate, ec); ++n)
    candidate = folder / (stem + "_" + std::to_string(n) + extension);
  return candidate;
}

std::optional<ImageFormat> ImageFormatOf(const fs::path& file) {
  std::string ext = file.extension().string();
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (ext == ".bmp") return ImageFormat::Bmp;
  if (ext == ".png") return ImageFormat::Png;
  return std::nullopt;
}

std::string SignalImageBytes(const PlotScene& scene, ImageFormat format) {
  const RgbImage image = RasterizePlot(scene, kSignalImageWidth, kSignalImageHeight);
  return format == ImageFormat::Bmp ? EncodeBmp(image) : EncodePng(image);
}

std::optional<std::string> WriteNewFile(const fs::path& file, const std::string& bytes, bool replace) {
  if (replace) {
    if (const std::error_code ec = WriteFileAtomic(file, bytes)) return ec.message();
    return std::nullopt;
  }
  // "x": created here or not at all, so an existing file is never touched.
  std::FILE* f = std::fopen(file.c_str(), "wbx");
  if (!f) return std::string(std::strerror(errno));
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  const bool closed = std::fclose(f) == 0;
  if (written && closed) return std::nullopt;
  const std::string reason = std::strerror(errno);
  std::error_code ec;
  fs::remove(file, ec);
  return reason;
}

SignalExport ExportSignalAscii(const SignalPages& pages, const PlateFormat& plate, int well) {
  SignalExport result;
  if (!pages.hasRawData()) {
    result.error = "no raw signal files in " + pages.folder().string();
    return result;
  }
  const std::vector<BeamTrace> beams = WellBeams(plate, well);
  if (beams.empty()) {
    result.error = "the well has no beam on this plate";
    return result;
  }
  const std::string wellText = WellText(plate, well);
  const std::string bytes = SignalAsciiBytes(AcquisitionProjectName(pages.folder()), pages.folder(), wellText,
                                             pages.page(), pages.pageCount(), beams, pages.slots());
  const fs::path file = FreeExportPath(pages.folder(), SignalExportStem(wellText, pages.page()), ".txt");
  if (auto error = WriteNewFile(file, bytes)) {
    result.error = file.string() + ": " + *error;
    return result;
  }
  result.file = file;
  return result;
}

SignalExport ExportSignalImage(const SignalPages& pages, const PlateFormat& plate, int well, ImageFormat format) {
  SignalExport result;
  const std::string wellText = well >= 0 ? WellText(plate, well) : std::string("none");
  const std::string bytes = SignalImageBytes(ChannelSignalScene(pages, WellBeams(plate, well)), format);
  const fs::path file = FreeExportPath(pages.folder(), SignalExportStem(wellText, pages.page()),
                                       format == ImageFormat::Bmp ? ".bmp" : ".png");
  if (auto error = WriteNewFile(file, bytes)) {
    result.error = file.string() + ": " + *error;
    return result;
  }
  result.file = file;
  return result;
}

}  // namespace orb
