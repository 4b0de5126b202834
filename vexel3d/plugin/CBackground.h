#pragma once

#include "QVPluginApi.h"

#include <QMainWindow>

class QToolBar;

#include <cstdint>
#include <string>
#include <vector>

namespace v3d {

// The frame of one 3D window: fills its host cell, holds the view and the
// toolbars, and owns everything of the one loaded series.
class CBackground : public QMainWindow {
    Q_OBJECT
public:
    explicit CBackground(QWidget* cell);
    ~CBackground() override;

    // Creates a frame as a visible child covering the cell, registers it and
    // makes it the active window; null when the cell is null.
    static CBackground* createInCell(QWidget* cell);

    QVWindowHandle handle() { return reinterpret_cast<QVWindowHandle>(static_cast<QWidget*>(this)); }

    bool onCommand(int command, int code, void* extra, void* handlerInfo);
    intptr_t handleHostMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);

    // Entry of peer texts and saved states; answers -666 when nothing is to
    // be re-rendered.
    int handlePeerText(const char* text);

    // Refreshes command states that Qt does not track by itself (idle time).
    void updateCommandStates();

    // The toolbar a "Toolbars" toggle command stands for, or null.
    QToolBar* barOfToggle(int command) const;
    // Whether a bar shows (not hidden by the user), whatever the window's own visibility.
    static bool barShown(const QToolBar* bar);
    // Refresh from the host while images still arrive.
    void updateVolume();

    // Fields, named as the host-facing design names them.
    QVVolumeRecord* hostVolume = nullptr;
    std::vector<std::string> imageIds;
    int32_t sliceNumber = 0;
    double sliceDistance = 0.0;
    QVIsLosslessFn hostIsLossless = nullptr;
    QVGetDownloadRateFn hostGetDownloadRate = nullptr;
    QVSetMagicXFn hostSetMagicX = nullptr;
    WindowLevelRecord windowLevel{};
    int32_t loadedOk = 1;
    int32_t m_bHasSeries = 0;
    std::string firstImageId;
    double completedFraction = 0.0;
    bool m_bAllLoaded = false;
    bool allLossless = false;
    double downloadedFraction = 0.0;
    std::string pendingState;
    int refreshTimer = 0;
    QToolBar* viewBar = nullptr;
    QToolBar* cutPlanesBar = nullptr;
    QToolBar* segmentationBar = nullptr;
    QToolBar* mainBar = nullptr;
    QToolBar* resetBar = nullptr;

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fillCell();
    void createToolbars();
    QToolBar* createToolbar(int resource, const char* title, Qt::ToolBarArea area, std::initializer_list<int> commands);
    void dispatchCommand(int command);
};

}  // namespace v3d
