#include "FolderOps.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace glossan {

namespace {

std::string withSeparator(const std::string& path) {
    return !path.empty() && path.back() == '/' ? path : path + "/";
}

bool isDotEntry(const char* name) { return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0; }

// Removes every entry of an open folder; false at the first failure.
bool deleteEntries(DIR* folder, const std::string& prefix) {
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(folder);
        if (!entry) return errno == 0;
        if (isDotEntry(entry->d_name)) continue;
        const std::string path = prefix + entry->d_name;
        struct stat info {};
        if (lstat(path.c_str(), &info) != 0) return false;
        const bool ok = S_ISDIR(info.st_mode) ? deleteFolderRecursive(path) : unlink(path.c_str()) == 0;
        if (!ok) return false;
    }
}

}  // namespace

bool pathExists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

bool createFolder(const std::string& path) { return mkdir(path.c_str(), 0755) == 0 || errno == EEXIST; }

bool deleteFolderRecursive(const std::string& path) {
    const std::string prefix = withSeparator(path);
    // A link in place of the folder goes alone; what it points to is not ours.
    struct stat info {};
    const std::string bare = prefix.substr(0, prefix.size() - 1);
    if (!bare.empty() && lstat(bare.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) return unlink(bare.c_str()) == 0;
    DIR* folder = opendir(prefix.c_str());
    // A folder that cannot be listed is only removed, which fails unless it is empty.
    if (!folder) return rmdir(prefix.c_str()) == 0;
    const bool emptied = deleteEntries(folder, prefix);
    closedir(folder);
    return emptied && rmdir(prefix.c_str()) == 0;
}

bool renameFolder(const std::string& from, const std::string& to) {
    struct stat info {};
    if (lstat(to.c_str(), &info) == 0) return false;
    return std::rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace glossan
