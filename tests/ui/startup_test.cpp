// The desktop program's start and end, driven offscreen on a temporary data
// folder with a scripted operator.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "acquisition/engine.h"
#include "acquisition/run_control.h"
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

// One start of the program on a data folder.
using testing::Start;

void WriteFile(const std::filesystem::path& file, const std::string& bytes) {
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << bytes;
}

}  // namespace

class StartupTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void freshFolderEndsInAnEnabledChooserWithoutMessages() {
    testing::TempFolder data;
    InitDataFolder(data.path(), true);
    Start s(data.path());
    QVERIFY(s.main.load());
    QVERIFY(!s.program.ended);
    QCOMPARE(s.main.startupStage(), 9);
    QVERIFY(s.main.frmInit()->isVisible());
    QVERIFY(s.main.frmInit()->isEnabled());
    QVERIFY(!s.main.isVisible());
    QCOMPARE(s.main.frmInit()->LblNews->text(), QString("status = not connected yet"));
    QCOMPARE(s.main.frmInit()->Label_version->text(), QString("<< V3.6-API Rev04/22 >>"));
    QCOMPARE(s.control<QLineEdit>("txt_projecto")->text(), QString("1_Demo"));
    QVERIFY2(s.op.shown().empty(), s.op.shown().empty() ? "" : s.op.shown().front().text.c_str());
    // Start-up defaults on the main window.
    auto* organism = s.control<QComboBox>("Cmb_organism");
    QCOMPARE(organism->count(), 3);
    QCOMPARE(organism->currentText(), QString("C elegans(>L4)"));
    QCOMPARE(s.control<QLineEdit>("txt_snr_umbral")->text(), QString("1.8"));
    auto* bins = s.control<QComboBox>("combo_minutes");
    QCOMPARE(bins->count(), 10);
    QCOMPARE(bins->currentText(), QString("30"));
    QVERIFY(!s.control<QAction>("mn_userbin")->isChecked());
    QVERIFY(s.control<QAction>("mncal_off")->isChecked());
    QVERIFY(!s.control<QPushButton>("Cmd_readblank")->isVisibleTo(&s.main));
    QVERIFY(!s.control<QPushButton>("CmdPause")->isEnabled());
    QCOMPARE(s.control<QLineEdit>("txttemp")->text(), QString("20.0"));
    QCOMPARE(s.control<QLineEdit>("txt_lon")->text(), QString("9"));
    QCOMPARE(s.control<QLineEdit>("txt_loff")->text(), QString("21"));
  }

  void exitWithYesEndsWithoutTheSaveQuestion() {
    testing::TempFolder data;
    InitDataFolder(data.path(), true);
    Start s(data.path());
    QVERIFY(s.main.load());
    s.op.answer(Answer::No);
    QTest::mouseClick(s.main.frmInit()->Label_option[3], Qt::LeftButton);
    QVERIFY(!s.program.ended);
    s.op.answer(Answer::Yes);
    QTest::mouseClick(s.main.frmInit()->Label_option[3], Qt::LeftButton);
    QVERIFY(s.program.ended);
    QCOMPARE(s.program.exitCode, 0);
    QCOMPARE(s.op.texts(), (std::vector<std::string>{"Sure to Quit?", "Sure to Quit?"}));
    QVERIFY(!std::filesystem::exists(data / "p00001/setup.bak"));  // nothing saved
  }

  void closingTheMainWindowAsksTheSaveQuestion() {
    testing::TempFolder data;
    InitDataFolder(data.path(), true);
    Start s(data.path());
    QVERIFY(s.main.load());
    s.main.show();
    s.op.answer(Answer::Yes);
    s.main.close();
    QVERIFY(s.program.ended);
    QCOMPARE(s.op.texts(), (std::vector<std::string>{"Update values to project 1_Demo before Exit?"}));
    // Saved: the old setup.dat became setup.bak, waits of 300 ms on each side of a spin.
    QVERIFY(std::filesystem::exists(data / "p00001/setup.bak"));
    QCOMPARE(s.loop.sleptMs, 600LL);
    QCOMPARE(s.loop.processed, 1);
  }

  void closingWithNoSavesNothing() {
    testing::TempFolder data;
    InitDataFolder(data.path(), true);
    Start s(data.path());
    QVERIFY(s.main.load());
    s.op.answer(Answer::No);
    s.control<QAction>("mnexit")->trigger();
    QVERIFY(s.program.ended);
    QVERIFY(!std::filesystem::exists(data / "p00001/setup.bak"));
  }

  void missingConfigEndsWithItsMessage() {
    testing::TempFolder data;
    InitDataFolder(data.path(), false);
    std::filesystem::remove(data / "config.dat");
    Start s(data.path());
    QVERIFY(!s.main.load());
    QVERIFY(s.program.ended);
    QCOMPARE(s.program.exitCode, 1);
    QCOMPARE(s.op.texts(),
             (std::vector<std::string>{"Config file not found: Check correct software installation"}));
    QVERIFY(!std::filesystem::exists(data / "config.dat"));  // never created by the program
    QVERIFY(s.main.frmInit() == nullptr);
  }

  void damagedSetupIsRecoveredFromTheBackupWithItsMessages() {
    testing::TempFolder data;
    InitDataFolder(data.path(), true);
    auto setup = data / "p00001/setup.dat";
    std::filesystem::copy_file(setup, data / "p00001/setup.bak");
    WriteFile(setup, "\"Project Setup\"\r\n1,\"Demo\"\r\n");
    Start s(data.path());
    QVERIFY(s.main.load());
    QCOMPARE(s.op.texts(), (std::vector<std::string>{
                               "Error [\\p00001\\setup.dat] ID#1 => Loading values from: p00001\\",
                               "Warning!! PLEASE Re-Check setup values before RUN"}));
    QCOMPARE(s.control<QLineEdit>("txt_projecto")->text(), QString("1_Demo"));
    QVERIFY(s.main.frmInit()->isEnabled());
  }

  void damagedSetupOfProjectZeroFallsToDefaults() {
    testing::TempFolder data;
    InitDataFolder(data.path(), false);
    WriteFile(data / "setup.dat", std::string("\x00\x01garbage", 9));
    Start s(data.path());
    QVERIFY(s.main.load());
    // Read by the editor's load and again by the main window's load.
    const std::string first = "Error [\\p00000\\setup.dat] ID#1 => Loading default values...";
    const std::string warn = "Warning!! PLEASE Re-Check setup values before RUN";
    // The default plate code "96f" names no plate file: the built-in k96f.
    const std::string plate = "Error [\\96f.dat] ID#0 => Loading plate format from default: 384,96f or 96u...";
    QCOMPARE(s.op.texts(), (std::vector<std::string>{first, warn, plate, first, warn, plate}));
    QCOMPARE(s.ws.setup.Plate_format, std::string("k96f"));
    QCOMPARE(s.control<QLineEdit>("txt_projecto")->text(), QString("0_Default"));
  }

  void projectIdMismatchWarnsInTheStatusLineAndAMessage() {
    testing::TempFolder data;
    InitDataFolder(data.path(), true);
    auto setup = data / "p00001/setup.dat";
    std::string bytes = testing::TempFolder().read("none");  // empty
    std::ifstream in(setup, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
    bytes.replace(bytes.find("\r\n1,") + 2, 1, "5");
    WriteFile(setup, bytes);
    Start s(data.path());
    QVERIFY(s.main.load());
    QVERIFY(s.op.saw("Warning: Project ID# <> Folder Name [p001]"));
  }

  void autorunArgument() {
    testing::TempFolder data;
    InitDataFolder(data.path(), true);
    for (const auto& [line, expected] : std::vector<std::pair<QString, bool>>{
             {"/Run", true}, {"  /run  ", true}, {"/RUN", true}, {"-run", false}, {"/run now", false}}) {
      Start s(data.path(), line);
      s.isolatePorts();
      sim::VirtualInstrument instrument;
      s.program.ports.portMap().assign(4, instrument.start());
      QVERIFY(s.main.load());
      QCOMPARE(s.main.run().Autorun, expected);
      QCOMPARE(s.main.isVisible(), expected);
      QVERIFY(s.main.frmInit()->isVisible());  // the chooser stays open behind it
      QCOMPARE(s.main.engine().runState != kStopped, expected);
      s.main.run().StopRun();
      s.main.hide();
    }
    // No instrument: the failed search goes offline and no run starts.
    Start s(data.path(), "/run");
    s.isolatePorts();
    s.op.type(std::string());
    QVERIFY(s.main.load());
    QCOMPARE(int(s.main.engine().runState), int(kStopped));
    QVERIFY(s.op.saw("PORT NOT FOUND"));
    QVERIFY(!s.op.saw("Acquisition not allowed in OFFLINE MODE. Connect the equipment and press Connect."));
  }

  void toolFramesAndLightSettingsFollowTheProject() {
    testing::TempFolder data;
    InitDataFolder(data.path(), true);
    auto setup = data / "p00001/setup.dat";
    std::ifstream in(setup, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    in.close();
    // Tools: calibration hidden, light shown, temperature flag 7 (left as designed).
    bytes.replace(bytes.find("1,0,0,0,0,0\r\n"), 11, "0,1,7,0,0,0");
    // Light enabled with 3 pulses; set point out of range.
    bytes.replace(bytes.find("0,9,21,0,0,0"), 12, "1,0,18,3,15,25");
    bytes.replace(bytes.find("0,200,0,0,0,0"), 13, "1,501,0,0,0,0");
    WriteFile(setup, bytes);
    Start s(data.path());
    QVERIFY(s.main.load());
    QVERIFY(!s.control<QGroupBox>("frm_mn1")->isVisibleTo(&s.main));
    QVERIFY(s.control<QGroupBox>("Frame_light")->isVisibleTo(&s.main));
    QVERIFY(s.control<QGroupBox>("Frame_temp")->isVisibleTo(&s.main));
    QVERIFY(s.control<QCheckBox>("Chk_lenabled")->isChecked());
    auto* on = s.control<QLineEdit>("txt_lon");
    QCOMPARE(on->text(), QString("0"));
    QCOMPARE(s.control<QLineEdit>("txt_loff")->text(), QString("18"));
    QCOMPARE(s.control<QLineEdit>("txt_pulsetimes")->text(), QString("3"));
    QCOMPARE(s.control<QLineEdit>("txt_pulseon")->text(), QString("1.5"));
    QCOMPARE(s.control<QLineEdit>("txt_pulseoff")->text(), QString("2.5"));
    QVERIFY(s.control<QGroupBox>("frm_pulse")->isVisibleTo(&s.main));
    QVERIFY(!on->isEnabled());
    QVERIFY(s.control<QCheckBox>("Chk_tenabled")->isChecked());
    QCOMPARE(s.control<QLineEdit>("txttemp")->text(), QString("20.0"));
  }

  void hoverColoursAndBodyBendsOption() {
    testing::TempFolder data;
    InitDataFolder(data.path(), true);
    Start s(data.path());
    QVERIFY(s.main.load());
    Frm_Init* init = s.main.frmInit();
    QEvent enter(QEvent::Enter);
    QCoreApplication::sendEvent(init->frame_option[1], &enter);
    QCOMPARE(init->optionColour(1), QColor(255, 255, 192));
    for (int i : {0, 2, 3}) QCOMPARE(init->optionColour(i), QColor(255, 255, 255));
    QCoreApplication::sendEvent(init->Label_option[3], &enter);
    QCOMPARE(init->optionColour(3), QColor(255, 255, 192));
    QCOMPARE(init->optionColour(1), QColor(255, 255, 255));

    auto* bodyBends = s.control<QCheckBox>("chk_bodybends");
    bodyBends->setChecked(true);
    s.main.activate();
    QCOMPARE(s.control<QLineEdit>("txt_wellformat")->text(), QString("k96f"));
    QVERIFY(!bodyBends->isEnabled());
    QVERIFY(!bodyBends->isChecked());
    s.ws.setup.Plate_format = "k96u";
    s.main.activate();
    QVERIFY(bodyBends->isEnabled());

    // The logo opens the web site; Help > Content the help document of the
    // data folder, and names the folders it searched when there is none.
    QTest::mouseDClick(init->Image1, Qt::LeftButton);
    s.control<QAction>("mncontent")->trigger();
    QCOMPARE(s.launcher.opened.size(), size_t(1));
    QVERIFY(!s.op.texts().empty());
    QVERIFY(s.op.texts().back().find("orb_help.pdf was not found") != std::string::npos);
    QVERIFY(s.op.texts().back().find(data.path().string()) != std::string::npos);
    data.write("orb_help.pdf", "%PDF-1.4\n");
    s.control<QAction>("mncontent")->trigger();
    QCOMPARE(s.launcher.opened.size(), size_t(2));
    QCOMPARE(s.launcher.opened[1], (data / "orb_help.pdf").string());
  }
};

QTEST_MAIN(StartupTest)
#include "startup_test.moc"
