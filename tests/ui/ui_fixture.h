// One start of the desktop program on a data folder, with scripted seams,
// and the way tests reach a window's controls: by their documented names.
#pragma once

#include <QAction>
#include <QList>
#include <QMenu>
#include <QMenuBar>
#include <QObject>
#include <QString>
#include <filesystem>
#include <string>

#include "app/workspace.h"
#include "tests/support/scripted_seams.h"
#include "ui/app/program.h"
#include "ui/main/frm_main.h"

namespace orb::testing {

// The control named `name` under `root`. A missing one ends the test
// program with a message naming it: a control lost its documented name.
template <typename W>
W* Find(const QObject& root, const char* name) {
  W* w = root.findChild<W*>(QString::fromLatin1(name));
  if (!w)
    qFatal("%s has no %s named %s", qPrintable(root.objectName()), W::staticMetaObject.className(), name);
  return w;
}

// The items of the menu whose title is `title` ("&Port"), in their order.
inline QList<QAction*> MenuItems(QMainWindow& window, const QString& title) {
  for (QAction* a : window.menuBar()->actions())
    if (a->text() == title && a->menu()) return a->menu()->actions();
  qFatal("%s has no menu %s", qPrintable(window.objectName()), qPrintable(title));
  return {};
}

struct Start {
  explicit Start(const std::filesystem::path& data, const QString& commandLine = {})
      : ws(data, op), program(ws, op, loop, launcher, clock), main(program, commandLine) {}
  // No COM number may reach a real device of the machine running the tests.
  void isolatePorts() {
    for (int n = 1; n <= 16; ++n) program.ports.portMap().assign(n, "/nonexistent/tty" + std::to_string(n));
  }
  // A control of the main window by its name.
  template <typename W>
  W* control(const char* name) {
    return Find<W>(main, name);
  }
  // The port menu's items COM1..COM15, in the menu's order.
  QList<QAction*> portMenu() { return MenuItems(main, "&Port"); }

  ScriptedOperator op;
  CountingEventLoop loop;
  RecordingLauncher launcher;
  FakeClock clock;
  Workspace ws;
  Program program;
  Frm_Main main;
};

}  // namespace orb::testing
