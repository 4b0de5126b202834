#include "CProgress.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

namespace glossan {

namespace {

QProgressBar* makeBar(int id, QWidget* parent) {
    auto* bar = new QProgressBar(parent);
    bar->setObjectName(QString::number(id));
    bar->setRange(0, 100);
    bar->setValue(0);
    return bar;
}

// 186 x 98 dialog units of an 8-point dialog font.
constexpr int kWidthPixels = 279;
constexpr int kHeightPixels = 159;

}  // namespace

CProgress::CProgress() : QDialog(nullptr, Qt::Dialog | Qt::WindowStaysOnTopHint) {
    setObjectName(QString::number(kDialogId));
    setWindowTitle("Glossan Download progress");
    setModal(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("Progress of installation", this));
    m_overallBar = makeBar(kOverallBarId, this);
    layout->addWidget(m_overallBar);
    m_label = new QLabel("Current file", this);
    m_label->setObjectName(QString::number(kLabelId));
    layout->addWidget(m_label);
    m_currentBar = makeBar(kCurrentBarId, this);
    layout->addWidget(m_currentBar);
    m_cancelButton = new QPushButton("Cancel", this);
    m_cancelButton->setObjectName(QString::number(kCancelButtonId));
    m_cancelButton->setAutoDefault(false);
    layout->addWidget(m_cancelButton, 0, Qt::AlignHCenter);
    connect(m_cancelButton, &QPushButton::clicked, this, &CProgress::reject);

    resize(kWidthPixels, kHeightPixels);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    m_cancelButton->setEnabled(true);
    show();
    raise();
    repaint();
}

CProgress::~CProgress() = default;

void CProgress::setLabel(const std::string& text) { m_label->setText(QString::fromLocal8Bit(text.c_str())); }

void CProgress::setOverallPosition(int position) {
    pumpMessages();
    setBar(m_overallBar, position);
}

void CProgress::setCurrentPosition(int position) {
    pumpMessages();
    setBar(m_currentBar, position);
}

bool CProgress::isCancelled() {
    pumpMessages();
    return m_cancelled;
}

void CProgress::reject() { m_cancelled = true; }

void CProgress::closeEvent(QCloseEvent* event) {
    m_cancelled = true;
    event->ignore();
}

void CProgress::pumpMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void CProgress::setBar(QProgressBar* bar, int position) {
    position = std::clamp(position, 0, 100);
    if (bar->value() != position) bar->setValue(position);
}

}  // namespace glossan
