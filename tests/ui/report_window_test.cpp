// The report window as a person uses it: its load from the report settings,
// the histogram option following the recording's files, Generate writing
// the same bytes as the command line (also with the basal questions
// answered in boxes), and the raw-data frame's RUN and STOP.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include <algorithm>
#include <sstream>

#include "app/data_folder.h"
#include "cli/commands.h"
#include "common/fileio.h"
#include "records/record_files.h"
#include "signal/signal_analysis.h"
#include "tests/reports/report_fixture.h"
#include "tests/support/scripted_seams.h"
#include "ui/app/program.h"
#include "acquisition/engine.h"
#include "acquisition/run_control.h"
#include "sim/virtual_instrument.h"
#include "tests/ui/ui_fixture.h"
#include "ui/app/frm_init.h"
#include "ui/reports/frm_report.h"
#include "ui/reports/frm_reportset.h"
#include "ui/reports/report_windows.h"

using namespace orb;
namespace fs = std::filesystem;

namespace {

// A data folder holding the standard recording (report_fixture.h) and the
// program's records over it with scripted seams.
struct ReportStart {
  ReportStart() {
    setenv("LC_ALL", "C", 1);
    InitDataFolder(fx.program(), false);
    testing::WriteStandardRecording(fx, folder);
  }
  // The command line on the same data folder; its exit code.
  int cli(std::vector<std::string> args) {
    args.insert(args.begin(), {"--data", fx.program().string()});
    std::ostringstream out, err;
    const int code = RunCli(args, out, err);
    if (code != 0) qWarning("%s", err.str().c_str());
    return code;
  }
  // The report files the window wrote, read and removed so that the command
  // line writes under the same names.
  std::string take(const std::string& name) {
    std::string bytes = testing::AcquisitionFixture::read(folder / name);
    fs::remove(folder / name);
    fs::remove(folder / ("Growth_test" + fs::path(name).extension().string()));
    return bytes;
  }

  testing::AcquisitionFixture fx;
  fs::path folder = fx.acquisition();
  ScriptedOperator op;
  CountingEventLoop loop;
  RecordingLauncher launcher;
  FakeClock clock;
  Workspace ws{fx.program(), op};
  Program program{ws, op, loop, launcher, clock};
};

// Everything after the DATE line: the window and the command line write
// their own moment there.
std::string AfterDate(const std::string& report) { return report.substr(report.find("\r\n") + 2); }

// Raw intervals whose beams stay flat at 1000 but for `interval % 3 + 1`
// dips of three samples to 500, one interval a counts.bin record apart.
void WriteRawRecording(const testing::AcquisitionFixture& fx, const fs::path& folder, int intervals) {
  fx.writePlate("kraw", 8, 12, {{0, {0, 0}}, {2, {1, 0}}, {5, {2, 0}}});
  fx.writeSetup(folder, "kraw", 1, 0, 18);
  fx.writeGroups(folder, {{0, "Control"}}, {{0, 0}, {2, 0}, {5, 0}});
  std::vector<CountsRecord> records;
  for (int j = 0; j < intervals; ++j) records.push_back(testing::Rec(j + 1, {{0, 77}, {2, 77}}, 230));
  fx.writeCounts(folder, records);
  for (int i = 0; i < intervals; ++i) {
    RawRecord r;
    r.values.assign(kSignalIntervalValues, 0);
    for (int beam = 0; beam < 384; ++beam) {
      for (int n = 0; n < 500; ++n) r.values[std::size_t(n) * 385 + beam] = 1000;
      for (int d = 0; d <= i % 3; ++d)
        for (int n = 100 + 100 * d; n < 103 + 100 * d; ++n) r.values[std::size_t(n) * 385 + beam] = 500;
    }
    AppendRecord(folder / RawFileName(i / 11), PackRawRecord(r));
  }
}

// Loads the program on the virtual instrument, connects, and records a
// one-minute run of short intervals without calibration to its programmed
// end, the fake clock moving 300 ms at a time.
void RunToTheEnd(testing::Start& s, sim::VirtualInstrument& instrument, const std::string& name) {
  s.isolatePorts();
  s.program.ports.portMap().assign(4, instrument.start());
  QVERIFY(s.main.load());
  QTest::mouseClick(s.main.frmInit()->Label_option[1], Qt::LeftButton);
  QVERIFY(s.program.connection.connected);
  s.control<QAction>("mncal_on")->trigger();
  s.control<QAction>("mnCalibra")->trigger();
  s.control<QAction>("mnZero")->trigger();
  s.ws.setup.RT_Buffer = 20;
  s.ws.setup.Save_real = 0;
  s.ws.setup.Aq_lapse = 1;
  s.op.type(name);
  QTest::mouseClick(s.control<QPushButton>("CmdPlay"), Qt::LeftButton);
  QCOMPARE(int(s.main.engine().runState), int(kRunning));
  for (int i = 0; i < 4000 && s.main.engine().runState != kStopped; ++i) {
    s.clock.advance(std::chrono::milliseconds(300));
    QTest::qWait(2);
  }
  QCOMPARE(int(s.main.engine().runState), int(kStopped));
}

}  // namespace

class ReportWindowTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void loadFillsTheControlsFromTheSettings() {
    ReportStart s;
    ReportConfig user;
    user.Bin = 60;
    user.filetype = 1;
    user.spacer = ";";
    user.stdDev = 1;
    user.out_format = 1;
    user.organism = 1;
    user.threshold = 25;
    QVERIFY(SaveReportConfig(s.fx.program(), user, 1, s.op));
    Frm_report w(s.program);
    QCOMPARE(w.windowTitle(), QString("Report Output"));
    w.loadOnce(true);
    QCOMPARE(w.Cmb_binsize->currentText(), QString("60"));
    QCOMPARE(w.Cmb_binsize->count(), 12);
    QVERIFY(w.Option_report[1]->isChecked());
    QCOMPARE(w.txt_customspacer->text(), QString(";"));
    QVERIFY(w.Option_output[1]->isChecked());
    QVERIFY(w.Chk_statistic[3]->isChecked());
    QCOMPARE(w.Cmb_organism->currentText(), QString("Zebrafish(Larvae)"));
    QCOMPARE(w.Cmb_dspmethod->currentText(), QString("1_Threshold Avrg (Default.Agar&Liquid)"));
    QCOMPARE(w.frmtxt_threshold->text(), QString("2.5"));

    // The file type puts its separator into the spacer box.
    QTest::mouseClick(w.Option_report[0], Qt::LeftButton);
    QCOMPARE(w.txt_customspacer->text(), QString(","));
    QTest::mouseClick(w.Option_report[1], Qt::LeftButton);
    QCOMPARE(w.txt_customspacer->text(), QString(" "));
  }

  void histogramOptionFollowsTheRecording() {
    ReportStart s;
    Frm_report w(s.program);
    QVERIFY(w.showMyReport(s.folder, "30"));
    QVERIFY(w.isVisible());
    QVERIFY(w.Option_output[4]->isHidden());
    QVERIFY(w.Option_output[0]->isChecked());
    w.hide();

    testing::AcquisitionFixture::write(s.folder / "histo0000.bin", "");
    QVERIFY(w.showMyReport(s.folder, "30"));
    QVERIFY(!w.Option_output[4]->isHidden());
    QVERIFY(w.Option_output[4]->isChecked());
    w.hide();

    fs::remove(s.folder / "histo0000.bin");
    QVERIFY(w.showMyReport(s.folder, "30"));
    QVERIFY(w.Option_output[4]->isHidden());
    QVERIFY(w.Option_output[0]->isChecked());
  }

  void generateWritesTheCommandLineBytes() {
    ReportStart s;
    Frm_report w(s.program);
    QVERIFY(w.showMyReport(s.folder, "30"));
    QTest::mouseClick(w.Option_report[1], Qt::LeftButton);
    w.txt_customspacer->setText("\t");
    w.Option_output[1]->setChecked(true);
    w.Chk_statistic[2]->setChecked(true);
    w.Chk_statistic[3]->setChecked(true);
    w.Chk_statistic[4]->setChecked(false);
    QTest::mouseClick(w.Cmd_generate, Qt::LeftButton);
    QVERIFY(!w.busy());
    QCOMPARE(s.launcher.opened, std::vector<std::string>{(s.folder / "report.txt").string()});
    const std::string window = s.take("report.txt");
    QVERIFY(window.find("Time\tGroup\tValue") != std::string::npos);

    QCOMPARE(s.cli({"report", s.folder.string(), "--bin", "30", "--type", "txt", "--spacer", "\t", "--layout", "list",
                    "--stats", "se,sd"}),
             0);
    QCOMPARE(AfterDate(window), AfterDate(testing::AcquisitionFixture::read(s.folder / "report.txt")));

    // A bin longer than the recording: the box shows the bin used. The
    // window's events run while the report is made (a timer due at once
    // fires before Generate returns), and the buttons wait meanwhile.
    s.take("report.txt");
    w.Cmb_binsize->setCurrentText("120");
    int ticks = 0;
    bool generateEnabled = true;
    QTimer::singleShot(0, &w, [&] {
      ++ticks;
      generateEnabled = w.Cmd_generate->isEnabled();
    });
    QTest::mouseClick(w.Cmd_generate, Qt::LeftButton);
    QCOMPARE(ticks, 1);
    QVERIFY(!generateEnabled);
    QVERIFY(w.Cmd_generate->isEnabled());
    QCOMPARE(w.Cmb_binsize->currentText(), QString("60"));
  }

  void basalQuestionsAreAnsweredInBoxes() {
    ReportStart s;
    // A basal recording of 120 minutes beside the standard one.
    const fs::path basal = s.fx.acquisition("20240130_0800");
    s.fx.writeSetup(basal, "kt6");
    s.fx.writeGroups(basal, {{0, "Control"}}, {{0, 0}});
    std::vector<CountsRecord> records;
    for (int m = 0; m <= 120; m += 10) records.push_back(testing::Rec(m, {{0, 4}, {1, 2}, {2, 6}, {16, 1}}, 240));
    s.fx.writeCounts(basal, records);

    Frm_report w(s.program);
    QVERIFY(w.showMyReport(s.folder, "30"));
    w.setBasalList({"20240130_0800 basal"});
    w.cmbbasal->setCurrentIndex(1);
    // 20 is out of range, the range box's 150 too, then the period box takes 90.
    s.op.type("20").type("150").type("90");
    QTest::mouseClick(w.Cmd_generate, Qt::LeftButton);
    QCOMPARE(s.op.pendingAnswers(), std::size_t(0));
    QVERIFY(s.op.prompts().size() >= 3);
    QVERIFY(QString::fromStdString(s.op.prompts()[1]).startsWith("Enter a value between 30 and 120"));
    const std::string window = s.take("report.csv");
    QVERIFY(window.find("***DATA AS % OF BASAL ACTIVITY***") != std::string::npos);

    QCOMPARE(s.cli({"report", s.folder.string(), "--basal", "20240130_0800", "--basal-minutes", "90"}), 0);
    const std::string cli = testing::AcquisitionFixture::read(s.folder / "report.csv");
    // The basal line names the list's text; everything else is the same.
    auto withoutBasalLine = [](std::string r) {
      const auto at = r.find("\"TIME0(BASAL MEASSURE):\"");
      return r.erase(at, r.find("\r\n", at) - at);
    };
    QCOMPARE(withoutBasalLine(AfterDate(window)), withoutBasalLine(AfterDate(cli)));

    // A basal recording in which well A2 never moved: the window asks
    // whether to go on and what to do with it; discarding frees it.
    const fs::path still = s.fx.acquisition("20240130_0700");
    s.fx.writeSetup(still, "kt6");
    s.fx.writeGroups(still, {{0, "Control"}}, {{0, 0}});
    records.clear();
    for (int m = 0; m <= 40; m += 10) records.push_back(testing::Rec(m, {{0, 4}, {1, 2}, {2, 6}}, 240));
    s.fx.writeCounts(still, records);
    w.setBasalList({"20240130_0700"});
    w.cmbbasal->setCurrentIndex(1);
    s.op.clear();
    s.op.answer(Answer::Yes).answer(Answer::Cancel);
    QTest::mouseClick(w.Cmd_generate, Qt::LeftButton);
    QCOMPARE(s.op.pendingAnswers(), std::size_t(0));
    QVERIFY(s.op.saw("You have 1 BASAL WELLS with 0 activity. Proceed anyway??"));
    QVERIFY(s.op.saw("ERROR in 1 BASAL channels.\r\nChannels were discarded and transferred to Free Group"));
    const std::string discarded = s.take("report.csv");
    QCOMPARE(s.cli({"report", s.folder.string(), "--basal", "20240130_0700", "--zero-basal", "discard"}), 0);
    QCOMPARE(AfterDate(discarded), AfterDate(testing::AcquisitionFixture::read(s.folder / "report.csv")));

    // No to the first question: no report.
    s.take("report.csv");
    s.op.answer(Answer::No);
    QTest::mouseClick(w.Cmd_generate, Qt::LeftButton);
    QVERIFY(!fs::exists(s.folder / "report.csv"));

    // "Cancel" clears the basal list and hides the window.
    QTest::mouseClick(w.Cmd_cancel, Qt::LeftButton);
    QCOMPARE(w.cmbbasal->count(), 0);
    QVERIFY(!w.isVisible());
  }

  void rawAnalysisRunsAndStopsWithinOneInterval() {
    ReportStart s;
    const fs::path folder = s.fx.acquisition("20240201_1000");
    WriteRawRecording(s.fx, folder, 13);
    const std::string oldCounts = testing::AcquisitionFixture::read(folder / "counts.bin");
    Frm_report w(s.program);
    QVERIFY(w.showMyReport(folder, "30"));

    // Export Raw: the hours box reads 533 and Replace old data is off.
    QTest::mouseClick(w.Chk_replacedata, Qt::LeftButton);
    QVERIFY(!w.frmtxt_datalapse->isEnabled());
    QTest::mouseClick(w.Chk_rawexport, Qt::LeftButton);
    QCOMPARE(w.frmtxt_datalapse->text(), QString("533"));
    QVERIFY(!w.Chk_replacedata->isChecked());
    QTest::mouseClick(w.Chk_rawexport, Qt::LeftButton);
    w.frmtxt_datalapse->setText("1");

    // STOP while the third interval is shown: that interval is the last.
    QVERIFY(w.analyzeRawData());
    QVERIFY(w.frame_raw->isVisible());
    w.statusShown = [&](const std::string& text) {
      if (text == "Block 3/13") QTest::mouseClick(w.cmd_stopframe, Qt::LeftButton);
    };
    ReanalysisResult stopped = w.runRawAnalysis();
    QCOMPARE(int(stopped.outcome), int(ReanalysisOutcome::Stopped));
    QCOMPARE(stopped.processed, 3);
    QCOMPARE(w.frmprogress->value(), 3);
    QVERIFY(!fs::exists(folder / "report.csv"));
    QCOMPARE(testing::AcquisitionFixture::read(folder / "counts.bin"), oldCounts);

    // RUN to the end, then the same with the command line.
    w.statusShown = nullptr;
    w.Cmb_dspmethod->setCurrentIndex(0);
    QTest::mouseClick(w.cmd_runframe, Qt::LeftButton);
    QCOMPARE(w.frmprogress->value(), 13);
    QCOMPARE(w.frmlbl_status->text(), QString("Block 13/13"));
    const std::string window = testing::AcquisitionFixture::read(folder / "report.csv");
    QVERIFY(window.find("0_Threshold+Binary") != std::string::npos);
    fs::remove(folder / "report.csv");
    QCOMPARE(s.cli({"reanalyze", folder.string(), "--method", "0", "--organism", "0", "--snr", "1.8", "--hours", "1"}),
             0);
    QCOMPARE(AfterDate(window), AfterDate(testing::AcquisitionFixture::read(folder / "report.csv")));
  }

  void analyzeRawDataWithoutRawFiles() {
    ReportStart s;
    Frm_report w(s.program);
    QVERIFY(w.showMyReport(s.folder, "30"));
    QVERIFY(!w.analyzeRawData());
    QCOMPARE(s.op.texts(), std::vector<std::string>{"Real Time Data Not Found"});
    QVERIFY(w.frame_raw->isHidden());
  }

  // With "Export Raw" in the settings the automatic report also counts the
  // raw data again and writes the marks of every beam; each step starts
  // when the previous one's files are written.
  void autoreportWithRawExport() {
    ReportStart s;
    const fs::path folder = s.fx.acquisition("20240201_1000");
    WriteRawRecording(s.fx, folder, 4);
    Frm_report w(s.program);
    w.loadOnce(false);
    s.program.report.rawexport = 1;
    bool mainShown = false;
    w.showMain = [&] { mainShown = true; };
    w.chk_autoreport->setChecked(true);
    QVERIFY(w.showMyReport(folder, "30"));
    QTRY_VERIFY_WITH_TIMEOUT(s.op.saw("Report File AutoGenerated"), 20000);
    QVERIFY(!w.isVisible());
    QVERIFY(mainShown);
    QVERIFY(!w.chk_autoreport->isChecked());
    QVERIFY(w.frame_options->isEnabled());
    QVERIFY(w.Chk_rawexport->isChecked());
    QCOMPARE(w.frmtxt_datalapse->text(), QString("533"));
    QVERIFY(fs::exists(folder / "report.csv"));
    // One line of marks per interval for a beam of a well.
    const std::string marks = testing::AcquisitionFixture::read(folder / "ch0.raw");
    QCOMPARE(std::count(marks.begin(), marks.end(), '\n'), 4L);
    QVERIFY(s.launcher.opened.empty());
    // The report came before the message that says it was made.
    QCOMPARE(s.op.texts().back(), std::string("Report File AutoGenerated"));
  }

  // "1 file/well Report": the two questions, the files of the command
  // line's `wells`, and the folder shown.
  void perWellExportFromTheMenu() {
    ReportStart s;
    Frm_report w(s.program);
    QVERIFY(w.showMyReport(s.folder, "30"));
    s.op.answer(Answer::Yes).answer(Answer::No);
    w.mnu_filewell->trigger();
    QVERIFY(s.op.saw("Do you like to Export 384 text files?"));
    QVERIFY(s.op.saw("Include time field?"));
    QCOMPARE(s.launcher.opened.size(), std::size_t(1));
    const std::string time = s.take("time.txt"), channel = s.take("ch000016.txt");
    QCOMPARE(time, std::string("1800 3600\r\n"));
    QCOMPARE(s.cli({"wells", s.folder.string(), "--bin", "30", "--no-time"}), 0);
    QCOMPARE(testing::AcquisitionFixture::read(s.folder / "time.txt"), time);
    QCOMPARE(testing::AcquisitionFixture::read(s.folder / "ch000016.txt"), channel);

    // No to the first question writes nothing.
    s.take("time.txt");
    s.op.answer(Answer::No);
    w.mnu_filewell->trigger();
    QVERIFY(!fs::exists(s.folder / "time.txt"));
  }

  // "Show my report" before any recording run: nothing is shown or said.
  void showMyReportBeforeAnyRunDoesNothing() {
    testing::TempFolder data;
    InitDataFolder(data.path(), true);
    testing::Start s(data.path());
    s.isolatePorts();
    QVERIFY(s.main.load());
    s.op.clear();
    QTest::mouseClick(s.control<QPushButton>("Cmdreport"), Qt::LeftButton);
    QVERIFY(!s.main.reports().report() || !s.main.reports().report()->isVisible());
    QVERIFY(s.op.texts().empty());
  }

  // The menu entry opens the settings dialog; "Apply" stores the user's
  // settings and checks the entry, "Back to Default" the defaults and clears it.
  void userDefinedBinMenuDrivesTheSettingsDialog() {
    testing::TempFolder data;
    InitDataFolder(data.path(), true);
    testing::Start s(data.path());
    s.isolatePorts();
    QVERIFY(s.main.load());
    auto* menu = s.control<QAction>("mn_userbin");
    QVERIFY(!menu->isChecked());
    menu->trigger();
    Frm_reportset* dialog = s.main.reports().settings();
    QVERIFY(dialog && dialog->isVisible());
    QCOMPARE(dialog->windowTitle(), QString("User Defined Report"));
    QCOMPARE(dialog->Cmb_binsize->count(), 12);
    QCOMPARE(dialog->Cmd_generate->text(), QString("Apply"));
    QCOMPARE(dialog->Cmd_cancel->text(), QString("Back to Default"));
    auto valueLine = [&] {
      const std::string file = ReadWholeFile(data.path() / "repoconf.dat").value_or("");
      return file.substr(file.find("\r\n") + 2);
    };
    dialog->Cmb_binsize->setCurrentText("1440");
    dialog->Option_output[2]->setChecked(true);
    s.op.clear();
    QTest::mouseClick(dialog->Cmd_generate, Qt::LeftButton);
    QCOMPARE(s.op.texts(), std::vector<std::string>{"User Configuration Applied"});
    QVERIFY(menu->isChecked());
    QVERIFY(!dialog->isVisible());
    QVERIFY(QString::fromStdString(valueLine()).startsWith("1,1440,0,"));

    menu->trigger();  // unchecked: the defaults are written, the dialog shows as it was left
    QVERIFY(!menu->isChecked());
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->Cmb_binsize->currentText(), QString("1440"));
    QVERIFY(QString::fromStdString(valueLine()).startsWith("0,30,"));
    s.op.clear();
    QTest::mouseClick(dialog->Cmd_cancel, Qt::LeftButton);
    QCOMPARE(s.op.texts(), std::vector<std::string>{"Default Report Configuration Applied"});
    QVERIFY(!menu->isChecked());
    QVERIFY(!dialog->isVisible());
    QVERIFY(QString::fromStdString(valueLine()).startsWith("0,30,0,"));
  }

  // A run that reaches its programmed end with "User Defined BIN size"
  // checked writes its report by itself and says so.
  void autoreportAtTheEndOfARun() {
    testing::TempFolder data;
    InitDataFolder(data.path(), true);
    sim::VirtualInstrument instrument;
    testing::Start s(data.path());
    s.control<QAction>("mn_userbin")->trigger();
    QVERIFY(s.control<QAction>("mn_userbin")->isChecked());
    s.main.reports().settings()->hide();
    RunToTheEnd(s, instrument, "Auto run");
    const auto folder = s.main.run().lastFolder;
    QTRY_VERIFY_WITH_TIMEOUT(s.op.saw("Report File AutoGenerated"), 20000);
    QVERIFY(!s.op.saw("Acquisition finished"));
    QVERIFY(std::filesystem::exists(folder / "report.csv"));
    QVERIFY(std::filesystem::exists(folder / "Auto_run.csv"));
    Frm_report* w = s.main.reports().report();
    QVERIFY(w && !w->isVisible());
    QVERIFY(!w->chk_autoreport->isChecked());
    QVERIFY(s.launcher.opened.empty());  // an automatic report is not opened
    s.op.answer(Answer::No);
    s.main.close();
  }

  // Without "User Defined BIN size" the end of the run opens the report
  // window on the recording and says "Acquisition finished"; closing the
  // window puts the settings' bin back into the main window's bin box.
  void theEndOfARunOpensTheReportWindow() {
    testing::TempFolder data;
    InitDataFolder(data.path(), true);
    sim::VirtualInstrument instrument;
    testing::Start s(data.path());
    RunToTheEnd(s, instrument, "Plain run");
    QVERIFY(s.op.saw("Acquisition finished"));
    Frm_report* w = s.main.reports().report();
    QVERIFY(w && w->isVisible());
    QCOMPARE(w->Txt_inputfile->text(), QString::fromStdString(s.main.run().lastFolder.string()));
    QVERIFY(!w->chk_autoreport->isChecked());
    QVERIFY(!std::filesystem::exists(s.main.run().lastFolder / "report.csv"));
    auto* bin = s.control<QComboBox>("combo_minutes");
    bin->setCurrentText("45");
    w->setBasalList({"20240130_0800"});
    w->close();
    QCOMPARE(bin->currentText(), QString("30"));
    QCOMPARE(w->cmbbasal->count(), 0);
    s.op.answer(Answer::No);
    s.main.close();
  }
};

QTEST_MAIN(ReportWindowTest)
#include "report_window_test.moc"
