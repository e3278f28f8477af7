// The main window's Play, Pause and Stop against the virtual instrument:
// the timer drives the engine, the window follows the run state.
#include <QTest>

#include "acquisition/engine.h"
#include "acquisition/run_control.h"
#include "app/data_folder.h"
#include "app/project_files.h"
#include "app/workspace.h"
#include "tests/support/scripted_seams.h"
#include "sim/virtual_instrument.h"
#include "tests/support/temp_folder.h"
#include "tests/ui/ui_fixture.h"
#include "ui/app/frm_init.h"
#include "ui/main/frm_main.h"
#include "ui/app/program.h"

using namespace orb;

namespace {

struct Start : testing::Start {
  explicit Start(const std::filesystem::path& data) : testing::Start(data) { isolatePorts(); }
};

}  // namespace

class AcquisitionTest : public QObject {
  Q_OBJECT

 private slots:
  void playPauseStop() {
    testing::TempFolder data;
    InitDataFolder(data.path(), true);
    sim::VirtualInstrument instrument;
    Start s(data.path());
    s.program.ports.portMap().assign(4, instrument.start());
    QVERIFY(s.main.load());
    QTest::mouseClick(s.main.frmInit()->Label_option[1], Qt::LeftButton);
    QVERIFY(s.program.connection.connected);
    QVERIFY(s.main.CmdPlay->isEnabled());
    QVERIFY(!s.main.CmdPause->isEnabled());

    // A short recording without the automatic calibration.
    s.main.calibrationControlOn();
    s.main.mnCalibra->trigger();
    s.main.mnZero->trigger();
    QVERIFY(!s.main.AutoCalibrationMode && !s.main.AutoZeroMode);
    s.ws.setup.RT_Buffer = 20;
    s.ws.setup.Save_real = 0;
    s.main.Txt_description->setPlainText("two lines\nof text");
    s.main.Cmb_organism->setCurrentIndex(1);  // Zebrafish: the factor 2.8
    emit s.main.Cmb_organism->activated(1);
    s.op.type(std::string("UI run"));
    QTest::mouseClick(s.main.CmdPlay, Qt::LeftButton);
    QCOMPARE(int(s.main.engine().runState), int(kRunning));
    QCOMPARE(s.main.engine().SnrFactor, 2.8);  // the window's factor counts
    QVERIFY(s.main.Timeradq->isActive());
    QCOMPARE(s.main.Timeradq->interval(), 30);
    QVERIFY(!s.main.CmdPlay->isEnabled());
    QVERIFY(s.main.CmdPause->isEnabled());
    QVERIFY(!s.main.Cmdoffline->isEnabled());
    QVERIFY(!s.main.txt_snr_umbral->isEnabled());
    QCOMPARE(s.main.txt_subproject->text(), QString("UI run"));
    const auto folder = s.main.run().lastFolder;
    QVERIFY(std::filesystem::exists(folder / "subproj.dat"));

    // The timer runs the engine: two intervals of 20 samples.
    QTRY_VERIFY_WITH_TIMEOUT(CountsRecordCount(folder) >= 2, 20000);
    QVERIFY(s.main.Txt_time->text().endsWith("[0d]"));
    QVERIFY(s.main.lbl_temperature->text().startsWith("T = "));

    // Pause with the clock stopped, then resume.
    s.op.answer(Answer::Yes);
    QTest::mouseClick(s.main.CmdPause, Qt::LeftButton);
    QCOMPARE(int(s.main.engine().runState), int(kPaused));
    QVERIFY(!s.main.Timeradq->isActive());
    QCOMPARE(s.main.lbl_autochannel->text(), QString("Time Counter = OFF"));
    QCOMPARE(s.main.lbl_autotext->text(), QString("<< PAUSED >>"));
    QTest::mouseClick(s.main.CmdPause, Qt::LeftButton);
    QCOMPARE(int(s.main.engine().runState), int(kRunning));
    QVERIFY(s.main.Timeradq->isActive());

    QTest::mouseClick(s.main.CmdStop, Qt::LeftButton);
    QCOMPARE(int(s.main.engine().runState), int(kStopped));
    QVERIFY(!s.main.Timeradq->isActive());
    QVERIFY(s.main.CmdPlay->isEnabled());
    QVERIFY(s.main.Cmdoffline->isEnabled());
    QVERIFY(s.main.CmdStop->isEnabled());  // Stop is never disabled
    const auto records = CountsRecordCount(folder);
    QTest::qWait(200);
    QCOMPARE(CountsRecordCount(folder), records);  // nothing more after Stop

    s.op.answer(Answer::No);
    s.main.close();
  }

