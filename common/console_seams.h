// Seams for the command line: messages go to standard error; questions are
// answered from the options given on the command line, and a question
// without an answer is a clear error (UnansweredQuestion), never a hang.
#pragma once

#include <map>
#include <ostream>
#include <stdexcept>
#include <string>

#include "common/seams.h"

namespace orb {

class ConsoleOperator final : public Operator {
 public:
  explicit ConsoleOperator(std::ostream& err) : err_(err) {}

  // Answer to give when a question holding `textPart` is asked.
  void answerWhen(std::string textPart, Answer a) { answers_[std::move(textPart)] = a; }
  // Text to type when an input box whose prompt holds `promptPart` is shown.
  void typeWhen(std::string promptPart, std::string text) { typed_[std::move(promptPart)] = std::move(text); }

  Answer ask(std::string_view text, Buttons buttons) override;
  std::optional<std::string> input(std::string_view prompt, std::string_view title,
                                   std::string_view initial) override;

 private:
  std::ostream& err_;
  std::map<std::string, Answer> answers_;
  std::map<std::string, std::string> typed_;
};

// Sleeps for real; there are no other events on the command line.
class ConsoleEventLoop final : public EventLoop {
 public:
  void processEvents() override {}
  void sleepMs(int ms) override;
};

// Prints what it would show; a terminal has no desktop to show it on.
class ConsoleLauncher final : public Launcher {
 public:
  explicit ConsoleLauncher(std::ostream& out) : out_(out) {}
  bool openPath(const std::filesystem::path& path) override;
  bool openUrl(std::string_view url) override;

 private:
  std::ostream& out_;
};

}  // namespace orb
