#pragma once

#include <QStringList>

namespace quarvia {

class HostWindow;

// What the host remembers between sessions, in its profile: the window's
// geometry, docks and grid, the studies opened and the layout they were
// shown in (a layout file beside the profile). Interactive runs only: a
// scripted run starts from its command line alone.
class SessionMemory {
public:
    explicit SessionMemory(HostWindow& host);

    // Geometry and docks, and the grid unless the command line set it.
    void restoreWindow(bool keepGrid, bool keepSize);
    // Offers to reopen the last session's studies and layout.
    void offerLastSession();
    // Kept when the host closes.
    void save(const QStringList& openedPaths);

    QString layoutFile() const;

private:
    HostWindow& m_host;
};

}  // namespace quarvia
