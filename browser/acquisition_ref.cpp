#include "browser/acquisition_ref.h"

namespace orb {

std::filesystem::path ResolveAcquisition(const std::filesystem::path& programFolder, const std::string& text) {
  namespace fs = std::filesystem;
  if (text.empty()) return {};
  std::error_code ec;
  const fs::path given(text);
  if (fs::is_directory(given, ec)) return fs::absolute(given, ec).lexically_normal();
  if (given.is_relative() && fs::is_directory(programFolder / given, ec)) return (programFolder / given).lexically_normal();
  return {};
}

bool IsAcquisitionFolderName(const std::string& name) { return name.size() == 13 && name[8] == '_'; }

bool IsProjectFolderName(const std::string& name) { return name.size() == 6 && (name[0] == 'p' || name[0] == 'P'); }

}  // namespace orb
