// The recorded-experiments browser as a new user meets it: opened from the
// chooser, it lists the demo project; a double click expands it and another
// opens a recording, whose raw signal is paged, drawn and exported; the
// groups are rearranged on the plate and saved with backups; two recordings
// are joined; "Report" opens the report window on the recording.
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include <fstream>

#include "app/data_folder.h"
#include "app/project_files.h"
#include "common/fileio.h"
#include "records/record_files.h"
#include "tests/support/temp_folder.h"
#include "tests/ui/ui_fixture.h"
#include "ui/app/frm_init.h"
#include "ui/browser/frm_offline.h"
#include "ui/plots/plot_widget.h"
#include "ui/reports/frm_report.h"
#include "ui/reports/report_windows.h"

using namespace orb;
namespace fs = std::filesystem;

namespace {

// A recording of the project in `projectFolder`: the project's files as its
// settings snapshot, its name, `intervals` counts records (minute i) and,
// when `raw`, the raw samples of every interval (a sawtooth on every beam).
fs::path MakeRecording(const fs::path& projectFolder, const std::string& name, const std::string& title,
                       int intervals, bool raw) {
  const fs::path folder = projectFolder / name;
  fs::create_directories(folder);
  for (const char* file : {"setup.dat", "status.dat", "threshld.dat", "groups.dat", "chgroup.dat"})
    if (fs::exists(projectFolder / file)) fs::copy_file(projectFolder / file, folder / file);
  WriteSubproject(folder, title, "");
  RawRecord samples;
  samples.values.resize(std::size_t(kChannelSlots) * (kStandardRawBuffer + 1));
  for (int s = 0; s <= kStandardRawBuffer; ++s)
    for (int b = 0; b < kChannelSlots; ++b) samples.values[std::size_t(s) * kChannelSlots + b] = 1000 + (s % 50) * 8;
  for (int i = 0; i < intervals; ++i) {
    IntervalRecords rec;
    rec.interval = i;
    rec.counts.ElapsedMinutes = i;
    rec.counts.IntervalCounts[0] = static_cast<std::int16_t>(i % 7);
    rec.counts.IntervalCounts[1] = static_cast<std::int16_t>(i % 3);
    rec.raw = raw ? &samples : nullptr;
    AppendIntervalRecords(folder, rec);
  }
  return folder;
}

int RowStarting(const QListWidget& list, const QString& start) {
  for (int i = 0; i < list.count(); ++i)
    if (list.item(i)->data(Qt::UserRole).toString().startsWith(start)) return i;
  return -1;
}

bool DrawsIn(const PlotScene& scene, PlotColour colour) {
  for (const auto& item : scene.items)
    if (item.colour == colour && (item.kind == PlotItem::Kind::Line || item.kind == PlotItem::Kind::Polyline))
      return true;
  return false;
}

}  // namespace

class BrowserWindowTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void findsInspectsRegroupsJoinsAndReports() {
    testing::TempFolder data;
    InitDataFolder(data.path(), true);
    const fs::path project = data.path() / "p00001";
    // 77 intervals of raw samples: seven raw files, two pages.
    const fs::path first = MakeRecording(project, "20240131_1405", "Larvae day 1", 77, true);
    const fs::path second = MakeRecording(project, "20240201_0930", "Larvae day 2", 50, false);
    fs::create_directories(project / "20240202_1000");  // no counts.bin: not a recording

    testing::Start s(data.path());
    s.isolatePorts();
    QVERIFY(s.main.load());
    QTest::mouseClick(s.main.frmInit()->Label_option[2], Qt::LeftButton);
    Frm_offline* w = s.main.frmOffline();
    QVERIFY(w && w->isVisible());
    QCOMPARE(w->windowTitle(), QString("<Orbelune> Acquisition Software  --------> Report analysis"));
    auto* list = testing::Find<QListWidget>(*w, "Listpj");

