#pragma once

#include <sys/types.h>

#include <string>

namespace kvartix {

// The UUCP lock file terminal programs keep for a device they use: <dir>/LCK..<name>
// holding the owner's PID as ten characters and a newline. Other programs see a device
// in use by it even where they take no flock.
class UucpLock {
  public:
    UucpLock() = default;
    UucpLock(UucpLock&& other) noexcept;
    UucpLock& operator=(UucpLock&& other) noexcept;
    UucpLock(const UucpLock&) = delete;
    UucpLock& operator=(const UucpLock&) = delete;
    ~UucpLock() { Release(); }

    // The lock file of a device: LCK.. and the path below /dev with '/' as '_'.
    static std::string FileFor(const std::string& dir, const std::string& devicePath);
    // The PID of a running process that holds the device's lock, else 0. A lock whose
    // process no longer runs, or that names none, does not hold.
    static pid_t Holder(const std::string& dir, const std::string& devicePath);

    // Takes the lock for this process, replacing a stale one. False with holder set when a
    // running process holds it. A directory that is missing or that we may not write to
    // leaves the device unlocked but usable: the lock is a courtesy among programs.
    bool Take(const std::string& dir, const std::string& devicePath, pid_t& holder);
    // Removes the file if it is still ours.
    void Release();

    const std::string& File() const { return m_file; }

  private:
    std::string m_file;  // empty: nothing of ours to remove
};

}  // namespace kvartix
