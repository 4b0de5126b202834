#pragma once

#include <QByteArray>
#include <QString>

namespace quarvia {

// Why a file could not be written, in the words the window shows.
enum class FileWriteStatus { Ok, DiskFull, TooLarge, NotWritable, Failed };

struct FileWriteResult {
    FileWriteStatus status = FileWriteStatus::Ok;
    int error = 0;  // errno of the step that failed

    bool ok() const { return status == FileWriteStatus::Ok; }
};

// Writes `bytes` as the file `path`, whole or not at all: into a hidden
// temporary in the same folder, flushed to the disk, then renamed over the
// name. On failure the temporary is removed and nothing was at the name
// that was not there before; a process killed midway leaves at most the
// hidden temporary, which nothing reads as the file.
FileWriteResult writeFileWhole(const QString& path, const QByteArray& bytes);

// "cannot write PATH: the disk is full" and the like.
QString fileWriteMessage(const FileWriteResult& result, const QString& path);

}  // namespace quarvia
