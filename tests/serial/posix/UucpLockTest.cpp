// UUCP lock files of the posix backend: honoured, taken, replaced when stale, removed.
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/TestSession.h"
#include "serial/posix/PosixCommPort.h"
#include "serial/posix/PosixDiscovery.h"
#include "serial/posix/SystemDeviceTable.h"
#include "support/FakePosixSys.h"
#include "support/Recorders.h"

namespace kvartix {
namespace {

namespace fs = std::filesystem;
using test::FakeDevice;

std::string PidText(pid_t pid) {
    char text[16];
    std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(pid));
    return text;
}

std::string Contents(const fs::path& file) {
    std::ifstream in(file);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A process that has ended and been reaped: its PID runs nothing.
pid_t DeadPid() {
    const pid_t child = fork();
    if (child == 0) _exit(0);
    waitpid(child, nullptr, 0);
    return child;
}

// A scratch lock directory and /dev with two USB adapters the fake calls play.
class UucpLocks : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::remove_all(root);
        fs::create_directories(root / "lock");
        fs::create_directories(root / "dev");
        for (const char* node : {"ttyUSB0", "ttyUSB1"}) {
            std::ofstream(root / "dev" / node).put('\0');
            sys.Add(Path(node));
        }
        sys.LockDir = (root / "lock").string();
    }
    void TearDown() override { fs::remove_all(root); }
    std::string Path(const char* node) const { return (root / "dev" / node).string(); }
    fs::path LockOf(const char* node) const { return UucpLock::FileFor(sys.LockDir, Path(node)); }

    const fs::path root = fs::temp_directory_path() / ("kvartix-lock-" + std::to_string(getpid()));
    test::FakePosixSys sys;
};

TEST_F(UucpLocks, a_running_holder_keeps_the_port_from_sessions_and_discovery_and_is_named) {
    std::ofstream(LockOf("ttyUSB0")) << PidText(getppid());
    sys.With(Path("ttyUSB1"), [](FakeDevice& d) { d.Denied = true; });
    OpenRefusal why;
    EXPECT_EQ(PosixCommPort::Open(sys, Path("ttyUSB0"), &why), nullptr);
    EXPECT_EQ(why.LockPid, getppid());
    EXPECT_EQ(Explain(Path("ttyUSB0"), why), Path("ttyUSB0") + " is locked by process " +
                                                 std::to_string(getppid()) + " (" +
                                                 LockOf("ttyUSB0").string() + ")");
    EXPECT_EQ(sys.OpenDescriptors(), 0u) << "not even opened, which would raise DTR under it";

    SystemDeviceTable table(sys, (root / "class").string(), (root / "dev").string());
    EXPECT_EQ(DiscoverPorts(table, "").Names, std::vector<std::string>{"LOOP"});
    ASSERT_EQ(table.Refusals().size(), 2u);
    EXPECT_NE(table.Refusals()[0].find("locked by process"), std::string::npos);
    EXPECT_EQ(table.Refusals()[1], "permission denied for " + Path("ttyUSB1") +
                                       "; members of the group 'dialout' may open it (sudo "
                                       "usermod -aG dialout $USER, then log in again)");
    EXPECT_EQ(Contents(LockOf("ttyUSB0")), PidText(getppid())) << "someone else's lock stays";
}

TEST_F(UucpLocks, a_stale_lock_is_replaced_by_ours_in_the_customary_form_and_ours_goes_at_close) {
    std::ofstream(LockOf("ttyUSB0")) << PidText(DeadPid());
    auto port = PosixCommPort::Open(sys, Path("ttyUSB0"));
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(Contents(LockOf("ttyUSB0")), PidText(getpid()));
    EXPECT_EQ(PosixCommPort::Open(sys, Path("ttyUSB0")), nullptr) << "ours holds too";
    ASSERT_TRUE(port->CloseHandle());
    EXPECT_FALSE(fs::exists(LockOf("ttyUSB0")));
}

// The session over the fake calls; the adapter is pulled out while it runs.
TEST_F(UucpLocks, ours_goes_when_a_session_ends_through_a_vanished_port) {
    struct FakeOpener final : PortOpener {
        explicit FakeOpener(PosixSys& s) : sys(s) {}
        std::unique_ptr<CommPort> Open(const std::string& path, bool, PortRefusal&) override {
            return PosixCommPort::Open(sys, path);
        }
        PosixSys& sys;
    } opener(sys);
    SystemClock clock;
    test::RecordingView view;
    test::RecordingBox box;
    EventFactory factory;
    TransferEvents events;
    CreateTransferEvents(events, factory, box);
    Engine engine(view, box, clock);
    TestSession session(engine, view, opener, box, events);
    LineSettings s;
    s.Port = Path("ttyUSB0");
    ASSERT_TRUE(session.Start(TestMode::Bert, s));
    EXPECT_TRUE(fs::exists(LockOf("ttyUSB0")));
    sys.With(Path("ttyUSB0"), [](FakeDevice& d) { d.Unplugged = true; });
    for (int i = 0; i < 100 && session.Running(); ++i) {
        session.Tick();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_FALSE(session.Running());
    EXPECT_FALSE(fs::exists(LockOf("ttyUSB0")));
}

TEST(UucpLockName, is_the_path_below_dev_with_slashes_as_underscores) {
    EXPECT_EQ(UucpLock::FileFor("/run/lock", "/dev/ttyUSB0"), "/run/lock/LCK..ttyUSB0");
    EXPECT_EQ(UucpLock::FileFor("/run/lock", "/dev/pts/3"), "/run/lock/LCK..pts_3");
    EXPECT_EQ(UucpLock::FileFor("/l", "/tmp/ttyV0"), "/l/LCK..ttyV0");
}

TEST(UucpLockName, a_link_locks_the_device_it_names) {
    const fs::path dir = fs::temp_directory_path() / ("kvartix-by-id-" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "ttyV7").put('\0');
    fs::create_symlink("ttyV7", dir / "usb-FTDI_A1B2C3");
    EXPECT_EQ(UucpLock::FileFor("/l", (dir / "usb-FTDI_A1B2C3").string()), "/l/LCK..ttyV7");
    fs::remove_all(dir);
}

}  // namespace
}  // namespace kvartix

namespace kvartix {
namespace {

// Joining the group named must be what opens the device: the mode gives it read and write,
// and root's group is never advice.
TEST(PermissionHint, names_the_group_only_when_its_members_may_read_and_write) {
    struct Case {
        mode_t Mode;
        gid_t Group;
        const char* Named;  // on Debian; elsewhere whatever the group is called
    };
    const Case cases[] = {{0660, 20, "dialout"}, {0620, 5, ""}, {0640, 20, ""}, {0660, 0, ""}};
    const std::string path = (fs::temp_directory_path() /
                              ("kvartix-group-" + std::to_string(getpid()))).string();
    for (const Case& c : cases) {
        std::ofstream{path};
        if (::chown(path.c_str(), static_cast<uid_t>(-1), c.Group) != 0)
            GTEST_SKIP() << "needs root to give the file a group";
        ::chmod(path.c_str(), c.Mode);
        const group* g = ::getgrgid(c.Group);
        const std::string expected = *c.Named && g ? g->gr_name : "";
        EXPECT_EQ(SystemCalls().DeviceGroup(path.c_str()), expected) << std::oct << c.Mode;
    }
    fs::remove(path);
}

}  // namespace
}  // namespace kvartix
