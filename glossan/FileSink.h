#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>

namespace glossan {

// The local file a download writes, block after block. Opening truncates
// an existing file but refuses to follow a symbolic link, so a link
// planted in the download folder cannot redirect the write elsewhere.
class FileSink {
public:
    explicit FileSink(std::string path);

    bool open();
    bool isOpen() const { return m_file != nullptr; }
    // True when every byte was written.
    bool write(const char* data, size_t length);
    // Flushes to the disk and closes; false when the data did not get there.
    bool close();

private:
    struct Closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };

    std::string m_path;
    std::unique_ptr<std::FILE, Closer> m_file;
};

}  // namespace glossan
