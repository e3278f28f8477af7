// The light and temperature panels: validation on leaving a box, the manual
// buttons with the run-state rule, the indicators' colours and the menu
// items that show and hide the panels.
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "app/startup.h"
#include "app/workspace.h"
#include "device/device_link.h"
#include "device/port_settings.h"
#include "sim/model.h"
#include "sim/virtual_instrument.h"
#include "tests/support/scripted_seams.h"
#include "tests/support/temp_folder.h"
#include "tests/ui/ui_fixture.h"
#include "ui/main/outputs_panels.h"

using namespace orb;

namespace {

const QColor kGreen(0, 255, 0), kRed(255, 0, 0), kBlue(0, 0, 255), kWhite(255, 255, 255);

struct Bench {
  Bench() : ws(folder.path(), op), panels(state, ws, send(), [this] { return runState; }, &window) {
    window.show();
  }
  OutputSender send() {
    return [this](const OutputState& s) { codes.push_back(OutputCode(s)); };
  }
  // A control of the panels by its name.
  template <typename W>
  W* control(const char* name) {
    return testing::Find<W>(window, name);
  }
  QLineEdit* box(const char* name) { return control<QLineEdit>(name); }
  QPushButton* button(const char* name) { return control<QPushButton>(name); }
  // Types into a box and leaves it with <Enter>.
  void enter(const char* name, const QString& text) {
    QLineEdit* b = box(name);
    b->clear();
    QTest::keyClicks(b, text);
    QTest::keyClick(b, Qt::Key_Return);
  }
  testing::TempFolder folder;
  ScriptedOperator op;
  Workspace ws;
  OutputState state;
  std::vector<int> codes;
  int runState = 0;
  QWidget window;
  OutputPanels panels;
};

}  // namespace

class OutputPanelsTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void controlsCarryTheirNamesAndCaptions() {
    Bench b;
    for (const char* name : {"Frame_light", "Chk_lenabled", "txt_lon", "txt_loff", "txt_pulsetimes", "txt_pulseon",
                             "txt_pulseoff", "cmd_luz", "shape_light", "cmd_frio", "cmd_ontemp", "shape_temp",
                             "Chk_tenabled", "txttemp", "Cmd_settemp", "cmd_cyclepulse", "frm_pulse",
                             "cmd_nextwindows1", "cmd_nextwindows2", "Frame_temp"})
      QVERIFY2(b.window.findChild<QWidget*>(name) != nullptr, name);
    QCOMPARE(b.control<QGroupBox>("Frame_light")->title(), QString("Light Control"));
    QCOMPARE(b.control<QGroupBox>("Frame_temp")->title(), QString("Temperature"));
    QCOMPARE(b.button("Cmd_settemp")->text(), QString("SET"));
    QCOMPARE(b.button("cmd_cyclepulse")->text(), QString("Cycle/Pulse"));
    QCOMPARE(b.button("cmd_luz")->text(), QString("OFF"));
    QCOMPARE(b.button("cmd_frio")->text(), QString("COOL"));
    QCOMPARE(b.panels.lightIndicator(), kRed);
    QCOMPARE(b.panels.temperatureIndicator(), kWhite);
    QCOMPARE(ColourFromBgr(0xFF0000), kBlue);
    QCOMPARE(ColourFromBgr(0x0000FF), kRed);
    QCOMPARE(ColourFromBgr(0x123456), QColor(0x56, 0x34, 0x12));
  }

  void boxesAreCheckedOnLeaving() {
    Bench b;
    auto& mn2 = b.ws.setup.MenuTable[Mn2];
    b.enter("txt_lon", "7");
    QCOMPARE(b.box("txt_lon")->text(), QString("07"));
    QCOMPARE(int(mn2[Time_ON]), 7);
    b.enter("txt_lon", "24");
    QCOMPARE(b.box("txt_lon")->text(), QString("9"));
    QCOMPARE(int(mn2[Time_ON]), 9);
    b.enter("txt_loff", "");
    QCOMPARE(b.box("txt_loff")->text(), QString("21"));
    // Leaving by moving the focus checks the box as well.
    QVERIFY(QTest::qWaitForWindowActive(&b.window));
    b.box("txt_loff")->setFocus();
    b.box("txt_loff")->clear();
    QTest::keyClicks(b.box("txt_loff"), "22.5");
    b.box("txt_lon")->setFocus();
    QCOMPARE(b.box("txt_loff")->text(), QString("22"));
    QCOMPARE(int(mn2[Time_OFF]), 22);
    b.enter("txt_pulseon", "-5");
    QCOMPARE(b.box("txt_pulseon")->text(), QString("0"));
    b.enter("txt_pulseoff", "3");
    QCOMPARE(b.box("txt_pulseoff")->text(), QString("3.0"));
    QCOMPARE(int(mn2[PulseOffx10]), 30);
    QCOMPARE(b.op.texts(), (std::vector<std::string>{"Invalid value: 0 to 23", "Invalid value: 0 to 23",
                                                     "Invalid value: 0.0 to 1440.0"}));

    // Repetitions above 0 hand the light to the pulses: the hour boxes lock.
    b.enter("txt_pulsetimes", "2");
    QVERIFY(!b.box("txt_lon")->isEnabled());
    QVERIFY(!b.box("txt_loff")->isEnabled());
    QCOMPARE(int(mn2[PulseCount]), 2);
    b.enter("txt_pulsetimes", "x");
    QVERIFY(b.box("txt_lon")->isEnabled());
    QCOMPARE(b.box("txt_pulsetimes")->text(), QString("0"));
    QCOMPARE(b.op.texts().back(), std::string("Invalid value: 0-99"));

    // The set point: stored in tenths, taken by SET (also straight from the box).
    b.enter("txttemp", "30");
    QCOMPARE(b.box("txttemp")->text(), QString("30.0"));
    QCOMPARE(b.state.SetPoint, 20.0);  // not taken before SET
    b.button("Cmd_settemp")->click();
    QCOMPARE(b.state.SetPoint, 30.0);
    b.box("txttemp")->setText("12.5");
    b.button("Cmd_settemp")->click();
    QCOMPARE(b.state.SetPoint, 12.5);
    QCOMPARE(int(b.ws.setup.MenuTable[Mn3][Tempx10]), 125);
    b.op.clear();
    b.box("txttemp")->setText("99");
    b.button("Cmd_settemp")->click();
    QCOMPARE(b.op.texts(), std::vector<std::string>{"Invalid value: 5.0 to 50.0"});
    QCOMPARE(b.box("txttemp")->text(), QString("20"));
    QCOMPARE(b.state.SetPoint, 20.0);
  }

  void manualButtonsFollowTheRunState() {
    Bench b;
    // Stopped: sent at once, captions and colours follow.
    b.button("cmd_luz")->click();
    QCOMPARE(b.codes, std::vector<int>{4});
    QCOMPARE(b.button("cmd_luz")->text(), QString("ON"));
    QCOMPARE(b.panels.lightIndicator(), kGreen);
    b.button("cmd_frio")->click();
    QCOMPARE(b.button("cmd_frio")->text(), QString("HEAT"));
    b.button("cmd_ontemp")->click();
    QCOMPARE(b.codes, (std::vector<int>{4, 6, 7}));
    QCOMPARE(b.button("cmd_ontemp")->text(), QString("ON"));
    QCOMPARE(b.panels.temperatureIndicator(), kRed);
    b.button("cmd_frio")->click();  // cooling removes the power
    QCOMPARE(b.button("cmd_ontemp")->text(), QString("OFF"));
    QCOMPARE(b.panels.temperatureIndicator(), kWhite);
    b.button("cmd_ontemp")->click();
    QCOMPARE(b.panels.temperatureIndicator(), kBlue);
    QCOMPARE(b.codes.back(), 5);

    // Running: nothing leaves, the light indicator changes at once.
    b.runState = 1;
    b.codes.clear();
    b.button("cmd_luz")->click();
    b.button("cmd_ontemp")->click();
    QVERIFY(b.codes.empty());
    QCOMPARE(b.state.OutputsPending, std::int16_t(-1));
    QCOMPARE(b.panels.lightIndicator(), kRed);
    QCOMPARE(b.button("cmd_luz")->text(), QString("ON"));  // the caption waits for the send
    // The engine's progress check sends it through the panels' sender.
    ApplyPulseProgramme(b.state, b.ws.setup, 1.0, b.panels.sender());
    QCOMPARE(b.codes, std::vector<int>{0});
    QCOMPARE(b.button("cmd_luz")->text(), QString("OFF"));
    QCOMPARE(b.button("cmd_ontemp")->text(), QString("OFF"));
    // Paused: at once again.
    b.runState = 2;
    b.button("cmd_luz")->click();
    QCOMPARE(b.codes.back(), 4);
  }

  void checkBoxesMenusAndPulseFrame() {
    Bench b;
    b.control<QCheckBox>("Chk_lenabled")->click();
    QCOMPARE(b.state.LightTimerEnabled, std::int16_t(-1));
    QCOMPARE(int(b.ws.setup.MenuTable[Mn2][LightEnable]), 1);
    b.control<QCheckBox>("Chk_tenabled")->click();
    b.control<QCheckBox>("Chk_tenabled")->click();
    QCOMPARE(b.state.TempControlEnabled, std::int16_t(0));
    QCOMPARE(int(b.ws.setup.MenuTable[Mn3][TempEnable]), 0);

    QVERIFY(b.control<QGroupBox>("frm_pulse")->isHidden());
    b.button("cmd_cyclepulse")->click();
    QVERIFY(!b.control<QGroupBox>("frm_pulse")->isHidden());
    b.button("cmd_cyclepulse")->click();
    QVERIFY(b.control<QGroupBox>("frm_pulse")->isHidden());

    // A shown panel is hidden silently; a hidden one comes with the notice.
    b.panels.lght_ctl();
    QVERIFY(b.control<QGroupBox>("Frame_light")->isHidden());
    QCOMPARE(int(b.ws.setup.Menu(2)), 0);
    QVERIFY(b.op.shown().empty());
    b.panels.lght_ctl();
    QVERIFY(!b.control<QGroupBox>("Frame_light")->isHidden());
    QCOMPARE(int(b.ws.setup.Menu(2)), 1);
    b.panels.temp_ctl();
    b.panels.temp_ctl();
    QCOMPARE(int(b.ws.setup.Menu(3)), 1);
    QCOMPARE(b.op.texts(), (std::vector<std::string>{"Only available in some hardware versions",
                                                     "Only available in some hardware versions"}));

    // The load sequence's values.
    MainControls c;
    c.lightFrame = false;
    c.lightEnabled = true;
    c.timeOn = 6;
    c.timeOff = 18;
    c.pulseTimes = "3";
    c.pulseOn = "1.5";
    c.pulseOff = "3.0";
    c.pulseFrameVisible = true;
    c.lightBoxesEnabled = false;
    c.temperatureEnabled = true;
    c.setPointText = "25.0";
    b.panels.showProject(c);
    QVERIFY(b.control<QGroupBox>("Frame_light")->isHidden());
    QVERIFY(!b.control<QGroupBox>("Frame_temp")->isHidden());  // no value: left as it was
    QVERIFY(b.control<QCheckBox>("Chk_lenabled")->isChecked());
    QCOMPARE(b.box("txt_lon")->text(), QString("6"));
    QVERIFY(!b.box("txt_loff")->isEnabled());
    QVERIFY(!b.control<QGroupBox>("frm_pulse")->isHidden());
    QCOMPARE(b.box("txt_pulseon")->text(), QString("1.5"));
    QCOMPARE(b.state.TempControlEnabled, std::int16_t(-1));
    QCOMPARE(b.box("txttemp")->text(), QString("25.0"));
  }

  void buttonsReachTheInstrument() {
    sim::VirtualInstrument instrument;
    SerialPorts ports;
    ConnectionState connection;
    connection.currentPort = 3;
    CountingEventLoop loop;
    ScriptedOperator op;
    DeviceLink link(ports, connection, loop, op);
    QCOMPARE(ports.CommOpen(3, instrument.start(), kInstrumentPortSettings), CommResult::Ok);
    testing::TempFolder folder;
    Workspace ws(folder.path(), op);
    OutputState state;
    QWidget window;
    OutputPanels panels(state, ws, link, [] { return 0; }, &window);
    auto button = [&window](const char* name) { return testing::Find<QPushButton>(window, name); };
    button("cmd_frio")->click();
    button("cmd_ontemp")->click();
    button("cmd_luz")->click();
    QVERIFY(link.ReadTemperatureRaw() >= 0);  // every frame before it was taken
    QCOMPARE(instrument.model().outputs(), 7);
    button("cmd_frio")->click();
    QVERIFY(link.ReadTemperatureRaw() >= 0);
    QCOMPARE(instrument.model().outputs(), 4);
  }
};

QTEST_MAIN(OutputPanelsTest)
#include "outputs_panels_test.moc"
