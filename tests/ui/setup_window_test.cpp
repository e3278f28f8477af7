// The project editor as a new user meets it: opened from the chooser, its
// boxes clamp and refuse as the core says, the plate picture assigns wells,
// New creates a project, the project saved reloads with its groups, and the
// command line makes the same project with the same files.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <sstream>

#include "app/data_folder.h"
#include "app/project_files.h"
#include "cli/commands.h"
#include "common/fileio.h"
#include "plate/plate_format.h"
#include "tests/support/temp_folder.h"
#include "tests/ui/ui_fixture.h"
#include "ui/app/frm_init.h"
#include "ui/setup/frm_setup.h"
#include "ui/setup/plate_widget.h"

using namespace orb;

namespace {

// The pixel of the widget where the user point (x, y) is drawn.
QPoint PixelOf(const PlotWidget& w, double x, double y) {
  const PlotScene& s = w.scene();
  return QPoint(static_cast<int>((x - s.left) / (s.right - s.left) * w.width()),
                static_cast<int>((y - s.top) / (s.bottom - s.top) * w.height()));
}

QPoint WellCentre(const PlotWidget& w, const PlateFormat& plate, int well) {
  const Box b = WellBox(plate, well);
  return PixelOf(w, (b.x1 + b.x2) / 2, (b.y1 + b.y2) / 2);
}

}  // namespace

class SetupWindowTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void editorCreatesAProjectWithItsGroups() {
    testing::TempFolder data;
    InitDataFolder(data.path(), true);
    testing::Start s(data.path());
    s.isolatePorts();
    QVERIFY(s.main.load());
    QTest::mouseClick(s.main.frmInit()->Label_option[0], Qt::LeftButton);
    Frm_setup& editor = *s.main.frmSetup();
    QVERIFY(editor.isVisible());
    auto find = [&](auto* type, const char* name) { return testing::Find<std::remove_pointer_t<decltype(type)>>(editor, name); };

    // The boxes: the lapse clamps at 32000, the buffer comes back to 200,
    // a non-number is refused and the value kept.
    auto* lapse = find((QLineEdit*)nullptr, "Txtlapse");
    lapse->setText("40000");
    Q_EMIT lapse->editingFinished();
    QCOMPARE(lapse->text(), QString("32000"));
    QCOMPARE(int(s.ws.setup.Aq_lapse), 32000);
    auto* buffer = find((QLineEdit*)nullptr, "Txtbuffer");
    buffer->setText("150");
    Q_EMIT buffer->editingFinished();
    QCOMPARE(buffer->text(), QString("200"));
    QCOMPARE(int(s.ws.setup.RT_Buffer), 200);
    auto* sample = find((QLineEdit*)nullptr, "Txtsample");
    const int rate = s.ws.setup.Sample_Rate;
    sample->setText("fast");
    Q_EMIT sample->editingFinished();
    QCOMPARE(int(s.ws.setup.Sample_Rate), rate);
    QCOMPARE(sample->text(), QString::number(rate));

    // The groups: clear them, then a left click puts well A1 into the
    // selected group 0 and a left drag from B1 to C2 four more wells.
    s.op.answer(Answer::Yes);
    QTest::mouseClick(find((QPushButton*)nullptr, "Cmd_clear"), Qt::LeftButton);
    auto* picture = find((PlateWidget*)nullptr, "Picwell");
    auto* inGroup = find((QListWidget*)nullptr, "lstgrup");
    QCOMPARE(inGroup->count(), 0);
    const PlateFormat& plate = s.ws.plate;  // k96f: two beams a well
    QTest::mouseClick(picture, Qt::LeftButton, {}, WellCentre(*picture, plate, 0));
    QCOMPARE(inGroup->count(), 2);
    QTest::mousePress(picture, Qt::LeftButton, {}, WellCentre(*picture, plate, 1));
    QTest::mouseMove(picture, WellCentre(*picture, plate, 2 + plate.Rows));
    QTest::mouseRelease(picture, Qt::LeftButton, {}, WellCentre(*picture, plate, 2 + plate.Rows));
    QCOMPARE(inGroup->count(), 2 + 4 * 2);
    // A right click frees A1 again.
    QTest::mouseClick(picture, Qt::RightButton, {}, WellCentre(*picture, plate, 0));
    QCOMPARE(inGroup->count(), 4 * 2);
    QCOMPARE(int(s.ws.groups.ChannelGroup[static_cast<std::size_t>(plate.wellMap(0, 0))]), -1);

