#include "engine/Engine.h"

#include <algorithm>

#include "engine/RunFigures.h"

namespace kvartix {
namespace {

constexpr std::uint8_t kXonByte = 17;

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
    m_holdWrites = false;
    m_mode = mode;
    m_settings = settings;
    m_params = params;
    m_counters.Received = 0;
    m_driverErrors = DriverErrorCounters{};
    m_checker.ResetCounts();
    BuildBertPattern(m_pattern, params.PacketSize, params.DataMask, settings.Symbol, m_rng);
    m_sequenceSource.reset();
    m_sequenceChecker.reset();
    m_sequenceOut.clear();
    if (mode == TestMode::Bert && settings.Pattern != LinePattern::Packets) {
        m_sequenceSource.emplace(settings.Pattern);
        m_sequenceChecker.emplace(settings.Pattern, settings.DataBits);
    }
    m_firstTick = true;
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
    m_portStatus = status;
    LineStatus line = status.Flags | kCtsInactive | kDsrInactive | kDcdInactive;
    std::uint32_t modem = 0;
    if (m_port->GetCommModemStatus(modem)) {
        if (modem & MS_RLSD_ON) line &= static_cast<LineStatus>(~kDcdInactive);
        if (modem & MS_DSR_ON) line &= static_cast<LineStatus>(~kDsrInactive);
        if (modem & MS_CTS_ON) line &= static_cast<LineStatus>(~kCtsInactive);
    }

    CountDriverErrors(mask);

    if (line != m_state.PrevLineStatus || m_firstTick) {
        LineStatus changed;
        if (m_firstTick) {
            FirstCycleInit();
            changed = kAllLineStatusBits;
        } else {
            changed = line ^ m_state.PrevLineStatus;
        }
        UpdateLeds(line, changed);
        m_state.PrevLineStatus = line;
    }
    if (m_portLost) return CycleResult::PortLost;
    TrackXoffHold(line);

    if (++m_state.TickCount == 10) m_state.TickCount = 0;

    PerSecondUpdate();

    if ((m_state.TickCount == 0 || m_state.TickCount == 5) && m_settings.RandomFlow) {
        m_state.ReadAmount = m_rng.RandomBelow(m_params.CharsPerTick) + 1;
        m_state.WriteAmount = m_rng.RandomBelow(m_params.CharsPerTick) + 1;
    }

    if (m_clearRequested) {
        ClearStatistics();
        m_clearRequested = false;
    }

