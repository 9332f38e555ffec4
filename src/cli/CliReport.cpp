#include "cli/CliReport.h"

#include <iomanip>

#include "engine/RunRecord.h"

namespace kvartix {

std::string CliReport::Cell(StatCell cell) const {
    const auto it = m_cells.find(cell);
    return it == m_cells.end() || it->second.empty() ? "-" : it->second;
}

void CliReport::ShowDriverError(DriverErrorRow row, bool, std::int32_t, std::uint32_t mask) {
    // Every row of a cycle carries the same mask: one of them counts it.
    if (row == DriverErrorRow::Other && (mask & CE_RXOVER) != 0) ++m_receiveOverflows;
}

void CliReport::SetStatText(StatCell cell, const std::string& text) {
    if (!m_runOver) m_cells[cell] = text;
}

void CliReport::SecondElapsed() {
    if (m_runOver) return;
    m_secondErrored = m_engine.Counters().Errors > m_errorsAtLastSecond;
    if (m_secondErrored) ++m_erroredSeconds;
    m_errorsAtLastSecond = m_engine.Counters().Errors;
    if (m_record) *m_record << RecordLine(RecordRowAtUpdate(m_engine)) << std::flush;
    if (!m_printSeconds) return;
    const auto lamp = [this](Led led, const char* name) {
        const auto it = m_leds.find(led);
        return std::string(name) + (it != m_leds.end() && it->second ? "+" : "-");
    };
    const DriverErrorCounters& d = m_engine.DriverErrors();
    const BertChecker& c = m_engine.Checker();
    m_out << std::setw(4) << ++m_lines << "  Received " << Cell(StatCell::Received) << "  symb/s "
          << Cell(StatCell::CharRate) << "  bit/s " << Cell(StatCell::BitRate);
    // A loopback echoes what it received; it counts no errors of its own.
    if (m_engine.Mode() == TestMode::Loopback) {
        m_out << "  echoed  Time " << Cell(StatCell::Time);
    } else {
        m_out << "  Errors " << Cell(StatCell::Errors) << "  Coef " << Cell(StatCell::Coefficient)
              << "  Time " << Cell(StatCell::Time) << "  | Parity " << d.ParityErrors
              << " Overrun " << d.OverrunErrors << " Framing " << d.FramingErrors << " Other "
              << d.OtherErrors;
    }
    if (m_engine.Mode() == TestMode::Bert && m_engine.Params().PacketSize != 1)
        m_out << "  | Invalid " << c.InvalidSymbolCount << " Lost " << c.SymbolLostCount
              << " Sync " << c.SyncLostCount;
    m_out << "  | " << lamp(Led::CTS, "CTS") << ' ' << lamp(Led::DSR, "DSR") << ' '
          << lamp(Led::DCD, "DCD") << ' ' << lamp(Led::XR, "XR") << ' ' << lamp(Led::XS, "XS")
          << '\n'
          << std::flush;
}

// What the last cycle read after the last update belongs to the second that update closed.
void CliReport::Finish() {
    if (m_engine.Counters().Errors > m_errorsAtLastSecond && !m_secondErrored) ++m_erroredSeconds;
    m_secondErrored = true;
    m_errorsAtLastSecond = m_engine.Counters().Errors;
}

void CliReport::ErrorBox(const std::string& text, bool) {
    m_err << text << '\n' << std::flush;
}

}  // namespace kvartix
