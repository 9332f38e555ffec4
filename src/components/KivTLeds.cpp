#include "components/KivTLeds.h"

#include <QImage>
#include <QPainter>
#include <stdexcept>

namespace kvartix {
namespace {

const QColor kOutline{0x80, 0x80, 0x80};

// The highlight, upper left inside the circle.
constexpr QPoint kHighlight[] = {{6, 5}, {7, 5}, {8, 5}, {5, 6}, {5, 7},
                                 {5, 8}, {6, 6}, {7, 6}, {6, 7}};

}  // namespace

TKivLed::TKivLed(QWidget* parent)
    : TKivGraphicControl(parent), m_blinkTimer(new TKivTimer32(this)) {
    // A fixed size keeps the lamp 15 x 15 whatever geometry its owner gives it.
    setFixedSize(kSize, kSize);
    m_blinkTimer->SetOnTimer([this](QObject*) { ToggleLed(); });
    m_blinkTimer->SetEnabled(m_blinking);
    m_blinkTimer->SetInterval(static_cast<std::uint16_t>(m_interval));
}

// The timer goes first so that no tick reaches a half-destroyed lamp.
TKivLed::~TKivLed() {
    delete m_blinkTimer;
}

void TKivLed::SetLedisOn(bool value) {
    m_ledisOn = value;
    update();
}

void TKivLed::SetLedOnColor(const QColor& value) {
    m_ledOnColor = value;
    repaint();
}

void TKivLed::SetLedOffColor(const QColor& value) {
    m_ledOffColor = value;
    update();
}

void TKivLed::SetLedShadow(const QColor& value) {
    m_ledShadow = value;
    update();
}

void TKivLed::SetInterval(std::int32_t value) {
    if (value < 0 || value > 0xFFFF) throw std::out_of_range("LED blink interval outside 0..65535");
    m_blinkTimer->SetInterval(static_cast<std::uint16_t>(value));
    m_interval = value;
}

void TKivLed::SetBlinking(bool value) {
    m_blinkTimer->SetEnabled(value);
    m_blinking = value;
    update();
}

void TKivLed::ToggleLed() {
    m_ledisOn = !m_ledisOn;
    update();
}

// Drawn once in logical pixels, aliased, then scaled up whole: the circle covers exactly
// pixels 2 to 13 in both directions at every device pixel ratio, not only at 1.
void TKivLed::paintEvent(QPaintEvent*) {
    QImage lamp(kSize, kSize, QImage::Format_ARGB32_Premultiplied);
    lamp.fill(Qt::transparent);
    {
        QPainter painter(&lamp);
        painter.setPen(QPen(kOutline, 1));
        painter.setBrush(m_ledisOn ? m_ledOnColor : m_ledOffColor);
        painter.drawEllipse(QRect(2, 2, 11, 11));
        for (const QPoint& p : kHighlight) painter.fillRect(QRect(p, QSize(1, 1)), m_ledShadow);
    }
    QPainter painter(this);
    painter.drawImage(QRect(0, 0, kSize, kSize), lamp);
}

}  // namespace kvartix
