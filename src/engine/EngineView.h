#pragma once

#include <cstdint>
#include <string>

#include "engine/RateChart.h"
#include "engine/Statistics.h"
#include "engine/TerminalText.h"

namespace kvartix {

enum class DriverErrorRow { Other, Parity, Overrun, Framing };
enum class PacketErrorRow { SyncLost, InvalidSymbol, SymbolLost };
enum class Led { XR, XS, CTS, DSR, DCD };

// What the engine shows, whoever shows it: the main window, the headless runner or a test.
class EngineView {
public:
    virtual ~EngineView() = default;

    // One driver-error class of this cycle: whether it occurred, its count, the whole mask.
    virtual void ShowDriverError(DriverErrorRow row, bool occurred, std::int32_t count,
                                 std::uint32_t errorMask) = 0;
    // One packet-error class of a BERT cycle that received data. The view shows it only
    // while it is showing packet errors.
    virtual void ShowPacketError(PacketErrorRow row, bool occurred, std::int32_t count) = 0;
    virtual void SetLed(Led led, bool on) = 0;
    // The errors cell is red until the first start code of a BERT session arrives.
    virtual void SetErrorsCellAlarm(bool alarm) = 0;
    virtual void RefreshErrorPanel() = 0;
    virtual void SetStatText(StatCell cell, const std::string& text) = 0;
    // The strip's points or axis changed.
    virtual void ChartChanged(const RateChart& chart) = 0;
    virtual void ClearTerminalText() = 0;
    // The terminal's text control; none where received text is not shown.
    virtual TerminalText* Terminal() { return nullptr; }
    // The once-a-second statistics update has run.
    virtual void SecondElapsed() {}
};

// Shows nothing: for runs where only the counts matter.
class NullEngineView : public EngineView {
public:
    void ShowDriverError(DriverErrorRow, bool, std::int32_t, std::uint32_t) override {}
    void ShowPacketError(PacketErrorRow, bool, std::int32_t) override {}
    void SetLed(Led, bool) override {}
    void SetErrorsCellAlarm(bool) override {}
    void RefreshErrorPanel() override {}
    void SetStatText(StatCell, const std::string&) override {}
    void ChartChanged(const RateChart&) override {}
    void ClearTerminalText() override {}
};

}  // namespace kvartix
