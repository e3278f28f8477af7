#include "setup/project_editor.h"

#include <gtest/gtest.h>

#include <tuple>

#include "app/config_files.h"
#include "app/data_folder.h"
#include "app/project_files.h"
#include "app/startup.h"
#include "app/workspace.h"
#include "common/fileio.h"
#include "tests/support/scripted_seams.h"
#include "tests/support/temp_folder.h"

namespace orb {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;

// ---- boxes, lists, tools --------------------------------------------------------

ProjectSetup EditedSetup() {
  ProjectSetup s;
  s.Aq_lapse = 30;
  s.RT_Buffer = 500;
  s.Sample_Rate = 99;
  s.DSP_Interval = 30;
  s.MenuTable[Mn1] = {0, 1, 1, 25, 0, 0};
  return s;
}

using BoxFunction = BoxEdit (*)(ProjectSetup&, const std::string&);

TEST(EditorBoxes, NumbersAreClampedOrRoundedHalfToEven) {
  struct Case {
    BoxFunction box;
    const char* typed;
    int stored;
    const char* shown;
  } cases[] = {
      {EditLapse, "40000", 32000, "32000"}, {EditLapse, "999999999999", 32000, "32000"},
      {EditLapse, "31999", 31999, "31999"}, {EditLapse, "0", 2, "2"},
      {EditLapse, "-99999", 2, "2"},        {EditLapse, "0.4", 2, "2"},  // rounds to 0: no 0-minute run
      {EditLapse, "30.5", 30, "30.5"},      {EditLapse, " 31.5 ", 32, " 31.5 "},
      {EditBuffer, "150", 200, "200"},      {EditBuffer, "20000", 200, "200"},
      {EditBuffer, "10000.4", 200, "200"},  {EditBuffer, "200", 200, "200"},
      {EditBuffer, "10000", 10000, "10000"}, {EditBuffer, "500.5", 500, "500.5"},
      {EditSampleRate, "99.5", 100, "99.5"}, {EditSampleRate, "-32768", -32768, "-32768"},
      {EditDspInterval, "32767", 32767, "32767"}, {EditDspInterval, "12.5", 12, "12.5"},
  };
  for (const auto& c : cases) {
    ProjectSetup s = EditedSetup();
    BoxEdit e = c.box(s, c.typed);
    EXPECT_TRUE(e.accepted) << c.typed;
    EXPECT_EQ(e.value, c.stored) << c.typed;
    EXPECT_EQ(e.text, c.shown) << c.typed;
    EXPECT_EQ(e.message, "") << c.typed;
  }
  ProjectSetup s = EditedSetup();
  EditLapse(s, "40000");
  EditBuffer(s, "150");
  EXPECT_EQ(s.Aq_lapse, 32000);
  EXPECT_EQ(s.RT_Buffer, 200);
}

TEST(EditorBoxes, ANonNumberOrANumberTheFieldCannotHoldIsRefusedAndKept) {
  for (const char* typed : {"", "abc", "12abc", "1e3", "0x10", "1,5", "--1", ".", "inf", "nan"}) {
    ProjectSetup s = EditedSetup();
    BoxEdit lapse = EditLapse(s, typed);
    EXPECT_FALSE(lapse.accepted) << typed;
    EXPECT_EQ(lapse.text, "30");
    EXPECT_EQ(lapse.message, "Enter a valid Acquisition lapse: a number of minutes");
    EXPECT_EQ(EditBuffer(s, typed).message, "Enter a valid Real-time Buffer: a number from 200 to 10000");
    EXPECT_FALSE(EditSampleRate(s, typed).accepted) << typed;
    EXPECT_FALSE(EditDspInterval(s, typed).accepted) << typed;
    EXPECT_EQ(std::tie(s.Aq_lapse, s.RT_Buffer, s.Sample_Rate, s.DSP_Interval),
              std::make_tuple(30, 500, 99, 30));
  }
  ProjectSetup s = EditedSetup();
  for (const char* typed : {"32768", "32767.5", "-32769"}) {
    BoxEdit e = EditSampleRate(s, typed);
    EXPECT_FALSE(e.accepted) << typed;
    EXPECT_EQ(e.text, "99");
    EXPECT_EQ(e.message, "Enter a valid Sample rate: a number from -32768 to 32767");
    EXPECT_EQ(EditDspInterval(s, typed).message, "Enter a valid DSP Interval: a number from -32768 to 32767");
  }
  EXPECT_EQ(s.Sample_Rate, 99);
  EXPECT_EQ(s.DSP_Interval, 30);
}

TEST(EditorBoxes, SnrIsTakenFrom1Point4To5OrFallsBackToTheOrganism) {
  struct Case {
    int organism;
    const char* typed;
    bool accepted;
    int stored;
    const char* shown;
  } cases[] = {
      {0, "1.35", true, 14, "1.4"},  {0, "2,5", true, 25, "2.5"},   {0, "2.5", true, 25, "2.5"},
      {0, "5.04", true, 50, "5.0"},  {0, " 2.25 ", true, 23, "2.3"}, {0, "1.3", false, 18, "1.8"},
      {2, "5.1", false, 18, "1.8"},  {1, "5.05", false, 28, "2.1"},  {1, "abc", false, 28, "2.1"},
      {-1, "9.9", false, 25, "2.5"},  // no organism: SNRx10 kept and shown
  };
  for (const auto& c : cases) {
    ProjectSetup s = EditedSetup();
    BoxEdit e = EditSnr(s, c.organism, c.typed);
    EXPECT_EQ(e.accepted, c.accepted) << c.typed;
    EXPECT_EQ(s.MenuTable[Mn1][SNRx10], c.stored) << c.typed;
    EXPECT_EQ(e.text, c.shown) << c.typed;
    EXPECT_EQ(e.message, c.accepted ? "" : "Enter a valid SNR: 1.4 to 5.0") << c.typed;
  }
}

TEST(EditorLists, ChoicesStoreTheirPosition) {
  ProjectSetup s = EditedSetup();
  struct OrganismCase {
    int entry;
    const char* text;
    int snr, method;
  } organisms[] = {{1, "2.1", 28, 1}, {2, "1.8", 18, 2}, {0, "1.8", 18, 1}};
  for (const auto& o : organisms) {
    OrganismChoice c = ChooseOrganism(s, o.entry);
    EXPECT_EQ(c.snrText, o.text);
    EXPECT_EQ(c.dspMethodEntry, o.method);
    EXPECT_EQ(s.MenuTable[Mn1][Organism], o.entry);
    EXPECT_EQ(s.MenuTable[Mn1][SNRx10], o.snr);
    EXPECT_EQ(s.DSP_Method, o.method);
  }
  EXPECT_FALSE(ChooseOrganism(s, 3).accepted);
  EXPECT_TRUE(ChooseAqMode(s, 5));
  EXPECT_FALSE(ChooseAqMode(s, 6));
  EXPECT_FALSE(ChooseDspMethod(s, 3));
  EXPECT_EQ(std::tie(s.MenuTable[Mn1][Organism], s.Aq_mode, s.DSP_Method), std::make_tuple(0, 5, 1));

  s.Save_counts = 0;
  EXPECT_EQ(SaveListItems()[ChooseSaveCounts(s, 0)], "YES");  // choosing "NO" still shows "YES"
  EXPECT_EQ(s.Save_counts, 1);
  ChooseSaveReal(s, 0);
  EXPECT_EQ(s.Save_real, 0);
}

TEST(EditorTools, CheckBoxesSetTheirFlagAndTheMainWindowFrames) {
  ProjectSetup s = EditedSetup();
  ToolEffects light = SetTool(s, 2, true);
  EXPECT_EQ(s.Menu(2), 1);
  EXPECT_TRUE(light.lightFrame == true && light.pulseFrame == true && light.lightEnabledCheck == true);
  EXPECT_FALSE(light.temperatureFrame.has_value());
  EXPECT_EQ(SetTool(s, 2, false).lightEnabledCheck, false);
  EXPECT_EQ(SetTool(s, 3, true).temperatureFrame, true);
  EXPECT_EQ(SetTool(s, 1, false).calibrationFrame, false);
  SetTool(s, 5, true);
  SetTool(s, 7, true);
  EXPECT_EQ(s.Tools, (std::array<std::int16_t, 6>{0, 0, 1, 0, 1, 0}));

  EXPECT_EQ(ToggleAdvancedTools(false).caption, "[Advanced Tools]    <-");
  EXPECT_TRUE(ToggleAdvancedTools(false).frameVisible);
  EXPECT_EQ(ToggleAdvancedTools(true).caption, "[Advanced Tools]    ->");
}

TEST(EditorLeave, ContinueFillsTheDefaultSnrAndBackDoesNot) {
  ProjectSetup s = EditedSetup();
  s.DSP_Method = 1;
  s.MenuTable[Mn1] = {1, 1, 1, 0, 0, 0};
  EXPECT_EQ(BackToChooser(s).detectionText, "Detection Mode1, Zebrafish [snr 0.0]");
  EXPECT_EQ(s.MenuTable[Mn1][SNRx10], 0);

  DetectionHandOver go = ContinueToRun(s, false);
  EXPECT_EQ(s.MenuTable[Mn1][SNRx10], 28);
  EXPECT_EQ(go.snrText, "2.8");
  EXPECT_EQ(go.detectionText, "Detection Mode1, Zebrafish [snr 2.8]");
  EXPECT_TRUE(go.connect);
  EXPECT_FALSE(ContinueToRun(s, true).connect);
  s.MenuTable[Mn1] = {2, 1, 1, 0, 0, 0};
  EXPECT_EQ(ContinueToRun(s, true).detectionText, "Detection Mode1, Echinococcus [snr 1.8]");
}

// ---- a data folder with the editor's sequences --------------------------------------

// Records the titles of the input boxes, and answers through the scripted
// operator.
class TitledOperator final : public Operator {
 public:
  ScriptedOperator script;
  std::vector<std::string> titles;
  Answer ask(std::string_view text, Buttons buttons) override { return script.ask(text, buttons); }
  std::optional<std::string> input(std::string_view prompt, std::string_view title,
                                   std::string_view initial) override {
    titles.emplace_back(title);
    return script.input(prompt, title, initial);
  }
};

struct DataFolder : ::testing::Test {
  TempFolder tmp;
  TitledOperator op;
  Workspace ws{tmp.path(), op};
  std::string initialConfig;

