#pragma once

#include <QColor>
#include <QLabel>
#include <QUrl>
#include <functional>

#include "components/KivClasses2.h"

namespace kvartix {

// What a click on a TKivCommandLabel does with the label's text.
enum class TKivCommand { runNothing, runMAIL, runURL, runFTP, runFILE, runEVENT };

// The text a command puts before the label's text: "mailto:", "http://", "ftp://", "file:",
// "event" (the marker of runEVENT) or nothing.
QString KivCommandPrefix(TKivCommand command);

// What a click asks the desktop to open: the prefix and the text, with no prefix when the text
// already begins with it. Empty for runEVENT, and for runNothing, which opens nothing.
QString KivCommandTarget(TKivCommand command, const QString& text);

// A label that looks and acts like a link: blue and underlined, red while the pointer is over
// it, purple once used. Pressing the left button on it opens its target on the desktop, or
// raises RunEvent for runEVENT.
class TKivCommandLabel : public QLabel {
  public:
    using Opener = std::function<void(const QUrl&)>;

    explicit TKivCommandLabel(QWidget* parent = nullptr);

    TKivCommand Command() const { return m_command; }
    void SetCommand(TKivCommand value) { m_command = value; }
    QColor FollowedColor() const { return m_followedColor; }
    void SetFollowedColor(const QColor& value) { m_followedColor = value; }
    QColor MoveOverColor() const { return m_moveOverColor; }
    void SetMoveOverColor(const QColor& value) { m_moveOverColor = value; }
    // The colour the link has before it is hovered or used.
    QColor FontColor() const { return m_normalColor; }
    void SetFontColor(const QColor& value);
    const TNotifyEvent& RunEvent() const { return m_runEvent; }
    void SetRunEvent(TNotifyEvent handler) { m_runEvent = std::move(handler); }
    // Where targets go; QDesktopServices::openUrl unless replaced. Its answer is not checked:
    // with no program for the address nothing further happens.
    void SetOpener(Opener opener) { m_opener = std::move(opener); }

  protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    void PointerMoved(const QPoint& pos);
    void ShowColor(const QColor& colour);
    bool Live() const { return isEnabled() && isVisible(); }

    TKivCommand m_command = TKivCommand::runURL;
    QColor m_followedColor{0x80, 0x00, 0x80};
    QColor m_moveOverColor{0xFF, 0x00, 0x00};
    QColor m_normalColor{0x00, 0x00, 0xFF};
    TNotifyEvent m_runEvent;
    Opener m_opener;
    bool m_followed = false;  // used at least once
    bool m_pressed = false;   // left button went down here and has not come up
    bool m_over = false;      // the pointer is inside
    bool m_capture = false;   // the label follows the pointer until it leaves
};

}  // namespace kvartix
