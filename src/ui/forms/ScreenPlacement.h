#pragma once

#include <QRect>
#include <cstdint>

class QWidget;

namespace kvartix {

// A window's stored client bounds placed on one of this display's screens: the frame around
// them lies within a screen's available area (PlaceOnScreen). Returns the client bounds.
QRect PlaceOnAScreen(std::int64_t left, std::int64_t top, std::int64_t width, std::int64_t height,
                     const QMargins& frame, const QSize& minimum);

// Moves a shown window, unless maximized, wholly onto a screen, its frame as the window system
// has now drawn it included; a window already there stays where it is.
void KeepOnAScreen(QWidget& window, const QSize& minimum);

// The frame a window has around its client area: none until the window system has framed it.
QMargins FrameMargins(const QWidget& window);

}  // namespace kvartix
