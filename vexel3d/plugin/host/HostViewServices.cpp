#include "plugin/host/HostViewServices.h"

#include "plugin/host/HostSymbols.h"
#include "plugin/frame/PluginIdentity.h"

namespace v3d {

HostViewServices::HostViewServices(QVWindowHandle frame)
    : m_frame(frame), m_setMagicX(lookupHostFunction<QVSetMagicXFn>("QVSetMagicX")) {}

int HostViewServices::readInt(const char* key, int fallback) {
    return QVGetProfileInt(kPluginId, kProfileScope, kProfileSection, key, fallback);
}

bool HostViewServices::readBool(const char* key, bool fallback) {
    return QVGetProfileBool(kPluginId, kProfileScope, kProfileSection, key, fallback ? 1 : 0) != 0;
}

std::string HostViewServices::readString(const char* key, const char* fallback) {
    char* text = QVGetProfileString(kPluginId, kProfileScope, kProfileSection, key, fallback);
    std::string value = text ? text : fallback;
    QVFree(text);
    return value;
}

void HostViewServices::writeInt(const char* key, int value) {
    QVWriteProfileInt(kPluginId, kProfileScope, kProfileSection, key, value);
}

void HostViewServices::writeBool(const char* key, bool value) {
    QVWriteProfileBool(kPluginId, kProfileScope, kProfileSection, key, value ? 1 : 0);
}

void HostViewServices::writeString(const char* key, const char* value) {
    QVWriteProfileString(kPluginId, kProfileScope, kProfileSection, key, value);
}

bool HostViewServices::hasCollaborationControl() { return QVHasCollaborationControl() != 0; }

void HostViewServices::windowLevelChanged() { QVUpdateTool(m_frame, 1); }

bool HostViewServices::hasPatientCursor() { return m_setMagicX != nullptr; }

void HostViewServices::placePatientCursor(int32_t series, double x, double y, double z) {
    if (m_setMagicX) m_setMagicX(series, x, y, z);
}

}  // namespace v3d
