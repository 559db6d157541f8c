#include "app/Form1.h"

namespace virdo {

namespace {

constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kDarkBlue{0, 0, 192};

FontSpec Tahoma(double points) { return FontSpec{"Tahoma", points, 700}; }

}  // namespace

const FormLayout& Form1Layout() {
  static const FormLayout layout{
      "VIRDO5 updater",
      8445,
      2940,
      {
          {"Command1", ControlKind::PushButton, 0, std::nullopt,
           "Start Updating", 360, 2280, 1815, 495, std::nullopt, std::nullopt,
           TextAlign::Centre, true, true},
          {"Command1", ControlKind::PushButton, 1, std::nullopt, "Exit", 6240,
           2280, 1815, 495, std::nullopt, std::nullopt, TextAlign::Centre, true,
           true},
          {"Label1", ControlKind::Label, -1, Control::Label1,
           "Now you are ready to update your VIRDO . Please disconnect the USB "
           "cable , turn off the keyboard then on again by holding down  F6 "
           "tab for 3 seconds. While the update routine is running , the leds "
           "at the right side will flash . The keyboard will reboot "
           "automatically when completed .",
           480, 120, 7455, 1335, Tahoma(9.75), kRed, TextAlign::Left, false,
           true},
          {"Label2", ControlKind::Label, -1, Control::Label2, "PLEASE WAIT",
           2760, 1080, 3255, 375, Tahoma(15.75), kDarkBlue, TextAlign::Centre,
           false, true},
          {"Label3", ControlKind::Label, -1, Control::Label3,
           "WARNING : DO NOT TURN OFF THE KEYBOARD UNTIL THE UPDATE OPERATION "
           "WILL BE COMPLETED",
           480, 1560, 7335, 735, Tahoma(12), kRed, TextAlign::Left, false,
           true},
          {"Label4", ControlKind::Label, -1, Control::Label4,
           "The start setup will be changed as factory default", 480, 840,
           7455, 375, Tahoma(12), kDarkBlue, TextAlign::Centre, true, true},
          {"ProgressBar1", ControlKind::ProgressBar, -1, Control::ProgressBar1,
           "", 240, 120, 7935, 615, std::nullopt, std::nullopt,
           TextAlign::None, false, true, 0, 100},
      }};
  return layout;
}

}  // namespace virdo