    // The demo project is listed with the date of its first recording; a
    // double click shows its two recordings, not the empty folder.
    const int projectRow = RowStarting(*list, "+ 2024.0131\tp00001_");
    QVERIFY2(projectRow >= 0, qPrintable(list->item(0)->data(Qt::UserRole).toString()));
    QVERIFY(QTest::qWaitForWindowExposed(w));
    const QPoint at = list->visualItemRect(list->item(projectRow)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(list->count(), 3);  // the project and its two recordings
    const int firstRow = RowStarting(*list, "  > 2024.0131\t ACQ14:05 \"Larvae day 1\"");
    QVERIFY(firstRow >= 0);

    // The filter narrows the list to the project whose recording matches.
    testing::Find<QLineEdit>(*w, "txt_search")->setText("\"larvae DAY 2\"");
    QTest::mouseClick(testing::Find<QPushButton>(*w, "cmd_lupa"), Qt::LeftButton);
    QVERIFY(RowStarting(*list, "+ 2024.0131\tp00001_") >= 0);
    QCOMPARE(RowStarting(*list, "+        \tp00000_"), -1);
    QTest::mouseClick(testing::Find<QLabel>(*w, "lblback"), Qt::LeftButton);
    QCOMPARE(testing::Find<QLineEdit>(*w, "txt_search")->text(), QString());
    // Enter on a project line expands it as a double click does.
    list->setCurrentRow(RowStarting(*list, "+ 2024.0131\tp00001_"));
    QTest::keyClick(list, Qt::Key_Return);
    QCOMPARE(list->count(), 3);

    // Opening the first recording: two pages, the report button names it.
    w->doubleClickLine(RowStarting(*list, "  > 2024.0131"));
    QCOMPARE(testing::Find<QLabel>(*w, "Txtpage")->text(), QString("1/2"));
    QVERIFY(testing::Find<QPushButton>(*w, "Cmd_report")->isEnabled());
    QCOMPARE(testing::Find<QPushButton>(*w, "Cmd_report")->text(),
             QString(" 2024.0131\t ACQ14:05 \"Larvae day 1\" => REPORT"));

    // The signal of well A1: its beams drawn, red first; page 2 loads.
    QTest::mouseClick(testing::Find<QPushButton>(*w, "cmdchannels"), Qt::LeftButton);
    QCOMPARE(w->mode(), 1);
    QCOMPARE(testing::Find<QPushButton>(*w, "cmdchannels")->text(), QString("[Channel Signal]"));
    auto* plot = testing::Find<PlotWidget>(*w, "Picreal");
    QVERIFY(DrawsIn(plot->scene(), kPlotRed));
    testing::Find<QScrollBar>(*w, "scrollpage")->setValue(2);
    QCOMPARE(testing::Find<QLabel>(*w, "Txtpage")->text(), QString("2/2"));
    QCOMPARE(w->pages().page(), 2);

    // Export to ASCII: a table in the recording's folder, shown to the user.
    const fs::path table = w->exportAscii();
    QCOMPARE(table.parent_path(), first);
    QVERIFY(fs::exists(table));
    QCOMPARE(s.launcher.opened.back(), table.string());
    const fs::path picture = w->exportImage(".bmp");
    QVERIFY(fs::exists(picture));
    QCOMPARE(ReadWholeFile(picture)->substr(0, 2), std::string("BM"));
    testing::Find<QAction>(*w, "pngexporta")->trigger();
    QCOMPARE(s.launcher.opened.back(), (first / "signal_A1_page2.png").string());
    QCOMPARE(ReadWholeFile(first / "signal_A1_page2.png")->substr(1, 3), std::string("PNG"));

    // The group activity view draws from counts.bin.
    QTest::mouseClick(testing::Find<QPushButton>(*w, "Cmd_leegroups"), Qt::LeftButton);
    QCOMPARE(w->mode(), 2);
    QVERIFY(!plot->scene().items.empty());

    // Plate Config: rearrange in blocks of 2 rows x 3 columns and save.
    list->setCurrentRow(RowStarting(*list, "  > 2024.0131"));
    w->clickLine(list->currentRow());
    const std::string groupsBefore = *ReadWholeFile(first / "groups.dat");
    w->plateConfig();
    QCOMPARE(w->mode(), 3);
    QVERIFY(testing::Find<QGroupBox>(*w, "Framegrup")->isVisible());
    auto* sets = testing::Find<QComboBox>(*w, "Combo_sets");
    QCOMPARE(sets->count(), 24);
    QCOMPARE(sets->currentIndex(), 2);
    const int twoByThree = sets->findText("02x03 [RowsxColumn]");
    QVERIFY(twoByThree >= 0);
    sets->setCurrentIndex(twoByThree);
    Q_EMIT sets->activated(twoByThree);
    QTest::mouseClick(testing::Find<QPushButton>(*w, "cmd_goset"), Qt::LeftButton);
    // A double click on the group selector renames the group.
    s.op.type(std::string("Larvae"));
    QTest::mouseDClick(testing::Find<QComboBox>(*w, "combogrup2"), Qt::LeftButton);
    QCOMPARE(testing::Find<QComboBox>(*w, "combogrup2")->currentText(), QString("000_Larvae"));
    s.op.type(std::string("Larvae B"));
    testing::Find<QAction>(*w, "mnrenamegroup")->trigger();
    QCOMPARE(testing::Find<QComboBox>(*w, "combogrup2")->currentText(), QString("000_Larvae B"));
    // Group 0 holds six wells of two beams each.
    QCOMPARE(testing::Find<QListWidget>(*w, "lstgrup2")->count(), 12);
    s.op.answer(Answer::Yes);
    QTest::mouseClick(testing::Find<QPushButton>(*w, "cmdcancelgrups"), Qt::LeftButton);
    QVERIFY(!testing::Find<QGroupBox>(*w, "Framegrup")->isVisible());
    QVERIFY(*ReadWholeFile(first / "groups.dat") != groupsBefore);
    QCOMPARE(*ReadWholeFile(first / "groups.bak"), groupsBefore);
    QVERIFY(fs::exists(first / "groups20220415_103000.bak"));
    QVERIFY(s.op.texts().back() == "New Groups applied and saved");

    // Join both recordings: a new recording of 127 records in the project.
    for (int i = 0; i < list->count(); ++i)
      list->item(i)->setSelected(list->item(i)->data(Qt::UserRole).toString().startsWith("  > "));
    w->clickLine(RowStarting(*list, "  > 2024.0131"));
    s.op.answer(Answer::Ok);
    QTest::mouseClick(testing::Find<QPushButton>(*w, "Cmd_join"), Qt::LeftButton);
    const fs::path joined = project / "20220415_1030";
    QVERIFY(fs::exists(joined / "counts.bin"));
    QCOMPARE(fs::file_size(joined / "counts.bin"), 127 * kCountsRecordSize);
    QVERIFY(fs::exists(joined / "setup.dat"));
    QVERIFY(RowStarting(*list, "  > 2022.0415\t ACQ10:30") >= 0);

    // Report opens the report window on the opened recording.
    w->doubleClickLine(RowStarting(*list, "  > 2024.0201"));
    QTest::mouseClick(testing::Find<QPushButton>(*w, "Cmd_report"), Qt::LeftButton);
    Frm_report& report = s.main.reports().reportWindow();
    QVERIFY(report.isVisible());
    QCOMPARE(report.windowTitle(), testing::Find<QPushButton>(*w, "Cmd_report")->text());
    QCOMPARE(report.controls().inputFile, second.string());
    QCOMPARE(report.controls().basalList.front(), std::string("-"));
    QVERIFY(std::find(report.controls().basalList.begin(), report.controls().basalList.end(), "20240131_1405") !=
            report.controls().basalList.end());

    // "<< Back" returns to the main window.
    QTest::mouseClick(testing::Find<QPushButton>(*w, "Cmd_main"), Qt::LeftButton);
    QVERIFY(!w->isVisible());
  }

