// The main window's connection to the instrument, against the virtual
// instrument on a pseudo-terminal.
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "app/data_folder.h"
#include "app/workspace.h"
#include "sim/virtual_instrument.h"
#include "tests/support/scripted_seams.h"
#include "tests/support/temp_folder.h"
#include "tests/ui/ui_fixture.h"
#include "ui/app/frm_init.h"
#include "ui/app/program.h"
#include "ui/main/frm_main.h"

using namespace orb;

namespace {

struct Start : testing::Start {
  explicit Start(const std::filesystem::path& data) : testing::Start(data) { isolatePorts(); }
};

}  // namespace

class ConnectionTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void runLatestProjectConnectsToTheInstrument() {
    testing::TempFolder data;
    InitDataFolder(data.path(), true);
    sim::VirtualInstrument instrument;
    const std::string path = instrument.start();
    Start s(data.path());
    s.program.ports.portMap().assign(6, path);  // found by the search, not at the remembered COM4
    QVERIFY(s.main.load());

    QTest::mouseClick(s.main.frmInit()->Label_option[1], Qt::LeftButton);
    QVERIFY(s.program.connection.connected);
    QCOMPARE(int(s.program.connection.currentPort), 6);
    QCOMPARE(int(s.program.connection.serial), 100);
    QVERIFY(s.program.connection.factory.calibrated);
    QCOMPARE(s.program.connection.factory.offset, -2.5);
    QVERIFY(s.program.ports.isOpen(6));
    QCOMPARE(s.main.frmInit()->LblNews->text(), QString("Status = Connected on COM[ 6 ]"));
    const QList<QAction*> ports = s.portMenu();
    QVERIFY(ports[5]->isChecked());
    QVERIFY(!ports[3]->isChecked());
    QVERIFY(!ports[0]->isEnabled());  // no port change under an open connection
    QVERIFY(s.control<QLabel>("instrumentStatus")->text().contains("Instrument 100 connected on COM6"));
    QVERIFY(!s.control<QGroupBox>("frm_autotext")->isVisibleTo(&s.main));
    QCOMPARE(s.control<QLabel>("lbl_autochannel")->text(), QString());
    QVERIFY(s.op.shown().empty());

    // Disconnect closes the port; Connect searches again and finds it.
    QTest::mouseClick(s.control<QPushButton>("Cmd_disconnect"), Qt::LeftButton);
    QVERIFY(!s.program.connection.connected);
    QVERIFY(!s.program.ports.isOpen(6));
    QTest::mouseClick(s.control<QPushButton>("cmd_connect"), Qt::LeftButton);
    QVERIFY(s.program.connection.connected);
    QVERIFY(s.program.ports.isOpen(6));

    // Closing the main window closes the port.
    s.op.answer(Answer::No);
    s.main.close();
    QVERIFY(!s.program.ports.isOpen(6));
  }

  void noInstrumentGoesOfflineBackToTheChooser() {
    testing::TempFolder data;
    InitDataFolder(data.path(), true);
    Start s(data.path());
    QVERIFY(s.main.load());
    s.op.type(std::string());  // <Enter>: offline
    QTest::mouseClick(s.main.frmInit()->Label_option[1], Qt::LeftButton);
    QVERIFY(!s.program.connection.connected);
    QVERIFY(s.program.connection.offline);
    QCOMPARE(s.op.prompts(),
             (std::vector<std::string>{"COM(15) PORT ERROR. Type New Port number or <Enter> to go Offline"}));
    QCOMPARE(s.op.texts(), (std::vector<std::string>{"PORT NOT FOUND"}));
    QVERIFY(s.main.frmInit()->isVisible());
    QVERIFY(!s.main.isVisible());
    QVERIFY(s.portMenu()[14]->isChecked());
    QVERIFY(s.control<QLabel>("instrumentStatus")->text().startsWith("Offline"));
    // Offline: closing asks nothing and touches no port.
    s.main.close();
    QVERIFY(s.program.ended);
    QCOMPARE(s.op.texts().size(), size_t(1));
  }

  void portMenuChoosesAndSavesThePort() {
    testing::TempFolder data;
    InitDataFolder(data.path(), true);
    Start s(data.path());
    QVERIFY(s.main.load());
    const QList<QAction*> ports = s.portMenu();
    QCOMPARE(ports.size(), 15);
    for (QAction* item : ports) QCOMPARE(item->objectName(), QString("mncom1"));
    QVERIFY(ports[3]->isChecked());  // COM4 from config.dat
    ports[8]->trigger();
    QVERIFY(ports[8]->isChecked());
    QVERIFY(!ports[3]->isChecked());
    QCOMPARE(ports[8]->property("index").toInt(), 9);
    QVERIFY(data.read("config.dat").ends_with("\r\n1,1,9,0\r\n"));
  }
};

QTEST_MAIN(ConnectionTest)
#include "connection_test.moc"
