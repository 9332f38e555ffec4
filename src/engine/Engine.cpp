#include "engine/Engine.h"

namespace kvartix {
namespace {

constexpr std::uint8_t kXonByte = 17;
constexpr std::uint32_t kNotOverrunParityFrame = 0xFFFFFFF1;

int SecondOfMinute(std::int64_t wallUs) {
    return static_cast<int>((wallUs / 1000000) % 60);
}

}  // namespace

void Engine::BeginSession(CommPort& port, TransferRecord& writeTransfer,
                          TransferRecord& readTransfer, TestMode mode,
                          const LineSettings& settings, const SessionParameters& params) {
    m_port = &port;
    m_writeTransfer = &writeTransfer;
    m_readTransfer = &readTransfer;
    m_portLost = false;
    HoldWrites = false;
    Mode = mode;
    Settings = settings;
    Params = params;
    FirstTick = true;
}

CycleResult Engine::Tick() {
    if (!m_port) return CycleResult::Continue;
    m_portLost = false;

    // A failing query counts as no errors and no holds.
    std::uint32_t mask = 0;
    CommStatus status;
    if (!m_port->ClearCommError(mask, status)) {
        mask = 0;
        status = CommStatus{};
    }
    PortStatus = status;
    LineStatus line = status.Flags | kCtsInactive | kDsrInactive | kDcdInactive;
    std::uint32_t modem = 0;
    if (m_port->GetCommModemStatus(modem)) {
        if (modem & MS_RLSD_ON) line &= static_cast<LineStatus>(~kDcdInactive);
        if (modem & MS_DSR_ON) line &= static_cast<LineStatus>(~kDsrInactive);
        if (modem & MS_CTS_ON) line &= static_cast<LineStatus>(~kCtsInactive);
    }

    CountDriverErrors(mask);

    if (line != State.PrevLineStatus || FirstTick) {
        LineStatus changed;
        if (FirstTick) {
            FirstCycleInit();
            changed = 0x1F;
        } else {
            changed = line ^ State.PrevLineStatus;
        }
        UpdateLeds(line, changed);
        State.PrevLineStatus = line;
    }
    if (m_portLost) return CycleResult::PortLost;

    if (++State.TickCount == 10) State.TickCount = 0;

    PerSecondUpdate();

    if ((State.TickCount == 0 || State.TickCount == 5) && Settings.RandomFlow) {
        State.ReadAmount = Rng.RandomBelow(Params.CharsPerTick) + 1;
        State.WriteAmount = Rng.RandomBelow(Params.CharsPerTick) + 1;
    }

    if (ClearRequested) {
        ClearStatistics();
        ClearRequested = false;
    }

    switch (Mode) {
        case TestMode::Bert: RunBertPath(); break;
        case TestMode::Loopback: RunLoopbackPath(); break;
        case TestMode::Terminal: RunTerminalPath(); break;
    }
    return m_portLost ? CycleResult::PortLost : CycleResult::Continue;
}

void Engine::FirstCycleInit() {
    FirstTick = false;
    Counters.StartTimeUs = m_clock.NowUs();
    Counters.LastUpdateTimeUs = Counters.StartTimeUs;
    State.TickCount = 0;
    Counters.ShownReceived = -1;
    State.TxPosition = Params.TxStartPosition;
    Checker.RxPosition = 0;
    State.FirstData = true;
    // Set either way: the cell's state belongs to this session alone.
    m_view.SetErrorsCellAlarm(Mode == TestMode::Bert && Params.PacketSize != 1);
    Checker.StartSession();
    Counters.ReceivedThisSecond = 0;
    ClearRequested = false;
    Counters.Errors = 0;
    Counters.Sent = 0;
    Counters.ShownErrors = 0;
    Chart.ResetChart();
    m_view.ChartChanged(Chart);
    m_view.ClearTerminalText();
    State.WritePending = false;
    State.PendingWriteSize = 0;
    if (Settings.XonXoff && Mode != TestMode::Bert) {
        // From a byte of its own: the receive buffer may be read into while it is queued.
        static const std::uint8_t xon = kXonByte;
        State.WritePending = Write(&xon, 1, "write ") == IoResult::Pending;
    }
    State.ReadAmount = State.WriteAmount = Params.QueueSize;
    Counters.LastUpdateSecond = SecondOfMinute(m_clock.WallUs());
    State.LoopbackPending = 0;
    TerminalBreaks = LineBreakState{};
}

void Engine::CountDriverErrors(std::uint32_t mask) {
    struct ErrorClass {
        DriverErrorRow Row;
        std::uint32_t Bits;
        std::int32_t& Count;
    };
    const ErrorClass classes[] = {
        {DriverErrorRow::Other, kNotOverrunParityFrame, DriverErrors.OtherErrors},
        {DriverErrorRow::Parity, CE_RXPARITY, DriverErrors.ParityErrors},
        {DriverErrorRow::Overrun, CE_OVERRUN, DriverErrors.OverrunErrors},
        {DriverErrorRow::Framing, CE_FRAME, DriverErrors.FramingErrors},
    };
    for (const ErrorClass& c : classes) {
        const bool occurred = (mask & c.Bits) != 0;
        if (occurred) ++c.Count;
        m_view.ShowDriverError(c.Row, occurred, c.Count, mask);
    }
}

void Engine::UpdateLeds(LineStatus s, LineStatus changed) {
    if (changed & kXoffReceivedHold) m_view.SetLed(Led::XR, (s & kXoffReceivedHold) != 0);
    if (changed & kXoffSentHold) m_view.SetLed(Led::XS, (s & kXoffSentHold) != 0);
    if (changed & kCtsInactive) m_view.SetLed(Led::CTS, (s & kCtsInactive) == 0);
    if (changed & kDsrInactive) m_view.SetLed(Led::DSR, (s & kDsrInactive) == 0);
    if (changed & kDcdInactive) m_view.SetLed(Led::DCD, (s & kDcdInactive) == 0);
}

void Engine::PerSecondUpdate() {
    // The update falls on the wall clock's second; every interval is measured on the
    // monotonic clock, so a step of the wall clock changes no figure.
    const std::int64_t now = m_clock.NowUs();
    const int second = SecondOfMinute(m_clock.WallUs());
    if (second == Counters.LastUpdateSecond) return;
    Counters.LastUpdateSecond = second;
    const std::int64_t intervalMs = (now - Counters.LastUpdateTimeUs) / 1000;
    Counters.LastUpdateTimeUs = now;

    // The whole interval counts, minutes included; an empty one gives no rate to plot.
    if (intervalMs > 0) {
        Chart.RemoveOldestPoint();
        const double rate = Params.BitsPerChar * static_cast<double>(Counters.ReceivedThisSecond) *
                            Chart.RateUnitFactor() / static_cast<double>(intervalMs);
        if (rate > 1.5 * Chart.AxisMaximum()) {
            if (++RescaleCount == 3) Chart.DoubleAxis();
        } else {
            RescaleCount = 0;
        }
        Chart.AppendPoint(rate);
        m_view.ChartChanged(Chart);
    }
    Counters.ReceivedThisSecond = 0;

    const std::int64_t elapsedMs = (m_clock.NowUs() - Counters.StartTimeUs) / 1000;
    m_view.SetStatText(StatCell::Time, ElapsedText(elapsedMs));
    const std::int64_t charRate = CharRate(Counters.Received, elapsedMs);
    m_view.SetStatText(StatCell::CharRate, std::to_string(charRate));
    const auto bitRate = static_cast<std::int64_t>(Params.BitsPerChar * static_cast<double>(charRate));
    m_view.SetStatText(StatCell::BitRate, std::to_string(bitRate));
    if (Counters.Received != Counters.ShownReceived) {
        m_view.SetStatText(StatCell::Received, ReceivedText(Counters.Received));
        Counters.ShownReceived = Counters.Received;
        if (Counters.Received != 0 && Counters.Errors != 0)
            m_view.SetStatText(StatCell::Coefficient,
                               CoefficientText(Counters.Errors, Counters.Received, DecimalSeparator));
    }
    if (Counters.Errors != Counters.ShownErrors) {
        m_view.SetStatText(StatCell::Errors, std::to_string(Counters.Errors));
        Counters.ShownErrors = Counters.Errors;
    }
    m_view.SecondElapsed();
}

void Engine::ClearStatistics() {
    DriverErrors = DriverErrorCounters{};
    Checker.ResetCounts();
    m_view.RefreshErrorPanel();
    Counters.Received = Counters.ReceivedThisSecond = Counters.Errors = Counters.Sent = 0;
    ClearRequested = false;
    Counters.StartTimeUs = Counters.LastUpdateTimeUs = m_clock.NowUs();
    Chart.ResetChart();
    m_view.ChartChanged(Chart);
    m_view.ClearTerminalText();
    m_view.SetStatText(StatCell::Coefficient, "");
}

bool Engine::Read(std::uint8_t* buffer, std::int32_t count, std::uint32_t& got,
                  const char* failText) {
    got = 0;
    switch (m_port->ReadFile(*m_readTransfer, buffer, static_cast<std::uint32_t>(count), got)) {
        case IoResult::Done: return true;
        case IoResult::Gone: m_portLost = true; return false;
        default:
            got = 0;
            m_box.ErrorBox(failText, false);
            return true;
    }
}

bool Engine::WriteGateOpen(std::uint32_t& transferred, const std::string& writeText) {
    transferred = 0;
    if (!State.WritePending) return true;
    switch (m_port->GetOverlappedResult(*m_writeTransfer, transferred)) {
        case IoResult::Done:
            State.WritePending = false;
            State.PendingWriteSize = 0;
            Counters.Sent += transferred;
            return true;
        case IoResult::Pending: return false;
        case IoResult::Gone: m_portLost = true; return false;
        case IoResult::Failed:
            // A queued write that failed would otherwise keep the gate shut for good.
            State.WritePending = false;
            State.PendingWriteSize = 0;
            m_box.ErrorBox(writeText + "0", false);
            return false;
    }
    return false;
}

IoResult Engine::Write(const std::uint8_t* buffer, std::int32_t count,
                       const std::string& writeText) {
    std::uint32_t written = 0;
    const IoResult r =
        m_port->WriteFile(*m_writeTransfer, buffer, static_cast<std::uint32_t>(count), written);
    switch (r) {
        case IoResult::Pending: State.PendingWriteSize = count; break;
        case IoResult::Done:
            Counters.Sent += written;
            m_box.ErrorBox(writeText + std::to_string(written), false);
            break;
        case IoResult::Failed: m_box.ErrorBox(writeText + "0", false); break;
        case IoResult::Gone: m_portLost = true; break;
    }
    return r;
}

void Engine::RunBertPath() {
    std::uint8_t* buffer = State.CurrentBuffer();
    std::uint32_t n = 0;
    if (!Read(buffer, State.ReadAmount, n, "error 1")) return;
    if (n > 0) CheckBert(buffer, n);

    std::uint32_t transferred = 0;
    if (!WriteGateOpen(transferred, "Error write ")) return;
    if (transferred > 0)
        State.TxPosition =
            (State.TxPosition + static_cast<std::int32_t>(transferred)) & Params.PacketMask;
    if (HoldWrites) return;
    State.WritePending =
        Write(Pattern.At(State.TxPosition), State.WriteAmount, "Error write ") == IoResult::Pending;
}

void Engine::CheckBert(const std::uint8_t* data, std::uint32_t n) {
    Counters.Received += n;
    Counters.ReceivedThisSecond += n;
    if (Params.PacketSize == 1) {
        const std::uint8_t symbol = *Pattern.At(0);
        for (std::uint32_t i = 0; i < n; ++i) {
            if (((data[i] ^ symbol) & Params.DataMask) != 0) ++Counters.Errors;
            Checker.PrevSymbol = data[i];
        }
        return;
    }
    BertCycleFlags flags;
    const bool waiting = State.FirstData;
    Checker.Check(data, n, Pattern.Body(), Params.PacketMask, Params.DataMask, State.FirstData,
                  Counters.Errors, flags);
    if (waiting && !State.FirstData) m_view.SetErrorsCellAlarm(false);
    m_view.ShowPacketError(PacketErrorRow::SyncLost, flags.SyncLost, Checker.SyncLostCount);
    m_view.ShowPacketError(PacketErrorRow::InvalidSymbol, flags.InvalidSymbol,
                           Checker.InvalidSymbolCount);
    m_view.ShowPacketError(PacketErrorRow::SymbolLost, flags.SymbolLost, Checker.SymbolLostCount);
}

}  // namespace kvartix
