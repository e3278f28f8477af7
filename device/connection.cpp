#include "device/connection.h"

#include <cctype>
#include <exception>

#include "common/seams.h"
#include "device/port_settings.h"

namespace orb {
namespace {

// Accepted serial numbers: the remembered port needs 15..200, the search
// takes 10..200.
constexpr int kRememberedMinSerial = 15;
constexpr int kSearchMinSerial = 10;
constexpr int kMaxSerial = 200;
constexpr int kSearchAttempts = 2;

std::string ComName(int n) { return "COM" + std::to_string(n); }

}  // namespace

std::string PortInUseMessage(int port) { return ComName(port) + ": Port in use."; }

std::array<bool, kSearchPorts> PortMenuChecks(int currentPort) {
  std::array<bool, kSearchPorts> checks{};
  for (int i = 0; i < kSearchPorts; ++i) checks[i] = (i + 1 == currentPort);
  return checks;
}

std::optional<int> TypedPortNumber(const std::optional<std::string>& typed) {
  if (!typed) return std::nullopt;
  std::string_view s = *typed;
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  bool negative = false;
  if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  if (s.empty() || s.size() > 6) return std::nullopt;
  int n = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + (c - '0');
  }
  return negative ? -n : n;
}

void Connection::SetPort(int n) {
  state().currentPort = static_cast<std::int16_t>(n);
  remembered_.port = static_cast<std::int16_t>(n);
}

void Connection::OpeningPort(int n) {
  Show(view_.autochannel, "Opening Port [" + std::to_string(n) + "]");
  if (view_.repaint) view_.repaint();
  link_.loop().processEvents();
  link_.loop().sleepMs(100);
}

bool Connection::FindInstrument() {
  try {
    return Search();
  } catch (const UnansweredQuestion&) {
    throw;  // nobody can answer the input box: not a fault of the port
  } catch (const std::exception&) {
    link_.ports().CommClose(state().currentPort);
    state().offline = true;
    return false;
  }
}

bool Connection::Search() {
  ConnectionState& st = state();
  SerialPorts& ports = link_.ports();
  EventLoop& loop = link_.loop();
  Operator& op = link_.op();
  bool found = false;

  // The remembered port first.
  const int remembered = st.currentPort;
  OpeningPort(remembered);
  const CommResult opened = ports.CommOpen(remembered, ComName(remembered), kInstrumentPortSettings);
  if (opened == CommResult::PortInUse) {
    // Held by another program (or another copy of this one): say so rather
    // than let the search end in a plain "PORT NOT FOUND".
    Show(view_.autochannel, PortInUseMessage(remembered));
    op.inform(PortInUseMessage(remembered));
  }
  if (opened == CommResult::Ok) {
    int serial = link_.ReadSerialNumber();
    found = serial >= kRememberedMinSerial && serial <= kMaxSerial;
    st.serial = static_cast<std::int16_t>(found ? serial : 0);
    ports.CommClose(remembered);
  }
  if (!found) SetPort(0);

  // Then COM1..COM15 in turn.
  while (!found && st.currentPort < kSearchPorts) {
    const int n = st.currentPort + 1;
    SetPort(n);
    OpeningPort(n);
    if (ports.CommOpen(n, ComName(n), kInstrumentPortSettings) != CommResult::Ok) continue;
    for (int attempt = 0; attempt < kSearchAttempts; ++attempt) {
      loop.sleepMs(10);
      int serial = link_.ReadSerialNumber();
      if (serial >= kSearchMinSerial && serial <= kMaxSerial) {
        found = true;
        st.serial = static_cast<std::int16_t>(serial);
        Show(view_.news, "Status = Connected on COM[ " + std::to_string(n) + " ]");
        Show(view_.autochannel, "Connected on COM[ " + std::to_string(n) + " ]");
        break;
      }
      st.serial = 0;
    }
    ports.CommClose(n);
  }

  if (found) {
    st.offline = false;
  } else {
    st.serial = 0;
    const int n = st.currentPort;
    auto typed = op.input("COM(" + std::to_string(n) + ") PORT ERROR. Type New Port number or <Enter> to go Offline",
                          "", "");
    auto number = TypedPortNumber(typed);
    if (!number || *number < 1 || *number > kSearchPorts) {
      st.offline = true;
    } else {
      SetPort(*number);
      if (ports.CommOpen(*number, ComName(*number), kInstrumentPortSettings) != CommResult::Ok) {
        op.inform("Invalid Port Number. Offline Mode");
        st.offline = true;
      } else {
        // Remembered for the next "Connect"; no instrument is identified on
        // it in this run.
        SaveRememberedPort();
        ports.CommClose(*number);
      }
    }
  }

  // The instrument's port stays open from here on.
  if (found && !st.offline &&
      ports.CommOpen(st.currentPort, ComName(st.currentPort), kInstrumentPortSettings) != CommResult::Ok) {
    // Taken by someone else between the search and now: not connected.
    found = false;
    st.serial = 0;
  }
  return found;
}

bool Connection::Connect() {
  ConnectionState& st = state();
  // A connection still open is closed first, or the search would find its
  // own port busy and lose the instrument.
  if (st.connected && !st.offline) link_.ports().CommClose(st.currentPort);
  st.connected = false;

  Show(view_.autochannel, "STARTING.....");
  Show(view_.autotext, "CONNECTING:");
  Show(view_.progressPicture, false);
  Show(view_.statusFrame, true);
  if (view_.repaint) view_.repaint();

  SetPort(remembered_.port);
  const bool found = FindInstrument();
  if (view_.portMenu) view_.portMenu(st.currentPort);
  st.factory.slope = kDefaultSlope;
  st.factory.offset = kDefaultOffset;

  if (st.offline || !found) {
    // Also when a port was typed but no instrument identified on it: the
    // program is not connected then, whatever the offline flag says.
    Show(view_.autochannel, "Equipment not found");
    link_.op().inform("PORT NOT FOUND");
    if (view_.showChooser) view_.showChooser();
  } else {
    Show(view_.autochannel, "Reading Factory Calibration...");
    if (view_.repaint) view_.repaint();
    st.connected = true;
    link_.ReadFactoryCalibration();
  }

  Show(view_.statusFrame, false);
  Show(view_.progressPicture, true);
  Show(view_.statusLabels, true);
  Show(view_.autochannel, "");
  Show(view_.autotext, "");
  return st.connected;
}

void Connection::Disconnect() {
  ConnectionState& st = state();
  if (st.offline) return;
  link_.ports().CommClose(st.currentPort);
  st.connected = false;
}

void Connection::ChoosePort(int n) {
  if (n < 1 || n > kSearchPorts) return;
  SetPort(n);
  if (view_.portMenu) view_.portMenu(n);
  SaveRememberedPort();
}

}  // namespace orb
