#include "platform/qt/QtWindowToolkit.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QIcon>
#include <QLabel>
#include <QMessageBox>
#include <QPalette>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <vector>

#include "platform/FailureReport.h"
#include "platform/qt/QtGeometry.h"

namespace virdo {

namespace {

#include "platform/qt/virdo-updater.xpm"

constexpr char kTahoma[] = "Tahoma";
// Debian's fonts-wine ships Tahoma without registering it with fontconfig.
// Only the regular face: Wine's tahomabd.ttf is drawn with regular-weight
// stems, while Qt's emboldened regular face does look bold.
constexpr char kWineTahoma[] = "/usr/share/wine/fonts/tahoma.ttf";

void EnsureTahoma() {
  static bool looked = false;
  if (looked) return;
  looked = true;
  if (QFontDatabase::families().contains(kTahoma, Qt::CaseInsensitive)) return;
  if (QFile::exists(kWineTahoma)) QFontDatabase::addApplicationFont(kWineTahoma);
}

[[noreturn]] void ExitNow(int status) {
  std::cout.flush();
  std::cerr.flush();
  std::clog.flush();
  std::fflush(nullptr);
  std::_Exit(status);
}

QString Escaped(const std::string& text) {
  // A '&' would make the next letter an access key.
  return QString::fromStdString(text).replace('&', QStringLiteral("&&"));
}

Qt::Alignment LabelAlignment(TextAlign align) {
  // The labels' text starts at the top of the box.
  const Qt::Alignment across =
      align == TextAlign::Centre ? Qt::AlignHCenter : Qt::AlignLeft;
  return across | Qt::AlignTop;
}

void SetTextColour(QWidget& widget, const Rgb& rgb) {
  const QColor colour(rgb.red, rgb.green, rgb.blue);
  QPalette palette = widget.palette();
  palette.setColor(QPalette::WindowText, colour);
  palette.setColor(QPalette::ButtonText, colour);
  widget.setPalette(palette);
}

}  // namespace

class QtWindowToolkit::FormWindow final : public QWidget {
 public:
  explicit FormWindow(QtWindowToolkit& toolkit) : toolkit_(toolkit) {}

 protected:
  void closeEvent(QCloseEvent* event) override {
    if (toolkit_.CloseRequested()) {
      event->accept();
    } else {
      event->ignore();
    }
  }

