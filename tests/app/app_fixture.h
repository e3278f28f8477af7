// A data folder with project 1's folder in it, and a workspace on it.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/workspace.h"
#include "tests/support/scripted_seams.h"
#include "tests/support/temp_folder.h"

namespace orb::testing {

struct ProjectFixture : ::testing::Test {
  TempFolder tmp;
  ScriptedOperator op;
  Workspace ws{tmp.path(), op};
  std::vector<std::string> statusLines;

  ProjectFixture() {
    ws.ProjectPath = tmp / "p00001";
    std::filesystem::create_directories(ws.ProjectPath);
    ws.statusLine = [this](const std::string& s) { statusLines.push_back(s); };
  }
};

}  // namespace orb::testing
