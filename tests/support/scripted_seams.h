// Seams for tests: every message is recorded, answers come from a queue, and
// a question without a scripted answer fails loudly (UnscriptedQuestion).
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/seams.h"

namespace orb {

class UnscriptedQuestion : public UnansweredQuestion {
 public:
  using UnansweredQuestion::UnansweredQuestion;
};

class ScriptedOperator final : public Operator {
 public:
  struct Shown {
    std::string text;
    Buttons buttons;
  };

  // Queue the answer to the next question (Yes/No, OK/Cancel, ...).
  ScriptedOperator& answer(Answer a) { answers_.push_back(a); return *this; }
  // Queue the text typed into the next input box (nullopt = Cancel).
  ScriptedOperator& type(std::optional<std::string> text) { typed_.push_back(std::move(text)); return *this; }

  Answer ask(std::string_view text, Buttons buttons) override;
  std::optional<std::string> input(std::string_view prompt, std::string_view title,
                                   std::string_view initial) override;

  const std::vector<Shown>& shown() const { return shown_; }
  std::vector<std::string> texts() const;
  const std::vector<std::string>& prompts() const { return prompts_; }
  bool saw(std::string_view text) const;
  std::size_t pendingAnswers() const { return answers_.size() + typed_.size(); }
  void clear() { shown_.clear(); prompts_.clear(); }

 private:
  std::deque<Answer> answers_;
  std::deque<std::optional<std::string>> typed_;
  std::vector<Shown> shown_;
  std::vector<std::string> prompts_;
};

// A clock the test moves by hand.
class FakeClock final : public Clock {
 public:
  LocalDateTime local{2022, 4, 15, 10, 30, 0};
  std::chrono::milliseconds elapsed{0};
  LocalDateTime now() override { return local; }
  std::chrono::milliseconds steady() override { return elapsed; }
  void advance(std::chrono::milliseconds d) { elapsed += d; }
};

// Counts the spins and the sleeps; `onProcess` lets a test act "during" a
// long operation (press Stop, say).
class CountingEventLoop final : public EventLoop {
 public:
  int processed = 0;
  long long sleptMs = 0;
  std::function<void()> onProcess;
  void processEvents() override { ++processed; if (onProcess) onProcess(); }
  void sleepMs(int ms) override { sleptMs += ms; }
};

class RecordingLauncher final : public Launcher {
 public:
  std::vector<std::string> opened;
  bool result = true;
  bool openPath(const std::filesystem::path& path) override { opened.push_back(path.string()); return result; }
  bool openUrl(std::string_view url) override { opened.emplace_back(url); return result; }
};

}  // namespace orb
