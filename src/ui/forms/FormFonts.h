#pragma once

#include <QFont>
#include <QStringList>

namespace kvartix {

// The windows' faces in order. Liberation Sans has the metrics of the face the layout was
// drawn for, Arial; Windows has Arial and seldom Liberation.
inline QStringList FormFamilies(bool narrow = false) {
    if (narrow) return {QStringLiteral("Liberation Sans Narrow"), QStringLiteral("Arial Narrow")};
    return {QStringLiteral("Liberation Sans"), QStringLiteral("Arial")};
}

// The narrow cut keeps long addresses inside the window. Sizes are in pixels, so the layout
// does not move with the screen's dpi.
inline QFont FormFont(int pixelSize, bool bold = false, bool narrow = false) {
    QFont font(FormFamilies(narrow));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

}  // namespace kvartix
