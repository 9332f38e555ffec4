#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kvartix {

// How received bytes are shown: as they came, or as hex rows; with or without the time.
struct TerminalViewOptions {
    bool Hex = false;
    bool Timestamps = false;
};

// Turns a received byte stream into the text the terminal inserts (CP1251 bytes, "\n" between
// lines). The result does not depend on how the stream was cut into batches: a hex row is
// given out once it holds sixteen bytes; until then PartialRow() shows it.
class TerminalRender {
public:
    explicit TerminalRender(TerminalViewOptions options = {}) : m_options(options) {}

    // msOfDay: local time of the batch, milliseconds since midnight.
    std::string Feed(const std::uint8_t* data, std::size_t count, std::int64_t msOfDay);
    std::string PartialRow() const;
    const TerminalViewOptions& Options() const { return m_options; }

private:
    std::string Row(std::size_t length) const;

    TerminalViewOptions m_options;
    bool m_atLineStart = true;
    bool m_lastWasCr = false;
    // Characters received on the line after its stamp, the most a backspace may take back.
    std::size_t m_lineChars = 0;
    std::uint8_t m_row[16] = {};
    std::size_t m_rowLength = 0;
    std::int64_t m_rowTime = 0;
};

// "hh:mm:ss.zzz " of a time of day.
std::string TimeOfDayText(std::int64_t msOfDay);

}  // namespace kvartix
