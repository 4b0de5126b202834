#pragma once

#include "reading/ReadingState.h"

#include <QObject>

class QActionGroup;
class QDockWidget;
class QListWidget;

namespace quarvia {

class HostWindow;

// The reading tools in the window: the Reading menu (the left button's
// tool, the active view's plane and slab, the reading layout) and the
// Measurements dock that lists what was measured.
class ReadingFrame : public QObject {
    Q_OBJECT
public:
    explicit ReadingFrame(HostWindow& host);

    // The active cell's view shows a plane; false with the reason told to the user.
    bool setPlane(PlaneKind kind);
    void setSlab(SlabMode slab, double thicknessMm);
    // Axial, coronal and sagittal of the active cell's series in the first
    // three cells of a 2 x 2 grid, the fourth left for a 3D window.
    bool readingLayout(QString& why);
    QListWidget& list() const { return *m_list; }
    // Deletes the selected measurement of the list.
    void deleteSelected();

private:
    void fillList();

    HostWindow& m_host;
    QActionGroup* m_tools;     // of the Reading menu
    QDockWidget* m_dock;       // dock of the host window
    QListWidget* m_list;       // in the dock
};

}  // namespace quarvia
