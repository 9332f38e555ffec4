#include "ui/PressThroughList.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

namespace kvartix {

// A completer's list takes the mouse while it shows, and a press outside it only closed it: a
// start button needed a second click. The list closes and the press goes on to the window
// under it, as a press of its own, so the click there acts at once; Qt's own replay, where
// the platform has one, is turned off for it so the press comes once.
bool PressThroughList::eventFilter(QObject* watched, QEvent* event) {
    auto* list = static_cast<QWidget*>(watched);
    if (event->type() != QEvent::MouseButtonPress) return false;
    const auto* press = static_cast<QMouseEvent*>(event);
    const QPoint at = press->globalPosition().toPoint();
    if (list->rect().contains(list->mapFromGlobal(at))) return false;
    list->setAttribute(Qt::WA_NoMouseReplay);
    list->hide();
    QWidget* under = QApplication::widgetAt(at);
    QWindow* window = under ? under->window()->windowHandle() : nullptr;
    if (window) {
        const QPointF local = window->mapFromGlobal(press->globalPosition());
        QCoreApplication::postEvent(
            window, new QMouseEvent(QEvent::MouseButtonPress, local, local,
                                    press->globalPosition(), press->button(), press->buttons(),
                                    press->modifiers(), press->pointingDevice()));
    }
    return true;
}

}  // namespace kvartix
