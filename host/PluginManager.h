#pragma once

#include "QVPluginApi.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quarvia {

// One loaded plug-in library and its resolved exports.
struct LoadedPlugin {
    QString path;
    void* library = nullptr;
    std::string id;
    std::string humanName;
    QVPluginInitializeFn initialize = nullptr;
    QVPluginGetUniquePluginIDFn getUniquePluginID = nullptr;
    QVPluginGetHumanNameFn getHumanName = nullptr;
    QVPluginGetGlobalMessageWindowFn getGlobalMessageWindow = nullptr;
    QVPluginCreatePluginWindowFn createPluginWindow = nullptr;
    QVPluginCreatePluginWindowStateFn createPluginWindowState = nullptr;
    QVPluginDeleteFn deletePlugin = nullptr;
    QVPluginFreeFn freeBlock = nullptr;
    QVPluginMFCOnIdleFn onIdle = nullptr;
    QVPluginMFCPreTranslateMessageFn preTranslateMessage = nullptr;
    QVPluginMFCDialogModalFn dialogModal = nullptr;
    QVPluginMFCCancelDialogModalFn cancelDialogModal = nullptr;
};

// Loads every plug-in library of a folder, resolving the exports by name.
class PluginManager {
public:
    ~PluginManager();

    // Opens the libraries of a folder (sorted by file name), or the one
    // library a file path names; answers the messages of the ones that could
    // not be loaded. Does not initialise them.
    QStringList loadFolder(const QString& folder);
    // Calls each plug-in's initialisation, in load order, except for the
    // plug-ins `skip` answers true for (they stay loaded but do no work).
    void initializeAll(const std::function<bool(const LoadedPlugin&)>& skip = {});
    // Calls each plug-in's delete, then unloads the libraries.
    void unloadAll();

    const std::vector<std::unique_ptr<LoadedPlugin>>& plugins() const { return m_plugins; }
    LoadedPlugin* find(const char* pluginId) const;
    // The plug-in being initialised right now, if any (for host calls made
    // during initialisation).
    LoadedPlugin* initializing() const { return m_initializing; }

private:
    std::vector<std::unique_ptr<LoadedPlugin>> m_plugins;
    LoadedPlugin* m_initializing = nullptr;
};

}  // namespace quarvia