    // New: a project made as a copy of the current one, with its groups.
    s.op.answer(Answer::Ok);
    s.op.type(std::string("Editor test"));
    QTest::mouseClick(find((QPushButton*)nullptr, "Cmdnewpj"), Qt::LeftButton);
    QCOMPARE(s.ws.config.Actual_Project_Number, 2);
    QCOMPARE(find((QLineEdit*)nullptr, "txtprj")->text(), QString("2_Editor test"));
    picture->saveImage("/tmp/orbelune-setup-picture.png");
    editor.grab().save("/tmp/orbelune-setup-window.png");

    // The project reloads with its groups from its files.
    Workspace fresh(data.path(), s.op);
    fresh.config.Actual_Project_Number = 2;
    fresh.ProjectPath = data.path() / "p00002";
    LoadProject(fresh, 2);
    QCOMPARE(fresh.setup.Name, std::string("Editor test"));
    QCOMPARE(int(fresh.setup.Aq_lapse), 32000);
    QCOMPARE(fresh.groups.ChannelGroup, s.ws.groups.ChannelGroup);

    // A plate change acts 200 ms after the choice, asks, clears the groups
    // and loads the plate; the picture and lists follow.
    auto* plates = find((QComboBox*)nullptr, "Combowell");
    const int k96u = plates->findText("k96u");
    QVERIFY(k96u >= 0);
    s.op.answer(Answer::Yes);
    plates->setCurrentIndex(k96u);
    Q_EMIT plates->activated(k96u);
    QVERIFY(!s.op.saw("Load New Plate configuration?"));  // not before the list has closed
    QTRY_COMPARE(QString::fromStdString(s.ws.setup.Plate_format), QString("k96u"));
    QVERIFY(s.op.saw("Load New Plate configuration?"));
    QCOMPARE(inGroup->count(), 0);
    QCOMPARE(find((QListWidget*)nullptr, "lstchgrup")->count(), 96);  // one beam a well
    s.main.close();

    // The same project made with the command line has the same files.
    testing::TempFolder cli;
    InitDataFolder(cli.path(), true);
    const std::string dir = cli.path().string();
    std::ostringstream out, err;
    for (const std::vector<std::string>& command :
         std::vector<std::vector<std::string>>{{"--data", dir, "project", "new", "--name", "Editor test"},
                                               {"--data", dir, "project", "set", "lapse=40000", "buffer=150"},
                                               {"--data", dir, "groups", "clear"},
                                               {"--data", dir, "groups", "assign", "0", "B1:C2"}}) {
      QCOMPARE(RunCli(command, out, err), int(kExitOk));
    }
    // setup.dat names the working folder, which lies in each data folder.
    auto inCliFolder = [&](std::string text) {
      const std::string from = data.path().string(), to = cli.path().string();
      for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
      return text;
    };
    for (const char* file : {"setup.dat", "status.dat", "threshld.dat", "groups.dat", "chgroup.dat"}) {
      QCOMPARE(ReadWholeFile(cli.path() / "p00002" / file).value_or("<cli: missing>"),
               inCliFolder(ReadWholeFile(data.path() / "p00002" / file).value_or("<window: missing>")));
    }
  }

  // The group selector's right-click menu and Enter rename the group, as a
  // double click does.
  void groupSelectorRenamesFromItsMenuAndEnter() {
    testing::TempFolder data;
    InitDataFolder(data.path(), true);
    testing::Start s(data.path());
    s.isolatePorts();
    QVERIFY(s.main.load());
    QTest::mouseClick(s.main.frmInit()->Label_option[0], Qt::LeftButton);
    Frm_setup& editor = *s.main.frmSetup();
    auto* selector = testing::Find<QComboBox>(editor, "combogrup");
    s.op.type(std::string("Treated"));
    testing::Find<QAction>(editor, "mnrenamegroup")->trigger();
    QVERIFY2(selector->currentText().endsWith("_Treated"), qPrintable(selector->currentText()));
    s.op.type(std::string("Control"));
    QTest::keyClick(selector, Qt::Key_Return);
    QVERIFY2(selector->currentText().endsWith("_Control"), qPrintable(selector->currentText()));
  }
};

QTEST_MAIN(SetupWindowTest)
#include "setup_window_test.moc"
