#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>

namespace glossan {

// The local file a download writes, block after block. The bytes go to a
// hidden temporary beside the final name and reach that name only whole:
// commit() flushes them to the disk and renames. A sink destroyed without a
// commit (a failed or cancelled download, a full disk) removes its
// temporary, so the final name holds a whole file or nothing. The rename
// replaces a link planted at the final name rather than following it.
class FileSink {
public:
    explicit FileSink(std::string path);
    ~FileSink();
    FileSink(const FileSink&) = delete;
    FileSink& operator=(const FileSink&) = delete;

    bool open();
    bool isOpen() const { return m_file != nullptr; }
    // True when every byte was written.
    bool write(const char* data, size_t length);
    // Flushes to the disk, closes and moves the file to its name; false
    // (and no file) when the data did not get there.
    bool commit();

private:
    struct Closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    void discard();

    std::string m_path;
    std::string m_temporary;
    std::unique_ptr<std::FILE, Closer> m_file;
};

}  // namespace glossan
