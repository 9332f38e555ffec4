#include "cli/CliReport.h"

#include <iomanip>


namespace kvartix {

std::string CliReport::Cell(StatCell cell) const {
    const auto it = m_cells.find(cell);
    return it == m_cells.end() || it->second.empty() ? "-" : it->second;
}

void CliReport::SetStatText(StatCell cell, const std::string& text) {
    m_cells[cell] = text;
}

void CliReport::SecondElapsed() {
    if (!m_printSeconds) return;
    const Engine& engine = m_session.Core();
    const auto lamp = [this](Led led, const char* name) {
        const auto it = m_leds.find(led);
        return std::string(name) + (it != m_leds.end() && it->second ? "+" : "-");
    };
    const DriverErrorCounters& d = engine.DriverErrors();
    const BertChecker& c = engine.Checker();
    if (!m_label.empty()) m_out << m_label << ' ';
    m_out << std::setw(4) << ++m_lines << "  Received " << Cell(StatCell::Received) << "  symb/s "
          << Cell(StatCell::CharRate) << "  bit/s " << Cell(StatCell::BitRate);
    // A loopback echoes what it received; it counts no errors of its own.
    if (engine.Mode() == TestMode::Loopback) {
        m_out << "  echoed  Time " << Cell(StatCell::Time);
    } else {
        m_out << "  Errors " << Cell(StatCell::Errors) << "  Coef " << Cell(StatCell::Coefficient)
              << "  Time " << Cell(StatCell::Time) << "  | Parity " << d.ParityErrors
              << " Overrun " << d.OverrunErrors << " Framing " << d.FramingErrors << " Other "
              << d.OtherErrors;
    }
    if (const PatternCounts* p = engine.Sequence())
        m_out << "  | Bits " << p->BitsChecked << " Bit errors " << p->BitErrors << " Sync lost "
              << p->SyncLosses << (p->InSync ? "" : " (hunting)");
    else if (engine.Mode() == TestMode::Bert && engine.Params().PacketSize != 1)
        m_out << "  | Invalid " << c.InvalidSymbolCount << " Lost " << c.SymbolLostCount
              << " Sync " << c.SyncLostCount;
    // Flow control holds the line for moments all the time; a second or more is worth a word.
    const SessionCounters& counters = engine.Counters();
    if (counters.HeldForUsAt(counters.LastUpdateTimeUs) >= 1'000'000)
        m_out << "  held by Xoff since "
              << ElapsedText((*counters.HeldSinceUs - counters.StartTimeUs) / 1000);
    m_out << "  | " << lamp(Led::CTS, "CTS") << ' ' << lamp(Led::DSR, "DSR") << ' '
          << lamp(Led::DCD, "DCD") << ' ' << lamp(Led::XR, "XR") << ' ' << lamp(Led::XS, "XS")
          << '\n'
          << std::flush;
}

// A message's further lines say why, in the runner's own voice.
void CliReport::ErrorBox(const std::string& text, bool) {
    std::string::size_type from = 0;
    for (std::string::size_type eol; (eol = text.find('\n', from)) != std::string::npos;
         from = eol + 1)
        m_err << (from ? "kvartix-cli: " : "") << text.substr(from, eol - from) << '\n';
    m_err << (from ? "kvartix-cli: " : "") << text.substr(from) << '\n' << std::flush;
}

}  // namespace kvartix
