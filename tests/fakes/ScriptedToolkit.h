// A WindowToolkit that answers message boxes from a script and records
// every call in order. EndProgram throws ProgramEnded, which is not a
// std::exception, so it passes through the logic untouched.
#pragma once

#include <array>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/WindowToolkit.h"

namespace virdo::fake {

struct ProgramEnded {
  int status;
};

// A message box that the script has no answer for.
class UnansweredMessage : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

struct ShownMessage {
  std::string text;
  int buttons;
  friend bool operator==(const ShownMessage&, const ShownMessage&) = default;
};

const char* ControlName(Control control);

class ScriptedToolkit : public WindowToolkit {
 public:
  // The controls start as the window's layout has them.
  ScriptedToolkit();

  // The next box with this text gets this answer; onShow runs while the box
  // is up (the user acting meanwhile). Answers for a text are used in turn.
  void Answer(const std::string& text, int answer,
              std::function<void()> onShow = {});
  // Any text, in order, after the answers given for a text.
  void AnswerNext(int answer, std::function<void()> onShow = {});
  void OnProcessEvents(std::function<void()> hook) { onProcessEvents_ = std::move(hook); }
  void ShareLog(std::vector<std::string>* all) { shared_ = all; }

  // What the real toolkit does after Form_Load returns.
  void Show();

  // e.g. "SetVisible Label4 hide", "SetEnabled 0 off", "SetProgressValue 33",
  // "ShowMessage 16 Position file not found ", "EndProgram 1".
  const std::vector<std::string>& Calls() const { return calls_; }
  // Only the calls starting with this word.
  std::vector<std::string> Calls(const std::string& operation) const;

  bool shown = false;
  std::string caption;
  std::map<Control, bool> visible;
  std::array<bool, 2> enabled{true, true};
  std::vector<float> progressValues;
  std::vector<ShownMessage> messages;
  std::optional<int> endStatus;

  void SetCaption(const std::string& text) override;
  void SetVisible(Control control, bool shown) override;
  void SetEnabled(int index, bool enabled) override;
  float GetProgressMax() override;
  void SetProgressValue(float value) override;
  int ShowMessage(const std::string& text, int buttons) override;
  void ProcessEvents() override;
  [[noreturn]] void EndProgram(int status) override;

 private:
  struct Reply {
    int answer;
    std::function<void()> onShow;
  };
  void Record(std::string text);

  std::map<std::string, std::deque<Reply>> byText_;
  std::deque<Reply> inOrder_;
  std::function<void()> onProcessEvents_;
  std::vector<std::string> calls_;
  std::vector<std::string>* shared_ = nullptr;
};

}  // namespace virdo::fake
