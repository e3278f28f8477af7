// The seams between the core and the person, the clock and the event loop.
// Each has a Qt implementation (ui/), a scripted one for tests
// (scripted_seams.h) and one for the command line (console_seams.h).
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "common/datetime.h"

namespace orb {

// A question that nobody can answer: the command line without the option
// that answers it, or a test that did not script it. Never turned into a
// default answer.
class UnansweredQuestion : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
enum class Answer { Ok, Cancel, Yes, No };

// Message boxes and the one-line input box.
class Operator {
 public:
  virtual ~Operator() = default;
  // A modal message with the given buttons; returns the button chosen.
  virtual Answer ask(std::string_view text, Buttons buttons) = 0;
  // The one-line input box; empty optional when cancelled.
  virtual std::optional<std::string> input(std::string_view prompt, std::string_view title,
                                           std::string_view initial) = 0;

  void inform(std::string_view text) { ask(text, Buttons::Ok); }
  bool confirm(std::string_view text) { return ask(text, Buttons::YesNo) == Answer::Yes; }
};

// Local time for names and displays; a steady source for elapsed time, which
// never jumps with daylight saving or clock corrections.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalDateTime now() = 0;
  virtual std::chrono::milliseconds steady() = 0;
};

// Long operations on the one user-interface thread let pending events run.
class EventLoop {
 public:
  virtual ~EventLoop() = default;
  virtual void processEvents() = 0;
  virtual void sleepMs(int ms) = 0;
};

// Shows a file, a folder or an address to the person.
class Launcher {
 public:
  virtual ~Launcher() = default;
  virtual bool openPath(const std::filesystem::path& path) = 0;
  virtual bool openUrl(std::string_view url) = 0;
};

// The machine's clock.
class SystemClock final : public Clock {
 public:
  LocalDateTime now() override { return CurrentLocalTime(); }
  std::chrono::milliseconds steady() override {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
  }
};

}  // namespace orb
