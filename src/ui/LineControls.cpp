#include "ui/LineControls.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QStyle>
#include <algorithm>
#include <cctype>

#include "app/LineChoices.h"
#include "app/LinePattern.h"
#include "ui/PressThroughList.h"
#include "ui/Umain.h"

namespace kvartix {
namespace {

// COM1, com12: a name the serial ports are known by, in any letter case.
bool IsComName(const std::string& text) {
    if (text.size() < 4) return false;
    for (std::size_t i = 0; i < 3; ++i)
        if (std::toupper(static_cast<unsigned char>(text[i])) != "COM"[i]) return false;
    return std::all_of(text.begin() + 3, text.end(),
                       [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

// A setting of two buttons, the first of which turns it on.
struct Pair {
    QRadioButton* TForm1::*on;
    QRadioButton* TForm1::*off;
    bool ProgramSettings::*setting;
};
constexpr Pair kPairs[] = {
    {&TForm1::RadioDTR1, &TForm1::RadioDTR2, &ProgramSettings::DTREnable},
    {&TForm1::RadioDSR1, &TForm1::RadioDSR2, &ProgramSettings::DSREnable},
    {&TForm1::RadioRF2, &TForm1::RadioRF1, &ProgramSettings::RandomFlow},
};

struct Check {
    QCheckBox* TForm1::*box;
    bool ProgramSettings::*setting;
};
constexpr Check kChecks[] = {
    {&TForm1::CheckSoft, &ProgramSettings::XonXoff},
    {&TForm1::CheckHard, &ProgramSettings::RtsCts},
};

// A group of buttons by number: data bits 5 to 8, stop bits and parity by index.
struct Group {
    std::span<QRadioButton* const> (*buttons)(const TForm1&);
    int ProgramSettings::*setting;
    int first;
};
const Group kGroups[] = {
    {[](const TForm1& f) { return std::span<QRadioButton* const>(f.RadioD); },
     &ProgramSettings::DataBits, 5},
    {[](const TForm1& f) { return std::span<QRadioButton* const>(f.RadioS); },
     &ProgramSettings::StopBits, 0},
    {[](const TForm1& f) { return std::span<QRadioButton* const>(f.RadioP); },
     &ProgramSettings::Parity, 0},
};

}  // namespace

LineControls::LineControls(TForm1& form) : m_form(form) {}

void LineControls::Fill(const std::vector<std::string>& ports, const std::string& preselected) {
    QComboBox* box = m_form.ComboBox1;
    // A typed bit rate is the rate: completing "1152" from the list would run 115200.
    m_form.ComboBox2->setCompleter(nullptr);
    // Port names are offered as the user types, never put in place of what was typed.
    box->completer()->setCompletionMode(QCompleter::PopupCompletion);
    box->completer()->setCaseSensitivity(Qt::CaseSensitive);
    QAbstractItemView* portList = box->completer()->popup();
    portList->installEventFilter(new PressThroughList(portList));
    m_portBoxHint = box->toolTip();
    for (const std::string& port : ports) box->addItem(QString::fromStdString(port));
    box->setCurrentIndex(box->findText(QString::fromStdString(preselected)));
    box->setEditText(QString::fromStdString(preselected));
    for (const std::int32_t rate : kBitRateEntries) m_form.ComboBox2->addItem(QString::number(rate));
    for (const std::int32_t size : kPacketSizeEntries)
        m_form.ComboBox3->addItem(QString::number(size));
    // The test patterns after the sizes, which keep their places.
    for (const LinePattern p : kTestPatterns) m_form.ComboBox3->addItem(PatternShortName(p));
    // The list may be wider than the box, so that no name in it is cut short.
    QComboBox* packets = m_form.ComboBox3;
    int widest = 0;
    for (int i = 0; i < packets->count(); ++i)
        widest = std::max(widest,
                          packets->view()->fontMetrics().horizontalAdvance(packets->itemText(i)));
    packets->view()->setMinimumWidth(widest + 12 +
                                     packets->style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    // While a pattern is chosen, the settings keep the last size chosen.
    QObject::connect(m_form.ComboBox3, &QComboBox::currentIndexChanged, &m_form, [this](int i) {
        if (i >= 0 && i < static_cast<int>(kPacketSizeEntries.size())) m_packetIndex = i;
    });
    Show(ProgramSettings{});
}

void LineControls::Show(const ProgramSettings& s) {
    TForm1& f = m_form;
    if (!s.Port.empty() && !IsComName(s.Port)) f.ComboBox1->setEditText(QString::fromStdString(s.Port));
    for (const Group& g : kGroups) {
        const auto buttons = g.buttons(f);
        const int last = g.first + static_cast<int>(buttons.size()) - 1;
        buttons[std::clamp(s.*g.setting, g.first, last) - g.first]->setChecked(true);
    }
    // A saved rate that is not in the list still shows.
    const QString rate = QString::fromStdString(s.BitRate.Text);
    f.ComboBox2->setCurrentIndex(f.ComboBox2->findText(rate));
    f.ComboBox2->setEditText(rate);
    f.EditSymb->setText(QString::fromStdString(s.Symbol.Text));
    m_packetIndex = s.PacketIndex;
    const auto pattern = std::find(kTestPatterns.begin(), kTestPatterns.end(), s.Pattern);
    f.ComboBox3->setCurrentIndex(
        pattern == kTestPatterns.end()
            ? s.PacketIndex
            : static_cast<int>(kPacketSizeEntries.size() + (pattern - kTestPatterns.begin())));
    f.EditSymb->setVisible(s.SymbolVisible);
    for (const Check& c : kChecks) (f.*c.box)->setChecked(s.*c.setting);
    for (const Pair& p : kPairs) (s.*p.setting ? f.*p.on : f.*p.off)->setChecked(true);
}

void LineControls::Collect(ProgramSettings& s) const {
    const TForm1& f = m_form;
    s.Port = f.ComboBox1->currentText().toStdString();
    for (const Group& g : kGroups) {
        const auto buttons = g.buttons(f);
        for (std::size_t i = 0; i < buttons.size(); ++i)
            if (buttons[i]->isChecked()) s.*g.setting = g.first + static_cast<int>(i);
    }
    s.BitRate = IntegerEntry::Typed(f.ComboBox2->currentText().toStdString());
    for (const Check& c : kChecks) s.*c.setting = (f.*c.box)->isChecked();
    for (const Pair& p : kPairs) s.*p.setting = (f.*p.on)->isChecked();
    const int chosen = f.ComboBox3->currentIndex();
    const int sizes = static_cast<int>(kPacketSizeEntries.size());
    s.PacketIndex = chosen < sizes ? chosen : m_packetIndex;
    s.Pattern = chosen < sizes ? LinePattern::Packets
                               : kTestPatterns[static_cast<std::size_t>(chosen - sizes)];
    s.SymbolVisible = f.ComboBox3->currentText() == "1";
    s.Symbol = IntegerEntry::Typed(f.EditSymb->text().toStdString());
}

void LineControls::OnChosen(const std::function<void()>& chosen) {
    TForm1& f = m_form;
    std::vector<QRadioButton*> radios;
    for (const Group& g : kGroups)
        for (QRadioButton* r : g.buttons(f)) radios.push_back(r);
    for (const Pair& p : kPairs) radios.insert(radios.end(), {f.*p.on, f.*p.off});
    for (QRadioButton* r : radios)
        QObject::connect(r, &QRadioButton::toggled, &f, [chosen](bool on) {
            if (on) chosen();
        });
    for (const Check& c : kChecks) QObject::connect(f.*c.box, &QCheckBox::toggled, &f, chosen);
    for (QComboBox* c : {f.ComboBox1, f.ComboBox2, f.ComboBox3})
        QObject::connect(c, &QComboBox::activated, &f, chosen);
    QObject::connect(f.ComboBox1, &QComboBox::currentTextChanged, &f,
                     [this] { ShowChosenPortHint(); });
}

void LineControls::ShowPortInfo(const std::vector<PortInfo>& info) {
    QComboBox* box = m_form.ComboBox1;
    for (std::size_t i = 0; i < info.size() && static_cast<int>(i) < box->count(); ++i)
        box->setItemData(static_cast<int>(i), QString::fromStdString(PortHintText(info[i])),
                         Qt::ToolTipRole);
    ShowChosenPortHint();
}

// The box's own hint, then what the port named in it is, when it is one of the list.
void LineControls::ShowChosenPortHint() {
    QComboBox* box = m_form.ComboBox1;
    const int item = box->findText(box->currentText());
    const QString port = item < 0 ? QString() : box->itemData(item, Qt::ToolTipRole).toString();
    box->setToolTip(port.isEmpty() ? m_portBoxHint : m_portBoxHint + "\n\n" + port);
}

}  // namespace kvartix
