#pragma once

#include <QPixmap>

namespace kvartix {

// The program's 101 x 101, 16-colour logo with a transparent surround; also fit for an icon.
// Drawn by scripts/make-logo.py.
QPixmap KvartixLogo();

}  // namespace kvartix