  // A damaged recording (a torn last counts record, a torn raw file, an
  // unreadable setup.dat, no group files) is opened, drawn, analysed and
  // edited without a crash; the user is told what was recovered.
  void aDamagedRecordingOpensWithItsMessages() {
    testing::TempFolder data;
    InitDataFolder(data.path(), true);
    const fs::path project = data.path() / "p00001";
    const fs::path good = MakeRecording(project, "20240131_1405", "Good", 12, true);
    const fs::path bad = project / "20240301_0800";
    fs::create_directories(bad);
    WriteFileAtomic(bad / "counts.bin", ReadWholeFile(good / "counts.bin")->substr(0, 5 * kCountsRecordSize + 100));
    WriteFileAtomic(bad / "0.bin", ReadWholeFile(good / "0.bin")->substr(0, 2 * kRawRecordSize + 999));
    WriteFileAtomic(bad / "setup.dat", "not a setup file\r\n");

    testing::Start s(data.path());
    s.isolatePorts();
    QVERIFY(s.main.load());
    QTest::mouseClick(s.main.frmInit()->Label_option[2], Qt::LeftButton);
    Frm_offline* w = s.main.frmOffline();
    auto* list = testing::Find<QListWidget>(*w, "Listpj");
    w->doubleClickLine(RowStarting(*list, "+ 2024.0131\tp00001_"));
    s.op.clear();
    w->doubleClickLine(RowStarting(*list, "  > 2024.0301"));
    QVERIFY(!s.op.texts().empty());  // the recovered settings are reported
    QTest::mouseClick(testing::Find<QPushButton>(*w, "cmdchannels"), Qt::LeftButton);
    QTest::mouseClick(testing::Find<QPushButton>(*w, "Cmd_analyze"), Qt::LeftButton);
    QTest::mouseClick(testing::Find<QPushButton>(*w, "Cmd_leegroups"), Qt::LeftButton);
    list->setCurrentRow(RowStarting(*list, "  > 2024.0301"));
    w->clickLine(list->currentRow());
    w->plateConfig();
    s.op.answer(Answer::No);
    QTest::mouseClick(testing::Find<QPushButton>(*w, "cmdcancelgrups"), Qt::LeftButton);
    QCOMPARE(s.op.texts().back(), std::string("Original groups restored"));
    QCOMPARE(fs::file_size(bad / "counts.bin"), 5 * kCountsRecordSize + 100);  // nothing written over
  }
};

QTEST_MAIN(BrowserWindowTest)
#include "browser_window_test.moc"
