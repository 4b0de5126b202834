#include "FileSink.h"

#include <fcntl.h>
#include <unistd.h>

namespace glossan {

FileSink::FileSink(std::string path) : m_path(std::move(path)) {}

bool FileSink::open() {
    const int fd = ::open(m_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    m_file.reset(fdopen(fd, "wb"));
    if (!m_file) ::close(fd);
    return isOpen();
}

bool FileSink::write(const char* data, size_t length) {
    return m_file && std::fwrite(data, 1, length, m_file.get()) == length;
}

bool FileSink::close() {
    if (!m_file) return false;
    // On the disk before the folder holding it is renamed into place.
    const bool flushed = std::fflush(m_file.get()) == 0 && fsync(fileno(m_file.get())) == 0;
    return std::fclose(m_file.release()) == 0 && flushed;
}

}  // namespace glossan
