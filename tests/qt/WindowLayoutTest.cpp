// Form1 as the Qt toolkit builds it from its layout data.
#include <gtest/gtest.h>

#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QKeySequence>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>

#include "app/Form1.h"
#include "platform/qt/QtGeometry.h"
#include "tests/qt/QtTestSupport.h"

namespace virdo {
namespace {

using test::ScriptedEvents;

class WindowLayoutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = toolkit_.Build(Form1Layout(), events_);
    window_->show();
    QCoreApplication::processEvents();
  }

  template <typename T = QWidget>
  T* Find(const char* name) {
    T* widget = window_->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }

  ScriptedEvents events_;
  QtWindowToolkit toolkit_;
  QWidget* window_ = nullptr;
};

TEST_F(WindowLayoutTest, ClientAreaIsFixedAt563By196) {
  EXPECT_EQ(window_->objectName(), "Form1");
  EXPECT_EQ(window_->size(), QSize(563, 196));
  EXPECT_EQ(window_->minimumSize(), QSize(563, 196));
  EXPECT_EQ(window_->maximumSize(), QSize(563, 196));
  EXPECT_EQ(window_->windowTitle(), "VIRDO5 updater");
}

TEST_F(WindowLayoutTest, EveryControlSitsAtItsPixelPlace) {
  const struct {
    const char* name;
    QRect pixels;
  } cases[] = {
      {"Command1_0", {24, 152, 121, 33}}, {"Command1_1", {416, 152, 121, 33}},
      {"Label1", {32, 8, 497, 89}},       {"Label2", {184, 72, 217, 25}},
      {"Label3", {32, 104, 489, 49}},     {"Label4", {32, 56, 497, 25}},
      {"ProgressBar1", {16, 8, 529, 41}},
  };
  for (const auto& c : cases) {
    if (QWidget* widget = Find(c.name)) {
      EXPECT_EQ(widget->geometry(), c.pixels) << c.name;
      EXPECT_EQ(widget->parentWidget(), window_) << c.name;
    }
  }
}

TEST(QtGeometryTest, TwipsAndPointsAtNinetySixDpi) {
  EXPECT_EQ(qt::PixelsFromTwips(0), 0);
  EXPECT_EQ(qt::PixelsFromTwips(8445), 563);
  EXPECT_EQ(qt::PixelsFromTwips(22), 1);  // rounds, not truncates
  EXPECT_EQ(qt::PixelsFromTwips(-15), -1);
  EXPECT_EQ(qt::PixelsFromPoints(9.75), 13);
  EXPECT_EQ(qt::PixelsFromPoints(12), 16);
  EXPECT_EQ(qt::PixelsFromPoints(15.75), 21);
}

TEST_F(WindowLayoutTest, TextsAreTheLayoutsWithoutAccessKeys) {
  for (const ControlLayout& control : Form1Layout().controls) {
    const std::string name =
        control.kind == ControlKind::PushButton
            ? control.name + "_" + std::to_string(control.index)
            : control.name;
    QWidget* widget = Find(name.c_str());
    if (!widget) continue;
    const QString expected = QString::fromStdString(control.text);
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
      EXPECT_EQ(button->text(), expected) << name;
      EXPECT_TRUE(QKeySequence::mnemonic(button->text()).isEmpty()) << name;
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
      EXPECT_EQ(label->text(), expected) << name;
      EXPECT_EQ(label->textFormat(), Qt::PlainText) << name;
      EXPECT_EQ(label->buddy(), nullptr) << name;
    } else if (auto* bar = qobject_cast<QProgressBar*>(widget)) {
      EXPECT_FALSE(bar->isTextVisible());
    }
  }
}

TEST(WindowAccessKeyTest, AmpersandInAButtonTextIsShownNotAnAccessKey) {
  FormLayout layout{"T", 1500, 1500, {}};
  layout.controls.push_back({"Command1", ControlKind::PushButton, 0,
                             std::nullopt, "Save & Exit", 0, 0, 900, 300,
                             std::nullopt, std::nullopt, TextAlign::Centre,
                             true, true});
  ScriptedEvents events;
  QtWindowToolkit toolkit;
  QWidget* window = toolkit.Build(layout, events);
  auto* button = window->findChild<QPushButton*>("Command1_0");
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->text(), "Save && Exit");
  EXPECT_TRUE(QKeySequence::mnemonic(button->text()).isEmpty());
}

