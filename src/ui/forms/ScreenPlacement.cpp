#include "ui/forms/ScreenPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "ui/forms/WindowPlacement.h"

namespace kvartix {

QRect PlaceOnAScreen(std::int64_t left, std::int64_t top, std::int64_t width, std::int64_t height,
                     const QMargins& frame, const QSize& minimum) {
    std::vector<ScreenRect> areas;
    QList<QScreen*> screens = QGuiApplication::screens();
    // The primary screen first: it wins a tie.
    if (const auto primary = screens.indexOf(QGuiApplication::primaryScreen()); primary > 0)
        screens.move(primary, 0);
    for (const QScreen* screen : screens) {
        const QRect a = screen->availableGeometry();
        areas.push_back({a.x(), a.y(), a.width(), a.height()});
    }
    const std::int64_t across = frame.left() + frame.right();
    const std::int64_t down = frame.top() + frame.bottom();
    const ScreenRect outer =
        PlaceOnScreen({left - frame.left(), top - frame.top(), width + across, height + down},
                      areas, minimum.width() + across, minimum.height() + down);
    return QRect(static_cast<int>(outer.Left + frame.left()),
                 static_cast<int>(outer.Top + frame.top()), static_cast<int>(outer.Width - across),
                 static_cast<int>(outer.Height - down));
}

void KeepOnAScreen(QWidget& window, const QSize& minimum) {
    if (window.windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)) return;
    const QRect now = window.geometry();
    const QRect placed =
        PlaceOnAScreen(now.x(), now.y(), now.width(), now.height(), FrameMargins(window), minimum);
    if (placed != now) window.setGeometry(placed);
}

QMargins FrameMargins(const QWidget& window) {
    const QRect inner = window.geometry();
    const QRect outer = window.frameGeometry();
    return QMargins(inner.left() - outer.left(), inner.top() - outer.top(),
                    outer.right() - inner.right(), outer.bottom() - inner.bottom());
}

}  // namespace kvartix
