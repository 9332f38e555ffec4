#include "engine/ProgramLine.h"

#include "app/IntegerText.h"

namespace kvartix {

LineSettingsResult LineSettingsFrom(const ProgramSettings& s) {
    const auto bitRate = ParseIntegerText(s.BitRateText);
    if (!bitRate) return {std::nullopt, NotAnIntegerMessage(s.BitRateText)};
    LineSettings line;
    line.Port = s.Port;
    line.BitRate = *bitRate;
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
    line.PacketSize = listed ? kPacketSizeEntries[static_cast<std::size_t>(s.PacketIndex)] : 512;
    line.Symbol = static_cast<std::uint8_t>(ParseIntegerText(s.SymbolText).value_or(0x5A));
    return {line, {}};
}

}  // namespace kvartix
