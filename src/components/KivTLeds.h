#pragma once

#include <QColor>
#include <cstdint>

#include "components/KivClasses2.h"
#include "components/KivGraphicControl.h"

namespace kvartix {

// A 15 x 15 lamp: a filled circle with a grey outline and a small fixed highlight, in its
// on-colour or its off-colour. It can blink by itself through a timer of its own, whose worker
// stays paused while the lamp does not blink.
class TKivLed : public TKivGraphicControl {
  public:
    static constexpr int kSize = 15;

    explicit TKivLed(QWidget* parent = nullptr);
    ~TKivLed() override;

    bool LedisOn() const { return m_ledisOn; }
    void SetLedisOn(bool value);
    QColor LedOnColor() const { return m_ledOnColor; }
    void SetLedOnColor(const QColor& value);  // drawn at once, not at the next paint
    QColor LedOffColor() const { return m_ledOffColor; }
    void SetLedOffColor(const QColor& value);
    QColor LedShadow() const { return m_ledShadow; }
    void SetLedShadow(const QColor& value);

    // Blink period in milliseconds. Throws std::out_of_range outside 0..65535 and then
    // changes nothing.
    std::int32_t Interval() const { return m_interval; }
    void SetInterval(std::int32_t value);
    bool Blinking() const { return m_blinking; }
    void SetBlinking(bool value);

    QSize sizeHint() const override { return {kSize, kSize}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void ToggleLed();

    bool m_ledisOn = false;
    QColor m_ledOnColor{0xFF, 0x00, 0x00};
    QColor m_ledOffColor{0x00, 0x80, 0x00};
    QColor m_ledShadow{Qt::white};
    std::int32_t m_interval = 200;
    bool m_blinking = false;
    TKivTimer32* m_blinkTimer;  // a child, so destroyed with the lamp
};

}  // namespace kvartix
