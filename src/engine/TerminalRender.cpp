#include "engine/TerminalRender.h"

#include <cstdio>

namespace kvartix {

std::string TimeOfDayText(std::int64_t ms) {
    ms %= 86400000;
    char buf[24];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%03d ", static_cast<int>(ms / 3600000),
                  static_cast<int>(ms / 60000 % 60), static_cast<int>(ms / 1000 % 60),
                  static_cast<int>(ms % 1000));
    return buf;
}

std::string TerminalRender::Row(std::size_t length) const {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out = m_options.Timestamps ? TimeOfDayText(m_rowTime) : std::string();
    for (std::size_t i = 0; i < 16; ++i) {
        if (i < length) {
            out += kDigits[m_row[i] >> 4];
            out += kDigits[m_row[i] & 15];
            out += ' ';
        } else {
            out += "   ";
        }
    }
    out += ' ';
    // Control bytes would break or edit the row.
    for (std::size_t i = 0; i < length; ++i)
        out += m_row[i] < 0x20 || m_row[i] == 0x7F ? '.' : static_cast<char>(m_row[i]);
    return out;
}

std::string TerminalRender::PartialRow() const {
    return m_options.Hex && m_rowLength > 0 ? Row(m_rowLength) : std::string();
}

std::string TerminalRender::Feed(const std::uint8_t* data, std::size_t count,
                                 std::int64_t msOfDay) {
    if (!m_options.Hex && !m_options.Timestamps)
        return {reinterpret_cast<const char*>(data), count};
    std::string out;
    out.reserve(count * (m_options.Hex ? 5 : 1) + 32);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t c = data[i];
        if (m_options.Hex) {
            if (m_rowLength == 0) m_rowTime = msOfDay;
            m_row[m_rowLength++] = c;
            if (m_rowLength == 16) {
                out += Row(16);
                out += '\n';
                m_rowLength = 0;
            }
            continue;
        }
        // A backspace takes back what its line received, never the stamp before it.
        if (c == '\b') {
            if (m_lineChars == 0) continue;
            --m_lineChars;
            out += '\b';
            continue;
        }
        // CR LF is one break: the LF starts no line of its own.
        const bool lfAfterCr = c == '\n' && m_lastWasCr;
        m_lastWasCr = c == '\r';
        if (m_atLineStart && !lfAfterCr) {
            out += TimeOfDayText(msOfDay);
            m_atLineStart = false;
        }
        out += static_cast<char>(c);
        if (c == '\r' || c == '\n') {
            m_atLineStart = true;
            m_lineChars = 0;
        } else {
            ++m_lineChars;
        }
    }
    return out;
}

}  // namespace kvartix
