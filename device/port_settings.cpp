#include "device/port_settings.h"

#include <termios.h>

#include <cctype>
#include <string>

namespace orb {
namespace {

struct Speed {
  int baud;
  speed_t code;
};

constexpr Speed kSpeeds[] = {
    {110, B110},         {300, B300},         {600, B600},         {1200, B1200},       {2400, B2400},
    {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},   {576000, B576000},
    {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000}, {2000000, B2000000},
    {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
};

std::optional<speed_t> SpeedCode(int baud) {
  for (const auto& s : kSpeeds)
    if (s.baud == baud) return s.code;
  return std::nullopt;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::optional<int> Whole(std::string_view s) {
  if (s.empty() || s.size() > 9) return std::nullopt;
  int n = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + (c - '0');
  }
  return n;
}

}  // namespace

std::optional<PortSettings> ParsePortSettings(std::string_view text) {
  PortSettings out;
  bool any = false;
  std::size_t i = 0;
  while (i < text.size()) {
    if (std::isspace(static_cast<unsigned char>(text[i]))) {
      ++i;
      continue;
    }
    std::size_t end = i;
    while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end]))) ++end;
    std::string item = Lower(text.substr(i, end - i));
    i = end;
    auto eq = item.find('=');
    if (eq == std::string::npos) return std::nullopt;
    std::string key = item.substr(0, eq);
    std::string value = item.substr(eq + 1);
    if (key == "baud") {
      auto b = Whole(value);
      if (!b || !SpeedCode(*b)) return std::nullopt;
      out.baud = *b;
    } else if (key == "parity") {
      if (value != "n" && value != "e" && value != "o") return std::nullopt;
      out.parity = static_cast<char>(std::toupper(static_cast<unsigned char>(value[0])));
    } else if (key == "data") {
      auto d = Whole(value);
      if (!d || *d < 5 || *d > 8) return std::nullopt;
      out.dataBits = *d;
    } else if (key == "stop") {
      if (value != "1" && value != "2") return std::nullopt;
      out.stopBits = value[0] - '0';
    } else {
      return std::nullopt;
    }
    any = true;
  }
  if (!any) return std::nullopt;
  return out;
}

bool ApplyPortSettings(const PortSettings& settings, termios& tio) {
  cfmakeraw(&tio);
  tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK);
  tio.c_cflag |= CLOCAL | CREAD;
  tio.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
  // Reads wait in poll() with their own deadlines; read() itself never blocks.
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  if (settings.baud) {
    auto code = SpeedCode(*settings.baud);
    if (!code || cfsetispeed(&tio, *code) != 0 || cfsetospeed(&tio, *code) != 0) return false;
  }
  if (settings.parity) {
    tio.c_cflag &= ~static_cast<tcflag_t>(PARENB | PARODD);
    if (*settings.parity == 'E') tio.c_cflag |= PARENB;
    if (*settings.parity == 'O') tio.c_cflag |= PARENB | PARODD;
  }
  if (settings.dataBits) {
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE);
    switch (*settings.dataBits) {
      case 5: tio.c_cflag |= CS5; break;
      case 6: tio.c_cflag |= CS6; break;
      case 7: tio.c_cflag |= CS7; break;
      default: tio.c_cflag |= CS8; break;
    }
  }
  if (settings.stopBits) {
    if (*settings.stopBits == 2) tio.c_cflag |= CSTOPB;
    else tio.c_cflag &= ~static_cast<tcflag_t>(CSTOPB);
  }
  return true;
}

}  // namespace orb
