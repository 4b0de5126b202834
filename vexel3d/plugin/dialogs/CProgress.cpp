#include "plugin/dialogs/CProgress.h"

#include <QApplication>
#include <QProgressBar>
#include <QPushButton>

#include <algorithm>

namespace v3d {

namespace {
// The classic template is 229 x 55 dialog units; at the usual 8-point font a
// dialog unit is about 1.5 x 1.6 pixels.
constexpr int kWidth = 344;
constexpr int kHeight = 90;
}  // namespace

CProgress::CProgress(const char* title, int centreX, int centreY, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QString::number(kDialogId));
    setModal(false);
    setWindowTitle(title ? QString::fromUtf8(title) : QStringLiteral("Progress of processing"));
    setFixedSize(kWidth, kHeight);

    m_progressBar = new QProgressBar(this);
    m_progressBar->setObjectName(QString::number(kProgressBarId));
    m_progressBar->setRange(0, 100);
    m_progressBar->setValue(0);
    m_progressBar->setTextVisible(false);
    m_progressBar->setGeometry(10, 11, 323, 22);

    m_cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancelButton->setObjectName(QString::number(kCancelButtonId));
    m_cancelButton->setGeometry(131, 47, 75, 23);
    m_cancelButton->setEnabled(false);
    connect(m_cancelButton, &QPushButton::clicked, this, [this] { m_cancelled = true; });

    if (centreX != 0 || centreY != 0) move(centreX - kWidth / 2, centreY - kHeight / 2);
    if (parent) parent->setEnabled(false);
    show();
    raise();
    repaint();
}

CProgress::~CProgress() { closeProgress(); }

void CProgress::pumpMessages() {
    if (m_cancelEnabled) QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void CProgress::setPosition(int position) {
    pumpMessages();
    const int clamped = std::clamp(position, 0, 100);
    if (clamped == m_progressBar->value()) return;
    m_progressBar->setValue(clamped);
    ++m_barUpdates;
}

int CProgress::position() const { return m_progressBar->value(); }

void CProgress::enableCancel() {
    m_cancelButton->setEnabled(true);
    m_cancelEnabled = true;
}

bool CProgress::isCancelled() {
    pumpMessages();
    return m_cancelled;
}

void CProgress::closeProgress() {
    if (m_closed) return;
    m_closed = true;
    if (QWidget* owner = parentWidget()) owner->setEnabled(true);
    hide();
}

void CProgress::reject() {
    // Esc must not take the window down under its owner; cancelling is the
    // button's job, and only while the owner allows it.
}

}  // namespace v3d