  // "/run" connects and starts "Autorun project" without the name dialog.
  void autorunRecordsAtOnce() {
    testing::TempFolder data;
    InitDataFolder(data.path(), true);
    sim::VirtualInstrument instrument;
    orb::testing::Start s(data.path(), "/run");
    s.isolatePorts();
    s.program.ports.portMap().assign(4, instrument.start());
    s.ws.setup.Save_real = 0;
    QVERIFY(s.main.load());
    QVERIFY(s.program.connection.connected);
    QCOMPARE(int(s.main.engine().runState), int(kRunning));
    QVERIFY(s.op.prompts().empty());
    QCOMPARE(s.main.txt_subproject->text(), QString("Autorun project"));
    QCOMPARE(ReadSubprojectName(s.main.run().lastFolder), std::string("Autorun project"));
    QTest::mouseClick(s.main.CmdStop, Qt::LeftButton);
    s.op.answer(Answer::No);
    s.main.close();
  }

  void readBlankSetsTheBands() {
    testing::TempFolder data;
    InitDataFolder(data.path(), true);
    sim::VirtualInstrument instrument;
    Start s(data.path());
    s.program.ports.portMap().assign(4, instrument.start());
    QVERIFY(s.main.load());
    QTest::mouseClick(s.main.frmInit()->Label_option[1], Qt::LeftButton);
    s.main.calibrationControlOn();
    s.ws.setup.Threshold_Counter = 60;
    for (auto& b : s.ws.thresholds) b = 0;
    QTest::mouseClick(s.main.Cmd_readblank, Qt::LeftButton);
    QVERIFY(s.main.engine().BlankReading);
    QCOMPARE(s.main.lblcalibrando->text(), QString("Setting Blank.... (60 samples)"));
    QVERIFY(!s.main.CmdPlay->isEnabled());
    QVERIFY(!s.main.CmdPause->isEnabled());
    QVERIFY(!s.main.Cmdsetup->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(!s.main.engine().BlankReading, 20000);
    QVERIFY(!s.main.Timeradq->isActive());
    QVERIFY(s.main.lblcalibrando->isHidden());
    QVERIFY(s.main.CmdPlay->isEnabled());
    // ">Edit" and "<< Back" come back with Stop, not with the end of the blank.
    QVERIFY(!s.main.Cmdsetup->isEnabled());
    QVERIFY(!s.main.Cmdoffline->isEnabled());
    QVERIFY(s.main.Cmb_organism->isEnabled());
    QTest::mouseClick(s.main.CmdStop, Qt::LeftButton);
    QVERIFY(s.main.Cmdsetup->isEnabled());
    QVERIFY(s.main.Cmdoffline->isEnabled());
    // A used beam got a band of at least 1 percent from its noise.
    QVERIFY(s.ws.thresholds[0] >= 1.0);
    s.op.answer(Answer::No);
    s.main.close();
  }

  void organismAndDetectionFactor() {
    testing::TempFolder data;
    InitDataFolder(data.path(), true);
    Start s(data.path());
    QVERIFY(s.main.load());
    s.main.show();
    s.main.Cmb_organism->setCurrentIndex(1);
    emit s.main.Cmb_organism->activated(1);
    QCOMPARE(s.main.txt_snr_umbral->text(), QString("2.8"));
    QVERIFY(s.main.txt_snr_umbral->isHidden());
    QCOMPARE(s.main.lbl_umbral->text(), QString(">>>>"));
    QCOMPARE(int(s.ws.setup.MenuTable[Mn1][Organism]), 1);

    QTest::mouseClick(s.main.lbl_umbral, Qt::LeftButton);
    QVERIFY(!s.main.txt_snr_umbral->isHidden());
    QCOMPARE(s.main.lbl_umbral->text(), QString("> Zero SNR:"));

    s.main.txt_snr_umbral->setText("5.01");
    emit s.main.txt_snr_umbral->editingFinished();
    QVERIFY(s.op.saw("Invalid value: 1.1 to 5.0"));
    QCOMPARE(s.main.txt_snr_umbral->text(), QString("1.8"));
    QCOMPARE(s.main.Cmb_organism->currentIndex(), 2);
    QCOMPARE(int(s.ws.setup.MenuTable[Mn1][SNRx10]), 18);

    s.op.clear();
    s.main.txt_snr_umbral->setText("3");
    emit s.main.txt_snr_umbral->editingFinished();
    QVERIFY(s.op.shown().empty());
    QCOMPARE(s.main.txt_snr_umbral->text(), QString("3.0"));
    QCOMPARE(int(s.ws.setup.MenuTable[Mn1][SNRx10]), 30);
    QCOMPARE(s.main.SnrFactor, 3.0);
    s.op.answer(Answer::No);
    s.main.close();
  }
};

QTEST_MAIN(AcquisitionTest)
#include "acquisition_test.moc"
