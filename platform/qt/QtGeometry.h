// The one place where the layout's units become the screen's: twips and
// points are both fixed at 96 dots per inch, so the fonts keep the size that
// the pixel boxes were drawn for whatever the screen's own dpi is.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>
#include <cmath>

#include "platform/WindowToolkit.h"

namespace virdo::qt {

inline constexpr double kPointsPerInch = 72.0;
inline constexpr double kDotsPerInch = 96.0;

inline int PixelsFromTwips(int twips) {
  return static_cast<int>(std::lround(static_cast<double>(twips) / kTwipsPerPixel));
}

inline int PixelsFromPoints(double points) {
  return static_cast<int>(std::lround(points * kDotsPerInch / kPointsPerInch));
}

inline QRect PixelRect(const ControlLayout& control) {
  return QRect(PixelsFromTwips(control.left), PixelsFromTwips(control.top),
               PixelsFromTwips(control.width), PixelsFromTwips(control.height));
}

inline QSize ClientSize(const FormLayout& form) {
  return QSize(PixelsFromTwips(form.clientWidth), PixelsFromTwips(form.clientHeight));
}

}  // namespace virdo::qt
