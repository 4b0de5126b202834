#pragma once

#include <functional>
#include <string>

namespace glossan {

// One update at a time per host folder: an exclusive, non-blocking lock on
// a lock file. The kernel drops it when the holder dies, however it dies.
// The holder removes the file before unlocking, so a finished update
// leaves nothing behind; a process that locked a file removed under it
// sees so and tries the new one.
class UpdateLock {
public:
    enum class State { Held, Busy, Unavailable };

    explicit UpdateLock(std::string path);
    ~UpdateLock();
    UpdateLock(const UpdateLock&) = delete;
    UpdateLock& operator=(const UpdateLock&) = delete;

    // Held: this process may update. Busy: another one is updating.
    // Unavailable: the lock file cannot be made.
    State acquire();
    void release();

    // Runs between opening the file and locking it: where another start's
    // release and a third start's take can fall.
    void setBetweenOpenAndLock(std::function<void()> step) { m_betweenOpenAndLock = std::move(step); }

private:
    std::string m_path;
    int m_fd = -1;
    std::function<void()> m_betweenOpenAndLock;
};

}  // namespace glossan
