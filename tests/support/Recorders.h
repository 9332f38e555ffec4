#pragma once

#include <map>
#include <string>
#include <vector>

#include "engine/EngineView.h"
#include "engine/ErrorBox.h"

namespace kvartix::test {

struct BoxMessage {
    std::string Text;
    bool ErrorIcon;
    bool operator==(const BoxMessage&) const = default;
};

class RecordingBox final : public ErrorBoxSink {
public:
    void ErrorBox(const std::string& text, bool errorIcon) override {
        Messages.push_back({text, errorIcon});
    }
    std::vector<BoxMessage> Messages;
};

// Keeps the last thing shown for every element, and counts calls where order matters.
class RecordingView final : public EngineView {
public:
    struct Row {
        bool Occurred = false;
        std::int32_t Count = 0;
        std::uint32_t Mask = 0;
    };

    void ShowDriverError(DriverErrorRow row, bool occurred, std::int32_t count,
                         std::uint32_t mask) override {
        Driver[row] = {occurred, count, mask};
    }
    void ShowPacketError(PacketErrorRow row, bool occurred, std::int32_t count) override {
        Packet[row] = {occurred, count, 0};
        ++PacketUpdates;
    }
    void SetLed(Led led, bool on) override {
        Leds[led] = on;
        ++LedUpdates;
    }
    void SetErrorsCellAlarm(bool alarm) override { ErrorsAlarm = alarm; }
    void RefreshErrorPanel() override { ++PanelRefreshes; }
    void SetStatText(StatCell cell, const std::string& text) override { Stats[cell] = text; }
    void ChartChanged(const RateChart& chart) override {
        Chart = chart;
        ++ChartChanges;
    }
    void SecondElapsed() override { ++Seconds; }
    void ClearTerminalText() override { ++TerminalClears; }

    std::map<DriverErrorRow, Row> Driver;
    std::map<PacketErrorRow, Row> Packet;
    std::map<Led, bool> Leds;
    int LedUpdates = 0;
    int PacketUpdates = 0;
    bool ErrorsAlarm = false;
    int PanelRefreshes = 0;
    std::map<StatCell, std::string> Stats;
    RateChart Chart;
    int ChartChanges = 0;
    int Seconds = 0;
    int TerminalClears = 0;
};

}  // namespace kvartix::test
