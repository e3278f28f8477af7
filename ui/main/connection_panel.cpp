#include "ui/main/connection_panel.h"

#include <QAction>
#include <QBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>

#include "app/remembered_port.h"
#include "device/connection.h"
#include "ui/app/program.h"
#include "ui/app/widgets.h"

namespace orb {

ConnectionPanel::ConnectionPanel(Program& program, ConnectionView view, QWidget* parent)
    : QObject(parent), program_(program) {
  cmd_connect = Named(new QPushButton("Connect", parent), "cmd_connect");
  Cmd_disconnect = Named(new QPushButton("Disconnect", parent), "Cmd_disconnect");
  Cmdoffline = Named(new QPushButton("<< Back", parent), "Cmdoffline");
  connect(cmd_connect, &QPushButton::clicked, this, [this] { connectInstrument(); });
  connect(Cmd_disconnect, &QPushButton::clicked, this, &ConnectionPanel::disconnectInstrument);
  connect(Cmdoffline, &QPushButton::clicked, this, &ConnectionPanel::backRequested);

  view.portMenu = [this](int n) { checkPort(n); };
  connection_ = std::make_unique<Connection>(program_.link, RememberedPortOf(program_.ws), std::move(view));
}

ConnectionPanel::~ConnectionPanel() = default;

void ConnectionPanel::addButtonsTo(QBoxLayout* row) {
  for (auto* b : {cmd_connect, Cmd_disconnect, Cmdoffline}) row->addWidget(b);
}

void ConnectionPanel::addPortMenu(QMenuBar* bar) {
  QMenu* port = bar->addMenu("&Port");
  for (int n = 1; n <= 15; ++n) {
    QAction* item = Named(port->addAction(QString("COM%1").arg(n)), "mncom1");
    item->setProperty("index", n);
    item->setCheckable(true);
    connect(item, &QAction::triggered, this, [this, n] { connection_->ChoosePort(n); });
    mncom1[n - 1] = item;
  }
}

void ConnectionPanel::addStatusLine(QStatusBar* bar) {
  instrumentStatus = Named(new QLabel(bar), "instrumentStatus");
  bar->addPermanentWidget(instrumentStatus, 1);
}

bool ConnectionPanel::connectInstrument() {
  if (beforeConnecting) beforeConnecting();
  const bool found = connection_->Connect();
  showInstrumentStatus();
  return found;
}

void ConnectionPanel::disconnectInstrument() {
  connection_->Disconnect();
  showInstrumentStatus();
}

void ConnectionPanel::checkPort(int port) {
  const auto checks = PortMenuChecks(port);
  for (int i = 0; i < kSearchPorts; ++i) mncom1[i]->setChecked(checks[i]);
}

void ConnectionPanel::followRun(bool active) {
  runActive_ = active;
  Cmdoffline->setEnabled(!active);
  cmd_connect->setEnabled(!active);
  showInstrumentStatus();
}

void ConnectionPanel::showInstrumentStatus() {
  const ConnectionState& c = program_.connection;
  QString text;
  if (c.connected) {
    text = QString("Instrument %1 connected on COM%2").arg(c.serial).arg(c.currentPort);
    text += c.factory.calibrated ? QString(", temperature calibrated %1/%2").arg(c.factory.month).arg(c.factory.year)
                                 : QString(", temperature not calibrated");
  } else if (c.offline) {
    text = "Offline: working without the instrument";
  } else {
    text = "Instrument not connected";
  }
  if (!program_.virtualInstrumentPath.empty())
    text += QString("   |   VIRTUAL INSTRUMENT (simulated on %1)").arg(Q(program_.virtualInstrumentPath));
  instrumentStatus->setText(text);
  for (auto* item : mncom1) item->setEnabled(!c.connected && !runActive_);
  Cmd_disconnect->setEnabled(c.connected && !runActive_);
}

}  // namespace orb
