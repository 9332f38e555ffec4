#include "components/KivGraphicControl.h"

#include <QMouseEvent>

namespace kvartix {

TKivGraphicControl::TKivGraphicControl(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::NoFocus);
}

void TKivGraphicControl::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) m_pressed = true;
    QWidget::mousePressEvent(event);
}

void TKivGraphicControl::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = event->button() == Qt::LeftButton && m_pressed &&
                       rect().contains(event->position().toPoint());
    if (event->button() == Qt::LeftButton) m_pressed = false;
    QWidget::mouseReleaseEvent(event);
    // Last, and a copy, since a handler may delete the control and with it the stored handler.
    // Accepted, so that Qt does not pass it on through a control the handler deleted.
    if (click && m_onClick) {
        event->accept();
        const TNotifyEvent handler = m_onClick;
        handler(this);
    }
}

void TKivGraphicControl::mouseDoubleClickEvent(QMouseEvent* event) {
    // Not passed on: the base would take it for another press.
    if (event->button() != Qt::LeftButton) return;
    m_pressed = false;
    if (m_onDblClick) {
        const TNotifyEvent handler = m_onDblClick;
        handler(this);
    }
}

}  // namespace kvartix
