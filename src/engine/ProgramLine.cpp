#include "engine/ProgramLine.h"

#include "app/IntegerText.h"

namespace kvartix {

LineSettingsResult LineSettingsFrom(const ProgramSettings& s) {
    if (!s.BitRate.Value) return {std::nullopt, NotAnIntegerMessage(s.BitRate.Text)};
    const bool listed =
        s.PacketIndex >= 0 && s.PacketIndex < static_cast<int>(kPacketSizeEntries.size());
    const LineSettings line{
        .Port = s.Port, .BitRate = *s.BitRate.Value, .DataBits = s.DataBits,
        .StopBits = s.StopBits, .Parity = s.Parity, .RtsCts = s.RtsCts, .XonXoff = s.XonXoff,
        .DTREnable = s.DTREnable, .DSREnable = s.DSREnable, .RandomFlow = s.RandomFlow,
        .PacketSize = listed ? kPacketSizeEntries[static_cast<std::size_t>(s.PacketIndex)]
                             : kDefaultPacketSize,
        .Symbol = static_cast<std::uint8_t>(s.Symbol.Value.value_or(kDefaultSymbol)),
        .Pattern = s.Pattern};
    return {line, {}};
}

}  // namespace kvartix
