// How a port name becomes a device path. "COM" + n (any case) is looked up
// in this order: a path assigned in the program (assign), the environment
// variable ORBELUNE_COM<n>, a line "COM<n>=<path>" of the ports file
// ports.dat in the data folder, and finally /dev/ttyUSB<n-1>. Any other name
// is a device path already and is used as given.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace orb {

inline constexpr const char* kPortsFile = "ports.dat";

class PortMap {
 public:
  // Without a data folder the ports file is not consulted.
  explicit PortMap(std::filesystem::path dataFolder = {}) : dataFolder_(std::move(dataFolder)) {}

  // Maps COM<n> to `path` for the life of this map, before any other source.
  void assign(int n, std::string path) { assigned_[n] = std::move(path); }

  std::string devicePath(std::string_view name) const;

  // n for "COM<n>" (n >= 1), else nothing.
  static std::optional<int> ComNumber(std::string_view name);

 private:
  std::optional<std::string> fromPortsFile(int n) const;

  std::filesystem::path dataFolder_;
  std::map<int, std::string> assigned_;
};

}  // namespace orb