TEST_F(WindowLayoutTest, LabelsHaveTheirFontColourAlignmentAndWrap) {
  const QColor red(255, 0, 0), darkBlue(0, 0, 192);
  const Qt::Alignment left = Qt::AlignLeft | Qt::AlignTop;
  const Qt::Alignment centre = Qt::AlignHCenter | Qt::AlignTop;
  const struct {
    const char* name;
    double points;
    QColor colour;
    Qt::Alignment align;
  } cases[] = {
      {"Label1", 9.75, red, left},
      {"Label2", 15.75, darkBlue, centre},
      {"Label3", 12, red, left},
      {"Label4", 12, darkBlue, centre},
  };
  const bool haveTahoma =
      QFontDatabase::families().contains("Tahoma", Qt::CaseInsensitive);
  for (const auto& c : cases) {
    auto* label = Find<QLabel>(c.name);
    if (!label) continue;
    const QFont font = label->font();
    const QFontInfo used(font);
    EXPECT_EQ(font.weight(), QFont::Bold) << c.name;
    EXPECT_TRUE(used.bold()) << c.name;
    EXPECT_FALSE(used.italic()) << c.name;
    EXPECT_FALSE(font.underline() || font.strikeOut()) << c.name;
    // Points at 96 dpi, fixed in pixels like the boxes.
    EXPECT_EQ(font.pixelSize(), qt::PixelsFromPoints(c.points)) << c.name;
    EXPECT_EQ(used.pixelSize(), qt::PixelsFromPoints(c.points)) << c.name;
    if (haveTahoma) {
      EXPECT_EQ(used.family(), "Tahoma") << c.name;
    }
    EXPECT_EQ(used.styleHint(), QFont::SansSerif) << c.name;
    EXPECT_EQ(label->palette().color(QPalette::WindowText), c.colour) << c.name;
    EXPECT_FALSE(label->autoFillBackground()) << c.name;
    EXPECT_EQ(label->alignment(), c.align) << c.name;
    EXPECT_TRUE(label->wordWrap()) << c.name;
    EXPECT_EQ(label->margin(), 0) << c.name;
  }
}

TEST(WindowFontTest, TahomaIsFoundWhereWineShipsIt) {
  if (!QFile::exists("/usr/share/wine/fonts/tahomabd.ttf")) {
    GTEST_SKIP() << "no Wine fonts here";
  }
  const QFont font = QtWindowToolkit::LabelFont({"Tahoma", 12, 700});
  EXPECT_EQ(QFontInfo(font).family(), "Tahoma");
  EXPECT_TRUE(QFontInfo(font).bold());
}

// Ink of a text drawn in black on white: the share of dark pixels.
double Ink(const QFont& font, const QString& text) {
  const QFontMetrics metrics(font);
  QImage image(metrics.horizontalAdvance(text) + 4, metrics.height() + 4,
               QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setFont(font);
  painter.setPen(Qt::black);
  painter.drawText(2, 2 + metrics.ascent(), text);
  painter.end();
  long dark = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) dark += qGray(image.pixel(x, y)) < 128;
  }
  return static_cast<double>(dark) / (image.width() * image.height());
}

TEST_F(WindowLayoutTest, LabelsAreDrawnBoldNotJustCalledBold) {
  // A font file can say Bold and still draw regular stems (Wine's Tahoma).
  for (const char* name : {"Label1", "Label2", "Label3", "Label4"}) {
    auto* label = Find<QLabel>(name);
    if (!label) continue;
    QFont regular = label->font();
    regular.setWeight(QFont::Normal);
    const double bold = Ink(label->font(), label->text());
    const double normal = Ink(regular, label->text());
    EXPECT_GT(bold, normal * 1.2) << name << ": bold " << bold << ", regular " << normal;
  }
}

TEST_F(WindowLayoutTest, EveryLabelsTextFitsInItsBox) {
  for (const char* name : {"Label1", "Label2", "Label3", "Label4"}) {
    auto* label = Find<QLabel>(name);
    if (!label) continue;
    const QRect box(QPoint(0, 0), label->size());
    const QRect text = QFontMetrics(label->font())
                           .boundingRect(box, label->alignment() | Qt::TextWordWrap,
                                         label->text());
    EXPECT_TRUE(box.contains(text))
        << name << ": text needs " << text.width() << " x " << text.height()
        << " at " << text.x() << "," << text.y() << ", box is " << box.width()
        << " x " << box.height() << " in " << QFontInfo(label->font()).family().toStdString();
  }
}

TEST(WindowFontTest, TextsAlsoFitInTheFallbackSansSerif) {
  // Where the system has no Tahoma at all.
  for (const ControlLayout& control : Form1Layout().controls) {
    if (control.kind != ControlKind::Label || !control.font) continue;
    FontSpec style = *control.font;
    style.family = "No Such Family";
    const QFont font = QtWindowToolkit::LabelFont(style);
    EXPECT_TRUE(QFontInfo(font).bold()) << control.name;
    const QRect box(QPoint(0, 0), qt::PixelRect(control).size());
    const QRect text = QFontMetrics(font).boundingRect(
        box, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
        QString::fromStdString(control.text));
    EXPECT_TRUE(box.contains(text))
        << control.name << " in " << QFontInfo(font).family().toStdString()
        << ": " << text.width() << " x " << text.height();
  }
}

