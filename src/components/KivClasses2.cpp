#include "components/KivClasses2.h"

#include <QPointer>
#include <algorithm>
#include <chrono>
#include <exception>
#include <utility>

#include "components/ApplicationErrorReport.h"

namespace kvartix {

using SteadyClock = std::chrono::steady_clock;

TKivThread::TKivThread(TKivTimer32& timer) : Timer(timer) {
    // Also the name the system shows for the thread.
    setObjectName(QStringLiteral("kivtimer"));
}

// Ends the thread instead of leaving it paused until the process ends: a worker blocked in a
// hand-over is woken here too, and the tick it had sent is dropped with the timer.
TKivThread::~TKivThread() {
    {
        const std::lock_guard lock(m_mutex);
        m_terminated = true;
    }
    m_wake.notify_all();
    if (m_started) {
        wait();
        // QThread::wait() synchronises through Qt's own primitives, which the thread sanitizer
        // cannot see; taking the mutex once more shows it that the worker is done with it.
        const std::lock_guard lock(m_mutex);
    }
}

bool TKivThread::Suspended() const {
    const std::lock_guard lock(m_mutex);
    return m_suspended;
}

void TKivThread::Suspend() {
    {
        const std::lock_guard lock(m_mutex);
        m_suspended = true;
    }
    m_wake.notify_all();
}

void TKivThread::Resume() {
    bool firstRun = false;
    {
        const std::lock_guard lock(m_mutex);
        m_suspended = false;
        firstRun = !std::exchange(m_started, true);
    }
    if (firstRun)
        start();
    else
        m_wake.notify_all();
}

bool TKivThread::BeginTick() {
    {
        const std::lock_guard lock(m_mutex);
        if (!m_tickPending) return false;
        if (!m_suspended && !m_terminated) return true;
        m_tickPending = false;
    }
    m_wake.notify_all();
    return false;
}

void TKivThread::EndTick() {
    {
        const std::lock_guard lock(m_mutex);
        m_tickPending = false;
    }
    m_wake.notify_all();
}

void TKivThread::run() {
    Execute();
}

void TKivThread::Execute() {
    ApplyThreadPriority(Timer.Priority());
    Lock lock(m_mutex);
    while (WaitWhileSuspended(lock) && WaitInterval(lock)) HandOver(lock);
}

bool TKivThread::WaitWhileSuspended(Lock& lock) {
    m_wake.wait(lock, [this] { return !m_suspended || m_terminated; });
    return !m_terminated;
}

// A pause stops the clock of the wait: what was left of it elapses after the resume, so
// pausing and resuming at once neither restarts nor shortens a wait in progress.
bool TKivThread::WaitInterval(Lock& lock) {
    SteadyClock::duration left = std::chrono::milliseconds(Timer.Interval());
    for (;;) {
        const SteadyClock::time_point end = SteadyClock::now() + left;
        if (!m_wake.wait_until(lock, end, [this] { return m_suspended || m_terminated; }))
            return true;
        left = std::max(end - SteadyClock::now(), SteadyClock::duration::zero());
        if (!WaitWhileSuspended(lock)) return false;
    }
}

// The tick is posted to the timer, which lives on the main thread, so any event loop there
// runs it, a modal dialog's included. It is posted under the mutex: once the destructor has
// set m_terminated nothing more is posted, and a post already made dies with the timer.
void TKivThread::HandOver(Lock& lock) {
    m_tickPending = true;
    QMetaObject::invokeMethod(&Timer, "DeliverTick", Qt::QueuedConnection);
    m_wake.wait(lock, [this] { return !m_tickPending || m_terminated; });
}

TKivTimer32::TKivTimer32(QObject* owner)
    : QObject(owner), m_worker(std::make_unique<TKivThread>(*this)) {
    UpdateWorker();
}

TKivTimer32::~TKivTimer32() {
    m_enabled = false;
    UpdateWorker();
    m_worker.reset();
}

void TKivTimer32::SetEnabled(bool value) {
    m_enabled = value;
    UpdateWorker();
}

void TKivTimer32::SetInterval(std::uint16_t value) {
    m_interval = value;
    UpdateWorker();
}

void TKivTimer32::SetPriority(TThreadPriority value) {
    m_priority = value;
    UpdateWorker();
}

// A copy runs: a handler that destroys its timer would otherwise free its own captures.
void TKivTimer32::Tick() {
    if (!m_onTimer) return;
    const TNotifyEvent handler = m_onTimer;
    handler(this);
}

// An error escaping the handler must not cross Qt's event delivery; it is reported like any
// error the program did not handle, and the timer goes on.
void TKivTimer32::DeliverTick() {
    if (!m_worker->BeginTick()) return;
    const QPointer<TKivTimer32> alive(this);
    try {
        Tick();
    } catch (const std::exception& e) {
        ReportApplicationError(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        ReportApplicationError(QStringLiteral("Unknown error"));
    }
    // A handler may destroy its own timer; the worker has then been ended already.
    if (alive) m_worker->EndTick();
}

// Every call passes through the paused state, so even setting an unchanged value pauses and
// resumes the worker; the worker keeps the step it was in.
void TKivTimer32::UpdateWorker() {
    if (!m_worker->Suspended()) m_worker->Suspend();
    if (m_interval != 0 && m_enabled && m_onTimer && m_worker->Suspended()) m_worker->Resume();
}

}  // namespace kvartix
