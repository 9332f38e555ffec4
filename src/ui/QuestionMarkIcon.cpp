#include "ui/QuestionMarkIcon.h"

#include <QPainter>
#include <QPixmap>

namespace kvartix {
namespace {

QPixmap Picture(const QColor& circle, const QColor& fill, const QColor& mark) {
    QPixmap pixmap(32, 32);  // drawn at twice the size, sharp at a pixel ratio of 2
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(circle, 2.5));
    p.setBrush(fill);
    p.drawEllipse(QRectF(2, 2, 28, 28));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(22);
    font.setBold(true);
    p.setFont(font);
    p.setPen(mark);
    p.drawText(QRect(0, 1, 32, 32), Qt::AlignCenter, QStringLiteral("?"));
    return pixmap;
}

}  // namespace

QIcon QuestionMarkIcon() {
    QIcon icon;
    icon.addPixmap(Picture(QColor(0, 0, 0x80), Qt::white, QColor(0, 0, 0x80)), QIcon::Normal,
                   QIcon::Off);
    icon.addPixmap(Picture(QColor(0, 0, 0x80), QColor(0, 0, 0xC0), Qt::yellow), QIcon::Normal,
                   QIcon::On);
    return icon;
}

}  // namespace kvartix
