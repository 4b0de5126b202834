#pragma once

#include <QDialog>

class QProgressBar;
class QPushButton;

namespace v3d {

// Small modeless progress window with a bar and a Cancel button, shown while
// a volume is built, images are rendered or captured. While it is up the
// parent window is disabled.
class CProgress : public QDialog {
    Q_OBJECT
public:
    static constexpr int kDialogId = 5000;
    static constexpr int kProgressBarId = 5005;
    static constexpr int kCancelButtonId = 2;

    // title may be null (keeps "Progress of processing"); a non-zero centre
    // moves the dialog so that its centre is there, keeping its size.
    CProgress(const char* title, int centreX, int centreY, QWidget* parent);
    ~CProgress() override;

    void setPosition(int position);
    int position() const;
    void enableCancel();
    bool isCancelled();
    // Re-enables the parent and takes the dialog down.
    void closeProgress();

    bool cancelled() const { return m_cancelled; }
    bool cancelEnabled() const { return m_cancelEnabled; }
    // How often the bar was actually changed (redundant updates are skipped).
    int barUpdates() const { return m_barUpdates; }
    QPushButton* cancelButton() const { return m_cancelButton; }

protected:
    void reject() override;

private:
    void pumpMessages();

    QPushButton* m_cancelButton = nullptr;
    QProgressBar* m_progressBar = nullptr;
    bool m_cancelled = false;
    bool m_cancelEnabled = false;
    bool m_closed = false;
    int m_barUpdates = 0;
};

}  // namespace v3d
