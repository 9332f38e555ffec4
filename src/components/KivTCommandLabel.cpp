#include "components/KivTCommandLabel.h"

#include <QDesktopServices>
#include <QMouseEvent>

namespace kvartix {
namespace {

constexpr const char* kEventMarker = "event";

}  // namespace

QString KivCommandPrefix(TKivCommand command) {
    switch (command) {
        case TKivCommand::runMAIL:
            return QStringLiteral("mailto:");
        case TKivCommand::runURL:
            return QStringLiteral("http://");
        case TKivCommand::runFTP:
            return QStringLiteral("ftp://");
        case TKivCommand::runFILE:
            return QStringLiteral("file:");
        case TKivCommand::runEVENT:
            return QString::fromLatin1(kEventMarker);
        case TKivCommand::runNothing:
            break;
    }
    return {};
}

QString KivCommandTarget(TKivCommand command, const QString& text) {
    if (command == TKivCommand::runNothing || command == TKivCommand::runEVENT) return {};
    const QString prefix = KivCommandPrefix(command);
    return text.startsWith(prefix) ? text : prefix + text;
}

TKivCommandLabel::TKivCommandLabel(QWidget* parent)
    : QLabel(parent), m_opener([](const QUrl& url) { QDesktopServices::openUrl(url); }) {
    QFont link = font();
    link.setPixelSize(16);  // 12 points at 96 dpi
    link.setUnderline(true);
    setFont(link);
    ShowColor(m_normalColor);
    setCursor(Qt::PointingHandCursor);
    setMouseTracking(true);
}

void TKivCommandLabel::SetFontColor(const QColor& value) {
    m_normalColor = value;
    ShowColor(value);
}

void TKivCommandLabel::ShowColor(const QColor& colour) {
    QPalette p = palette();
    p.setColor(QPalette::WindowText, colour);
    setPalette(p);
}

// The label holds on to the pointer from the first movement inside until one outside. Qt
// reports no movement outside a widget unless a button is held, so leaving stands in for it.
void TKivCommandLabel::PointerMoved(const QPoint& pos) {
    const bool inside = rect().contains(pos);
    if (!m_capture) {
        if (!inside) return;  // only reaches us through the press's own grab
        m_capture = true;
        if (Live() && isActiveWindow()) ShowColor(m_moveOverColor);
    }
    if (!inside && m_over) {
        m_over = false;
        ShowColor(m_followed ? m_followedColor : m_normalColor);
        m_capture = false;
    }
    if (m_capture && inside && !m_over) m_over = true;
}

void TKivCommandLabel::mouseMoveEvent(QMouseEvent* event) {
    PointerMoved(event->position().toPoint());
    QLabel::mouseMoveEvent(event);
}

void TKivCommandLabel::leaveEvent(QEvent* event) {
    PointerMoved({-1, -1});
    QLabel::leaveEvent(event);
}

void TKivCommandLabel::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !Live()) {
        QLabel::mousePressEvent(event);
        return;
    }
    m_pressed = m_over = true;
    ShowColor(m_normalColor);
    m_followed = true;
    m_capture = true;
    QLabel::mousePressEvent(event);
    if (m_command == TKivCommand::runEVENT) {
        // Last, since the handler may delete the label.
        if (m_runEvent) m_runEvent(this);
        return;
    }
    const QString target = KivCommandTarget(m_command, text());
    if (!target.isEmpty() && m_opener) m_opener(QUrl(target));
}

void TKivCommandLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && Live() && m_pressed) {
        m_pressed = m_over = false;
        ShowColor(m_followedColor);
        m_capture = false;
    }
    QLabel::mouseReleaseEvent(event);
}

}  // namespace kvartix
