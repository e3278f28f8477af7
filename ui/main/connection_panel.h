// The connection panel of the main window: "Connect", "Disconnect" and
// "<< Back", the port menu COM1..COM15 (mncom1, one item per port, told
// apart by its "index" property) and the status bar's instrument line. It
// owns the core's Connection, calls it on its buttons and menu items, and
// shows the connection state of the program.
#pragma once

#include <QObject>
#include <array>
#include <functional>
#include <memory>

#include "device/connection.h"

class QAction;
class QBoxLayout;
class QLabel;
class QMenuBar;
class QPushButton;
class QStatusBar;
class QWidget;

namespace orb {

struct Program;

class ConnectionPanel : public QObject {
  Q_OBJECT
 public:
  // `view` says where the connection's other texts go (the calibration
  // status frame, the chooser); the panel adds its port menu to it. The
  // buttons are created as children of `parent`.
  ConnectionPanel(Program& program, ConnectionView view, QWidget* parent);
  ~ConnectionPanel() override;

  // Where the window places the panel: the buttons in the window's row of
  // buttons, the port menu in its menu bar, the instrument line in its
  // status bar.
  void addButtonsTo(QBoxLayout* row);
  void addPortMenu(QMenuBar* bar);
  void addStatusLine(QStatusBar* bar);

  Connection& connection() { return *connection_; }
  // Runs before every connection (the program maps its virtual instrument here).
  std::function<void()> beforeConnecting;

  // cmd_connect: the port search and the factory calibration; true when
  // the instrument was found.
  bool connectInstrument();
  void disconnectInstrument();
  // The instrument line; the port cannot change under an open connection.
  void showInstrumentStatus();
  // The port menu's check marks: port `port` only.
  void checkPort(int port);
  // While a run (or a blank reading) is on, "<< Back", Connect, Disconnect
  // and the port menu are unavailable: each would take the instrument away
  // in the middle of a measurement.
  void followRun(bool active);

 Q_SIGNALS:
  void backRequested();  // "<< Back": to the chooser, the port stays open

 private:
  Program& program_;
  std::unique_ptr<Connection> connection_;
  QPushButton *cmd_connect = nullptr, *Cmd_disconnect = nullptr, *Cmdoffline = nullptr;
  bool runActive_ = false;
  std::array<QAction*, kSearchPorts> mncom1{};
  QLabel* instrumentStatus = nullptr;
};

}  // namespace orb