TEST_F(WindowLayoutTest, OnlyTheButtonsTakeFocusStartUpdatingFirst) {
  auto* start = Find<QPushButton>("Command1_0");
  auto* exit = Find<QPushButton>("Command1_1");
  ASSERT_TRUE(start && exit);
  for (QPushButton* button : {start, exit}) {
    EXPECT_TRUE(button->focusPolicy() & Qt::TabFocus);
    EXPECT_FALSE(button->isDefault());
    EXPECT_FALSE(button->autoDefault());
  }
  for (const char* name : {"Label1", "Label2", "Label3", "Label4", "ProgressBar1"}) {
    if (QWidget* widget = Find(name)) {
      EXPECT_EQ(widget->focusPolicy(), Qt::NoFocus) << name;
    }
  }
  EXPECT_EQ(window_->focusWidget(), start);

  // The tab chain from the window's first focus holds the two buttons only,
  // in this order.
  std::vector<QWidget*> chain;
  QWidget* widget = start;
  do {
    if ((widget->focusPolicy() & Qt::TabFocus) && widget != window_) {
      chain.push_back(widget);
    }
    widget = widget->nextInFocusChain();
  } while (widget != start && chain.size() < 10);
  EXPECT_EQ(chain, (std::vector<QWidget*>{start, exit}));
}

TEST_F(WindowLayoutTest, WindowHasTheSixteenColourIcon) {
  const QIcon icon = window_->windowIcon();
  ASSERT_FALSE(icon.isNull());
  EXPECT_TRUE(icon.availableSizes().contains(QSize(48, 48)));
  const QImage image = icon.pixmap(48, 48).toImage();
  QSet<QRgb> colours;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) colours.insert(image.pixel(x, y));
  }
  EXPECT_LE(colours.size(), 16);
  EXPECT_GT(colours.size(), 2);
}

// The display states, driven as the logic drives them.
struct StateCase {
  const char* state;
  std::function<void(WindowToolkit&)> enter;
  std::vector<const char*> shown;
  bool startEnabled, exitEnabled;
};

void Ready(WindowToolkit&) {}
void Running(WindowToolkit& t) {
  t.SetVisible(Control::Label4, false);
  t.SetVisible(Control::Label2, true);
  t.SetVisible(Control::Label3, true);
  t.SetEnabled(0, false);
  t.SetEnabled(1, false);
}
void Copying(WindowToolkit& t) {
  Running(t);
  t.SetProgressValue(0);
  t.SetVisible(Control::ProgressBar1, true);
}
void Finished(WindowToolkit& t) {
  Copying(t);
  t.SetVisible(Control::Label2, false);
  t.SetVisible(Control::Label3, false);
  t.SetVisible(Control::ProgressBar1, false);
  t.SetVisible(Control::Label1, true);
  t.SetEnabled(1, true);
}

TEST_F(WindowLayoutTest, DisplayStatesShowAndEnableTheRightControls) {
  const StateCase cases[] = {
      {"Ready", Ready, {"Label4"}, true, true},
      {"Running", Running, {"Label2", "Label3"}, false, false},
      {"Copying", Copying, {"Label2", "Label3", "ProgressBar1"}, false, false},
      {"Finished", Finished, {"Label1"}, false, true},
  };
  for (const StateCase& c : cases) {
    window_ = toolkit_.Build(Form1Layout(), events_);
    window_->show();
    c.enter(toolkit_);
    for (const char* name :
         {"Label1", "Label2", "Label3", "Label4", "ProgressBar1"}) {
      const bool expected =
          std::find_if(c.shown.begin(), c.shown.end(), [&](const char* n) {
            return std::string(n) == name;
          }) != c.shown.end();
      if (QWidget* widget = Find(name)) {
        EXPECT_EQ(widget->isVisible(), expected) << c.state << " " << name;
      }
    }
    for (const char* name : {"Command1_0", "Command1_1"}) {
      EXPECT_TRUE(Find(name)->isVisible()) << c.state << " " << name;
    }
    EXPECT_EQ(Find("Command1_0")->isEnabled(), c.startEnabled) << c.state;
    EXPECT_EQ(Find("Command1_1")->isEnabled(), c.exitEnabled) << c.state;
  }
}

TEST_F(WindowLayoutTest, ClicksCarryTheButtonsIndexAndNoneWhenDisabled) {
  auto* start = Find<QPushButton>("Command1_0");
  auto* exit = Find<QPushButton>("Command1_1");
  ASSERT_TRUE(start && exit);
  exit->click();
  start->click();
  EXPECT_EQ(events_.clicks, (std::vector<std::int16_t>{1, 0}));

  toolkit_.SetEnabled(0, false);
  toolkit_.SetEnabled(1, false);
  toolkit_.SetEnabled(2, true);  // no such button: nothing happens
  start->click();
  exit->click();
  EXPECT_EQ(events_.clicks.size(), 2u);
  EXPECT_FALSE(start->isEnabled());
  EXPECT_FALSE(exit->isEnabled());
}

TEST_F(WindowLayoutTest, CaptionIsSetExactly) {
  toolkit_.SetCaption("VIRDO updater     Serial N.  FF");
  EXPECT_EQ(window_->windowTitle(), "VIRDO updater     Serial N.  FF");
}

}  // namespace
}  // namespace virdo
