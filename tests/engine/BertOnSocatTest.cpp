// A BERT against a third-party peer: socat makes a pseudo-terminal and echoes through cat.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "support/SessionRig.h"

extern char** environ;

namespace kvartix {
namespace {

namespace fs = std::filesystem;

bool OnPath(const std::string& program) {
    std::istringstream path(std::getenv("PATH") ? std::getenv("PATH") : "");
    for (std::string dir; std::getline(path, dir, ':');)
        if (!dir.empty() && access((fs::path(dir) / program).c_str(), X_OK) == 0) return true;
    return false;
}

// socat running `pty,rawer,link=<link> exec:cat` until destroyed: "rawer" is socat's
// cfmakeraw, and cat is fed through pipes. Given a terminal of its own ("exec:cat,pty"),
// cat's side now and then lost part of a 60000-byte write.
class SocatEcho {
public:
    explicit SocatEcho(const fs::path& link) {
        std::string near = "pty,rawer,link=" + link.string();
        std::string far = "exec:cat";
        char* argv[] = {const_cast<char*>("socat"), near.data(), far.data(), nullptr};
        m_started = posix_spawnp(&m_pid, "socat", nullptr, nullptr, argv, environ) == 0;
    }
    ~SocatEcho() {
        if (!m_started) return;
        kill(m_pid, SIGTERM);
        waitpid(m_pid, nullptr, 0);
    }
    bool Started() const { return m_started; }

private:
    pid_t m_pid = -1;
    bool m_started = false;
};

TEST(BertOnSocat, a_bert_through_socat_and_cat_comes_back_without_an_error) {
    if (!OnPath("socat")) GTEST_SKIP() << "socat is not installed";
    const fs::path dir = fs::temp_directory_path() / ("kvartix-socat-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const fs::path link = dir / "A";
    {
        SocatEcho socat(link);
        ASSERT_TRUE(socat.Started());
        ASSERT_TRUE(test::Eventually([&] { return fs::exists(link); })) << "socat made no pty";

        test::SessionRig rig;
        LineSettings s;
        s.Port = link.string();
        ASSERT_TRUE(rig.session.Start(TestMode::Bert, s)) << rig.box.Messages.size();
        test::RunEchoedBert(rig, 2'000'000);
        EXPECT_EQ(rig.engine.Counters().Errors, 0);
        EXPECT_EQ(rig.engine.Checker().SyncLostCount, 0);
        EXPECT_EQ(rig.engine.DriverErrors().OtherErrors, 0);
        EXPECT_TRUE(rig.box.Messages.empty());
        rig.session.StopSession();
    }
    fs::remove_all(dir);
}

}  // namespace
}  // namespace kvartix
