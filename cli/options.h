// Reading the options of a command: "--name VALUE" and "--name=VALUE".
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace orb {

// True when args[i] is the option `name`; its value goes to `value` (and i
// moves past it). `missing` is set when "--name" ends the line without a value.
inline bool OptionValue(const std::vector<std::string>& args, std::size_t& i, const std::string& name,
                        std::string& value, bool& missing) {
  const std::string& a = args[i];
  if (a == name) {
    if (i + 1 >= args.size()) {
      missing = true;
      return true;
    }
    value = args[++i];
    return true;
  }
  if (a.rfind(name + "=", 0) == 0) {
    value = a.substr(name.size() + 1);
    return true;
  }
  return false;
}

// The same where a missing value simply does not match.
inline bool TakeValue(const std::vector<std::string>& args, std::size_t& i, const std::string& name,
                      std::string& value) {
  bool missing = false;
  if (!OptionValue(args, i, name, value, missing)) return false;
  if (missing) value.clear();
  return !missing;
}

// Takes "--data DIR" out of `args` and returns DIR (empty when not given).
inline std::string TakeDataOption(std::vector<std::string>& args) {
  std::string data;
  std::vector<std::string> rest;
  for (std::size_t i = 0; i < args.size(); ++i)
    if (!TakeValue(args, i, "--data", data)) rest.push_back(args[i]);
  args = rest;
  return data;
}

}  // namespace orb
