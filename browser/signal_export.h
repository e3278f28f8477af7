// The signal viewer's exports without the window: the page of a well's raw
// beam samples as a text table ("Export to ASCII...") and the channel
// signal plot as a picture ("Export to BMP...").
//
// Both are written into the acquisition folder under names that say what
// they hold, signal_<well>_page<N>.txt / .bmp / .png; an earlier export is
// never overwritten: the next free name gets "_2", "_3", ... Text is CR LF
// and Windows-1252, as every text file of the program.
#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "browser/signal_pages.h"
#include "common/plot_raster.h"
#include "plate/plate_format.h"

namespace orb {

// The size of an exported signal picture, in pixels.
inline constexpr int kSignalImageWidth = 1040;
inline constexpr int kSignalImageHeight = 420;

// The project name of an acquisition: the second field of the second line
// of its setup.dat (empty when it cannot be read).
std::string AcquisitionProjectName(const std::filesystem::path& acquisitionFolder);

// The text table: the project name and the folder path in double quotes, an
// empty line, "Well: A1 Page[1/2] [#0k-25k]", an empty line, the header of
// the beams ("A1.0 A1.1 "), then 25,000 lines (slots 0..49, positions
// 1..500) of each beam's value followed by a blank.
std::string SignalAsciiBytes(const std::string& projectName, const std::filesystem::path& acquisitionFolder,
                             const std::string& wellText, int page, int pages, const std::vector<BeamTrace>& beams,
                             std::span<const RawRecord> slots);

// "signal_A1_page1".
std::string SignalExportStem(const std::string& wellText, int page);
// folder / stem + extension, or with "_2", "_3", ... before the extension
// when that name is taken.
std::filesystem::path FreeExportPath(const std::filesystem::path& folder, const std::string& stem,
                                     const std::string& extension);

enum class ImageFormat { Bmp, Png };
// By the file's extension (.bmp or .png, any letter case); nothing otherwise.
std::optional<ImageFormat> ImageFormatOf(const std::filesystem::path& file);
// The scene rasterized at kSignalImageWidth x kSignalImageHeight and encoded.
std::string SignalImageBytes(const PlotScene& scene, ImageFormat format);

// Writes `bytes` to a file that must not exist yet (unless `replace`); the
// reason on failure, and no partial file is left.
std::optional<std::string> WriteNewFile(const std::filesystem::path& file, const std::string& bytes,
                                        bool replace = false);

// An export: the file written, or why nothing was.
struct SignalExport {
  std::optional<std::filesystem::path> file;
  std::string error;
  bool ok() const { return file.has_value(); }
};

// "Export to ASCII..." of the current page of `pages` for `well`: nothing
// (an error) without raw data or without a well with beams.
SignalExport ExportSignalAscii(const SignalPages& pages, const PlateFormat& plate, int well);
// "Export to BMP..." (or PNG) of the plot of the current page for `well`.
SignalExport ExportSignalImage(const SignalPages& pages, const PlateFormat& plate, int well, ImageFormat format);

}  // namespace orb
