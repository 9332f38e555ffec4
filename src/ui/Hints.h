#pragma once

#include <QObject>
#include <QProxyStyle>
#include <QWidget>
#include <span>

namespace kvartix {

// Answers 0 for the tool tip's wake-up delay, so that a hint appears as soon as the pointer
// rests on a control.
class HintStyle final : public QProxyStyle {
  public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override;
};

// The program's hints: the controls' tool tips, shown only while switched on, kept up while the
// pointer rests and wrapped at 300 pixels. Installed once on the application.
class HintFilter final : public QObject {
  public:
    explicit HintFilter(QObject* parent = nullptr) : QObject(parent) {}

    // Sets the style, the width rule and the filter on the application; hints start off.
    static HintFilter& Install();

    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool on);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool m_enabled = false;
};

// A hint as rich text, so that the tool tip wraps it at its maximum width.
QString WrappedHintText(const QString& hint);

// A control's hint, the control named as its object is.
struct ControlHint {
    const char* name;
    const char* text;
};

std::span<const ControlHint> MainWindowHints();
// Sets each named control's tool tip.
void ApplyHints(QWidget& window, std::span<const ControlHint> hints);

}  // namespace kvartix
