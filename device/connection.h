// Finding and connecting the instrument: the main window's "Connect" and
// "Disconnect" buttons and its port menu, as plain logic. The window only
// moves the texts reported through ConnectionView into its widgets.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "device/device_link.h"

namespace orb {

inline constexpr int kSearchPorts = 15;  // COM1..COM15

// What the connection shows while it runs. Unset callbacks are skipped.
struct ConnectionView {
  std::function<void(const std::string&)> autochannel;  // lbl_autochannel caption
  std::function<void(const std::string&)> autotext;     // lbl_autotext caption
  std::function<void(const std::string&)> news;         // the start-up chooser's LblNews
  std::function<void(bool)> statusFrame;                // frm_autotext visible
  std::function<void(bool)> progressPicture;            // picturecal visible
  std::function<void(bool)> statusLabels;               // lbl_autotext and lbl_autochannel visible
  std::function<void()> repaint;                        // paint the labels now
  std::function<void(int)> portMenu;                    // mncom1: check item n, uncheck the others
  std::function<void()> showChooser;                    // show Frm_Init, hide Frm_Main
};

// The remembered port: the configuration's Serial_COM, and how to save it
// (config.dat).
struct RememberedPort {
  std::int16_t& port;
  std::function<void()> save;
};

// The main window's connection to the instrument. The current port follows
// the remembered port: Connect starts from it and every port change is
// written back to it (saved only where the program saves it: a port typed
// after a failed search, a port chosen from the menu).
class Connection {
 public:
  Connection(DeviceLink& link, RememberedPort remembered, ConnectionView view = {})
      : link_(link), remembered_(std::move(remembered)), view_(std::move(view)) {}

  // cmd_connect: search, then read the factory calibration. True when an
  // instrument was found and the port is left open.
  bool Connect();
  // The port search alone; true when an instrument was identified and its
  // port reopened.
  bool FindInstrument();
  // Cmd_disconnect: unless offline, closes the current port and clears the
  // connected flag.
  void Disconnect();
  // mncom1: port n (1..15) becomes current and the configuration is saved.
  // The port is not opened.
  void ChoosePort(int n);

  ConnectionState& state() { return link_.state(); }

 private:
  bool Search();
  void SetPort(int n);
  void OpeningPort(int n);
  void Show(const std::function<void(const std::string&)>& label, const std::string& text) {
    if (label) label(text);
  }
  void Show(const std::function<void(bool)>& widget, bool visible) {
    if (widget) widget(visible);
  }

  void SaveRememberedPort() {
    if (remembered_.save) remembered_.save();
  }

  DeviceLink& link_;
  RememberedPort remembered_;
  ConnectionView view_;
};

// "COM<n>: Port in use.": the remembered port is held by another program.
std::string PortInUseMessage(int port);

// Check marks of the port menu items COM1..COM15: only the current port's.
std::array<bool, kSearchPorts> PortMenuChecks(int currentPort);

// The text typed into the port input box as a port number, or nothing when
// it is empty or not a whole number.
std::optional<int> TypedPortNumber(const std::optional<std::string>& typed);

}  // namespace orb
