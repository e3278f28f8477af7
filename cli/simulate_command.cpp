#include "cli/simulate_command.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <system_error>

#include "sim/model.h"

namespace orb::sim {

const char* const kSimulateUsageText =
    "usage: orbelune-cli simulate [options]\n"
    "Serves a virtual instrument on a pseudo-terminal and prints its device path.\n"
    "Runs until interrupted (Ctrl+C) or terminated.\n"
    "\n"
    "  --link PATH           also make PATH a symbolic link to the device (removed at exit)\n"
    "  --serial N            serial number, 0..65279 (default 100)\n"
    "  --factory k0,...,k7   the 8 factory memory bytes, each 0..255\n"
    "                        (default 0,6,24,1,25,219,0,0)\n"
    "  --seed N              seed of the noise and the animals (default 1)\n"
    "  --no-animals          empty plate slot: beams never dip\n"
    "  --pace                send replies at the speed of 115200 baud\n"
    "faults:\n"
    "  --silent              never answer\n"
    "  --short-every N       every N-th reply loses its last byte\n"
    "  --bad-high            block replies carry a high byte above 15\n"
    "  --wrong-echo          verified writes echo a wrong byte\n"
    "  --delay MS            wait MS milliseconds (0..60000) before every reply\n"
    "  --dead C1,C2,...      channels (0..383) that always read 0\n"
    "  --crossed A,B,...     pairs of channels whose beams are crossed: each reads\n"
    "                        the light of the other's setting\n";

namespace {

const char* kPrefix = "orbelune-cli simulate: ";

bool ParseInt(const std::string& text, long long lo, long long hi, long long& value) {
  const char* b = text.data();
  const char* e = b + text.size();
  auto [p, ec] = std::from_chars(b, e, value);
  return !text.empty() && ec == std::errc() && p == e && value >= lo && value <= hi;
}

bool ParseList(const std::string& text, long long lo, long long hi, std::vector<long long>& values) {
  values.clear();
  std::size_t pos = 0;
  for (;;) {
    std::size_t comma = text.find(',', pos);
    long long v;
    if (!ParseInt(text.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos), lo, hi, v))
      return false;
    values.push_back(v);
    if (comma == std::string::npos) return true;
    pos = comma + 1;
  }
}

// The directory entry at path, without following a link: 0 none, 1 a link, 2 something else.
int EntryKind(const std::string& path) {
  struct stat st{};
  if (::lstat(path.c_str(), &st) != 0) return 0;
  return S_ISLNK(st.st_mode) ? 1 : 2;
}

bool LinkPointsTo(const std::string& link, const std::string& target) {
  std::error_code ec;
  auto t = std::filesystem::read_symlink(link, ec);
  return !ec && t.string() == target;
}

// Makes link point to target, replacing an existing link in one step.
// Refuses to replace anything that is not a symbolic link.
bool MakeLink(const std::string& link, const std::string& target, std::ostream& err) {
  if (EntryKind(link) == 2) {
    err << kPrefix << link << " exists and is not a symbolic link; not replaced\n";
    return false;
  }
  std::filesystem::path p(link);
  std::string tmp = (p.parent_path() / ("." + p.filename().string() + ".tmp" + std::to_string(::getpid()))).string();
  ::unlink(tmp.c_str());
  if (::symlink(target.c_str(), tmp.c_str()) != 0 || ::rename(tmp.c_str(), link.c_str()) != 0) {
    err << kPrefix << "cannot create the link " << link << ": " << std::strerror(errno) << "\n";
    ::unlink(tmp.c_str());
    return false;
  }
  return true;
}

}  // namespace

