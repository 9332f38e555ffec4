#pragma once

#include <cstdint>
#include <string>

#include "engine/EngineView.h"

namespace kvartix {

// The error panel's titles and row captions; the CLI's summary names the counts the same way.
inline constexpr const char* kDriverErrorsTitle = "COM port driver errors";
inline constexpr const char* kPacketErrorsTitle = "Packet errors";

constexpr const char* DriverErrorCaption(DriverErrorRow row) {
    // In the order of DriverErrorRow.
    constexpr const char* kDriverErrorCaptions[] = {"Other errors", "Parity", "Receive overrun",
                                                    "Receive framing"};
    return kDriverErrorCaptions[static_cast<int>(row)];
}

constexpr const char* PacketErrorCaption(PacketErrorRow row) {
    // In the order of PacketErrorRow.
    constexpr const char* kPacketErrorCaptions[] = {"Sync is lost", "Invalid symb", "Symb is lost"};
    return kPacketErrorCaptions[static_cast<int>(row)];
}

// " = " and the count, or nothing for 0.
inline std::string CountSuffix(std::int32_t count) {
    return count == 0 ? std::string() : " = " + std::to_string(count);
}

}  // namespace kvartix
