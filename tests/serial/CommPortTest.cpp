// The front every backend shares: what a closed port and a vanished device answer, and which
// calls still reach the backend.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "serial/CommPort.h"

namespace kvartix {
namespace {

// Answers every call with success and counts the calls that got through.
class CountingPort final : public CommPort {
  public:
    void DeviceVanishes() { MarkGone(); }
    int Reached = 0;

  protected:
    bool DoGetCommState(LineConfig&) override { return ++Reached, true; }
    bool DoSetCommState(const LineConfig&) override { return ++Reached, true; }
    bool DoSetupComm(std::uint32_t, std::uint32_t) override { return ++Reached, true; }
    bool DoSetCommTimeouts(const CommTimeouts&) override { return ++Reached, true; }
    bool DoSetCommMask(std::uint32_t) override { return ++Reached, true; }
    IoResult DoReadFile(TransferRecord&, std::uint8_t*, std::uint32_t,
                        std::uint32_t& got) override {
        return ++Reached, got = 1, IoResult::Done;
    }
    IoResult DoWriteFile(TransferRecord&, const std::uint8_t*, std::uint32_t,
                         std::uint32_t&) override {
        return ++Reached, IoResult::Pending;
    }
    IoResult DoGetOverlappedResult(TransferRecord&, std::uint32_t& n) override {
        return ++Reached, n = 1, IoResult::Done;
    }
    bool DoClearCommError(std::uint32_t&, CommStatus&) override { return ++Reached, true; }
    bool DoGetCommModemStatus(std::uint32_t&) override { return ++Reached, true; }
    bool DoCloseHandle() override { return ++Reached, true; }
    std::optional<std::uint32_t> DoPurgeOutput() override { return ++Reached, 0u; }
};

// What a call answered, as one word; a transfer's count must be 0 unless it was Done.
using Call = std::function<std::string(CommPort&)>;
std::string Word(bool ok) {
    return ok ? "true" : "false";
}
std::string Word(IoResult r, std::uint32_t count) {
    const char* words[] = {"Done", "Pending", "Failed", "Gone"};
    const std::string w = words[static_cast<int>(r)];
    return r == IoResult::Done || count == 0 ? w : w + " with a count";
}
// The count starts as garbage: a refused transfer must clear it.
template <class F>
std::string Transfer(F call) {
    std::uint32_t count = 7;
    const IoResult r = call(count);
    return Word(r, count);
}

struct FrontCase {
    const char* Name;
    Call Make;
    const char* AfterClose;
    const char* AfterGone;  // "reached": the backend answers
};

TransferRecord record;
std::uint8_t byte = 0;
std::uint32_t mask = 0;
LineConfig config;
CommStatus status;

const FrontCase kCases[] = {
    {"GetCommState", [](CommPort& p) { return Word(p.GetCommState(config)); }, "false", "false"},
    {"SetCommState", [](CommPort& p) { return Word(p.SetCommState(config)); }, "false", "reached"},
    {"SetupComm", [](CommPort& p) { return Word(p.SetupComm(10, 10)); }, "false", "reached"},
    {"SetCommTimeouts", [](CommPort& p) { return Word(p.SetCommTimeouts({})); }, "false",
     "reached"},
    {"SetCommMask", [](CommPort& p) { return Word(p.SetCommMask(0)); }, "false", "reached"},
    {"ReadFile",
     [](CommPort& p) {
         return Transfer([&](std::uint32_t& n) { return p.ReadFile(record, &byte, 1, n); });
     },
     "Failed", "Gone"},
    {"WriteFile",
     [](CommPort& p) {
         return Transfer([&](std::uint32_t& n) { return p.WriteFile(record, &byte, 1, n); });
     },
     "Failed", "Gone"},
    {"GetOverlappedResult",
     [](CommPort& p) {
         return Transfer([&](std::uint32_t& n) { return p.GetOverlappedResult(record, n); });
     },
     "Failed", "Gone"},
    {"ClearCommError", [](CommPort& p) { return Word(p.ClearCommError(mask, status)); }, "false",
     "false"},
    {"GetCommModemStatus", [](CommPort& p) { return Word(p.GetCommModemStatus(mask)); }, "false",
     "false"},
    {"PurgeOutput", [](CommPort& p) { return std::string(p.PurgeOutput() ? "some" : "none"); },
     "none", "none"},
    {"CloseHandle", [](CommPort& p) { return Word(p.CloseHandle()); }, "false", "reached"},
};

class CommPortFront : public ::testing::TestWithParam<FrontCase> {
  protected:
    CountingPort port;
};

TEST_P(CommPortFront, after_close_the_call_fails_without_reaching_the_backend) {
    ASSERT_TRUE(port.CloseHandle());
    port.Reached = 0;
    EXPECT_EQ(GetParam().Make(port), GetParam().AfterClose);
    EXPECT_EQ(port.Reached, 0);
}

TEST_P(CommPortFront, after_the_device_vanished_only_configuration_and_close_reach_the_backend) {
    port.DeviceVanishes();
    const std::string got = GetParam().Make(port);
    if (std::string(GetParam().AfterGone) == "reached") {
        EXPECT_EQ(port.Reached, 1);
    } else {
        EXPECT_EQ(got, GetParam().AfterGone);
        EXPECT_EQ(port.Reached, 0);
    }
}

TEST_P(CommPortFront, an_open_port_hands_the_call_to_the_backend_once) {
    GetParam().Make(port);
    EXPECT_EQ(port.Reached, 1);
}

INSTANTIATE_TEST_SUITE_P(EachCall, CommPortFront, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(CommPortClose, a_vanished_device_still_closes_once_and_then_stays_closed) {
    CountingPort port;
    port.DeviceVanishes();
    EXPECT_TRUE(port.CloseHandle());
    EXPECT_FALSE(port.CloseHandle());
    EXPECT_EQ(port.Reached, 1);
}

}  // namespace
}  // namespace kvartix
