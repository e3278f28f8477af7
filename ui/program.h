// What the windows of the program share: the program-wide records, the
// seams, and the connection flags. Owned by main() (or a test) for the life
// of the program.
#pragma once

#include <functional>

#include "app/workspace.h"
#include "common/seams.h"
#include "reports/report_config.h"

namespace orb {

struct Program {
  Program(Workspace& ws, Operator& op, EventLoop& loop, Launcher& launcher, Clock& clock)
      : ws(ws), op(op), loop(loop), launcher(launcher), clock(clock) {}

  Workspace& ws;
  Operator& op;
  EventLoop& loop;
  Launcher& launcher;
  Clock& clock;
  ReportConfig report;

  bool connected = false;  // the connection sequence found the instrument
  bool offline = false;    // the operator chose to work without it

  // Ends the program with an exit code (QApplication::exit in the program,
  // recorded by tests). Windows stop acting once it was called.
  std::function<void(int)> endProgram;
  bool ended = false;
  int exitCode = 0;
  void end(int code) {
    if (ended) return;
    ended = true;
    exitCode = code;
    if (endProgram) endProgram(code);
  }
};

}  // namespace orb
