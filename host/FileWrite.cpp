#include "FileWrite.h"

#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace quarvia {

namespace {

FileWriteResult failure(int error) {
    switch (error) {
        case ENOSPC:
        case EDQUOT: return {FileWriteStatus::DiskFull, error};
        case EFBIG: return {FileWriteStatus::TooLarge, error};
        case EACCES:
        case EPERM:
        case EROFS: return {FileWriteStatus::NotWritable, error};
        default: return {FileWriteStatus::Failed, error};
    }
}

bool writeAll(int fd, const char* data, qsizetype size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(size));
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            if (written == 0) errno = ENOSPC;
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

}  // namespace

FileWriteResult writeFileWhole(const QString& path, const QByteArray& bytes) {
    const QFileInfo info(path);
    QByteArray name = (info.path() + "/." + info.fileName() + ".partXXXXXX").toLocal8Bit();
    const int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return failure(errno);
    fchmod(fd, 0644);
    int error = 0;
    if (!writeAll(fd, bytes.constData(), bytes.size()) || fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && std::rename(name.constData(), path.toLocal8Bit().constData()) != 0) error = errno;
    if (error == 0) return {};
    unlink(name.constData());
    return failure(error);
}

QString fileWriteMessage(const FileWriteResult& result, const QString& path) {
    QString why;
    switch (result.status) {
        case FileWriteStatus::Ok: return QString();
        case FileWriteStatus::DiskFull: why = "the disk is full"; break;
        case FileWriteStatus::TooLarge: why = "the file is larger than this system allows"; break;
        case FileWriteStatus::NotWritable: why = "the folder is not writable"; break;
        case FileWriteStatus::Failed: why = QString::fromLocal8Bit(std::strerror(result.error)); break;
    }
    return QString("cannot write %1: %2").arg(path, why);
}

}  // namespace quarvia
