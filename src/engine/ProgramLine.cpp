#include "engine/ProgramLine.h"

#include "app/IntegerText.h"

namespace kvartix {

LineSettingsResult LineSettingsFrom(const ProgramSettings& s) {
    if (!s.BitRate.Value) return {std::nullopt, NotAnIntegerMessage(s.BitRate.Text)};
    LineSettings line;
    line.Port = s.Port;
    line.BitRate = *s.BitRate.Value;
    line.DataBits = s.DataBits;
    line.StopBits = s.StopBits;
    line.Parity = s.Parity;
    line.RtsCts = s.RtsCts;
    line.XonXoff = s.XonXoff;
    line.DTREnable = s.DTREnable;
    line.DSREnable = s.DSREnable;
    line.RandomFlow = s.RandomFlow;
    const bool listed =
        s.PacketIndex >= 0 && s.PacketIndex < static_cast<int>(kPacketSizeEntries.size());
    if (listed) line.PacketSize = kPacketSizeEntries[static_cast<std::size_t>(s.PacketIndex)];
    line.Symbol = static_cast<std::uint8_t>(s.Symbol.Value.value_or(kDefaultSymbol));
    return {line, {}};
}

}  // namespace kvartix
