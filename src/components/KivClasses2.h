#pragma once

#include <QObject>
#include <QThread>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "components/ThreadPriority.h"

namespace kvartix {

// A handler told which component raised it.
using TNotifyEvent = std::function<void(QObject* Sender)>;

class TKivTimer32;

// The worker of one TKivTimer32: sleeps Interval, hands the tick to the main thread and waits
// there until the handler has returned, over and over while it is resumed. It touches nothing
// of the program but the timer's Interval and Priority.
class TKivThread final : public QThread {
  public:
    explicit TKivThread(TKivTimer32& timer);
    ~TKivThread() override;

    // The owner. Not owned.
    TKivTimer32& Timer;

    // Main thread only. A worker is created paused; the first resume starts its thread.
    bool Suspended() const;
    void Suspend();
    void Resume();

    // Main thread, inside the hand-over: whether the tick is to run at all (not when the timer
    // was paused after the worker sent it), and that it has run. Each Begin that returned
    // true is followed by one End, unless the timer is destroyed in between.
    bool BeginTick();
    void EndTick();

  protected:
    void run() override;

  private:
    using Lock = std::unique_lock<std::mutex>;

    void Execute();
    bool WaitWhileSuspended(Lock& lock);
    bool WaitInterval(Lock& lock);
    void HandOver(Lock& lock);

    // Every field below is guarded by m_mutex, shared by the main thread and the worker.
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_suspended = true;
    bool m_started = false;
    bool m_terminated = false;
    bool m_tickPending = false;
};

// A timer whose ticks come from a worker thread of raised priority while the handler runs on
// the main thread, one tick at a time: the next wait starts only when the handler returned,
// so a slow handler delays the next tick instead of piling ticks up. The worker runs only while
// Enabled, a non-zero Interval and an OnTimer handler are all there.
class TKivTimer32 : public QObject {
    Q_OBJECT

  public:
    explicit TKivTimer32(QObject* owner = nullptr);
    ~TKivTimer32() override;

    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool value);

    // Milliseconds of the wait before each tick; read afresh by the worker for each wait.
    std::uint16_t Interval() const { return m_interval.load(); }
    void SetInterval(std::uint16_t value);

    // Taken by the worker once, when it first runs; a later change is stored only.
    TThreadPriority Priority() const { return m_priority.load(); }
    void SetPriority(TThreadPriority value);

    // A plain store: the worker takes the handler into account at the next change of Enabled,
    // Interval or Priority.
    const TNotifyEvent& OnTimer() const { return m_onTimer; }
    void SetOnTimer(TNotifyEvent handler) { m_onTimer = std::move(handler); }

  protected:
    // One tick, on the main thread: calls OnTimer with this timer as the sender.
    virtual void Tick();

  private:
    // What the worker's hand-over calls on the main thread.
    Q_INVOKABLE void DeliverTick();
    void UpdateWorker();

    bool m_enabled = true;
    std::atomic<std::uint16_t> m_interval{1000};
    std::atomic<TThreadPriority> m_priority{TThreadPriority::tpTimeCritical};
    TNotifyEvent m_onTimer;
    std::unique_ptr<TKivThread> m_worker;
};

}  // namespace kvartix
