#pragma once

#include <QFont>

namespace kvartix {

// The windows' face. Liberation Sans has the metrics of the face the layout was drawn for;
// the narrow cut keeps long addresses inside the window. Sizes are in pixels, so the layout
// does not move with the screen's dpi.
inline QFont FormFont(int pixelSize, bool bold = false, bool narrow = false) {
    QFont font(narrow ? QStringLiteral("Liberation Sans Narrow")
                      : QStringLiteral("Liberation Sans"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

}  // namespace kvartix
