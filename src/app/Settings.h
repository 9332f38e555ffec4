#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "app/IniDocument.h"
#include "app/IntegerText.h"
#include "app/LineChoices.h"
#include "app/LinePattern.h"

namespace kvartix {

// The list entry a stored packet size selects: the largest entry not above it, "1" for
// anything below 4.
int PacketSizeIndex(std::int32_t stored);

// "$" and at least two upper-case hexadecimal digits, a negative value as its 32-bit pattern.
std::string SymbolHexText(std::int32_t value);

// "Plus" of "Morvi": true when no start-up window is wanted. Only the program start reads it,
// and no save touches it.
bool ReadPlus(const IniDocument& doc);

// Every setting the windows keep in the settings file, as the controls hold it. The numbers
// the user can type (bit rate, symbol) keep their text beside the value it was read as.
struct ProgramSettings {
    // "Program": the main window's position.
    std::int32_t Left = 20;
    std::int32_t Top = 20;

    // "Parameters".
    std::string Port;  // the port box's text; discovery preselects it when listed
    int DataBits = 8;  // 5..8; anything else is not written
    int StopBits = 0;  // index 0..2: "1", "1.5", "2"
    int Parity = 0;    // index 0..4: none, odd, even, mark, space
    IntegerEntry BitRate = IntegerEntry::Of(kDefaultBitRate);
    bool XonXoff = false;     // CheckSoft
    bool RtsCts = false;      // CheckHard
    bool DTREnable = true;    // RadioDTR1; RadioDTR2 is the opposite
    bool DSREnable = false;   // RadioDSR1; RadioDSR2 is the opposite
    bool RandomFlow = false;  // RadioRF2; RadioRF1 is the opposite

    // "Protocol".
    int PacketIndex = PacketSizeIndex(kDefaultPacketSize);  // into kPacketSizeEntries
    // "Pattern", written only while a test pattern is chosen; the packet size stays beside it.
    LinePattern Pattern = LinePattern::Packets;
    bool SymbolVisible = false;
    IntegerEntry Symbol = IntegerEntry::Of(kDefaultSymbol, SymbolHexText(kDefaultSymbol));

    // "Terminal" and "TerminalFont": the terminal window and its font.
    bool TerminalNormal = true;  // false: maximized
    std::int32_t TerminalLeft = 20;
    std::int32_t TerminalTop = 20;
    std::int32_t TerminalWidth = 200;
    std::int32_t TerminalHeight = 200;
    // The terminal's view choices, off unless chosen; LineEnd 0 CR, 1 LF, 2 CR LF.
    bool TerminalHex = false;
    bool TerminalTimestamps = false;
    std::int32_t TerminalLineEnd = 0;
    std::string FontName = "Courier";
    std::int32_t FontSize = 8;
    std::int32_t FontColor = 0;  // 0x00BBGGRR; system colours are negative

    // "Record": the folder each session's CSV record goes to; empty: no record.
    std::string RecordFolder;

    // Every key, each with its default when missing or not a number. Data bits, stop bits
    // and parity outside their ranges load as 8, 1 and none.
    void Load(const IniDocument& doc);

    // Converts the texts first: a bit rate or symbol that is not a whole number gives the
    // conversion message and leaves the document as it was. Otherwise erases the program's
    // sections and writes them again in their order; "Morvi" and unknown sections stay.
    // nullopt when written.
    std::optional<std::string> Save(IniDocument& doc) const;

    bool operator==(const ProgramSettings&) const = default;
};

}  // namespace kvartix