  DataFolder() {
    InitDataFolder(tmp.path(), false);
    initialConfig = read(tmp / "config.dat");
    EXPECT_EQ(LoadProgram(ws), LoadResult::Loaded);
    ws.setup.Name = "Default";
    ws.config.Last_Project = 3;
    ws.setup.Aq_lapse = 45;
    ws.groups.GroupName[0] = "Mutants";
  }
  ScriptedOperator& script() { return op.script; }
  std::string read(const fs::path& file) const { return ReadWholeFile(file).value_or("<missing>"); }
  // The project files as SaveProject writes them for the workspace's settings.
  void expectProjectFiles(const fs::path& folder, int numProj) {
    EXPECT_EQ(read(folder / "setup.dat"), SetupFileBytes(ws.setup, numProj));
    EXPECT_EQ(read(folder / "groups.dat"), GroupNamesFileBytes(ws.groups));
    EXPECT_EQ(read(folder / "chgroup.dat"), ChannelGroupsFileBytes(ws.groups));
    EXPECT_TRUE(FileExists(folder / "status.dat"));
    EXPECT_TRUE(FileExists(folder / "threshld.dat"));
  }
};

TEST_F(DataFolder, NewCopiesTheCurrentSettingsAndCancelAtTheNameBoxGivesAnEmptyName) {
  script().answer(Answer::Cancel);
  EXPECT_EQ(NewProject(ws), EditorOutcome::Cancelled);
  EXPECT_FALSE(fs::exists(tmp / "p00004"));

  script().answer(Answer::Ok).type(std::nullopt);
  EXPECT_EQ(NewProject(ws), EditorOutcome::Done);
  EXPECT_EQ(script().shown()[1].text, "Do you like to Create a New Project?");
  EXPECT_EQ(script().shown()[1].buttons, Buttons::OkCancel);
  EXPECT_EQ(script().prompts(), std::vector<std::string>{"Enter the New Project Name"});
  EXPECT_EQ(op.titles, std::vector<std::string>{"Saving <4> with a new name"});
  EXPECT_EQ(ProjectLabel(ws), "4_");
  EXPECT_EQ(ws.ProjectPath, tmp / "p00004");
  EXPECT_EQ(ws.config.Last_Project, 4);
  EXPECT_EQ(ws.setup.Aq_lapse, 45);
  expectProjectFiles(tmp / "p00004", 4);
  EXPECT_EQ(read(tmp / "config.dat"), ConfigFileBytes(ws.config));
}

TEST_F(DataFolder, NumberingWrapsFrom32000ToOneAfterTheOverwriteQuestion) {
  ws.config.Last_Project = 32000;
  tmp.write("p00001/20220101_1000/counts.bin", "recorded");
  tmp.write("p00001/setup.dat", "old setup");

  script().answer(Answer::Ok).type("Wrapped").answer(Answer::No);
  EXPECT_EQ(NewProject(ws), EditorOutcome::Cancelled);
  EXPECT_EQ(op.titles.back(), "Saving <1> with a new name");
  EXPECT_EQ(script().shown().back().text,
            "The project number to generate (p00001already exists. do you like to overwrite?");
  EXPECT_EQ(script().shown().back().buttons, Buttons::YesNo);
  // No: nothing written; the raised number stays in memory only.
  EXPECT_EQ(ws.config.Last_Project, 1);
  EXPECT_EQ(ws.config.Actual_Project_Number, 0);
  EXPECT_EQ(tmp.read("p00001/setup.dat"), "old setup");
  EXPECT_EQ(read(tmp / "config.dat"), initialConfig);

  // Yes: the settings are written, the recordings stay as they were.
  ws.config.Last_Project = 32000;
  script().answer(Answer::Ok).type("Wrapped").answer(Answer::Yes);
  EXPECT_EQ(NewProject(ws), EditorOutcome::Done);
  EXPECT_EQ(ws.config.Actual_Project_Number, 1);
  expectProjectFiles(tmp / "p00001", 1);
  EXPECT_EQ(tmp.read("p00001/setup.bak"), "old setup");
  EXPECT_EQ(tmp.read("p00001/20220101_1000/counts.bin"), "recorded");
}

TEST_F(DataFolder, UnstorableNamesAreRefusedBeforeAnythingIsDone) {
  const std::vector<std::string> names = {"Say \"hi\"", "Ω-line", "two\r\nlines", "tab\there", "bad\xff"};
  for (const std::string& name : names) {
    script().answer(Answer::Ok).type(name);
    EXPECT_EQ(NewProject(ws), EditorOutcome::Refused) << name;
    EXPECT_EQ(script().shown().back().text, kUnstorableName);
  }
  EXPECT_FALSE(fs::exists(tmp / "p00004"));
  EXPECT_EQ(ws.config.Last_Project, 3);
  EXPECT_FALSE(ProjectNameRefusal("Café €5 – ß").has_value());  // Windows-1252 holds these
}

TEST_F(DataFolder, ACommaInANameKeepsTheListAndTheLoadWhole) {
  script().answer(Answer::Ok).type("Growth, day 2: test");
  ASSERT_EQ(NewProject(ws), EditorOutcome::Done);
  std::vector<std::string> list = ProjectList(tmp.path(), script());
  EXPECT_EQ(list, std::vector<std::string>{"p00004_Growth, day 2: test"});

  ws.setup = ProjectSetup{};
  ASSERT_TRUE(LoadListedProject(ws, list[0]));
  EXPECT_EQ(ws.setup.Name, "Growth, day 2: test");
  EXPECT_EQ(ws.setup.Aq_lapse, 45);
  EXPECT_EQ(read(tmp / "config.dat"), ConfigFileBytes(AppConfig{4, 4, 4, 0}));
}

TEST_F(DataFolder, AFolderThatCannotBeCreatedOrAFailedSaveIsReportedAndNothingChanges) {
  tmp.write("p00004", "a file where the folder should go");
  script().answer(Answer::Ok).type("Blocked");
  EXPECT_EQ(NewProject(ws), EditorOutcome::Failed);
  const std::string prefix = "The project folder could not be created:\r\n" + (tmp / "p00004").string() + "\r\n";
  EXPECT_EQ(script().shown().back().text.rfind(prefix, 0), 0u) << script().shown().back().text;
  EXPECT_GT(script().shown().back().text.size(), prefix.size());  // and the reason
  EXPECT_EQ(ws.config.Last_Project, 3);

  fs::remove(tmp / "p00004");
  fs::create_directories(tmp / "p00004" / "status.dat" / "x");  // a folder where the file goes
  script().answer(Answer::Ok).type("Blocked").answer(Answer::Yes);
  EXPECT_EQ(NewProject(ws), EditorOutcome::Failed);
  EXPECT_EQ(script().shown().back().text.rfind(
                "The project could not be saved:\r\ncannot write " + (tmp / "p00004" / "status.dat").string(), 0),
            0u)
      << script().shown().back().text;
  EXPECT_EQ(std::tie(ws.config.Last_Project, ws.config.Actual_Project_Number), std::make_tuple(3, 0));
  EXPECT_EQ(ws.ProjectPath, tmp.path());
  EXPECT_EQ(ws.setup.Name, "Default");
  EXPECT_EQ(read(tmp / "config.dat"), initialConfig);

  // Save (Yes) on that folder fails the same way; a failed save stops a Load.
  ws.ProjectPath = tmp / "p00004";
  script().answer(Answer::Yes);
  EXPECT_EQ(SaveProjectAction(ws), EditorOutcome::Failed);
  EXPECT_EQ(script().shown()[script().shown().size() - 2].text, "Do you like to Update <0_Default> values?");
  script().answer(Answer::Yes);
  EXPECT_FALSE(StartLoad(ws).has_value());
}

TEST_F(DataFolder, SaveAnsweredNoSavesUnderANewNumber) {
  script().answer(Answer::No).type("Copy");
  EXPECT_EQ(SaveProjectAction(ws), EditorOutcome::Done);
  EXPECT_EQ(script().shown()[0].buttons, Buttons::YesNoCancel);
  EXPECT_EQ(op.titles, std::vector<std::string>{"Saving <0_Default> with a new name"});
  EXPECT_EQ(ProjectLabel(ws), "4_Copy");
  expectProjectFiles(tmp / "p00004", 4);
}

TEST_F(DataFolder, TheListHoldsProjectFoldersWithASetupInNameOrder) {
  for (int n : {2, 1}) {
    ws.config.Actual_Project_Number = static_cast<std::int16_t>(n);
    ws.setup.Name = "Project " + std::to_string(n);
    fs::create_directories(tmp / ProjectFolderName(n));
    SaveProject(ws, tmp / ProjectFolderName(n));
  }
  fs::create_directories(tmp / "p00003");  // no setup.dat
  tmp.write("p00005/setup.dat", "");       // nothing to recover from
  tmp.write("p00006/setup.dat", "\"h\"\r\nx,\"a\",\"b\",\"c\"\r\n1\r\n2\r\n3\r\n4\r\n");  // Num_proj not a number
  for (const char* other : {"pabcde", "p99999", "p000077"}) tmp.write(std::string(other) + "/setup.dat", SetupFileBytes(ws.setup, 7));
  tmp.write("p00008", "a file");

  script().answer(Answer::No);
  auto list = StartLoad(ws);
  ASSERT_TRUE(list.has_value());
  EXPECT_EQ(*list, (std::vector<std::string>{"p00001_Project 1", "p00002_Project 2", "p00005_SETUP NOT FOUND!!",
                                             "p00006_ERROR on SETUP.DAT FILE!!!"}));
  script().answer(Answer::Cancel);
  EXPECT_FALSE(StartLoad(ws).has_value());

  for (const char* entry : {"", "pabcde_x", "p0000", "p99999_x"}) EXPECT_FALSE(LoadListedProject(ws, entry));
  ASSERT_TRUE(LoadListedProject(ws, "p00002_Project 2"));
  EXPECT_EQ(ws.ProjectPath, tmp / "p00002");
  EXPECT_EQ(LoadEditor(ws).projectText, "2_Project 2");
}

TEST_F(DataFolder, RenameChangesTheNameInMemoryOnly) {
  EXPECT_EQ(RenameCurrentProject(ws), EditorOutcome::Refused);
  EXPECT_EQ(script().shown().back().text, "Not possible to rename the Default project. Save it with another Name");

  script().answer(Answer::Ok).type("Old");
  ASSERT_EQ(NewProject(ws), EditorOutcome::Done);
  const std::string onDisk = read(tmp / "p00004" / "setup.dat");
  script().type("Renamed").type(std::nullopt).type("").type("Quote\"d");
  EXPECT_EQ(RenameCurrentProject(ws), EditorOutcome::Done);
  EXPECT_EQ(script().prompts().back(), "Rename Project: Entre New Name");
  EXPECT_EQ(RenameCurrentProject(ws), EditorOutcome::Cancelled);
  EXPECT_EQ(RenameCurrentProject(ws), EditorOutcome::Cancelled);
  EXPECT_EQ(RenameCurrentProject(ws), EditorOutcome::Refused);
  EXPECT_EQ(ProjectLabel(ws), "4_Renamed");
  EXPECT_EQ(read(tmp / "p00004" / "setup.dat"), onDisk);
}

TEST_F(DataFolder, TheEditorLoadFillsTheDefaultSnrAndTheCalibrationTool) {
  ws.setup.Plate_format = "k384";
  ws.setup.Aq_mode = 9;
  ws.setup.Save_real = 3;
  ws.setup.Tools = {0, 1, 0, 1, 0, 2};
  ws.setup.MenuTable[Mn1] = {1, 1, 1, 0, 0, 0};
  EditorControls c = LoadEditor(ws);
  EXPECT_EQ(c.snrText, "2.8");
  EXPECT_EQ(ws.setup.MenuTable[Mn1][SNRx10], 28);
  EXPECT_EQ(ws.setup.Menu(1), 1);
  EXPECT_TRUE(c.lightTool && c.menu4 && !c.menu6);  // 2 is not a checked box
  EXPECT_EQ(std::tie(c.aqModeEntry, c.saveRealEntry, c.organismEntry), std::make_tuple(-1, -1, 1));
  ASSERT_GE(c.plateEntry, 0);
  EXPECT_EQ(c.plateItems[c.plateEntry], "k384");
  ws.setup.MenuTable[Mn1] = {0, 1, 1, 0, 0, 0};
  EXPECT_EQ(LoadEditor(ws).snrText, "1.8");
  ws.setup.MenuTable[Mn1] = {5, 1, 1, 0, 0, 0};
  EXPECT_EQ(LoadEditor(ws).snrText, "");
  EXPECT_EQ(ws.setup.MenuTable[Mn1][SNRx10], 0);

  // No project loaded yet (Name empty): the editor reads the current one.
  ws.setup.Name.clear();
  EXPECT_EQ(LoadEditor(ws).lapseText, "30");
  EXPECT_EQ(ws.setup.Name, "Default");
}

}  // namespace
}  // namespace orb
