// Two ports joined by a null-modem cable that carries characters at the line's real rate:
// pseudo-terminals whose far ends are wired to each other.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <sstream>

#include "cli/CliRun.h"
#include "testkit/Pty.h"

namespace kvartix {
namespace {

std::string Field(const std::string& object, const std::string& key) {
    const auto at = object.find("\"" + key + "\":");
    if (at == std::string::npos) return "missing " + key;
    const auto from = at + key.size() + 3;
    return object.substr(from, object.find_first_of(",}", from) - from);
}

// The array's objects, in order.
std::vector<std::string> Objects(const std::string& json) {
    std::vector<std::string> objects;
    for (auto at = json.find('{'); at != std::string::npos; at = json.find('{', at + 1))
        objects.push_back(json.substr(at, json.find('}', at) - at + 1));
    return objects;
}

TEST(CliCable, each_direction_across_a_paced_cable_is_checked_on_the_far_port) {
    struct Case {
        const char* Name;
        bool Cross;
        std::vector<std::string> More;
        int DropEvery;  // from A to B; 0: none
        int CorruptEvery;
        const char* Result;
    };
    const Case cases[] = {
        {"crossing, no flow control", true, {}, 0, 0, "\"no errors\""},
        {"crossing, Xon/Xoff", true, {"--xon-xoff"}, 0, 0, "\"no errors\""},
        {"one way", false, {}, 0, 0, "\"no errors\""},
        {"one way, a link that drops and corrupts", false, {}, 7001, 5003, "\"errors counted\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        std::atomic<int> seen{0}, dropped{0}, corrupted{0}, back{0};
        test::PtyCable cable(
            11520,
            [&](std::uint8_t& ch) {
                const int n = ++seen;
                if (c.DropEvery && n % c.DropEvery == 0) return ++dropped, false;
                if (c.CorruptEvery && n % c.CorruptEvery == 0) ++corrupted, ch ^= 0x10;
                return true;
            },
            [&](std::uint8_t&) { return ++back, true; });
        const std::string a = cable.A().SlavePath(), b = cable.B().SlavePath();
        std::vector<std::string> args = c.Cross ? std::vector<std::string>{"--cross", a, b}
                                                : std::vector<std::string>{"--port", a, "--rx-port", b};
        args.insert(args.end(), {"--seconds", "2", "--json", "--force"});
        args.insert(args.end(), c.More.begin(), c.More.end());
        std::ostringstream out, err;
        const int status = CliMain(args, out, err);
        const auto objects = Objects(out.str());
        ASSERT_EQ(objects.size(), c.Cross ? 2u : 1u) << out.str() << err.str();
        for (std::size_t i = 0; i < objects.size(); ++i) {
            const std::string& o = objects[i];
            EXPECT_EQ(Field(o, "tx_port"), "\"" + (i ? b : a) + "\"") << o;
            EXPECT_EQ(Field(o, "port"), "\"" + (i ? a : b) + "\"") << o;
            EXPECT_EQ(Field(o, "result"), i ? "\"no errors\"" : c.Result) << o;
            EXPECT_GT(std::stoll(Field(o, "received")), 15000) << "the line kept busy: " << o;
        }
        const auto number = [&](const char* key) { return std::stoll(Field(objects[0], key)); };
        EXPECT_EQ(Field(objects[0], "lost_characters"), std::to_string(dropped.load()))
            << "what the far port never received: " << objects[0];
        if (c.More.empty()) {
            EXPECT_EQ(number("sent") - number("queued") - number("received"), dropped.load())
                << "the characters sent are the sending port's";
        }
        if (!c.Cross) {
            EXPECT_EQ(back.load(), 0) << "one way, the checking port sends nothing";
        }
        if (c.CorruptEvery) {
            EXPECT_GE(std::stoll(Field(objects[0], "errors")), corrupted.load());
        }
        EXPECT_EQ(status, c.DropEvery ? kExitErrors : kExitClean) << err.str();
    }
}

}  // namespace
}  // namespace kvartix
