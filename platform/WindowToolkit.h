// What the updater needs of the window toolkit, and the window's layout as
// plain data that a toolkit builds into controls.
#pragma once

#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <vector>

namespace virdo {

// The controls that the logic shows and hides.
enum class Control { Label1, Label2, Label3, Label4, ProgressBar1 };

// Button codes of the message box.
enum : int {
  kMsgOk = 0,
  kMsgYesNo = 4,
  kMsgRetryCancel = 5,
  kMsgCritical = 16,  // added to kMsgOk: OK alone with the stop icon
};

// Answer codes of the message box.
enum : int {
  kAnswerOk = 1,
  kAnswerCancel = 2,
  kAnswerRetry = 4,
  kAnswerYes = 6,
  kAnswerNo = 7,
};

// Exit statuses of the program.
enum : int {
  kExitNormal = 0,   // Exit, Cancel, window closed
  kExitStopped = 1,  // the package or the drive was not as expected
  kExitFailed = 2,   // an operation failed and the run was cut short
};

inline constexpr int kTwipsPerPixel = 15;  // at 96 dots per inch

struct Rgb {
  std::uint8_t red, green, blue;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

struct FontSpec {
  std::string family;
  double pointSize;
  int weight;  // 400 normal, 700 bold
};

enum class ControlKind { PushButton, Label, ProgressBar };
enum class TextAlign { None, Left, Centre };

struct ControlLayout {
  std::string name;               // Command1, Label1 ... ProgressBar1
  ControlKind kind;
  int index;                      // the button's index in Command1; -1 else
  std::optional<Control> control; // set for the labels and the bar
  std::string text;
  int left, top, width, height;   // twips, from the client area's corner
  std::optional<FontSpec> font;   // none: the toolkit's default
  std::optional<Rgb> colour;      // none: the toolkit's default
  TextAlign align;
  bool visible;
  bool enabled;
  int minimum = 0;
  int maximum = 0;
};

struct FormLayout {
  std::string caption;
  int clientWidth, clientHeight;        // twips
  std::vector<ControlLayout> controls;  // in tab order
};

// The events that a toolkit delivers to its window.
class FormEvents {
 public:
  virtual ~FormEvents() = default;
  virtual void Form_Load() = 0;
  virtual void Command1_Click(std::int16_t index) = 0;
};

class WindowToolkit {
 public:
  virtual ~WindowToolkit() = default;
  virtual void SetCaption(const std::string& text) = 0;
  virtual void SetVisible(Control control, bool shown) = 0;
  virtual void SetEnabled(int index, bool enabled) = 0;
  virtual float GetProgressMax() = 0;
  virtual void SetProgressValue(float value) = 0;
  // Modal, under the title "Virdo"; returns the answer code.
  virtual int ShowMessage(const std::string& text, int buttons) = 0;
  virtual void ProcessEvents() = 0;
  // Ends the program at once; no handler of the window runs.
  [[noreturn]] virtual void EndProgram(int status) = 0;
};

}  // namespace virdo
