// One start of the desktop program on a data folder, with scripted seams.
#pragma once

#include <QString>
#include <filesystem>
#include <string>

#include "app/workspace.h"
#include "tests/support/scripted_seams.h"
#include "ui/main/frm_main.h"
#include "ui/app/program.h"

namespace orb::testing {

struct Start {
  explicit Start(const std::filesystem::path& data, const QString& commandLine = {})
      : ws(data, op), program(ws, op, loop, launcher, clock), main(program, commandLine) {}
  // No COM number may reach a real device of the machine running the tests.
  void isolatePorts() {
    for (int n = 1; n <= 16; ++n) program.ports.portMap().assign(n, "/nonexistent/tty" + std::to_string(n));
  }
  ScriptedOperator op;
  CountingEventLoop loop;
  RecordingLauncher launcher;
  FakeClock clock;
  Workspace ws;
  Program program;
  Frm_Main main;
};

}  // namespace orb::testing
