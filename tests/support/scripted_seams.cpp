#include "tests/support/scripted_seams.h"

namespace orb {
namespace {

const char* ButtonsName(Buttons b) {
  switch (b) {
    case Buttons::Ok: return "OK";
    case Buttons::OkCancel: return "OK/Cancel";
    case Buttons::YesNo: return "Yes/No";
    case Buttons::YesNoCancel: return "Yes/No/Cancel";
  }
  return "?";
}

}  // namespace

Answer ScriptedOperator::ask(std::string_view text, Buttons buttons) {
  shown_.push_back({std::string(text), buttons});
  if (buttons == Buttons::Ok) return Answer::Ok;
  if (answers_.empty())
    throw UnscriptedQuestion(std::string("no scripted answer for the ") + ButtonsName(buttons) +
                             " question: " + std::string(text));
  Answer a = answers_.front();
  answers_.pop_front();
  return a;
}

std::optional<std::string> ScriptedOperator::input(std::string_view prompt, std::string_view,
                                                   std::string_view) {
  prompts_.emplace_back(prompt);
  if (typed_.empty()) throw UnscriptedQuestion("no scripted text for the input box: " + std::string(prompt));
  auto t = typed_.front();
  typed_.pop_front();
  return t;
}

std::vector<std::string> ScriptedOperator::texts() const {
  std::vector<std::string> out;
  for (const auto& s : shown_) out.push_back(s.text);
  return out;
}

bool ScriptedOperator::saw(std::string_view text) const {
  for (const auto& s : shown_)
    if (s.text == text) return true;
  return false;
}

}  // namespace orb
