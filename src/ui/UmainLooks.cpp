// The main window's looks and what the engine shows in it.
#include "ui/Umain.h"

namespace kvartix {
namespace {

const QColor kLedYellow{0xFF, 0xFF, 0x00};
const QColor kLedGrey{0x80, 0x80, 0x80};
const QColor kRed{0xFF, 0x00, 0x00};

}  // namespace

void TForm1::SetLedActive(TKivLed& led, bool active) {
    const QColor face = palette().color(QPalette::Button);
    led.SetLedOnColor(active ? kLedYellow : face);
    led.SetLedOffColor(active ? kLedGrey : face);
    led.setEnabled(active);
    led.SetLedisOn(false);
}

void TForm1::EnableXonXoffWatch(bool on) {
    Label4->setEnabled(on);
    Label5->setEnabled(on);
    SetLedActive(*LedXR, on);
    SetLedActive(*LedXS, on);
}

void TForm1::EnableParityRow(bool on) {
    GroupBox10->EnableParityRow(on);
}

void TForm1::EnableLineWatch(bool on) {
    for (QLabel* label : {Label6, Label7, Label2}) label->setEnabled(on);
    for (TKivLed* led : {LedCTS, LedDCD, LedDSR}) SetLedActive(*led, on);
    GroupBox10->EnableOtherRows(on);
    if (!on) return;
    GroupBox10->Label12->clear();
    RefreshErrorPanel();
}

void TForm1::ShowIdleIndicators() {
    EnableXonXoffWatch(false);
    EnableLineWatch(false);
    EnableParityRow(false);
}

void TForm1::CheckBox1Click() {
    GroupBox10->SetShowDriverErrors(GroupBox10->CheckBox1->isChecked());
    RefreshErrorPanel();
}

void TForm1::RefreshErrorPanel() {
    ErrorCounts c;
    c.Driver = Core().DriverErrors();
    c.InvalidSymbol = Core().Checker().InvalidSymbolCount;
    c.SymbolLost = Core().Checker().SymbolLostCount;
    c.SyncLost = Core().Checker().SyncLostCount;
    GroupBox10->Refresh(c, !RadioP[0]->isChecked(), Button2->isEnabled());
}

void TForm1::ShowDriverError(DriverErrorRow row, bool occurred, std::int32_t count,
                             std::uint32_t errorMask) {
    GroupBox10->ShowDriverError(row, occurred, count, errorMask);
}

void TForm1::ShowPacketError(PacketErrorRow row, bool occurred, std::int32_t count) {
    GroupBox10->ShowPacketError(row, occurred, count);
}

void TForm1::SetLed(Led led, bool on) {
    TKivLed* const leds[] = {LedXR, LedXS, LedCTS, LedDSR, LedDCD};
    leds[static_cast<int>(led)]->SetLedisOn(on);
}

void TForm1::SetErrorsCellAlarm(bool alarm) {
    SetBackground(*StaticS4, alarm ? kRed : palette().color(QPalette::Button));
}

QLabel* TForm1::StatCellLabel(StatCell cell) const {
    // In the order of StatCell.
    QLabel* const cells[] = {StaticS0, StaticS1, StaticS2, StaticS3, StaticS4, StaticS5};
    return cells[static_cast<int>(cell)];
}

// From "100.0 Ksymb" on, the received count is wider than its 65-pixel cell. What a technician
// reads there is the count: its digits and its K or M stay, and the word "symb", which the
// column's heading and hint already say, goes.
void TForm1::SetStatText(StatCell cell, const std::string& text) {
    QLabel* label = StatCellLabel(cell);
    QString shown = QString::fromStdString(text);
    if (cell == StatCell::Received && shown.endsWith(QStringLiteral("symb")) &&
        label->fontMetrics().horizontalAdvance(shown) > label->contentsRect().width())
        shown = shown.chopped(4).trimmed();
    label->setText(shown);
}

void TForm1::ChartChanged(const RateChart&) {
    Chart1->update();
}

}  // namespace kvartix
