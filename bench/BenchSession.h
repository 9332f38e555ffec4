#pragma once

// What the benchmarks that run whole sessions share: a session on the machine's own ports
// with the real clock, messages printed on standard error, and the process's CPU time.
#include <sys/resource.h>

#include <cstdio>
#include <string>

#include "engine/TestSession.h"
#include "testkit/SystemSession.h"

namespace kvartix::bench {

class PrintBox final : public ErrorBoxSink {
  public:
    void ErrorBox(const std::string& text, bool) override {
        std::fprintf(stderr, "%s\n", text.c_str());
    }
};

// User and system time of the whole process, in seconds.
inline double CpuSeconds() {
    rusage self{};
    getrusage(RUSAGE_SELF, &self);
    return static_cast<double>(self.ru_utime.tv_sec + self.ru_stime.tv_sec) +
           static_cast<double>(self.ru_utime.tv_usec + self.ru_stime.tv_usec) / 1e6;
}

// A session on the machine's own ports, its messages printed.
using BenchSession = testkit::SystemSession<NullEngineView, PrintBox>;

}  // namespace kvartix::bench
