#include "UpdateLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace glossan {

namespace {

// A file can be removed and recreated between our open and our lock only
// while other processes finish their updates; a few tries always settle it.
constexpr int kAttempts = 8;

bool sameFile(int fd, const std::string& path) {
    struct stat opened {}, named {};
    return fstat(fd, &opened) == 0 && lstat(path.c_str(), &named) == 0 && opened.st_dev == named.st_dev &&
           opened.st_ino == named.st_ino;
}

}  // namespace

UpdateLock::UpdateLock(std::string path) : m_path(std::move(path)) {}

UpdateLock::~UpdateLock() { release(); }

UpdateLock::State UpdateLock::acquire() {
    if (m_fd >= 0) return State::Held;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const int fd = ::open(m_path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0) return State::Unavailable;
        if (m_betweenOpenAndLock) m_betweenOpenAndLock();
        int locked;
        do {
            locked = flock(fd, LOCK_EX | LOCK_NB);
        } while (locked != 0 && errno == EINTR);
        if (locked != 0) {
            const bool busy = errno == EWOULDBLOCK;
            ::close(fd);
            return busy ? State::Busy : State::Unavailable;
        }
        if (sameFile(fd, m_path)) {
            m_fd = fd;
            return State::Held;
        }
        ::close(fd);
    }
    return State::Busy;
}

void UpdateLock::release() {
    if (m_fd < 0) return;
    // Removed while still locked: whoever opens the name next gets a new
    // file, and whoever still holds the old one notices.
    unlink(m_path.c_str());
    ::close(m_fd);
    m_fd = -1;
}

}  // namespace glossan
