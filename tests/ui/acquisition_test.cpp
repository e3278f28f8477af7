// The main window's Play, Pause and Stop against the virtual instrument:
// the timer drives the engine, the window follows the run state.
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include "acquisition/engine.h"
#include "acquisition/run_control.h"
#include "app/data_folder.h"
#include "app/project_files.h"
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

class AcquisitionTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void playPauseStop() {
    testing::TempFolder data;
    InitDataFolder(data.path(), true);
    sim::VirtualInstrument instrument;
    Start s(data.path());
    s.program.ports.portMap().assign(4, instrument.start());
    QVERIFY(s.main.load());
    QTest::mouseClick(s.main.frmInit()->Label_option[1], Qt::LeftButton);
    QVERIFY(s.program.connection.connected);
    auto* play = s.control<QPushButton>("CmdPlay");
    auto* pause = s.control<QPushButton>("CmdPause");
    auto* stop = s.control<QPushButton>("CmdStop");
    auto* timer = s.control<QTimer>("Timeradq");
    QVERIFY(play->isEnabled());
    QVERIFY(!pause->isEnabled());

    // A short recording without the automatic calibration.
    s.control<QAction>("mncal_on")->trigger();
    s.control<QAction>("mnCalibra")->trigger();
    s.control<QAction>("mnZero")->trigger();
    const CalibrationMenus& calibration = s.main.engine().calibration;
    QVERIFY(!calibration.autoCalibrationMode && !calibration.autoZeroMode);
    s.ws.setup.RT_Buffer = 20;
    s.ws.setup.Save_real = 0;
    s.control<QTextEdit>("Txt_description")->setPlainText("two lines\nof text");
    auto* organism = s.control<QComboBox>("Cmb_organism");
    organism->setCurrentIndex(1);  // Zebrafish: the factor 2.8
    Q_EMIT organism->activated(1);
    s.op.type(std::string("UI run"));
    QTest::mouseClick(play, Qt::LeftButton);
    QCOMPARE(int(s.main.engine().runState), int(kRunning));
    QCOMPARE(calibration.snrFactor, 2.8);  // the window's factor counts
    QVERIFY(timer->isActive());
    QCOMPARE(timer->interval(), 30);
    QVERIFY(!play->isEnabled());
    QVERIFY(pause->isEnabled());
    QVERIFY(!s.control<QPushButton>("Cmdoffline")->isEnabled());
    // Nothing can take the instrument away in the middle of the run.
    QVERIFY(!s.control<QPushButton>("Cmd_disconnect")->isEnabled());
    QVERIFY(!s.control<QPushButton>("cmd_connect")->isEnabled());
    QVERIFY(!s.control<QLineEdit>("txt_snr_umbral")->isEnabled());
    QCOMPARE(s.control<QLineEdit>("txt_subproject")->text(), QString("UI run"));
    const auto folder = s.main.run().lastFolder;
    QVERIFY(std::filesystem::exists(folder / "subproj.dat"));

    // The timer runs the engine: two intervals of 20 samples.
    QTRY_VERIFY_WITH_TIMEOUT(CountsRecordCount(folder) >= 2, 20000);
    QVERIFY(s.control<QLineEdit>("Txt_time")->text().endsWith("[0d]"));
    QVERIFY(s.control<QLabel>("lbl_temperature")->text().startsWith("T="));
    QVERIFY(s.control<QLabel>("lbl_temperature")->text().endsWith("*C"));

    // Pause with the clock stopped, then resume.
    s.op.answer(Answer::Yes);
    QTest::mouseClick(pause, Qt::LeftButton);
    QCOMPARE(int(s.main.engine().runState), int(kPaused));
    QVERIFY(!timer->isActive());
    QCOMPARE(s.control<QLabel>("lbl_autochannel")->text(), QString("Time Counter = OFF"));
    QCOMPARE(s.control<QLabel>("lbl_autotext")->text(), QString("<< PAUSED >>"));
    QTest::mouseClick(pause, Qt::LeftButton);
    QCOMPARE(int(s.main.engine().runState), int(kRunning));
    QVERIFY(timer->isActive());

