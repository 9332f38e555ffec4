#include "components/KivTLabel.h"

#include <QPainter>

namespace kvartix {

TKivLabel::TKivLabel(QWidget* parent) : QLabel(parent) {
    QFont bold = font();
    bold.setBold(true);
    bold.setPixelSize(16);  // 12 points at 96 dpi, in pixels so the screen's dpi does not move it
    setFont(bold);
}

void TKivLabel::SetFont3D(const TKivFont3D& value) {
    m_font3D = value;
    update();
}

void TKivLabel::SetTransparent(bool value) {
    m_transparent = value;
    update();
}

void TKivLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!m_transparent) painter.fillRect(rect(), palette().color(QPalette::Window));
    const int flags = static_cast<int>(alignment()) | (wordWrap() ? Qt::TextWordWrap : 0);
    const auto draw = [&](const QColor& colour, int shift) {
        painter.setPen(colour);
        painter.drawText(rect().translated(shift, shift), flags, text());
    };
    if (m_font3D.Style != TKivFont3DStyle::fontNone) {
        const bool raised = m_font3D.Style == TKivFont3DStyle::fontRaised;
        const QColor highlight = palette().color(QPalette::Light);
        const QColor shadow = palette().color(QPalette::Dark);
        draw(raised ? highlight : shadow, -m_font3D.Offset);
        draw(raised ? shadow : highlight, m_font3D.Offset);
    }
    draw(palette().color(QPalette::WindowText), 0);
}

}  // namespace kvartix
