#pragma once

#include <QWidget>

#include <cstdint>

namespace v3d {

// The plug-in's hidden global window: the host routes the global menu
// commands (Create, Remove, Refresh) to it, asks their state, asks it to
// open a 3D window in a place, and lets it run the idle processing.
class CMessage : public QWidget {
    Q_OBJECT
public:
    CMessage();
    ~CMessage() override;

    // Command routing; answers whether the command was handled.
    bool onCommand(int command, int code, void* extra, void* handlerInfo);

    intptr_t handleHostMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);

protected:
    bool event(QEvent* event) override;

private:
    void onCreate();
    void onRemove();
    void onRefresh();
    bool removeEnabled() const;
    bool refreshEnabled() const;
    void openInPlaceOfView(void* hostView);
};

}  // namespace v3d
