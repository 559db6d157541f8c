#include "fakes/ScriptedToolkit.h"

#include <cstdio>

#include "app/Form1.h"

namespace virdo::fake {

const char* ControlName(Control control) {
  switch (control) {
    case Control::Label1: return "Label1";
    case Control::Label2: return "Label2";
    case Control::Label3: return "Label3";
    case Control::Label4: return "Label4";
    case Control::ProgressBar1: return "ProgressBar1";
  }
  return "?";
}

ScriptedToolkit::ScriptedToolkit() {
  for (const ControlLayout& c : Form1Layout().controls) {
    if (c.control) visible[*c.control] = c.visible;
    if (c.kind == ControlKind::PushButton && c.index >= 0 && c.index < 2) {
      enabled[static_cast<std::size_t>(c.index)] = c.enabled;
    }
  }
}

void ScriptedToolkit::Answer(const std::string& text, int answer,
                             std::function<void()> onShow) {
  byText_[text].push_back({answer, std::move(onShow)});
}

void ScriptedToolkit::AnswerNext(int answer, std::function<void()> onShow) {
  inOrder_.push_back({answer, std::move(onShow)});
}

void ScriptedToolkit::Record(std::string text) {
  if (shared_ != nullptr) shared_->push_back(text);
  calls_.push_back(std::move(text));
}

std::vector<std::string> ScriptedToolkit::Calls(const std::string& operation) const {
  std::vector<std::string> some;
  for (const std::string& c : calls_) {
    if (c == operation || c.starts_with(operation + " ")) some.push_back(c);
  }
  return some;
}

void ScriptedToolkit::Show() {
  Record("Show");
  shown = true;
}

void ScriptedToolkit::SetCaption(const std::string& text) {
  Record("SetCaption " + text);
  caption = text;
}

void ScriptedToolkit::SetVisible(Control control, bool show) {
  Record(std::string("SetVisible ") + ControlName(control) + (show ? " show" : " hide"));
  visible[control] = show;
}

void ScriptedToolkit::SetEnabled(int index, bool enable) {
  Record("SetEnabled " + std::to_string(index) + (enable ? " on" : " off"));
  if (index < 0 || index > 1) throw std::out_of_range("no such button");
  enabled[static_cast<std::size_t>(index)] = enable;
}

float ScriptedToolkit::GetProgressMax() {
  Record("GetProgressMax");
  return 100.0f;
}

void ScriptedToolkit::SetProgressValue(float value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", static_cast<double>(value));
  Record(std::string("SetProgressValue ") + text);
  progressValues.push_back(value);
}

int ScriptedToolkit::ShowMessage(const std::string& text, int buttons) {
  Record("ShowMessage " + std::to_string(buttons) + " " + text);
  messages.push_back({text, buttons});
  std::deque<Reply>* queue = nullptr;
  if (auto it = byText_.find(text); it != byText_.end() && !it->second.empty()) {
    queue = &it->second;
  } else if (!inOrder_.empty()) {
    queue = &inOrder_;
  } else {
    throw UnansweredMessage("no answer scripted for the message \"" + text + "\"");
  }
  Reply reply = std::move(queue->front());
  queue->pop_front();
  if (reply.onShow) reply.onShow();
  return reply.answer;
}

void ScriptedToolkit::ProcessEvents() {
  Record("ProcessEvents");
  if (onProcessEvents_) onProcessEvents_();
}

void ScriptedToolkit::EndProgram(int status) {
  Record("EndProgram " + std::to_string(status));
  endStatus = status;
  throw ProgramEnded{status};
}

}  // namespace virdo::fake
