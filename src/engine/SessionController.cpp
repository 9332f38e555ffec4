#include "engine/SessionController.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "engine/PortMessages.h"
#include "engine/RunRecord.h"

namespace kvartix {

SessionController::SessionController(EngineView& view, ErrorBoxSink& box, PortOpener& opener,
                                     const Clock& clock)
    : m_view(view),
      m_box(box),
      m_clock(clock),
      m_usable(CreateTransferEvents(m_events, m_factory, box)),
      m_session(m_engine, *this, opener, *this, m_events) {}

SessionController::~SessionController() {
    m_session.StopSession();
}

void SessionController::RecordTo(std::ostream* out, std::string name) {
    m_recordStream = out;
    m_recordName = std::move(name);
    m_recordFailed = false;
    m_record = out;
    if (out) WriteRecord(RecordHeader());
    // A session not yet started takes the stream up at its start.
    if (!m_session.Running()) m_record = nullptr;
}

bool SessionController::Start(TestMode mode, const LineSettings& settings) {
    Finish(RunEnding::Stopped);
    if (!m_session.Start(mode, settings)) return false;
    m_timedEndUs.reset();
    m_receivedAtEnd = 0;
    m_loss = LossCheck{};
    m_drain.reset();
    m_erroredSeconds = m_errorsAtLastSecond = m_receiveOverflows = 0;
    m_secondErrored = false;
    m_quality = LineQualitySeconds{};
    m_result.reset();
    m_record = m_recordStream;
    if (!m_record && !m_recordFolder.empty()) OpenRecordFile(settings.Port);
    return true;
}

void SessionController::Tick() {
    if (!m_session.Running()) return;
    if (m_engine.Tick() == CycleResult::PortLost) {
        const std::string text = PortLostText(m_session.DevicePath());
        Finish(RunEnding::PortLost);
        m_box.ErrorBox(text, true);
        return;
    }
    if (m_drain && m_drain->Cycle(m_clock.NowUs())) m_drain.reset();
}

void SessionController::EndTimedRun(std::int64_t atUs) {
    m_timedEndUs = atUs;
    m_receivedAtEnd = RecordedCount();
    m_heldUs = Sender().Counters().HeldUsAt(atUs);
    m_heldAtEndUs = Sender().Counters().HeldForUsAt(atUs);
}

bool SessionController::BeginDrain() {
    if (m_engine.Mode() != TestMode::Bert) {
        m_loss.NotJudged = "a loopback";
        return false;
    }
    if (m_engine.Counters().Received == 0) {
        m_loss.NotJudged = m_sender ? "nothing arrived" : "nothing came back";
        return false;
    }
    m_drain = std::make_unique<SessionDrain>(Sender(), m_engine, m_clock.NowUs(), m_loss);
    return true;
}

void SessionController::Finish(RunEnding how, int signal) {
    if (!m_session.Running()) return;
    m_drain.reset();
    if (!m_timedEndUs) EndTimedRun(m_clock.NowUs());
    // What the last cycle read after the last update belongs to the second that update closed.
    if (m_engine.Counters().Errors > m_errorsAtLastSecond && !m_secondErrored) ++m_erroredSeconds;
    if (const PatternCounts* sequence = m_engine.Sequence()) m_quality.TakeLastSecond(*sequence);
    if (!m_loss.Lost && m_loss.NotJudged.empty())
        m_loss.NotJudged = how == RunEnding::Stopped ? "the run was stopped"
                                                     : "the run was cut short";
    m_result = FinalResult(how, signal);
    m_result->RecordFailed = m_recordFailed;
    if (m_record) WriteRecord(RecordLine(m_result->Final));
    m_record = nullptr;
    m_recordFile.close();
    m_recordPath.clear();
    m_session.StopSession();
}

RunResult SessionController::FinalResult(RunEnding how, int signal) {
    const Engine& e = m_engine;
    const Engine& tx = Sender();
    RunResult r;
    r.Port = e.Settings().Port;
    if (m_sender) r.TxPort = tx.Settings().Port;
    r.Mode = e.Mode();
    r.PacketSize = e.Params().PacketSize;
    r.Ending = how;
    r.Signal = signal;
    const std::int64_t elapsedUs =
        std::max<std::int64_t>(0, *m_timedEndUs - e.Counters().StartTimeUs);
    r.Final = FiguresOf(e, elapsedUs, RecordedCount(), m_receivedAtEnd, Averaging::Exact);
    r.Sent = tx.Counters().Sent + (tx.State().WritePending ? tx.State().PendingWriteSize : 0);
    // Sent to the port and never on the line: thrown away at the end of the drain, or still
    // held at the last look.
    r.Queued = m_loss.Discarded ? *m_loss.Discarded
                                : std::min<std::int64_t>(tx.PortStatus().OutQueue, r.Sent);
    r.ErroredSeconds = m_erroredSeconds;
    r.Pattern = e.Mode() == TestMode::Bert ? e.Settings().Pattern : LinePattern::Packets;
    r.Synchronised = r.HasPackets() ? !e.State().FirstData
                                    : r.HasSequence() && r.Final.Sequence.EverInSync;
    r.Final.Quality = m_quality.Figures();
    r.ReceiveOverflows = m_receiveOverflows;
    r.Loss = m_loss;
    r.HeldUs = m_heldUs;
    r.HeldAtEndUs = m_heldAtEndUs;
    r.XonResent = tx.Counters().XonResent;
    return r;
}

std::int64_t SessionController::RecordedCount() const {
    const SessionCounters& c = m_engine.Counters();
    return m_engine.Mode() == TestMode::Terminal ? c.TerminalReceived : c.Received;
}

RunFigures SessionController::RecordedUpdate() const {
    RunFigures f = m_engine.LastUpdate();
    if (m_engine.Mode() == TestMode::Terminal) {
        const std::int64_t n = RecordedCount();
        f = FiguresOf(m_engine, f.ElapsedUs, n, n, Averaging::WholeTenths);
    }
    f.Quality = m_quality.Figures();
    return f;
}

void SessionController::ShowDriverError(DriverErrorRow row, bool occurred, std::int32_t count,
                                        std::uint32_t mask) {
    // Every row of a cycle carries the same mask: one of them counts it.
    if (row == DriverErrorRow::Other && (mask & CE_RXOVER) != 0) ++m_receiveOverflows;
    m_view.ShowDriverError(row, occurred, count, mask);
}

void SessionController::SetStatText(StatCell cell, const std::string& text) {
    if (!m_timedEndUs) m_view.SetStatText(cell, text);
}

void SessionController::SecondElapsed() {
    if (m_timedEndUs) return;
    const std::int64_t errors = m_engine.LastUpdate().Errors;
    m_secondErrored = errors > m_errorsAtLastSecond;
    if (m_secondErrored) ++m_erroredSeconds;
    m_errorsAtLastSecond = errors;
    if (const PatternCounts* sequence = m_engine.Sequence()) m_quality.TakeSecond(*sequence);
    if (m_record) WriteRecord(RecordLine(RecordedUpdate()));
    m_view.SecondElapsed();
}

// A session that began in the same second as an earlier one takes the next free name.
void SessionController::OpenRecordFile(const std::string& port) {
    namespace fs = std::filesystem;
    const std::int64_t wall = m_clock.WallUs();
    fs::path path;
    std::error_code ec;
    for (int copy = 1;; ++copy) {
        path = fs::path(m_recordFolder) / RecordFileName(port, wall, copy);
        if (!fs::exists(path, ec)) break;  // a folder that cannot be read: the open says so
    }
    m_recordPath = m_recordName = path.string();
    m_recordFailed = false;
    m_recordFile.open(path, std::ios::binary | std::ios::trunc);
    if (!m_recordFile) {
        // The run goes on without its record; the message says where it was to go.
        m_recordFailed = true;
        m_box.ErrorBox("The record cannot be written: " + m_recordPath, true);
        m_recordPath.clear();
        return;
    }
    m_record = &m_recordFile;
    WriteRecord(RecordHeader());
}

// A full disk or a reader gone: told once, with the system's reason, and the run goes on.
void SessionController::WriteRecord(const std::string& line) {
    if (m_recordFailed) return;
    errno = 0;
    *m_record << line << std::flush;
    if (*m_record) return;
    m_recordFailed = true;
    const int why = errno;
    m_box.ErrorBox("The record cannot be written: " + m_recordName +
                       (why ? std::string(": ") + std::strerror(why) : std::string()),
                   true);
}

}  // namespace kvartix
