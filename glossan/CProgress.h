#pragma once

#include "DownloadProgress.h"

#include <QDialog>

#include <string>

class QLabel;
class QProgressBar;
class QPushButton;

namespace glossan {

// The modeless, ownerless, topmost window shown while the module's files
// download: an overall bar, the current file's name and bar, and Cancel.
// Cancel (button, Escape or the close box) only raises the cancelled flag;
// the window stays until it is destroyed.
class CProgress : public QDialog, public DownloadProgress {
    Q_OBJECT
public:
    // Ids of the resource, kept as object names.
    static constexpr int kDialogId = 4000;
    static constexpr int kOverallBarId = 4000;
    static constexpr int kCurrentBarId = 4001;
    static constexpr int kLabelId = 4004;
    static constexpr int kCancelButtonId = 2;

    CProgress();
    ~CProgress() override;

    void setLabel(const std::string& text);
    // Both setters pump pending events first and clamp to 0..100.
    void setOverallPosition(int position);
    void setCurrentPosition(int position) override;
    // Pumps pending events, then answers the flag.
    bool isCancelled() override;

    // The dialog's cancel command (Cancel button or Escape).
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    static void pumpMessages();
    static void setBar(QProgressBar* bar, int position);

    QProgressBar* m_overallBar = nullptr;
    QLabel* m_label = nullptr;
    QProgressBar* m_currentBar = nullptr;
    QPushButton* m_cancelButton = nullptr;
    bool m_cancelled = false;
};

}  // namespace glossan
