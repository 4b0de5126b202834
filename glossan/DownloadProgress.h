#pragma once

namespace glossan {

// What a download needs from whoever shows it: a place for the current
// file's percentage and a way to learn that the user gave up. Both calls
// are also the moments the window may use to stay alive.
class DownloadProgress {
public:
    virtual ~DownloadProgress() = default;

    virtual void setCurrentPosition(int percent) = 0;
    virtual bool isCancelled() = 0;
};

}  // namespace glossan
