// The main window as its panels compose it: the controls under their
// documented names and captions, in the rows and the keyboard order the
// window always had; the calibration menus over the engine's one
// calibration state; the Tools menu, ">Edit" and "<< Back" across windows.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <vector>

#include "acquisition/engine.h"
#include "acquisition/run_control.h"
#include "app/data_folder.h"
#include "app/workspace.h"
#include "tests/support/temp_folder.h"
#include "tests/ui/ui_fixture.h"
#include "ui/app/frm_init.h"
#include "ui/setup/frm_setup.h"

using namespace orb;

namespace {

struct Start : testing::Start {
  explicit Start(const std::filesystem::path& data) : testing::Start(data) { isolatePorts(); }
};

// The names of the controls that Tab stops at, in the order it does.
std::vector<QString> TabOrder(QWidget& window) {
  std::vector<QString> names;
  for (QWidget* w = window.nextInFocusChain(); w && w != &window; w = w->nextInFocusChain())
    if ((w->focusPolicy() & Qt::TabFocus) && !w->objectName().isEmpty()) names.push_back(w->objectName());
  return names;
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void controlsKeepTheirNamesCaptionsRowsAndKeyboardOrder() {
    testing::TempFolder data;
    InitDataFolder(data.path(), true);
    Start s(data.path());
    QVERIFY(s.main.load());
    QCOMPARE(s.main.objectName(), QString("Frm_Main"));

    const std::vector<std::pair<const char*, const char*>> buttons = {
        {"CmdPlay", "Start"},       {"CmdPause", "Pause"},        {"CmdStop", "Stop"},
        {"cmd_connect", "Connect"}, {"Cmd_disconnect", "Disconnect"}, {"Cmdoffline", "<< Back"},
        {"Cmdsetup", ">Edit"},      {"cmd_calibra", "Fast CALIB"}, {"Cmd_autozero", "Fast ZERO"},
        {"Cmd_readblank", "Read Blank"}, {"Cmdreport", "Show my report"}};
    for (const auto& [name, caption] : buttons) QCOMPARE(s.control<QPushButton>(name)->text(), QString(caption));
    const std::vector<std::pair<const char*, const char*>> items = {
        {"mnexit", "Exit"},          {"mnCalibra", "Auto   Calibration"}, {"mnZero", "Auto   Zero"},
        {"mncal_on", "ON"},          {"mncal_off", "OFF"},                {"lght_ctl", "Light Control"},
        {"temp_ctl", "Temperature"}, {"mn_userbin", "User Defined BIN size"}, {"mncontent", "Content"},
        {"mnabout", "About"},        {"mnstatustest", "Test DEVICE"},     {"mn_factory", "Factory Settings"}};
    for (const auto& [name, caption] : items) QCOMPARE(s.control<QAction>(name)->text(), QString(caption));
    QStringList menus;
    for (QAction* a : s.main.menuBar()->actions()) menus << a->text();
    QCOMPARE(menus, QStringList({"&File", "&Calibration", "&Port", "&Tools", "&Report", "&Service", "&Help"}));
    for (const char* name : {"picturetime", "lblcalibrando", "lbl_temperature", "lbl_umbral", "frm_autotext",
                             "lbl_autotext", "lbl_autochannel", "picturecal", "Frame_light", "Frame_temp",
                             "instrumentStatus"})
      QVERIFY2(s.control<QWidget>(name) != nullptr, name);
    QVERIFY(s.control<QTimer>("Timerinicio") != nullptr);
    QCOMPARE(s.control<QGroupBox>("frm_mn1")->title(), QString("Calibration"));

    // The run's and the connection's buttons share one row, left to right,
    // and so do the temperature, the body-bends option and the report bin.
    s.main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&s.main));
    auto inOneRow = [&s](std::vector<const char*> names) {
      for (std::size_t i = 1; i < names.size(); ++i) {
        QWidget* left = s.control<QWidget>(names[i - 1]);
        QWidget* right = s.control<QWidget>(names[i]);
        if (left->geometry().right() >= right->x() || left->geometry().center().y() != right->geometry().center().y())
          return QString(names[i - 1]) + " is not left of " + names[i];
      }
      return QString();
    };
    QCOMPARE(inOneRow({"CmdPlay", "CmdPause", "CmdStop", "cmd_connect", "Cmd_disconnect", "Cmdoffline", "Cmdsetup",
                       "Txt_time"}),
             QString());
    QCOMPARE(inOneRow({"lbl_temperature", "chk_bodybends", "combo_minutes", "Cmdreport"}), QString());
    // The elapsed time of a long run shows whole.
    auto* time = s.control<QLineEdit>("Txt_time");
    QVERIFY(time->width() > time->fontMetrics().horizontalAdvance("00:00:00 [10d]"));

