#pragma once

#include "CProgress.h"

#include <QEvent>
#include <QObject>

#include <functional>
#include <string>
#include <vector>

// Records what a progress window shows: every value its bars take and
// every text of its file label. Attach it to a window directly, or let it
// catch the next window that is shown (the update flow makes its own).
class ProgressWatch : public QObject {
public:
    ProgressWatch();
    ~ProgressWatch() override;

    void attach(glossan::CProgress* window);

    std::vector<int> overall;
    std::vector<int> current;
    std::vector<std::string> labels;
    int windowsShown = 0;
    // Called after each current-bar change with the window's label text.
    std::function<void(glossan::CProgress&, const std::string& label, int value)> onCurrentChanged;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// Presses the window's Cancel button.
void pressCancel(glossan::CProgress& window);
