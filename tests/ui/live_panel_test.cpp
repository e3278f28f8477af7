// The main window's live pictures during a run on the virtual instrument:
// the widgets hold what the display model says, and the operator's clicks
// reach it.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <algorithm>

#include "acquisition/engine.h"
#include "acquisition/live_display.h"
#include "acquisition/run_control.h"
#include "app/data_folder.h"
#include "app/project_files.h"
#include "sim/virtual_instrument.h"
#include "tests/support/temp_folder.h"
#include "tests/ui/ui_fixture.h"
#include "ui/app/frm_init.h"
#include "ui/plots/plot_widget.h"

using namespace orb;

namespace {

int CountItems(const PlotScene& scene, PlotItem::Kind kind, PlotColour colour) {
  return static_cast<int>(std::count_if(scene.items.begin(), scene.items.end(), [&](const PlotItem& i) {
    return i.kind == kind && i.colour == colour;
  }));
}

// The longest red polyline of the trace: the samples drawn so far.
std::size_t RedPoints(const PlotScene& scene) {
  std::size_t most = 0;
  for (const PlotItem& i : scene.items)
    if (i.kind == PlotItem::Kind::Polyline && i.colour == kPlotRed) most = std::max(most, i.points.size());
  return most;
}

// A recording started by "/run" on the demo project (k96f, six groups).
struct RunningDemo {
  explicit RunningDemo(const std::function<void(ProjectSetup&)>& edit = {}) {
    InitDataFolder(data.path(), true);
    if (edit) {
      ScriptedOperator op;
      Workspace ws(data.path(), op);
      ws.config.Actual_Project_Number = 1;
      ws.ProjectPath = data.path() / "p00001";
      LoadProject(ws, 1);
      edit(ws.setup);
      SaveProject(ws);
    }
    s = std::make_unique<testing::Start>(data.path(), "/run");
    s->isolatePorts();
    s->program.ports.portMap().assign(4, instrument.start());
    s->ws.setup.Save_real = 0;
  }
  testing::TempFolder data;
  sim::VirtualInstrument instrument;
  std::unique_ptr<testing::Start> s;
};

}  // namespace

class LivePanelTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void picturesFollowTheRun() {
    RunningDemo d;
    testing::Start& s = *d.s;
    QVERIFY(s.main.load());
    QCOMPARE(int(s.main.engine().runState), int(kRunning));
    auto* trace = s.control<PlotWidget>("Picreal");
    auto* activity = s.control<PlotWidget>("Picact");
    // The trace moves: its red samples grow with the ticks, under the
    // blue (or light blue) threshold, on the trace's fixed scale.
    QTRY_VERIFY_WITH_TIMEOUT(RedPoints(trace->scene()) > 20, 20000);
    const std::size_t before = RedPoints(trace->scene());
    QTRY_VERIFY_WITH_TIMEOUT(RedPoints(trace->scene()) > before, 10000);
    QCOMPARE(trace->scene().top, 2100.0);
    QCOMPARE(trace->scene().right, double(s.ws.setup.RT_Buffer + 20));
    QVERIFY(CountItems(trace->scene(), PlotItem::Kind::Polyline, kPlotBlue) +
                CountItems(trace->scene(), PlotItem::Kind::Polyline, kPlotLightBlue) >
            0);

    // The group list holds the project's groups; a group shows its wells.
    auto* groups = s.control<QComboBox>("combogrup");
    const auto entries = GroupListEntries(s.ws.groups);
    QCOMPARE(groups->count(), int(entries.size()));
    QVERIFY(groups->count() >= 2);
    groups->setCurrentIndex(1);
    Q_EMIT groups->activated(1);
    auto* wells = s.control<QListWidget>("lstgrup");
    QVERIFY(wells->count() > 0);
    QCOMPARE(wells->currentRow(), 0);
    // The first well of the group is taken: the beam is the plate's.
    LiveDisplay model;
    const BeamChoice first =
        model.TakeEntry(wells->item(0)->text().toStdString(), s.ws.plate, s.ws.groups);
    QVERIFY(first.taken);
    QCOMPARE(s.control<QLabel>("lblcanal")->text(), QString::fromStdString(first.lblcanal));
    QCOMPARE(s.main.liveDisplay().SelectedBeam, first.beam);
    QCOMPARE(activity->scene().left, -30.0);

    // ">" steps to the next entry and takes it.
    QTest::mouseClick(s.control<QPushButton>("cmdbeam_plus"), Qt::LeftButton);
    QCOMPARE(wells->currentRow(), 1);
    QCOMPARE(s.control<QLineEdit>("txtbeam")->text(), wells->item(1)->text());
    const BeamChoice second = model.TakeEntry(wells->item(1)->text().toStdString(), s.ws.plate, s.ws.groups);
    QCOMPARE(s.main.liveDisplay().SelectedBeam, second.beam);

