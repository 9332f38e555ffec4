#include "ui/MainWindowView.h"

#include <QPlainTextEdit>

#include "ui/ErrorBoxDialog.h"
#include "ui/Umain.h"
#include "ui/forms/Uterm.h"

namespace kvartix {

void MainWindowView::ShowDriverError(DriverErrorRow row, bool occurred, std::int32_t count,
                                     std::uint32_t errorMask) {
    m_form.GroupBox10->ShowDriverError(row, occurred, count, errorMask);
}

void MainWindowView::ShowPacketError(PacketErrorRow row, bool occurred, std::int32_t count) {
    m_form.GroupBox10->ShowPacketError(row, occurred, count);
}

void MainWindowView::SetLed(Led led, bool on) {
    TKivLed* const leds[] = {m_form.LedXR, m_form.LedXS, m_form.LedCTS, m_form.LedDSR,
                             m_form.LedDCD};
    leds[static_cast<int>(led)]->SetLedisOn(on);
}

void MainWindowView::SetErrorsCellAlarm(bool alarm) {
    SetBackground(*m_form.StaticS4,
                  alarm ? QColor(0xFF, 0x00, 0x00) : m_form.palette().color(QPalette::Button));
}

void MainWindowView::RefreshErrorPanel() {
    m_form.RefreshErrorPanel();
}

// From "100.0 Ksymb" on, the received count is wider than its 65-pixel cell. What a technician
// reads there is the count: its digits and its K or M stay, and the word "symb", which the
// column's heading and hint already say, goes.
void MainWindowView::SetStatText(StatCell cell, const std::string& text) {
    // In the order of StatCell.
    QLabel* const cells[] = {m_form.StaticS0, m_form.StaticS1, m_form.StaticS2,
                             m_form.StaticS3, m_form.StaticS4, m_form.StaticS5};
    QLabel* label = cells[static_cast<int>(cell)];
    QString shown = QString::fromStdString(text);
    if (cell == StatCell::Received && shown.endsWith(QStringLiteral("symb")) &&
        label->fontMetrics().horizontalAdvance(shown) > label->contentsRect().width())
        shown = shown.chopped(4).trimmed();
    label->setText(shown);
}

void MainWindowView::ChartChanged(const RateChart&) {
    m_form.Chart1->update();
}

void MainWindowView::ClearTerminalText() {
    if (TFterm* terminal = m_form.TerminalWindow()) terminal->Memo1->clear();
}

TerminalText* MainWindowView::Terminal() {
    TFterm* terminal = m_form.TerminalWindow();
    return terminal ? &terminal->Text() : nullptr;
}

void MainWindowView::ErrorBox(const std::string& text, bool errorIcon) {
    ShowErrorBox(QString::fromStdString(text), errorIcon);
}

}  // namespace kvartix
