// Build-time tool: writes the program's icon at one size as PNG, drawn from the logo.
// Usage: kvartix-make-icon SIZE OUTPUT.png
#include <QImage>
#include <cstdio>
#include <string>

#include "ui/forms/kvartix-logo.xpm"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: kvartix-make-icon SIZE OUTPUT.png\n");
        return 2;
    }
    const int size = std::stoi(argv[1]);
    const QImage logo = QImage(kvartix_logo).convertToFormat(QImage::Format_ARGB32);
    // The logo is pixel art: enlarge by whole pixels first, so the smooth step that follows
    // only ever shrinks and the edges stay sharp.
    const int factor = (size + logo.width() - 1) / logo.width();
    const QImage icon = logo.scaled(logo.size() * factor)
                            .scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    if (icon.width() != size || !icon.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "kvartix-make-icon: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
