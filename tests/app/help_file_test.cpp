#include "app/help_file.h"

#include <gtest/gtest.h>

#include "tests/support/temp_folder.h"

namespace orb::testing {
namespace {

namespace fs = std::filesystem;

// A data folder, an installed tree (prefix/bin + prefix/share/doc/orbelune)
// and a build tree (build/ui beside build/orb_help.pdf), all in one folder.
struct HelpFiles : ::testing::Test {
  TempFolder tmp;
  fs::path data = tmp / "data";
  fs::path installedBin = tmp / "prefix" / "bin";
  fs::path installedDoc = tmp / "prefix" / "share" / "doc" / "orbelune";
  fs::path buildUi = tmp / "build" / "ui";

  void SetUp() override {
    for (const auto& folder : {data, installedBin, installedDoc, buildUi}) fs::create_directories(folder);
  }
  void guideIn(const fs::path& folder) { tmp.write(fs::relative(folder / kHelpFileName, tmp.path()).string(), "%PDF"); }
};

TEST_F(HelpFiles, SearchesDataFolderThenInstalledGuideThenBuildFolder) {
  const auto folders = HelpFileFolders(data, installedBin);
  ASSERT_EQ(folders.size(), 3u);
  EXPECT_EQ(folders[0], data);
  EXPECT_EQ(folders[1], installedDoc);
  EXPECT_EQ(folders[2], tmp / "prefix");
  // The build tree: the program in build/ui, the guide in build/.
  EXPECT_EQ(HelpFileFolders(data, buildUi)[2], tmp / "build");
  // Without the program's folder only the data folder is searched.
  EXPECT_EQ(HelpFileFolders(data, {}), std::vector<fs::path>{data});
}

TEST_F(HelpFiles, ListsAFolderOnce) {
  // A data folder that is the program's parent folder (a portable copy
  // unpacked in one folder) is searched once, with or without a slash.
  const auto folders = HelpFileFolders(tmp / "prefix" / "", installedBin);
  ASSERT_EQ(folders.size(), 2u);
  EXPECT_EQ(folders[0], tmp / "prefix");
  EXPECT_EQ(folders[1], installedDoc);
}

TEST_F(HelpFiles, FirstFolderHoldingTheGuideWins) {
  const auto folders = HelpFileFolders(data, buildUi);
  EXPECT_EQ(FindHelpFile(folders), std::nullopt);

  guideIn(tmp / "build");
  EXPECT_EQ(FindHelpFile(folders), tmp / "build" / kHelpFileName);

  guideIn(data);  // the lab's own copy comes before the built one
  EXPECT_EQ(FindHelpFile(folders), data / kHelpFileName);

  const auto installed = HelpFileFolders(tmp / "empty", installedBin);
  guideIn(installedDoc);
  EXPECT_EQ(FindHelpFile(installed), installedDoc / kHelpFileName);
}

TEST_F(HelpFiles, AFolderNamedLikeTheGuideIsNotTheGuide) {
  fs::create_directories(data / kHelpFileName);
  guideIn(tmp / "build");
  EXPECT_EQ(FindHelpFile(HelpFileFolders(data, buildUi)), tmp / "build" / kHelpFileName);
  EXPECT_EQ(FindHelpFile(HelpFileFolders(data, {})), std::nullopt);
}

TEST_F(HelpFiles, MessagesNameTheFileAndEveryFolderSearched) {
  const auto folders = HelpFileFolders(data, installedBin);
  const std::string text = HelpFileMissingMessage(folders);
  EXPECT_NE(text.find("orb_help.pdf"), std::string::npos);
  for (const auto& folder : folders) {
    EXPECT_NE(text.find("\n" + folder.string()), std::string::npos) << folder;
  }
  EXPECT_NE(HelpFileNotOpenedMessage(data / kHelpFileName).find((data / kHelpFileName).string()),
            std::string::npos);
}

}  // namespace
}  // namespace orb::testing
