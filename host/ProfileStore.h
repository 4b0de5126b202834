#pragma once

#include <QSettings>
#include <QString>

#include <memory>

namespace quarvia {

// The per-user profile: one INI file, values keyed by plug-in identifier,
// scope flag, section and key.
class ProfileStore {
public:
    // An empty path means the user's config folder.
    explicit ProfileStore(const QString& path = QString());

    bool readBool(const char* pluginId, int scope, const char* section, const char* key, bool fallback) const;
    int readInt(const char* pluginId, int scope, const char* section, const char* key, int fallback) const;
    QString readString(const char* pluginId, int scope, const char* section, const char* key, const QString& fallback) const;
    void write(const char* pluginId, int scope, const char* section, const char* key, const QVariant& value);
    void sync();
    QString fileName() const;

private:
    static QString keyOf(const char* pluginId, int scope, const char* section, const char* key);
    std::unique_ptr<QSettings> m_settings;
};

}  // namespace quarvia
