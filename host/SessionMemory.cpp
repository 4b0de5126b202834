#include "SessionMemory.h"

#include "CellGrid.h"
#include "HostWindow.h"
#include "LayoutStore.h"
#include "ProfileStore.h"

#include <QDir>
#include <QFileInfo>
#include <QMessageBox>

#include <cstdio>

namespace quarvia {

namespace {
const char* const kSection = "Quarvia";
const char* const kGroup = "Session";
// Studies remembered for the offer at the next start.
constexpr int kMaxPaths = 16;

QByteArray pathKey(int i) { return "Path" + QByteArray::number(i + 1); }
}  // namespace

SessionMemory::SessionMemory(HostWindow& host) : m_host(host) {}

QString SessionMemory::layoutFile() const {
    return QFileInfo(m_host.profile().fileName()).absoluteDir().filePath("last-session.layout");
}

void SessionMemory::restoreWindow(bool keepGrid, bool keepSize) {
    const ProfileStore& p = m_host.profile();
    const QByteArray geometry = QByteArray::fromBase64(p.readString(kSection, 0, kGroup, "Geometry", {}).toLatin1());
    const QByteArray docks = QByteArray::fromBase64(p.readString(kSection, 0, kGroup, "Docks", {}).toLatin1());
    if (!keepSize && !geometry.isEmpty()) m_host.restoreGeometry(geometry);
    if (!docks.isEmpty()) m_host.restoreState(docks);
    const int rows = p.readInt(kSection, 0, kGroup, "GridRows", 0);
    const int columns = p.readInt(kSection, 0, kGroup, "GridColumns", 0);
    if (!keepGrid && rows >= 1 && rows <= 4 && columns >= 1 && columns <= 4) m_host.grid().setGridLayout(rows, columns);
}

void SessionMemory::offerLastSession() {
    const ProfileStore& p = m_host.profile();
    QStringList paths;
    for (int i = 0; i < kMaxPaths; ++i) {
        const QString path = p.readString(kSection, 0, kGroup, pathKey(i).constData(), {});
        if (!path.isEmpty() && QFileInfo::exists(path)) paths << path;
    }
    if (paths.isEmpty()) return;
    const QString question = QString("Reopen the %1 studies and folders of the last session, shown as they were?\n\n%2")
                                 .arg(paths.size())
                                 .arg(paths.join('\n'));
    if (QMessageBox::question(&m_host, "Last session", question) != QMessageBox::Yes) return;
    m_host.openPaths(paths);
    QString why;
    if (QFileInfo::exists(layoutFile()) && !m_host.layouts().load(layoutFile(), why))
        m_host.notice("The last session's layout was not restored: " + why);
}

void SessionMemory::save(const QStringList& openedPaths) {
    ProfileStore& p = m_host.profile();
    p.write(kSection, 0, kGroup, "Geometry", QString::fromLatin1(m_host.saveGeometry().toBase64()));
    p.write(kSection, 0, kGroup, "Docks", QString::fromLatin1(m_host.saveState().toBase64()));
    p.write(kSection, 0, kGroup, "GridRows", m_host.grid().rows());
    p.write(kSection, 0, kGroup, "GridColumns", m_host.grid().columns());
    for (int i = 0; i < kMaxPaths; ++i) p.write(kSection, 0, kGroup, pathKey(i).constData(), openedPaths.value(i));
    QString why;
    if (!openedPaths.isEmpty() && !m_host.layouts().save(layoutFile(), why))
        std::fprintf(stderr, "quarvia: the session's layout was not kept: %s\n", qPrintable(why));
    p.sync();
}

}  // namespace quarvia
