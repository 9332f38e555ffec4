#pragma once

#include <memory>

#include "serial/CompletionEvent.h"

namespace kvartix::test {

// Makes events as the system does, except that the failAt-th one cannot be made.
class FailingFactory final : public EventFactory {
public:
    explicit FailingFactory(int failAt) : m_failAt(failAt) {}
    std::unique_ptr<CompletionEvent> CreateEvent() override {
        return ++m_calls == m_failAt ? nullptr : EventFactory::CreateEvent();
    }

private:
    int m_failAt;
    int m_calls = 0;
};

}  // namespace kvartix::test
