#include "engine/TestSession.h"

#include "engine/Prbs.h"

namespace kvartix {

bool TestSession::Start(TestMode mode, const LineSettings& settings) {
    StopSession();
    m_view.SetStatText(StatCell::Errors, mode == TestMode::Loopback ? "" : "0");
    m_view.SetStatText(StatCell::Coefficient, "");
    if (mode == TestMode::Bert) {
        if (const std::string e = PatternFlowProblem(settings.Pattern, settings.XonXoff);
            !e.empty()) {
            m_box.ErrorBox(e, true);
            return false;
        }
    }
    const SessionParameters params = DeriveSessionParameters(settings);
    // An echo whose own Xoff held its output would wait on itself: its write cannot finish,
    // so it stops reading, so the queue never drains to the Xon. It keeps sending instead.
    const auto failure =
        OpenAndConfigure(settings, params, m_opener, m_opened, mode == TestMode::Loopback);
    // The chart takes the new axis once the port opened, even when its configuration then
    // failed.
    if (!failure || OpenedBeforeFailing(*failure))
        m_view.ChartChanged(m_engine.SetRateAxis(settings.BitRate));
    if (failure) {
        m_box.ErrorBox(OpenFailureMessage(*failure), true);
        return false;
    }
    m_engine.BeginSession(*m_opened.Port, m_events.WriteTransfer, m_events.ReadTransfer, mode,
                          settings, params);
    m_running = true;
    return true;
}

void TestSession::StopSession() {
    m_running = false;
    m_engine.EndSession();
    if (!m_opened.Port) return;
    LineConfig c;
    if (m_opened.Port->GetCommState(c)) {
        c.fOutxCtsFlow = c.fOutxDsrFlow = c.fOutX = c.fInX = false;
        if (c.fRtsControl == RTS_CONTROL_HANDSHAKE) c.fRtsControl = RTS_CONTROL_DISABLE;
        m_opened.Port->SetCommState(c);
        if (!m_opened.Port->CloseHandle()) m_box.ErrorBox(kCloseFailedText, false);
    }
    m_opened.Port.reset();
}

void TestSession::Tick() {
    if (!m_running) return;
    if (m_engine.Tick() == CycleResult::PortLost) {
        const std::string text = PortLostText(m_opened.DevicePath);
        StopSession();
        m_box.ErrorBox(text, true);
    }
}

}  // namespace kvartix
