#include "ui/WindowFont.h"

#include "ui/forms/FormFonts.h"

namespace kvartix {

QFont WindowFont() {
    QFont font(FormFamilies());
    font.setPixelSize(11);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

}  // namespace kvartix