 private:
  QtWindowToolkit& toolkit_;
};

QtWindowToolkit::QtWindowToolkit(ExitFunction exit)
    : exit_(exit ? std::move(exit) : ExitFunction(&ExitNow)) {}

QtWindowToolkit::~QtWindowToolkit() { delete window_.data(); }

QFont QtWindowToolkit::LabelFont(const FontSpec& style) {
  EnsureTahoma();
  QFont font(QString::fromStdString(style.family));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(qt::PixelsFromPoints(style.pointSize));
  font.setWeight(static_cast<QFont::Weight>(style.weight));
  font.setItalic(false);
  font.setUnderline(false);
  font.setStrikeOut(false);
  return font;
}

QWidget* QtWindowToolkit::Build(const FormLayout& layout, FormEvents& events) {
  delete window_.data();
  buttons_.clear();
  controls_.clear();
  events_ = &events;
  ended_.reset();

  auto* window = new FormWindow(*this);
  window->setObjectName(QStringLiteral("Form1"));
  window->setWindowTitle(QString::fromStdString(layout.caption));
  window->setWindowIcon(QIcon(QPixmap(virdo_updater_xpm)));
  window->setFixedSize(qt::ClientSize(layout));

  QWidget* previousFocus = nullptr;
  for (const ControlLayout& control : layout.controls) {
    QWidget* widget = nullptr;
    QString name = QString::fromStdString(control.name);
    switch (control.kind) {
      case ControlKind::PushButton: {
        auto* button = new QPushButton(Escaped(control.text), window);
        button->setAutoDefault(false);
        button->setDefault(false);
        button->setFocusPolicy(Qt::StrongFocus);
        const int index = control.index;
        QObject::connect(button, &QAbstractButton::clicked, window,
                         [this, index] { Click(index); });
        buttons_[index] = button;
        name += QStringLiteral("_%1").arg(index);
        if (previousFocus) QWidget::setTabOrder(previousFocus, button);
        previousFocus = button;
        widget = button;
        break;
      }
      case ControlKind::Label: {
        auto* label = new QLabel(window);
        label->setTextFormat(Qt::PlainText);
        label->setText(QString::fromStdString(control.text));
        label->setWordWrap(true);
        label->setAlignment(LabelAlignment(control.align));
        label->setFocusPolicy(Qt::NoFocus);
        widget = label;
        break;
      }
      case ControlKind::ProgressBar: {
        auto* bar = new QProgressBar(window);
        bar->setOrientation(Qt::Horizontal);
        bar->setRange(control.minimum, control.maximum);
        bar->setValue(control.minimum);
        bar->setTextVisible(false);
        bar->setFocusPolicy(Qt::NoFocus);
        bar_ = bar;
        widget = bar;
        break;
      }
    }
    widget->setObjectName(name);
    widget->setGeometry(qt::PixelRect(control));
    if (control.font) widget->setFont(LabelFont(*control.font));
    if (control.colour) SetTextColour(*widget, *control.colour);
    widget->setHidden(!control.visible);
    widget->setEnabled(control.enabled);
    if (control.control) controls_[*control.control] = widget;
  }

  if (!buttons_.empty()) buttons_.begin()->second->setFocus();
  window_ = window;
  return window;
}

int QtWindowToolkit::Run(const FormLayout& layout, FormEvents& events) {
  // The program ends only by EndProgram; a message box closed before the
  // window is shown must not end the event loop before it starts.
  QGuiApplication::setQuitOnLastWindowClosed(false);
  Build(layout, events);
  Guarded([&events] { events.Form_Load(); });
  if (ended_) return *ended_;
  window_->show();
  window_->activateWindow();
  inEventLoop_ = true;
  const int status = QApplication::exec();
  inEventLoop_ = false;
  return ended_.value_or(status);
}

void QtWindowToolkit::SetCaption(const std::string& text) {
  if (window_) window_->setWindowTitle(QString::fromStdString(text));
}

void QtWindowToolkit::SetVisible(Control control, bool shown) {
  const auto found = controls_.find(control);
  if (found != controls_.end() && found->second) found->second->setVisible(shown);
}

void QtWindowToolkit::SetEnabled(int index, bool enabled) {
  const auto found = buttons_.find(index);
  if (found != buttons_.end() && found->second) found->second->setEnabled(enabled);
}

float QtWindowToolkit::GetProgressMax() {
  return bar_ ? static_cast<float>(bar_->maximum()) : 100.0f;
}

void QtWindowToolkit::SetProgressValue(float value) {
  if (!bar_) return;
  long whole = std::isfinite(value) ? std::lround(value) : bar_->minimum();
  whole = std::clamp<long>(whole, bar_->minimum(), bar_->maximum());
  if (whole == bar_->value()) return;
  bar_->setValue(static_cast<int>(whole));
  // QProgressBar skips changes it thinks too small to see; and the caller
  // goes on to copy a file that may take long: paint the new value now.
  if (bar_->isVisible()) bar_->repaint();
}

int QtWindowToolkit::ShowMessage(const std::string& text, int buttons) {
  struct Choice {
    QMessageBox::StandardButton button;
    const char* text;
    int answer;
  };
  std::vector<Choice> choices;
  int answerWhenClosed = kAnswerOk;
  switch (buttons & 0x0F) {
    case kMsgYesNo:
      choices = {{QMessageBox::Yes, "Yes", kAnswerYes},
                 {QMessageBox::No, "No", kAnswerNo}};
      answerWhenClosed = kAnswerNo;
      break;
    case kMsgRetryCancel:
      choices = {{QMessageBox::Retry, "Retry", kAnswerRetry},
                 {QMessageBox::Cancel, "Cancel", kAnswerCancel}};
      answerWhenClosed = kAnswerCancel;
      break;
    default:
      choices = {{QMessageBox::Ok, "OK", kAnswerOk}};
      break;
  }

  QWidget* parent = window_ && window_->isVisible() ? window_.data() : nullptr;
  QMessageBox box(parent);
  box.setObjectName(QString::fromLatin1(kMessageBoxObjectName));
  box.setWindowTitle(QString::fromLatin1(kMessageBoxTitle));
  box.setTextFormat(Qt::PlainText);
  box.setText(QString::fromStdString(text));
  box.setIcon((buttons & 0xF0) == kMsgCritical ? QMessageBox::Critical
                                               : QMessageBox::NoIcon);
  std::map<QAbstractButton*, int> answers;
  for (const Choice& choice : choices) {
    QPushButton* button = box.addButton(choice.button);
    // Plain English, whatever the desktop's theme or language would put.
    button->setText(QString::fromLatin1(choice.text));
    button->setIcon(QIcon());
    answers[button] = choice.answer;
    if (answers.size() == 1) box.setDefaultButton(button);
  }
  box.exec();
  const auto found = answers.find(box.clickedButton());
  return found == answers.end() ? answerWhenClosed : found->second;
}

void QtWindowToolkit::ProcessEvents() {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  // Paints that the events above asked for are posted: deliver them too.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
}

void QtWindowToolkit::EndProgram(int status) {
  exit_(status);
  // Only an exit function for tests comes back here.
  throw ProgramEnded{status};
}

void QtWindowToolkit::Guarded(const std::function<void()>& handler) {
  QString report;
  try {
    handler();
    return;
  } catch (const ProgramEnded& end) {
    Ended(end.status);
    return;
  } catch (const std::exception& error) {
    try {
      report = QString::fromStdString(FailureReport(error));
    } catch (...) {
      report = QString::fromUtf8(error.what());
    }
  } catch (...) {
    report = QString::fromLatin1(kUnknownFailureText);
  }
  Fail(report);
}

void QtWindowToolkit::Fail(const QString& report) {
  try {
    ShowMessage(report.toStdString(), kMsgOk + kMsgCritical);
  } catch (...) {
    // The program ends all the same.
  }
  try {
    EndProgram(kExitFailed);
  } catch (const ProgramEnded& end) {
    Ended(end.status);
  } catch (...) {
    Ended(kExitFailed);
  }
}

void QtWindowToolkit::Ended(int status) {
  ended_ = status;
  if (window_) window_->hide();
  // Outside the event loop Run sees ended_ itself; an exit() then would
  // also stop the next loop that starts before the application's own.
  if (inEventLoop_) QCoreApplication::exit(status);
}

void QtWindowToolkit::Click(int index) {
  if (!events_) return;
  ++clickDepth_;
  Guarded([this, index] {
    events_->Command1_Click(static_cast<std::int16_t>(index));
  });
  --clickDepth_;
}

bool QtWindowToolkit::CloseRequested() {
  // A run processes events once per line; closing then would cut it short
  // and leave the drive half written.
  if (clickDepth_ > 0) return false;
  Guarded([this] { EndProgram(kExitNormal); });
  return true;
}

}  // namespace virdo
