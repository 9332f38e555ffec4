// The main window's looks.
#include "ui/Umain.h"

namespace kvartix {
namespace {

const QColor kLedYellow{0xFF, 0xFF, 0x00};
const QColor kLedGrey{0x80, 0x80, 0x80};

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

}  // namespace kvartix
