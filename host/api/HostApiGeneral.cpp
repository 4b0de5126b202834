// Memory, profile, message boxes and the current server.
#include "HostApiSupport.h"

#include "QVHostApi.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace quarvia {

char* duplicate(const std::string& text) {
    char* copy = static_cast<char*>(std::malloc(text.size() + 1));
    if (!copy) return nullptr;
    std::memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

char* duplicate(const QString& text) { return duplicate(text.toUtf8().toStdString()); }

void reportEscaped(const char* function, const char* what) noexcept {
    std::fprintf(stderr, "quarvia: %s failed: %s\n", function ? function : "a host function", what ? what : "");
}

}  // namespace quarvia

using quarvia::duplicate;
using quarvia::host;

void QVFree(void* block) { std::free(block); }

int QVGetProfileBool(const char* id, int scope, const char* section, const char* key, int def) {
    return quarvia::guarded<int>(__func__, def, [&]() -> int {
        return host() ? host()->profile().readBool(id, scope, section, key, def != 0) : def;
    });
}
int QVGetProfileInt(const char* id, int scope, const char* section, const char* key, int def) {
    return quarvia::guarded<int>(__func__, def, [&]() -> int {
        return host() ? host()->profile().readInt(id, scope, section, key, def) : def;
    });
}
char* QVGetProfileString(const char* id, int scope, const char* section, const char* key, const char* def) {
    return quarvia::guarded<char*>(__func__, nullptr, [&]() -> char* {
        const QString fallback = QString::fromUtf8(def ? def : "");
        return duplicate(host() ? host()->profile().readString(id, scope, section, key, fallback) : fallback);
    });
}
void QVWriteProfileBool(const char* id, int scope, const char* section, const char* key, int value) {
    quarvia::guardedVoid(__func__, [&] {
        if (host()) host()->profile().write(id, scope, section, key, value ? 1 : 0);
    });
}
void QVWriteProfileInt(const char* id, int scope, const char* section, const char* key, int value) {
    quarvia::guardedVoid(__func__, [&] {
        if (host()) host()->profile().write(id, scope, section, key, value);
    });
}
void QVWriteProfileString(const char* id, int scope, const char* section, const char* key, const char* value) {
    quarvia::guardedVoid(__func__, [&] {
        if (host()) host()->profile().write(id, scope, section, key, QString::fromUtf8(value ? value : ""));
    });
}

int QVMessageBox(const char* text, const char* caption, uint32_t flags) {
    return quarvia::guarded<int>(__func__, QV_IDCANCEL, [&]() -> int {
        if (!host()) return QV_IDOK;
        return host()->messageBox(QString::fromUtf8(text ? text : ""), QString::fromUtf8(caption ? caption : ""), flags);
    });
}

char* QVGetCurrentServer(void) {
    return quarvia::guarded<char*>(__func__, nullptr, [&]() -> char* {
        return duplicate(host() ? host()->currentServer() : QString());
    });
}

// No queue peeking on this port: the plug-in's background work is never told to yield.