    // Tab goes through the rows as they show, then the tool frames, then
    // the live pictures' controls under them.
    const std::vector<QString> order = {
        "txt_projecto", "txt_wellformat", "txt_acqlapse", "Txt_description", "txt_subproject", "CmdPlay",
        "CmdPause", "CmdStop", "cmd_connect", "Cmd_disconnect", "Cmdoffline", "Cmdsetup", "Txt_time",
        "chk_bodybends", "combo_minutes", "Cmdreport", "combogrup", "lstgrup", "cmd_calibra", "Cmd_autozero", "Cmd_readblank",
        "Cmb_organism", "txt_snr_umbral", "Chk_lenabled", "txt_lon", "txt_loff", "cmd_luz", "cmd_cyclepulse",
        "cmd_nextwindows1", "txt_pulsetimes", "txt_pulseon", "txt_pulseoff", "Chk_tenabled", "cmd_nextwindows2",
        "txttemp", "Cmd_settemp", "cmd_frio", "cmd_ontemp", "Cmdzoom_minus", "txtzoom", "Cmdzoom_plus",
        "Combofila", "Combocol", "txtsub", "cmdbeam_minus", "txtbeam", "cmdbeam_plus", "Cmd_barplot",
        "Cmd_gridplot", "Cmd_histoplot", "cmd_pgdown", "cmd_pgup"};
    QCOMPARE(TabOrder(s.main), order);
    s.op.answer(Answer::No);
    s.main.close();
  }

  // The menus change the engine's calibration state, which run control
  // reads too; the window shows the state after every change.
  void calibrationMenusChangeTheEnginesState() {
    testing::TempFolder data;
    InitDataFolder(data.path(), true);
    Start s(data.path());
    QVERIFY(s.main.load());
    const CalibrationMenus& state = s.main.engine().calibration;
    auto* autoCalibration = s.control<QAction>("mnCalibra");
    auto* autoZero = s.control<QAction>("mnZero");
    auto* fastZero = s.control<QPushButton>("Cmd_autozero");
    auto* readBlank = s.control<QPushButton>("Cmd_readblank");
    // The load ends with calibration control off: both switches on, locked.
    QVERIFY(!state.calibrationControl && state.autoCalibrationMode && state.autoZeroMode);
    QVERIFY(autoZero->isChecked() && !autoZero->isEnabled());
    QVERIFY(!fastZero->isVisibleTo(&s.main));
    QVERIFY(s.main.frmSetup()->chkcalib->isChecked());
    QVERIFY(s.main.run().NamePrompt().find("Auto Calibration is ON") != std::string::npos);

    s.control<QAction>("mncal_on")->trigger();
    QVERIFY(state.calibrationControl);
    QVERIFY(autoCalibration->isEnabled() && autoZero->isEnabled());
    QVERIFY(readBlank->isVisibleTo(&s.main));
    QVERIFY(s.control<QAction>("mncal_on")->isChecked() && !s.control<QAction>("mncal_off")->isChecked());
    autoZero->trigger();
    QVERIFY(!state.autoZeroMode && state.autoCalibrationMode);
    QVERIFY(!autoZero->isChecked());
    QVERIFY(fastZero->isVisibleTo(&s.main));
    QVERIFY(!s.control<QPushButton>("cmd_calibra")->isVisibleTo(&s.main));
    QCOMPARE(int(s.ws.setup.MenuTable[Mn1][Enab_Zero]), 0);
    QVERIFY(s.main.run().NamePrompt().find("Auto Calibration is OFF") != std::string::npos);

    // OFF switches both on again and checks the setup window's box.
    s.main.frmSetup()->chkcalib->setChecked(false);
    s.control<QAction>("mncal_off")->trigger();
    QVERIFY(!state.calibrationControl && state.autoZeroMode);
    QVERIFY(autoZero->isChecked() && !autoZero->isEnabled());
    QVERIFY(!fastZero->isVisibleTo(&s.main) && !readBlank->isVisibleTo(&s.main));
    QVERIFY(s.main.frmSetup()->chkcalib->isChecked());
    QCOMPARE(int(s.ws.setup.MenuTable[Mn1][Enab_Zero]), 1);
  }

  void toolsMenuEditAndBackReachTheirWindows() {
    testing::TempFolder data;
    InitDataFolder(data.path(), true);
    Start s(data.path());
    QVERIFY(s.main.load());
    auto* light = s.control<QGroupBox>("Frame_light");
    QVERIFY(!light->isVisibleTo(&s.main));
    s.control<QAction>("lght_ctl")->trigger();
    QVERIFY(light->isVisibleTo(&s.main));
    QCOMPARE(s.op.texts(), std::vector<std::string>{"Only available in some hardware versions"});
    QCOMPARE(int(s.ws.setup.Menu(2)), 1);

    s.main.show();
    QTest::mouseClick(s.control<QPushButton>("Cmdsetup"), Qt::LeftButton);
    QVERIFY(s.main.frmSetup()->isVisible());
    s.main.frmSetup()->hide();

    // "<< Back" hands the description to the setup window and shows the
    // chooser; the setup window's way back hands it over again.
    s.control<QTextEdit>("Txt_description")->setPlainText("Dose 2");
    QTest::mouseClick(s.control<QPushButton>("Cmdoffline"), Qt::LeftButton);
    QVERIFY(!s.main.isVisible());
    QVERIFY(s.main.frmInit()->isVisible());
    QCOMPARE(s.main.frmSetup()->Txt_description->toPlainText(), QString("Dose 2"));
    s.main.frmSetup()->Txt_description->setPlainText("Dose 3");
    s.main.frmSetup()->close();
    QCOMPARE(s.control<QTextEdit>("Txt_description")->toPlainText(), QString("Dose 3"));
  }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
