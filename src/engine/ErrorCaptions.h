#pragma once

#include <cstdint>
#include <string>

#include "engine/EngineView.h"

namespace kvartix {

// The error panel's titles and row captions; the CLI's summary names the counts the same way.
inline constexpr const char* kDriverErrorsTitle = "COM port driver errors";
inline constexpr const char* kPacketErrorsTitle = "Packet errors";

constexpr const char* DriverErrorCaption(DriverErrorRow row) {
    switch (row) {
        case DriverErrorRow::Parity:
            return "Parity";
        case DriverErrorRow::Overrun:
            return "Receive overrun";
        case DriverErrorRow::Framing:
            return "Receive framing";
        case DriverErrorRow::Other:
            return "Other errors";
    }
    return "";
}

constexpr const char* PacketErrorCaption(PacketErrorRow row) {
    switch (row) {
        case PacketErrorRow::InvalidSymbol:
            return "Invalid symb";
        case PacketErrorRow::SymbolLost:
            return "Symb is lost";
        case PacketErrorRow::SyncLost:
            return "Sync is lost";
    }
    return "";
}

// " = " and the count, or nothing for 0.
inline std::string CountSuffix(std::int32_t count) {
    return count == 0 ? std::string() : " = " + std::to_string(count);
}

}  // namespace kvartix
