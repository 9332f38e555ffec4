#pragma once

#include <QFont>

namespace kvartix {

// The windows' font: Liberation Sans (Debian's fonts-liberation: Arial's widths, Cyrillic
// included), else Arial, at a pixel size, so that the fixed layout does not move with the
// screen's DPI.
QFont WindowFont();

}  // namespace kvartix
