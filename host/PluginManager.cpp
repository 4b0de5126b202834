#include "PluginManager.h"

#include <QDir>
#include <QFileInfo>

#include <dlfcn.h>

namespace quarvia {

namespace {
template <typename Fn>
bool resolve(void* library, const char* name, Fn& out) {
    out = reinterpret_cast<Fn>(dlsym(library, name));
    return out != nullptr;
}
}  // namespace

PluginManager::~PluginManager() { unloadAll(); }

QStringList PluginManager::loadFolder(const QString& folder) {
    QStringList problems;
    // A single library may stand for a folder (tests load one plug-in alone).
    const QFileInfo given(folder);
    const QFileInfoList files = given.isFile()
                                    ? QFileInfoList{given}
                                    : QDir(folder).entryInfoList(QStringList() << "*.so", QDir::Files, QDir::Name);
    for (const QFileInfo& file : files) {
        const QByteArray path = file.absoluteFilePath().toLocal8Bit();
        void* library = dlopen(path.constData(), RTLD_NOW | RTLD_LOCAL);
        if (!library) {
            problems << QString("Cannot load plug-in %1: %2").arg(file.fileName(), QString::fromLocal8Bit(dlerror()));
            continue;
        }
        auto plugin = std::make_unique<LoadedPlugin>();
        plugin->path = file.absoluteFilePath();
        plugin->library = library;
        const bool ok = resolve(library, "QVPluginInitialize", plugin->initialize) &&
                        resolve(library, "QVPluginGetUniquePluginID", plugin->getUniquePluginID) &&
                        resolve(library, "QVPluginGetHumanName", plugin->getHumanName) &&
                        resolve(library, "QVPluginGetGlobalMessageWindow", plugin->getGlobalMessageWindow) &&
                        resolve(library, "QVPluginCreatePluginWindow", plugin->createPluginWindow) &&
                        resolve(library, "QVPluginCreatePluginWindowState", plugin->createPluginWindowState) &&
                        resolve(library, "QVPluginDelete", plugin->deletePlugin) &&
                        resolve(library, "QVPluginFree", plugin->freeBlock);
        if (!ok) {
            problems << QString("Not a plug-in (exports missing): %1").arg(file.fileName());
            dlclose(library);
            continue;
        }
        // The framework hooks are optional for a host to call.
        resolve(library, "QVPluginMFCOnIdle", plugin->onIdle);
        resolve(library, "QVPluginMFCPreTranslateMessage", plugin->preTranslateMessage);
        resolve(library, "QVPluginMFCDialogModal", plugin->dialogModal);
        resolve(library, "QVPluginMFCCancelDialogModal", plugin->cancelDialogModal);
        const char* id = plugin->getUniquePluginID();
        const char* name = plugin->getHumanName();
        plugin->id = id ? id : "";
        plugin->humanName = name ? name : "";
        m_plugins.push_back(std::move(plugin));
    }
    return problems;
}

void PluginManager::initializeAll(const std::function<bool(const LoadedPlugin&)>& skip) {
    for (auto& plugin : m_plugins) {
        if (skip && skip(*plugin)) continue;
        m_initializing = plugin.get();
        plugin->initialize();
        m_initializing = nullptr;
    }
}

void PluginManager::unloadAll() {
    for (auto it = m_plugins.rbegin(); it != m_plugins.rend(); ++it) {
        (*it)->deletePlugin();
        dlclose((*it)->library);
    }
    m_plugins.clear();
}

LoadedPlugin* PluginManager::find(const char* pluginId) const {
    if (!pluginId) return nullptr;
    for (const auto& plugin : m_plugins)
        if (plugin->id == pluginId) return plugin.get();
    return nullptr;
}

}  // namespace quarvia
