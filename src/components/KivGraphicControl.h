#pragma once

#include <QWidget>

#include "components/KivClasses2.h"

namespace kvartix {

// The base of the small drawn controls: no window of its own and no keyboard focus, the
// owner's background shows through wherever the control draws nothing. OnClick comes when
// the left button is pressed and released over the control; a double click gives OnDblClick
// instead of a second OnClick.
class TKivGraphicControl : public QWidget {
  public:
    explicit TKivGraphicControl(QWidget* parent = nullptr);

    const TNotifyEvent& OnClick() const { return m_onClick; }
    void SetOnClick(TNotifyEvent handler) { m_onClick = std::move(handler); }
    const TNotifyEvent& OnDblClick() const { return m_onDblClick; }
    void SetOnDblClick(TNotifyEvent handler) { m_onDblClick = std::move(handler); }

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    TNotifyEvent m_onClick;
    TNotifyEvent m_onDblClick;
    bool m_pressed = false;
};

}  // namespace kvartix
