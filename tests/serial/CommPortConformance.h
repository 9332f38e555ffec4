#pragma once

// One set of cases for every backend: what the engine and the session code rely on. Each
// backend's folder instantiates the cases over a rig of its own.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "serial/CommPort.h"

namespace kvartix::test {

// The cases, for a rig to name one that cannot hold on it.
enum class ConformanceCase { ReadsBack, RefusesFrames, DataInOrder, ExclusiveOpen, CloseReleases };

// A backend with a far end that sends everything back.
class PortRig {
  public:
    virtual ~PortRig() = default;
    virtual std::unique_ptr<CommPort> Open() = 0;
    // Lets the line carry characters for a while.
    virtual void Pass() = 0;
    virtual bool Exclusive() const = 0;
    // Why the rig cannot run here at all (no far end was set up); empty when it can.
    virtual std::string Missing() const { return {}; }
    // Why a case cannot hold on this backend for a reason outside our code; empty when it does.
    virtual std::string Limit(ConformanceCase) const { return {}; }
};

struct Backend {
    const char* Name;
    std::function<std::unique_ptr<PortRig>()> Make;
};

// Test listings name the backend, not the bytes of the record.
inline void PrintTo(const Backend& b, std::ostream* os) {
    *os << b.Name;
}

inline std::string BackendName(const ::testing::TestParamInfo<Backend>& info) {
    return info.param.Name;
}

class CommPortConformance : public ::testing::TestWithParam<Backend> {
  protected:
    void SetUp() override {
        rig = GetParam().Make();
        if (const std::string why = rig->Missing(); !why.empty()) GTEST_SKIP() << why;
        port = rig->Open();
        ASSERT_NE(port, nullptr);
    }
    LineConfig Current() {
        LineConfig c;
        EXPECT_TRUE(port->GetCommState(c));
        return c;
    }

    // Declared before the port: the I/O thread may signal it until the port is gone.
    CompletionEvent writeEvent;
    TransferRecord wt{&writeEvent};
    TransferRecord rt{};
    std::unique_ptr<PortRig> rig;
    std::unique_ptr<CommPort> port;
};

}  // namespace kvartix::test
