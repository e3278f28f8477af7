#include "common/console_seams.h"

#include <chrono>
#include <thread>

namespace orb {

Answer ConsoleOperator::ask(std::string_view text, Buttons buttons) {
  err_ << text << "\n";
  if (buttons == Buttons::Ok) return Answer::Ok;
  for (const auto& [part, answer] : answers_)
    if (text.find(part) != std::string_view::npos) return answer;
  throw UnansweredQuestion("no option answers the question: " + std::string(text));
}

std::optional<std::string> ConsoleOperator::input(std::string_view prompt, std::string_view,
                                                  std::string_view) {
  for (const auto& [part, text] : typed_)
    if (prompt.find(part) != std::string_view::npos) return text;
  throw UnansweredQuestion("no option answers the question: " + std::string(prompt));
}

void ConsoleEventLoop::sleepMs(int ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool ConsoleLauncher::openPath(const std::filesystem::path& path) {
  out_ << path.string() << "\n";
  return true;
}

bool ConsoleLauncher::openUrl(std::string_view url) {
  out_ << url << "\n";
  return true;
}

}  // namespace orb