bool ParseSimulateOptions(const std::vector<std::string>& args, SimulateOptions& o, std::ostream& err) {
  static const char* const kWithValue[] = {"--link", "--serial", "--factory", "--seed", "--short-every", "--delay",
                                           "--dead", "--crossed"};
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    std::string value;
    bool hasValue = false;
    if (auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = name.substr(eq + 1);
      name = name.substr(0, eq);
      hasValue = true;
    }
    bool wantsValue = false;
    for (const char* w : kWithValue) wantsValue = wantsValue || name == w;
    if (wantsValue && !hasValue) {
      if (i + 1 >= args.size()) {
        err << kPrefix << name << " needs a value\n";
        return false;
      }
      value = args[++i];
    } else if (!wantsValue && hasValue) {
      err << kPrefix << name << " takes no value\n";
      return false;
    }

    auto bad = [&](const char* expected) {
      err << kPrefix << "invalid value for " << name << ": \"" << value << "\" (expected " << expected << ")\n";
      return false;
    };
    long long v = 0;
    std::vector<long long> list;
    Faults& f = o.instrument.faults;
    if (name == "-h" || name == "--help") {
      o.help = true;
    } else if (name == "--link") {
      if (value.empty()) return bad("a path");
      o.link = value;
    } else if (name == "--serial") {
      if (!ParseInt(value, 0, kMaxSerial, v)) return bad("a number 0..65279");
      o.instrument.serial = static_cast<int>(v);
    } else if (name == "--factory") {
      if (!ParseList(value, 0, 255, list) || list.size() != 8) return bad("8 numbers 0..255 separated by commas");
      for (int k = 0; k < 8; ++k) o.instrument.factory[k] = static_cast<int>(list[k]);
    } else if (name == "--seed") {
      if (!ParseInt(value, 0, 4294967295LL, v)) return bad("a number 0..4294967295");
      o.instrument.seed = static_cast<std::uint32_t>(v);
    } else if (name == "--short-every") {
      if (!ParseInt(value, 1, 1000000, v)) return bad("a number 1..1000000");
      f.shortReplyEvery = static_cast<int>(v);
    } else if (name == "--delay") {
      if (!ParseInt(value, 0, 60000, v)) return bad("milliseconds 0..60000");
      f.delayMs = static_cast<int>(v);
    } else if (name == "--dead") {
      if (!ParseList(value, 0, kChannels - 1, list)) return bad("channels 0..383 separated by commas");
      for (long long c : list) f.deadBeams.push_back(static_cast<int>(c));
    } else if (name == "--crossed") {
      if (!ParseList(value, 0, kChannels - 1, list) || list.size() % 2 != 0)
        return bad("pairs of channels 0..383 separated by commas");
      for (std::size_t p = 0; p < list.size(); p += 2)
        f.crossedBeams.emplace_back(static_cast<int>(list[p]), static_cast<int>(list[p + 1]));
    } else if (name == "--silent") {
      f.silent = true;
    } else if (name == "--bad-high") {
      f.badHighBytes = true;
    } else if (name == "--wrong-echo") {
      f.wrongEcho = true;
    } else if (name == "--pace") {
      o.instrument.paced = true;
    } else if (name == "--no-animals") {
      o.instrument.animals = false;
    } else {
      err << kPrefix << "unknown option " << name << "\n";
      return false;
    }
  }
  return true;
}

int RunSimulate(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  SimulateOptions o;
  if (!ParseSimulateOptions(args, o, err)) {
    err << "(see: orbelune-cli simulate --help)\n";
    return kSimulateUsage;
  }
  if (o.help) {
    out << kSimulateUsageText;
    return kSimulateOk;
  }

  // Block the stop signals before the server thread exists, so that it
  // inherits the mask and the signal is taken by sigwait below.
  sigset_t stopSignals, previous;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, &previous);
  struct RestoreMask {
    sigset_t mask;
    ~RestoreMask() { pthread_sigmask(SIG_SETMASK, &mask, nullptr); }
  } restore{previous};

  VirtualInstrument instrument(o.instrument);
  std::string path;
  try {
    path = instrument.start();
  } catch (const std::system_error& e) {
    err << kPrefix << "cannot open a pseudo-terminal: " << e.what() << "\n";
    return kSimulateDevice;
  }
  if (!o.link.empty() && !MakeLink(o.link, path, err)) return kSimulateFile;

  out << path << "\n" << std::flush;
  err << kPrefix << "virtual instrument serial " << o.instrument.serial << " on " << path;
  if (!o.link.empty()) err << " (link " << o.link << ")";
  err << (o.instrument.paced ? ", paced" : "") << "; stop with Ctrl+C\n" << std::flush;

  int signal = 0;
  while (sigwait(&stopSignals, &signal) != 0) {
  }
  instrument.stop();
  if (!o.link.empty() && LinkPointsTo(o.link, path)) ::unlink(o.link.c_str());
  err << kPrefix << "stopped (" << (signal == SIGINT ? "SIGINT" : "SIGTERM") << ")\n";
  return kSimulateOk;
}

}  // namespace orb::sim
