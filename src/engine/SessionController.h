#pragma once

#include <cstdint>
#include <fstream>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "engine/Engine.h"
#include "engine/RunResult.h"
#include "engine/SessionDrain.h"
#include "engine/TestSession.h"
#include "serial/CompletionEvent.h"

namespace kvartix {

// The one way the window and the runner drive a session: start, cycles, the end of a timed
// run, the drain, the stop. It works out every figure of a run once: each second's update,
// as the cells show it, and the whole run's final figures on its exact time, which the
// summary, the JSON and the record's last row all take. It stands between the engine and the
// view it was given, passing everything on and keeping the run's record.
class SessionController final : private EngineView, private ErrorBoxSink {
  public:
    SessionController(EngineView& view, ErrorBoxSink& box, PortOpener& opener,
                      const Clock& clock);
    ~SessionController() override;

    // False when the transfer events could not be created (told through the box).
    bool Usable() const { return m_usable; }

    // Where records go: one stream, named so for the message should it fail, its header
    // written at once (into a session already running too)...
    void RecordTo(std::ostream* out, std::string name);
    // ...or a new file in this folder for each session; empty: none.
    void RecordIn(std::string folder) { m_recordFolder = std::move(folder); }
    // The session's record file; empty when none is being written.
    const std::string& RecordPath() const { return m_recordPath; }
    // A write of the record failed; it was told once and nothing more is written.
    bool RecordFailed() const { return m_recordFailed; }

    // The stream this session checks is sent by another port's session across a cable: the
    // characters sent, the drain and the holds by Xoff are that session's. Null: its own, as
    // through a plug. The sender must outlive this session's runs.
    void ChecksStreamOf(SessionController* sender) { m_sender = sender; }

    // Opens and configures the port and arms the first cycle; false when a step failed (its
    // message shown, no port left open).
    bool Start(TestMode mode, const LineSettings& settings);
    // One engine cycle. A lost port ends the run at once: its final figures and the record's
    // last row are taken, the port closed, and only then is the loss told.
    void Tick();
    // The user's stop: the run ends now.
    void Stop() { Finish(RunEnding::Stopped); }

    // The runner's timed run ended at this moment: the cells and the second's lines stay as
    // they are, and the rates are taken over what had come in by then.
    void EndTimedRun(std::int64_t atUs);
    // A BERT's sent-against-received check; false when there is none to run (the reason is
    // kept in the result's loss check).
    bool BeginDrain();
    bool Draining() const { return m_drain != nullptr; }
    // Final figures on the exact time, the record's last row, the port closed. Once per run.
    void Finish(RunEnding how, int signal = 0);

    bool Running() const { return m_session.Running(); }
    // The last run's final figures, once it has finished.
    const std::optional<RunResult>& Result() const { return m_result; }
    Engine& Core() { return m_engine; }
    const Engine& Core() const { return m_engine; }

  private:
    // EngineView and ErrorBoxSink: passed on; the seconds counted and recorded here.
    void ShowDriverError(DriverErrorRow row, bool occurred, std::int32_t count,
                         std::uint32_t mask) override;
    void ShowPacketError(PacketErrorRow row, bool occurred, std::int32_t count) override {
        m_view.ShowPacketError(row, occurred, count);
    }
    void SetLed(Led led, bool on) override { m_view.SetLed(led, on); }
    void SetErrorsCellAlarm(bool alarm) override { m_view.SetErrorsCellAlarm(alarm); }
    void RefreshErrorPanel() override { m_view.RefreshErrorPanel(); }
    void SetStatText(StatCell cell, const std::string& text) override;
    void ChartChanged(const RateChart& chart) override { m_view.ChartChanged(chart); }
    void ClearTerminalText() override { m_view.ClearTerminalText(); }
    TerminalText* Terminal() override { return m_view.Terminal(); }
    void SecondElapsed() override;
    void ErrorBox(const std::string& text, bool errorIcon) override {
        m_box.ErrorBox(text, errorIcon);
    }

    // What the record counts as received, and holds for the last update: a terminal's cells
    // count nothing received, its record what came in.
    std::int64_t RecordedCount() const;
    RunFigures RecordedUpdate() const;
    void OpenRecordFile(const std::string& port);
    void WriteRecord(const std::string& line);
    RunResult FinalResult(RunEnding how, int signal);
    Engine& Sender() { return m_sender ? m_sender->m_engine : m_engine; }

    EngineView& m_view;
    ErrorBoxSink& m_box;
    const Clock& m_clock;
    EventFactory m_factory;
    TransferEvents m_events;
    bool m_usable = false;
    Engine m_engine{*this, *this, m_clock};
    TestSession m_session;
    SessionController* m_sender = nullptr;

    // This run's.
    std::optional<std::int64_t> m_timedEndUs;
    std::int64_t m_receivedAtEnd = 0;  // the recorded count when the timed run ended
    std::int64_t m_heldUs = 0;
    std::int64_t m_heldAtEndUs = 0;
    LossCheck m_loss;
    std::unique_ptr<SessionDrain> m_drain;
    std::int64_t m_erroredSeconds = 0;
    std::int64_t m_errorsAtLastSecond = 0;
    bool m_secondErrored = false;
    std::int64_t m_receiveOverflows = 0;
    LineQualitySeconds m_quality;
    std::optional<RunResult> m_result;

    std::ostream* m_recordStream = nullptr;
    std::string m_recordName;
    bool m_recordFailed = false;
    std::string m_recordFolder;
    std::ofstream m_recordFile;
    std::string m_recordPath;
    std::ostream* m_record = nullptr;  // this run's: the stream or the file
};

}  // namespace kvartix
