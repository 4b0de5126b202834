#include "ProgressWatch.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

using glossan::CProgress;

ProgressWatch::ProgressWatch() { qApp->installEventFilter(this); }

ProgressWatch::~ProgressWatch() { qApp->removeEventFilter(this); }

void ProgressWatch::attach(CProgress* window) {
    auto* overallBar = window->findChild<QProgressBar*>(QString::number(CProgress::kOverallBarId));
    auto* currentBar = window->findChild<QProgressBar*>(QString::number(CProgress::kCurrentBarId));
    auto* label = window->findChild<QLabel*>(QString::number(CProgress::kLabelId));
    if (!overallBar || !currentBar || !label) return;
    connect(overallBar, &QProgressBar::valueChanged, this, [this](int value) { overall.push_back(value); });
    connect(currentBar, &QProgressBar::valueChanged, this, [this, window, label](int value) {
        current.push_back(value);
        if (onCurrentChanged) onCurrentChanged(*window, label->text().toStdString(), value);
    });
    // The label has no change signal; its text is sampled when a bar moves.
    connect(overallBar, &QProgressBar::valueChanged, this,
            [this, label](int) { labels.push_back(label->text().toStdString()); });
}

bool ProgressWatch::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show)
        if (auto* window = qobject_cast<CProgress*>(watched)) {
            ++windowsShown;
            attach(window);
        }
    return false;
}

void pressCancel(CProgress& window) {
    if (auto* button = window.findChild<QPushButton*>(QString::number(CProgress::kCancelButtonId))) button->click();
}
