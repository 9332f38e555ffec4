#pragma once

#include <utility>

#include "serial/posix/PosixSys.h"

namespace kvartix {

// Owns one descriptor: move-only, a moved-from object holds -1, closed in the destructor.
// Close is never retried on EINTR: Linux has released the descriptor by then, and a retry
// could close one another thread has just been given.
class UniqueFd {
public:
    UniqueFd() = default;
    UniqueFd(PosixSys& sys, int fd) : m_sys(&sys), m_fd(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : m_sys(other.m_sys), m_fd(std::exchange(other.m_fd, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            Reset();
            m_sys = other.m_sys;
            m_fd = std::exchange(other.m_fd, -1);
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { Reset(); }

    int Get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }

    // Closes now; the result of close, or success when nothing was held.
    SysResult Reset() {
        if (m_fd < 0) return SysResult::Ok();
        return m_sys->Close(std::exchange(m_fd, -1));
    }

private:
    PosixSys* m_sys = nullptr;
    int m_fd = -1;
};

}  // namespace kvartix
