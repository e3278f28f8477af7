// The seams on Qt: message boxes, the event loop and the desktop.
#pragma once

#include <QWidget>
#include <QPointer>

#include "common/seams.h"

namespace orb {

class QtOperator final : public Operator {
 public:
  // Boxes are centred over `parent` when it is set.
  void setParent(QWidget* parent) { parent_ = parent; }
  Answer ask(std::string_view text, Buttons buttons) override;
  std::optional<std::string> input(std::string_view prompt, std::string_view title,
                                   std::string_view initial) override;

 private:
  QPointer<QWidget> parent_;
};

class QtEventLoop final : public EventLoop {
 public:
  void processEvents() override;
  // A plain sleep of the user-interface thread, as the instrument waits are.
  void sleepMs(int ms) override;
};

// Hands files, folders and addresses to the desktop (no shell involved).
class QtLauncher final : public Launcher {
 public:
  bool openPath(const std::filesystem::path& path) override;
  bool openUrl(std::string_view url) override;
};

}  // namespace orb
