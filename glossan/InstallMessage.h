#pragma once

#include "Download.h"

#include <cstdint>
#include <string>

namespace glossan {

// What the update flow has to tell the user.
enum class UpdateEvent {
    ManifestFailed,   // the manifest could not be fetched, was too large or was empty
    NoLock,           // the update's lock file could not be made
    FileFailed,       // one of the module's files could not be fetched
    Cancelled,        // the user pressed Cancel
    Upgraded,         // a new module is staged
};

// A message box's text and flags; the caption is always the installer's.
struct InstallMessage {
    std::string text;
    uint32_t flags = 0;
};

InstallMessage installMessage(UpdateEvent event, const std::string& fileName = std::string());

// The event a failed download of the manifest or of a module file stands for.
UpdateEvent manifestFailure(DownloadStatus status);
UpdateEvent fileFailure(DownloadStatus status);

}  // namespace glossan