    // A beam-in-well above the plate's highest (k96f: 1) is lowered.
    auto* sub = s.control<QLineEdit>("txtsub");
    sub->setText("5");
    Q_EMIT sub->editingFinished();
    QCOMPARE(sub->text(), QString("1"));

    // The plate map: one red-outlined box per well of the plate.
    QTest::mouseClick(s.control<QPushButton>("Cmd_gridplot"), Qt::LeftButton);
    int wellBoxes = 0;
    for (const PlotItem& i : activity->scene().items)
      if (i.kind == PlotItem::Kind::Box && i.filled && !i.noOutline && i.colour == kPlotRed) ++wellBoxes;
    QCOMPARE(wellBoxes, 96);
    // The bar plot: six groups, no pages.
    QTest::mouseClick(s.control<QPushButton>("Cmd_barplot"), Qt::LeftButton);
    QCOMPARE(activity->scene().left, -30.0);
    QVERIFY(s.control<QPushButton>("cmd_pgup")->isHidden());

    // Zoom stops at 10.
    for (int i = 0; i < 11; ++i) QTest::mouseClick(s.control<QPushButton>("Cmdzoom_plus"), Qt::LeftButton);
    QCOMPARE(s.control<QLineEdit>("txtzoom")->text(), QString("10"));
    QTest::mouseClick(s.control<QPushButton>("Cmdzoom_minus"), Qt::LeftButton);
    QCOMPARE(s.control<QLineEdit>("txtzoom")->text(), QString("9"));

    // The histogram needs the body-bends mode, which k96f has not.
    QVERIFY(!s.control<QPushButton>("Cmd_histoplot")->isEnabled());
    QTest::mouseClick(s.control<QPushButton>("CmdStop"), Qt::LeftButton);
    s.op.answer(Answer::No);
    s.main.close();
  }

  // A run without a name records nothing but shows the same live pictures:
  // watching the plate is what it is for.
  void monitorModeShowsThePictures() {
    testing::TempFolder data;
    InitDataFolder(data.path(), true);
    sim::VirtualInstrument instrument;
    testing::Start s(data.path());
    s.isolatePorts();
    s.program.ports.portMap().assign(4, instrument.start());
    QVERIFY(s.main.load());
    QTest::mouseClick(s.main.frmInit()->Label_option[1], Qt::LeftButton);
    QVERIFY(s.program.connection.connected);
    s.control<QAction>("mncal_on")->trigger();
    s.control<QAction>("mnCalibra")->trigger();
    s.op.type(std::string());
    s.op.answer(Answer::Ok);
    QTest::mouseClick(s.control<QPushButton>("CmdPlay"), Qt::LeftButton);
    QCOMPARE(int(s.main.engine().runState), int(kRunning));
    QVERIFY(!s.main.engine().Recording);
    auto* trace = s.control<PlotWidget>("Picreal");
    QTRY_VERIFY_WITH_TIMEOUT(RedPoints(trace->scene()) > 20, 20000);
    QTest::mouseClick(s.control<QPushButton>("CmdStop"), Qt::LeftButton);
    s.op.answer(Answer::No);
    s.main.close();
  }

  // The body-bends box on a k96u project: checked, it warns and enables the
  // histogram plot; cleared, it disables it again.
  void bodyBendsFollowsThePlate() {
    testing::TempFolder data;
    InitDataFolder(data.path(), true);
    {
      ScriptedOperator op;
      Workspace ws(data.path(), op);
      ws.config.Actual_Project_Number = 1;
      ws.ProjectPath = data.path() / "p00001";
      LoadProject(ws, 1);
      ws.setup.Plate_format = "k96u";
      SaveProject(ws);
    }
    testing::Start s(data.path());
    s.isolatePorts();
    QVERIFY(s.main.load());
    s.main.show();
    auto* box = s.control<QCheckBox>("chk_bodybends");
    auto* histo = s.control<QPushButton>("Cmd_histoplot");
    QVERIFY(box->isEnabled());
    QVERIFY(!histo->isEnabled());
    QTest::mouseClick(box, Qt::LeftButton);
    QVERIFY(box->isChecked());
    QVERIFY(histo->isEnabled());
    QVERIFY(s.op.saw(kBodyBendsWarning));
    QTest::mouseClick(histo, Qt::LeftButton);
    // The histogram plot pages through the groups.
    QVERIFY(!s.control<QPushButton>("cmd_pgup")->isHidden());
    QTest::mouseClick(box, Qt::LeftButton);
    QVERIFY(!box->isChecked());
    QVERIFY(!histo->isEnabled());
    s.main.close();
  }
};

QTEST_MAIN(LivePanelTest)
#include "live_panel_test.moc"
