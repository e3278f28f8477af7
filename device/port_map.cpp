#include "device/port_map.h"

#include <cctype>
#include <cstdlib>
#include <fstream>

namespace orb {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

}  // namespace

std::optional<int> PortMap::ComNumber(std::string_view name) {
  if (name.size() < 4 || name.size() > 8) return std::nullopt;
  for (int i = 0; i < 3; ++i)
    if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return std::nullopt;
  int n = 0;
  for (char c : name.substr(3)) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + (c - '0');
  }
  if (n < 1) return std::nullopt;
  return n;
}

std::optional<std::string> PortMap::fromPortsFile(int n) const {
  if (dataFolder_.empty()) return std::nullopt;
  std::ifstream in(dataFolder_ / kPortsFile);
  if (!in) return std::nullopt;
  std::string line;
  while (std::getline(in, line)) {
    std::string_view l = Trim(line);
    if (l.empty() || l.front() == '#') continue;
    auto eq = l.find('=');
    if (eq == std::string_view::npos) continue;
    auto key = ComNumber(Trim(l.substr(0, eq)));
    std::string_view path = Trim(l.substr(eq + 1));
    if (key == n && !path.empty()) return std::string(path);
  }
  return std::nullopt;
}

std::string PortMap::devicePath(std::string_view name) const {
  auto n = ComNumber(name);
  if (!n) return std::string(name);
  if (auto it = assigned_.find(*n); it != assigned_.end()) return it->second;
  std::string variable = "ORBELUNE_COM" + std::to_string(*n);
  if (const char* env = std::getenv(variable.c_str()); env != nullptr && *env != '\0') return env;
  if (auto path = fromPortsFile(*n)) return *path;
  return "/dev/ttyUSB" + std::to_string(*n - 1);
}

}  // namespace orb
