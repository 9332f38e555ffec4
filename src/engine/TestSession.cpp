#include "engine/TestSession.h"

namespace kvartix {

bool TestSession::Start(TestMode mode, const LineSettings& settings) {
    StopSession();
    Engine& e = m_engine;
    e.Mode = mode;
    m_view.SetStatText(StatCell::Errors, mode == TestMode::Loopback ? "" : "0");
    m_view.SetStatText(StatCell::Coefficient, "");
    e.Counters.Received = 0;
    if (!OpenPortForSession(settings.Port, m_opener, m_box, m_opened)) return false;
    const SessionParameters params = DeriveSessionParameters(settings);
    BuildBertPattern(e.Pattern, params.PacketSize, params.DataMask, settings.Symbol, e.Rng);
    FillLineConfig(m_opened.Config, settings, params);
    // An echo whose own Xoff held its output would wait on itself: its write cannot finish,
    // so it stops reading, so the queue never drains to the Xon. It keeps sending instead.
    if (mode == TestMode::Loopback) m_opened.Config.fTXContinueOnXoff = true;
    e.Chart.SetRateAxis(settings.BitRate);
    m_view.ChartChanged(e.Chart);
    if (!ConfigurePort(m_opened, params, m_box)) return false;
    e.DriverErrors = DriverErrorCounters{};
    e.Checker.ResetCounts();
    e.BeginSession(*m_opened.Port, m_events.WriteTransfer, m_events.ReadTransfer, mode, settings,
                   params);
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
        if (!m_opened.Port->CloseHandle()) m_box.ErrorBox("Ошибка закрытия COM порта", false);
    }
    m_opened.Port.reset();
}

void TestSession::Tick() {
    if (!m_running) return;
    if (m_engine.Tick() == CycleResult::PortLost) {
        const std::string text = m_opened.DevicePath + " не доступен";
        StopSession();
        m_box.ErrorBox(text, true);
    }
}

}  // namespace kvartix