    switch (m_mode) {
        case TestMode::Bert: RunBertPath(); break;
        case TestMode::Loopback: RunLoopbackPath(); break;
        case TestMode::Terminal: RunTerminalPath(); break;
    }
    return m_portLost ? CycleResult::PortLost : CycleResult::Continue;
}

void Engine::FirstCycleInit() {
    m_firstTick = false;
    m_counters.StartTimeUs = m_clock.NowUs();
    m_counters.LastUpdateTimeUs = m_counters.StartTimeUs;
    m_state.TickCount = 0;
    m_counters.ShownReceived = -1;
    m_state.TxPosition = m_params.TxStartPosition;
    m_checker.RxPosition = 0;
    m_state.FirstData = true;
    // Set either way: the cell's state belongs to this session alone.
    m_view.SetErrorsCellAlarm(m_mode == TestMode::Bert &&
                              (m_params.PacketSize != 1 || m_sequenceChecker));
    m_checker.StartSession();
    m_counters.ReceivedThisSecond = 0;
    m_clearRequested = false;
    m_counters.Errors = 0;
    m_counters.Sent = 0;
    m_counters.TerminalReceived = 0;
    m_counters.HeldSinceUs.reset();
    m_counters.HeldUs = m_counters.XonResent = 0;
    m_counters.LastArrivalUs = m_counters.StartTimeUs;
    m_counters.LastXonUs.reset();
    m_update = RunFigures{};
    m_counters.ShownErrors = 0;
    m_chart.ResetChart();
    m_view.ChartChanged(m_chart);
    m_view.ClearTerminalText();
    m_state.WritePending = false;
    m_state.PendingWriteSize = 0;
    if (m_settings.XonXoff && m_mode != TestMode::Bert) {
        // From a byte of its own: the receive buffer may be read into while it is queued.
        static const std::uint8_t xon = kXonByte;
        m_state.WritePending = Write(&xon, 1, "write ") == IoResult::Pending;
    }
    m_state.ReadAmount = m_state.WriteAmount = m_params.QueueSize;
    m_counters.LastUpdateSecond = SecondOfMinute(m_clock.WallUs());
    m_state.LoopbackPending = 0;
    m_terminalBreaks = LineBreakState{};
}

void Engine::TrackXoffHold(LineStatus line) {
    const std::int64_t now = m_clock.NowUs();
    const bool held = (line & kXoffReceivedHold) != 0;
    SessionCounters& c = m_counters;
    if (held && !c.HeldSinceUs) c.HeldSinceUs = now;
    if (!held && c.HeldSinceUs) {
        c.HeldUs += now - *c.HeldSinceUs;
        c.HeldSinceUs.reset();
    }
    // A BERT held by an Xoff while its own input is released and nothing comes in has lost
    // the Xon that would free it (or took a corrupted character for an Xoff): it sends its Xon
    // again, at most once a second, which an unheld far end takes as nothing.
    constexpr std::int64_t kQuietUs = 1'000'000;
    if (m_mode != TestMode::Bert || !m_settings.XonXoff || !held || (line & kXoffSentHold) ||
        now - c.LastArrivalUs < kQuietUs || (c.LastXonUs && now - *c.LastXonUs < kQuietUs))
        return;
    c.LastXonUs = now;
    if (m_port->TransmitXon()) ++c.XonResent;
}

void Engine::CountDriverErrors(std::uint32_t mask) {
    struct ErrorClass {
        DriverErrorRow Row;
        std::uint32_t Bits;
        std::int32_t& Count;
    };
    const ErrorClass classes[] = {
        {DriverErrorRow::Other, kOtherDriverErrors, m_driverErrors.OtherErrors},
        {DriverErrorRow::Parity, CE_RXPARITY, m_driverErrors.ParityErrors},
        {DriverErrorRow::Overrun, CE_OVERRUN, m_driverErrors.OverrunErrors},
        {DriverErrorRow::Framing, CE_FRAME, m_driverErrors.FramingErrors},
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
    if (second == m_counters.LastUpdateSecond) return;
    m_counters.LastUpdateSecond = second;
    const std::int64_t intervalMs = (now - m_counters.LastUpdateTimeUs) / 1000;
    m_counters.LastUpdateTimeUs = now;

    // The whole interval counts, minutes included; an empty one gives no rate to plot.
    if (intervalMs > 0) {
        m_chart.RemoveOldestPoint();
        const double rate = m_params.BitsPerChar *
                            static_cast<double>(m_counters.ReceivedThisSecond) *
                            m_chart.RateUnitFactor() / static_cast<double>(intervalMs);
        if (rate > 1.5 * m_chart.AxisMaximum()) {
            if (++m_rescaleCount == 3) m_chart.DoubleAxis();
        } else {
            m_rescaleCount = 0;
        }
        m_chart.AppendPoint(rate);
        m_view.ChartChanged(m_chart);
    }
    m_counters.ReceivedThisSecond = 0;

    m_update = FiguresOf(*this, now - m_counters.StartTimeUs, m_counters.Received,
                         m_counters.Received, Averaging::WholeTenths);
    m_view.SetStatText(StatCell::Time, ElapsedText(m_update.ElapsedUs / 1000));
    m_view.SetStatText(StatCell::CharRate, std::to_string(m_update.CharRate));
    m_view.SetStatText(StatCell::BitRate, std::to_string(m_update.BitRate));
    if (m_counters.Received != m_counters.ShownReceived) {
        m_view.SetStatText(StatCell::Received, ReceivedText(m_counters.Received));
        m_counters.ShownReceived = m_counters.Received;
        if (m_counters.Received != 0 && m_counters.Errors != 0)
            m_view.SetStatText(
                StatCell::Coefficient,
                CoefficientText(m_counters.Errors, m_counters.Received, m_decimalSeparator));
    }
    if (m_counters.Errors != m_counters.ShownErrors) {
        m_view.SetStatText(StatCell::Errors, std::to_string(m_counters.Errors));
        m_counters.ShownErrors = m_counters.Errors;
    }
    m_view.SecondElapsed();
}

void Engine::ClearStatistics() {
    m_driverErrors = DriverErrorCounters{};
    m_checker.ResetCounts();
    if (m_sequenceChecker) m_sequenceChecker->ResetCounts();
    m_view.RefreshErrorPanel();
    m_counters.Received = m_counters.ReceivedThisSecond = m_counters.Errors = m_counters.Sent = 0;
    m_counters.TerminalReceived = 0;
    m_clearRequested = false;
    m_counters.StartTimeUs = m_counters.LastUpdateTimeUs = m_clock.NowUs();
    m_counters.HeldUs = 0;
    if (m_counters.HeldSinceUs) m_counters.HeldSinceUs = m_counters.StartTimeUs;
    m_chart.ResetChart();
    m_view.ChartChanged(m_chart);
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
    if (!m_state.WritePending) return true;
    switch (m_port->GetOverlappedResult(*m_writeTransfer, transferred)) {
        case IoResult::Done:
            m_state.WritePending = false;
            m_state.PendingWriteSize = 0;
            m_counters.Sent += transferred;
            return true;
        case IoResult::Pending: return false;
        case IoResult::Gone: m_portLost = true; return false;
        case IoResult::Failed:
            // A queued write that failed would otherwise keep the gate shut for good.
            m_state.WritePending = false;
            m_state.PendingWriteSize = 0;
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
        case IoResult::Pending:
            m_state.PendingWriteSize = count;
            break;
        case IoResult::Done:
            m_counters.Sent += written;
            m_box.ErrorBox(writeText + std::to_string(written), false);
            break;
        case IoResult::Failed: m_box.ErrorBox(writeText + "0", false); break;
        case IoResult::Gone: m_portLost = true; break;
    }
    return r;
}

void Engine::RunBertPath() {
    if (m_sequenceSource) return RunSequencePath();
    std::uint8_t* buffer = m_state.CurrentBuffer();
    std::uint32_t n = 0;
    if (!Read(buffer, m_state.ReadAmount, n, "error 1")) return;
    if (n > 0) CheckBert(buffer, n);

    std::uint32_t transferred = 0;
    if (!WriteGateOpen(transferred, "Error write ")) return;
    if (transferred > 0)
        m_state.TxPosition =
            (m_state.TxPosition + static_cast<std::int32_t>(transferred)) & m_params.PacketMask;
    if (m_holdWrites) return;
    m_state.WritePending = Write(m_pattern.At(m_state.TxPosition), m_state.WriteAmount,
                                 "Error write ") == IoResult::Pending;
}

void Engine::CheckBert(const std::uint8_t* data, std::uint32_t n) {
    m_counters.LastArrivalUs = m_clock.NowUs();
    m_counters.Received += n;
    m_counters.ReceivedThisSecond += n;
    if (m_params.PacketSize == 1) {
        const std::uint8_t symbol = *m_pattern.At(0);
        for (std::uint32_t i = 0; i < n; ++i) {
            if (((data[i] ^ symbol) & m_params.DataMask) != 0) ++m_counters.Errors;
            m_checker.PrevSymbol = data[i];
        }
        return;
    }
    BertCycleFlags flags;
    const bool waiting = m_state.FirstData;
    m_checker.Check(data, n, m_pattern.Body(), m_params.PacketMask, m_params.DataMask,
                    m_state.FirstData, m_counters.Errors, flags);
    if (waiting && !m_state.FirstData) m_view.SetErrorsCellAlarm(false);
    m_view.ShowPacketError(PacketErrorRow::SyncLost, flags.SyncLost, m_checker.SyncLostCount);
    m_view.ShowPacketError(PacketErrorRow::InvalidSymbol, flags.InvalidSymbol,
                           m_checker.InvalidSymbolCount);
    m_view.ShowPacketError(PacketErrorRow::SymbolLost, flags.SymbolLost, m_checker.SymbolLostCount);
}

void Engine::RunSequencePath() {
    std::uint8_t* buffer = m_state.CurrentBuffer();
    std::uint32_t n = 0;
    if (!Read(buffer, m_state.ReadAmount, n, "error 1")) return;
    if (n > 0) CheckSequence(buffer, n);

    std::uint32_t transferred = 0;
    if (!WriteGateOpen(transferred, "Error write ")) return;
    // What the driver took is gone; what it did not goes out again, as the packets' position does.
    m_sequenceOut.erase(m_sequenceOut.begin(),
                        m_sequenceOut.begin() +
                            std::min<std::size_t>(transferred, m_sequenceOut.size()));
    if (m_holdWrites) return;
    const auto amount = static_cast<std::size_t>(m_state.WriteAmount);
    if (m_sequenceOut.size() < amount) {
        const std::size_t have = m_sequenceOut.size();
        m_sequenceOut.resize(amount);
        m_sequenceSource->Fill(m_sequenceOut.data() + have, amount - have, m_settings.DataBits);
    }
    m_state.WritePending = Write(m_sequenceOut.data(), m_state.WriteAmount, "Error write ") ==
                           IoResult::Pending;
}

// The cells count characters in error; the bits are the checker's.
void Engine::CheckSequence(const std::uint8_t* data, std::uint32_t n) {
    m_counters.LastArrivalUs = m_clock.NowUs();
    m_counters.Received += n;
    m_counters.ReceivedThisSecond += n;
    const PatternCounts before = m_sequenceChecker->Counts();
    m_sequenceChecker->Check(data, n);
    const PatternCounts& after = m_sequenceChecker->Counts();
    m_counters.Errors += after.ErroredCharacters - before.ErroredCharacters;
    if (!before.EverInSync && after.EverInSync) m_view.SetErrorsCellAlarm(false);
    m_view.ShowPacketError(PacketErrorRow::SyncLost, after.SyncLosses != before.SyncLosses,
                           static_cast<std::int32_t>(after.SyncLosses));
    m_view.ShowPacketError(PacketErrorRow::InvalidSymbol, false, 0);
    m_view.ShowPacketError(PacketErrorRow::SymbolLost, false, 0);
}

}  // namespace kvartix
