#pragma once

#include <cstdint>
#include <string>

#include "app/LineChoices.h"
#include "app/LinePattern.h"

namespace kvartix {

// Choices numbered as the platform's constants, passed through unchanged.
enum StopBitsChoice : int { OneStopBit = 0, One5StopBits = 1, TwoStopBits = 2 };
enum ParityChoice : int { NoParity = 0, OddParity = 1, EvenParity = 2, MarkParity = 3, SpaceParity = 4 };

// The line settings as chosen on the main window, read at the moment a session starts.
struct LineSettings {
    std::string Port = "LOOP";
    std::int32_t BitRate = kDefaultBitRate;
    int DataBits = 8;
    int StopBits = OneStopBit;
    int Parity = NoParity;
    bool RtsCts = false;
    bool XonXoff = false;
    bool DTREnable = true;
    bool DSREnable = false;
    bool RandomFlow = false;
    std::int32_t PacketSize = kDefaultPacketSize;
    std::uint8_t Symbol = kDefaultSymbol;
    // A BERT sends its packets unless a test pattern is chosen; PacketSize stays as it was.
    LinePattern Pattern = LinePattern::Packets;
};

}  // namespace kvartix
