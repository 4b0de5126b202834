#include "FileSink.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace glossan {

namespace {

// "folder/.name.partXXXXXX" for "folder/name": same folder, so the rename
// stays on one file system, and hidden from anyone listing the folder.
std::string temporaryTemplate(const std::string& path) {
    const size_t slash = path.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    return path.substr(0, nameStart) + "." + path.substr(nameStart) + ".partXXXXXX";
}

}  // namespace

FileSink::FileSink(std::string path) : m_path(std::move(path)) {}

FileSink::~FileSink() { discard(); }

bool FileSink::open() {
    discard();
    const std::string pattern = temporaryTemplate(m_path);
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return false;
    m_temporary = name.data();
    fchmod(fd, 0644);
    m_file.reset(fdopen(fd, "wb"));
    if (!m_file) {
        ::close(fd);
        discard();
    }
    return isOpen();
}

bool FileSink::write(const char* data, size_t length) {
    return m_file && std::fwrite(data, 1, length, m_file.get()) == length;
}

bool FileSink::commit() {
    if (!m_file) return false;
    // On the disk before it takes the name, and before the folder holding
    // it is renamed into place.
    const bool flushed = std::fflush(m_file.get()) == 0 && fsync(fileno(m_file.get())) == 0;
    const bool closed = std::fclose(m_file.release()) == 0;
    if (!flushed || !closed || std::rename(m_temporary.c_str(), m_path.c_str()) != 0) {
        discard();
        return false;
    }
    m_temporary.clear();
    return true;
}

void FileSink::discard() {
    m_file.reset();
    if (!m_temporary.empty()) unlink(m_temporary.c_str());
    m_temporary.clear();
}

}  // namespace glossan