    QTest::mouseClick(stop, Qt::LeftButton);
    QCOMPARE(int(s.main.engine().runState), int(kStopped));
    QVERIFY(!timer->isActive());
    QVERIFY(play->isEnabled());
    QVERIFY(s.control<QPushButton>("Cmdoffline")->isEnabled());
    QVERIFY(s.control<QPushButton>("Cmd_disconnect")->isEnabled());
    QVERIFY(s.control<QPushButton>("cmd_connect")->isEnabled());
    QVERIFY(stop->isEnabled());  // Stop is never disabled
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
    QCOMPARE(s.control<QLineEdit>("txt_subproject")->text(), QString("Autorun project"));
    QCOMPARE(ReadSubprojectName(s.main.run().lastFolder), std::string("Autorun project"));
    QTest::mouseClick(s.control<QPushButton>("CmdStop"), Qt::LeftButton);
    s.op.answer(Answer::No);
    s.main.close();
  }

  // An instrument that stops answering during a run: a notice under the
  // progress bar, not a dialog, that stays while the link is lost, says when
  // it is back, and goes with Stop.
  void linkNoticeFollowsTheInstrument() {
    testing::TempFolder data;
    InitDataFolder(data.path(), true);
    sim::VirtualInstrument instrument;
    orb::testing::Start s(data.path(), "/run");
    s.isolatePorts();
    s.program.ports.portMap().assign(4, instrument.start());
    s.ws.setup.Save_real = 0;
    QVERIFY(s.main.load());
    QCOMPARE(int(s.main.engine().runState), int(kRunning));
    auto* notice = s.control<QLabel>("lbl_linknotice");
    QVERIFY(notice->isHidden());
    const auto lostText = LinkLostText(std::chrono::milliseconds(5000));
    s.main.engine().hooks.linkChanged(true, lostText);
    QVERIFY(!notice->isHidden());
    QCOMPARE(notice->text(), QString::fromStdString(lostText));
    QVERIFY(s.op.prompts().empty());  // nothing modal
    s.main.engine().hooks.linkChanged(false, LinkBackText(std::chrono::milliseconds(9000)));
    QCOMPARE(notice->text(), QString("Instrument link back after 9 s without a valid reply."));
    QVERIFY(!notice->isHidden());
    s.main.engine().hooks.linkChanged(true, lostText);
    // The engine's watch says lost while the run stops: the notice goes.
    s.main.engine().linkWatch.Observe(false, std::chrono::hours(1));
    QTest::mouseClick(s.control<QPushButton>("CmdStop"), Qt::LeftButton);
    s.op.answer(Answer::No);
    QVERIFY(notice->isHidden());
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
    s.control<QAction>("mncal_on")->trigger();
    s.ws.setup.Threshold_Counter = 60;
    for (auto& b : s.ws.thresholds) b = 0;
    auto* play = s.control<QPushButton>("CmdPlay");
    auto* edit = s.control<QPushButton>("Cmdsetup");
    auto* back = s.control<QPushButton>("Cmdoffline");
    auto* blankLabel = s.control<QLabel>("lblcalibrando");
    QTest::mouseClick(s.control<QPushButton>("Cmd_readblank"), Qt::LeftButton);
    QVERIFY(s.main.engine().BlankReading);
    QCOMPARE(blankLabel->text(), QString("Setting Blank.... (60 samples)"));
    QVERIFY(!play->isEnabled());
    QVERIFY(!s.control<QPushButton>("CmdPause")->isEnabled());
    QVERIFY(!edit->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(!s.main.engine().BlankReading, 20000);
    QVERIFY(!s.control<QTimer>("Timeradq")->isActive());
    QVERIFY(blankLabel->isHidden());
    QVERIFY(play->isEnabled());
    // ">Edit" and "<< Back" come back with Stop, not with the end of the blank.
    QVERIFY(!edit->isEnabled());
    QVERIFY(!back->isEnabled());
    QVERIFY(s.control<QComboBox>("Cmb_organism")->isEnabled());
    QTest::mouseClick(s.control<QPushButton>("CmdStop"), Qt::LeftButton);
    QVERIFY(edit->isEnabled());
    QVERIFY(back->isEnabled());
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
    auto* organism = s.control<QComboBox>("Cmb_organism");
    auto* box = s.control<QLineEdit>("txt_snr_umbral");
    auto* label = s.control<QLabel>("lbl_umbral");
    organism->setCurrentIndex(1);
    Q_EMIT organism->activated(1);
    QCOMPARE(box->text(), QString("2.8"));
    QVERIFY(box->isHidden());
    QCOMPARE(label->text(), QString(">>>>"));
    QCOMPARE(int(s.ws.setup.MenuTable[Mn1][Organism]), 1);

    QTest::mouseClick(label, Qt::LeftButton);
    QVERIFY(!box->isHidden());
    QCOMPARE(label->text(), QString("> Zero SNR:"));

    box->setText("5.01");
    Q_EMIT box->editingFinished();
    QVERIFY(s.op.saw("Invalid value: 1.1 to 5.0"));
    QCOMPARE(box->text(), QString("1.8"));
    QCOMPARE(organism->currentIndex(), 2);
    QCOMPARE(int(s.ws.setup.MenuTable[Mn1][SNRx10]), 18);

    s.op.clear();
    box->setText("3");
    Q_EMIT box->editingFinished();
    QVERIFY(s.op.shown().empty());
    QCOMPARE(box->text(), QString("3.0"));
    QCOMPARE(int(s.ws.setup.MenuTable[Mn1][SNRx10]), 30);
    QCOMPARE(s.main.engine().calibration.snrFactor, 3.0);
    s.op.answer(Answer::No);
    s.main.close();
  }
};

QTEST_MAIN(AcquisitionTest)
#include "acquisition_test.moc"
