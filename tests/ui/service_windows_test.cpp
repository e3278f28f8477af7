// "Test DEVICE" and "Factory Settings" in the main window, against the
// virtual instrument on a pseudo-terminal.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "acquisition/engine.h"
#include "app/data_folder.h"
#include "common/fileio.h"
#include "sim/model.h"
#include "sim/virtual_instrument.h"
#include "tests/support/temp_folder.h"
#include "tests/ui/ui_fixture.h"
#include "ui/app/frm_init.h"
#include "ui/plots/plot_widget.h"
#include "ui/service/frm_device_test.h"
#include "ui/service/frm_factory.h"
#include "ui/service/service_windows.h"

using namespace orb;

namespace {

QAction* MenuItem(QMainWindow& main, const char* name) {
  for (QAction* a : testing::MenuItems(main, "&Service"))
    if (a->objectName() == name) return a;
  qFatal("no menu item %s", name);
  return nullptr;
}

// The program on a data folder whose COM6 is `instrument`, connected through
// "Run Latest Project".
struct Connected : testing::Start {
  Connected(const std::filesystem::path& data, const std::string& instrument) : testing::Start(data) {
    isolatePorts();
    program.ports.portMap().assign(6, instrument);
    if (!main.load()) qFatal("load failed");
    QTest::mouseClick(main.frmInit()->Label_option[1], Qt::LeftButton);
    if (!program.connection.connected) qFatal("not connected");
  }
};

}  // namespace

class ServiceWindowsTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void factorySettingsCalibrateTheInstrument() {
    testing::TempFolder data;
    InitDataFolder(data.path(), true);
    sim::VirtualInstrument instrument;
    Connected s(data.path(), instrument.start());
    QAction* mn_factory = MenuItem(s.main, "mn_factory");
    QCOMPARE(mn_factory->text(), QString("Factory Settings"));

    // Refused during a run.
    s.main.engine().runState = 1;
    mn_factory->trigger();
    QVERIFY(s.op.saw("Only possible to access in: ONLINE mode and STOP experiment"));
    QVERIFY(!s.main.service().factory());
    s.main.engine().runState = 0;

    s.main.show();
    mn_factory->trigger();
    Frm_Factory* f = s.main.service().factory();
    QVERIFY(f && f->isVisible());
    QVERIFY(!s.main.isVisible());
    QCOMPARE(f->lblserial->text(), QString("SERIAL : ORBL00100"));
    QCOMPARE(f->txt_mensaje->text(), QString("OK Last Factory Calibration 06/24 [mm/yy]"));
    QCOMPARE(f->txt_set_temp->text(), QString("25.0"));
    QVERIFY(f->Timer_temp->isActive());
    QCOMPARE(f->Timer_temp->interval(), 1000);
    f->onTimer();
    QCOMPARE(f->txt_current_temp->text(), QString("22.0"));

    f->txt_set_temp->setText("50.1");
    QTest::mouseClick(f->Cmd_temp, Qt::LeftButton);
    QVERIFY(s.op.saw("invalid Calibration Parameter: value must be between 4°C and 50°C"));
    QCOMPARE(int(instrument.model().factoryByte(1)), 6);

    f->txt_set_temp->setText("23.5");
    QTest::mouseClick(f->Cmd_temp, Qt::LeftButton);
    QCOMPARE(f->txt_mensaje->text(), QString("OK Last Factory Calibration 04/22 [mm/yy]"));  // the fake clock's date
    QCOMPARE(int(instrument.model().factoryByte(1)), 4);
    QCOMPARE(int(instrument.model().factoryByte(2)), 22);
    f->onTimer();
    QCOMPARE(f->txt_current_temp->text(), QString("23.5"));

    f->close();
    QVERIFY(!f->Timer_temp->isActive());
    QVERIFY(s.main.isVisible());
    s.op.answer(Answer::No);
    s.main.close();
  }

  void deviceTestReportsADeadBeam() {
    testing::TempFolder data;
    InitDataFolder(data.path(), true);
    sim::InstrumentOptions o;
    o.animals = false;
    o.faults.deadBeams = {85};
    sim::VirtualInstrument instrument(o);
    Connected s(data.path(), instrument.start());
    QAction* mnstatustest = MenuItem(s.main, "mnstatustest");
    QCOMPARE(mnstatustest->text(), QString("Test DEVICE"));

    s.main.engine().runState = 1;
    mnstatustest->trigger();
    QVERIFY(s.op.saw("Stop acquisition before Testing"));
    s.main.engine().runState = 0;

    s.op.clear();
    s.op.answer(Answer::Cancel);
    mnstatustest->trigger();
    Frm_DeviceTest* t = s.main.service().deviceTest();
    QVERIFY(!t->Timer_test->isActive());

    s.op.answer(Answer::Ok).answer(Answer::Yes);
    mnstatustest->trigger();
    QVERIFY(t->Timer_test->isActive());
    QCOMPARE(t->Timer_test->interval(), 200);
    QCOMPARE(t->lbl_temperature->text(), QString("SN100"));
    QVERIFY(t->lbl_autostart->isVisible());
    QCOMPARE(t->lbl_autostart->text(), QString("Open and close Orbelune Door to see sensing changes"));
    int ticks = 0;
    while (t->Timer_test->isActive() && ticks < 200) {
      t->onTick();
      ++ticks;
      if (ticks == 1) QCOMPARE(t->Timer_test->interval(), 100);
    }
    QCOMPARE(ticks, 111);
    QCOMPARE(t->lbl_temperature->text(), QString("T = __ °C"));
    QVERIFY(!t->lbl_autostart->isVisible());
    QCOMPARE(t->picture->scene().items.size(), std::size_t(2 * 384 + 1));
    const std::string report = (data / "testdev100.txt").string();
    QCOMPARE(s.launcher.opened, std::vector<std::string>{report});
    const std::string text = ReadWholeFile(report).value_or("");
    QVERIFY(text.find("\r\nCol[6]: NONPASS 15          CH > 80% (NONOK:CH85[0%], ); 368CH < 20% (NONOK:)\r\n") !=
            std::string::npos);

    // A run started during a test stops it at the next tick.
    s.op.answer(Answer::Ok);
    mnstatustest->trigger();
    QVERIFY(t->Timer_test->isActive());
    s.main.engine().runState = 1;
    t->onTick();
    QVERIFY(!t->Timer_test->isActive());
    QCOMPARE(t->test().end(), SelfTestEnd::Cancelled);
    s.main.engine().runState = 0;
    s.op.answer(Answer::No);
    s.main.close();
  }
};

QTEST_MAIN(ServiceWindowsTest)
#include "service_windows_test.moc"
