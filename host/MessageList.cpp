#include "MessageList.h"

#include <QListWidget>

namespace quarvia {

namespace {
// A long list is of no use to anyone; the oldest lines go first.
constexpr int kMaxMessages = 2000;
}  // namespace

MessageList::MessageList(QWidget* parent) : QDockWidget("Messages", parent), m_list(new QListWidget(this)) {
    setObjectName("messageDock");
    m_list->setObjectName("messageList");
    m_list->setWordWrap(true);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    setWidget(m_list);
}

void MessageList::add(const QString& text, bool openDock) {
    while (m_list->count() >= kMaxMessages) delete m_list->takeItem(0);
    auto* item = new QListWidgetItem(text, m_list);
    item->setToolTip(text);
    m_list->scrollToItem(item);
    // A message nobody can see is no message: the dock opens for it.
    if (openDock && m_opensOnMessage && isHidden()) show();
}

void MessageList::clear() { m_list->clear(); }

QStringList MessageList::texts() const {
    QStringList out;
    for (int i = 0; i < m_list->count(); ++i) out << m_list->item(i)->text();
    return out;
}

}  // namespace quarvia
