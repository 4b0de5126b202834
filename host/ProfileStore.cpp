#include "ProfileStore.h"

#include <QStandardPaths>

namespace quarvia {

namespace {
QString text(const char* s) { return QString::fromUtf8(s ? s : ""); }
}  // namespace

ProfileStore::ProfileStore(const QString& path) {
    QString file = path;
    if (file.isEmpty())
        file = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/quarvia/profile.ini";
    m_settings = std::make_unique<QSettings>(file, QSettings::IniFormat);
}

QString ProfileStore::keyOf(const char* pluginId, int scope, const char* section, const char* key) {
    // Slashes would nest groups; the plug-in identifier holds blanks only.
    QString group = text(pluginId) + QString(" [%1] ").arg(scope) + text(section);
    group.replace('/', '_');
    QString name = text(key);
    name.replace('/', '_');
    return group + "/" + name;
}

bool ProfileStore::readBool(const char* pluginId, int scope, const char* section, const char* key, bool fallback) const {
    const QVariant v = m_settings->value(keyOf(pluginId, scope, section, key));
    if (!v.isValid()) return fallback;
    bool ok = false;
    const int n = v.toString().toInt(&ok);
    return ok ? n != 0 : v.toBool();
}

int ProfileStore::readInt(const char* pluginId, int scope, const char* section, const char* key, int fallback) const {
    const QVariant v = m_settings->value(keyOf(pluginId, scope, section, key));
    if (!v.isValid()) return fallback;
    bool ok = false;
    const int n = v.toString().toInt(&ok);
    return ok ? n : fallback;
}

QString ProfileStore::readString(const char* pluginId, int scope, const char* section, const char* key,
                                 const QString& fallback) const {
    const QVariant v = m_settings->value(keyOf(pluginId, scope, section, key));
    return v.isValid() ? v.toString() : fallback;
}

void ProfileStore::write(const char* pluginId, int scope, const char* section, const char* key, const QVariant& value) {
    m_settings->setValue(keyOf(pluginId, scope, section, key), value);
}

void ProfileStore::sync() { m_settings->sync(); }

QString ProfileStore::fileName() const { return m_settings->fileName(); }

}  // namespace quarvia
