#include "ui/Hints.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QStyleFactory>
#include <QToolTip>
#include <QWidget>
#include <algorithm>

namespace kvartix {
namespace {

// Longer than anyone rests the pointer: the hint goes when the pointer leaves.
constexpr int kHintShowMs = 2'000'000'000;
// The text's width inside the tip's 300 pixels, its frame and margins left out.
constexpr int kHintTextWidth = 284;

}  // namespace

int HintStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                         QStyleHintReturn* returnData) const {
    if (hint == SH_ToolTip_WakeUpDelay || hint == SH_ToolTip_FallAsleepDelay) return 0;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

HintFilter& HintFilter::Install() {
    static HintFilter* filter = [] {
        // The classic look: group frames at half the caption's height with the caption on the
        // line, as the fixed positions of the children expect.
        qApp->setStyle(new HintStyle(QStyleFactory::create(QStringLiteral("Windows"))));
        qApp->setStyleSheet(QStringLiteral("QToolTip { max-width: 300px; }"));
        auto* f = new HintFilter(qApp);
        qApp->installEventFilter(f);
        return f;
    }();
    return *filter;
}

void HintFilter::SetEnabled(bool on) {
    m_enabled = on;
    if (!on) QToolTip::hideText();
}

// The tool-tip event climbs from the control under the pointer to its owners until one has a
// hint; the filter sees each step.
bool HintFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::ToolTip) return false;
    if (!m_enabled) return true;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->toolTip().isEmpty()) return false;
    const auto* help = static_cast<QHelpEvent*>(event);
    QToolTip::showText(help->globalPos(), WrappedHintText(widget->toolTip()), widget, {},
                       kHintShowMs);
    return true;
}

// A tool tip left to itself wraps rich text at about a third of that width; a table of the full
// width makes long hints use it, and short ones stay on one line.
QString WrappedHintText(const QString& hint) {
    const QFontMetrics metrics(QToolTip::font());
    int widest = 0;
    for (const QString& line : hint.split(u'\n'))
        widest = std::max(widest, metrics.horizontalAdvance(line));
    QString html = hint.toHtmlEscaped();
    html.replace(u'\n', QStringLiteral("<br>"));
    if (widest <= kHintTextWidth)
        return QStringLiteral("<p style=\"white-space:pre\">") + html + QStringLiteral("</p>");
    return QStringLiteral("<table width=\"%1\"><tr><td>").arg(kHintTextWidth) + html +
           QStringLiteral("</td></tr></table>");
}

void ApplyHints(QWidget& window, std::span<const ControlHint> hints) {
    for (const ControlHint& h : hints)
        window.findChild<QWidget*>(QString::fromLatin1(h.name))->setToolTip(QString::fromUtf8(h.text));
}

}  // namespace kvartix
