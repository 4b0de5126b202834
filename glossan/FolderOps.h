#pragma once

#include <string>

namespace glossan {

// True when something exists at the path (a trailing "/" demands a folder).
bool pathExists(const std::string& path);

// Creates the folder; one that already exists is not an error.
bool createFolder(const std::string& path);

// Deletes the folder with everything in it. Symbolic links are removed,
// never followed. Stops at the first entry that cannot be removed.
bool deleteFolderRecursive(const std::string& path);

// Renames a folder; fails when the target already exists, so that a
// staged folder is never merged into or replaced by accident.
bool renameFolder(const std::string& from, const std::string& to);

}  // namespace glossan
