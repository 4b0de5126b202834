#pragma once

#include <QDockWidget>
#include <QStringList>

class QListWidget;

namespace quarvia {

// The window's message list: a dock with one line for everything the user
// should know about (files skipped on open and why, series that cannot
// become a volume, errors of the command line). Newest last.
class MessageList : public QDockWidget {
    Q_OBJECT
public:
    explicit MessageList(QWidget* parent);

    // openDock false: news the status line has told (where a capture went),
    // kept in the list without opening it.
    void add(const QString& text, bool openDock = true);
    // Whether a new message opens the dock when it is closed.
    void setOpensOnMessage(bool opens) { m_opensOnMessage = opens; }
    void clear();
    QStringList texts() const;
    // The list widget itself, as the user sees it.
    QListWidget* list() const { return m_list; }

private:
    QListWidget* m_list;
    bool m_opensOnMessage = true;
};

}  // namespace quarvia
