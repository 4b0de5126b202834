#include "UpdateFlow.h"

#include "CProgress.h"
#include "Download.h"
#include "Manifest.h"
#include "PluginIdentity.h"

#include "QVHostApi.h"

#include <QApplication>

#include <fstream>
#include <iterator>
#include <optional>

namespace glossan {

namespace {

constexpr char kUpgradedText[] = "Glossan has been upgraded.\nThe upgrade will be finished after the next restart.";

uint32_t readProfile(const char* key) {
    return static_cast<uint32_t>(QVGetProfileInt(kPluginId, kProfileScope, kProfileSection, key, 0));
}

void writeProfile(const char* key, uint32_t value) {
    QVWriteProfileInt(kPluginId, kProfileScope, kProfileSection, key, static_cast<int>(value));
}

void tell(const std::string& text, uint32_t flags) { QVMessageBox(text.c_str(), kInstallCaption, flags); }

// At most `size` bytes of the file: what the download reported writing.
std::optional<std::string> readManifestFile(const std::string& path, int32_t size) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    std::string text(static_cast<size_t>(size), '\0');
    file.read(text.data(), size);
    text.resize(static_cast<size_t>(file.gcount()));
    return text;
}

}  // namespace

UpdateFlow::UpdateFlow(UpdateSettings settings) : m_settings(std::move(settings)) {}

UpdateFlow::~UpdateFlow() = default;

std::string UpdateFlow::folder(const char* name) const { return m_settings.hostDirectory + "/" + name; }

bool UpdateFlow::installNeeded() const {
    const ModuleVersion current{readProfile("CurrentVersionMS"), readProfile("CurrentVersionLS")};
    return !pathExists(folder("Glossan/")) || isNewer(m_settings.offered, current);
}

void UpdateFlow::run() {
    if (!installNeeded()) return;
    // Without a widget application (never the case in a host) the files
    // still download, only without a window to show or cancel them.
    if (qobject_cast<QApplication*>(QCoreApplication::instance())) m_progress = std::make_unique<CProgress>();
    const std::string downloadFolder = folder("Glossan_Tmp/");
    createFolder(downloadFolder);

    const int32_t size = Download(kServerFolder, downloadFolder, kManifestName, nullptr);
    if (size < 0) {
        m_progress.reset();
        tell("Error installing Glossan", QV_MB_ICONHAND);
        return;
    }
    bool staged = false;
    if (const std::optional<std::string> text = readManifestFile(downloadFolder + kManifestName, size)) {
        if (downloadAll(parseManifest(*text)))
            staged = stage();
        else
            deleteFolderRecursive(downloadFolder);
    }
    m_progress.reset();
    if (staged) tell(kUpgradedText, QV_MB_ICONEXCLAMATION);
}

bool UpdateFlow::downloadAll(const Manifest& manifest) {
    const std::string downloadFolder = folder("Glossan_Tmp/");
    for (size_t i = 0; i < manifest.names.size(); ++i) {
        const std::string& name = manifest.names[i];
        if (m_progress) {
            m_progress->setLabel("Downloading " + name);
            m_progress->setCurrentPosition(0);
            m_progress->setOverallPosition(overallPosition(static_cast<int>(i + 1), manifest.lineFeeds));
        }
        if (Download(kServerFolder, downloadFolder, name, m_progress.get()) >= 0) continue;
        if (m_progress && m_progress->isCancelled())
            tell("Glossan install cancelled", QV_MB_ICONEXCLAMATION);
        else
            tell("Error downloading " + name, QV_MB_ICONHAND);
        return false;
    }
    return true;
}

bool UpdateFlow::stage() {
    const std::string staged = folder("Glossan_New");
    const std::string discarded = folder("Glossan_Del");
    deleteFolderRecursive(discarded);
    // An earlier staging that was never completed makes way; there may be none.
    m_settings.renameFolder(staged, discarded);
    if (!m_settings.renameFolder(folder("Glossan_Tmp"), staged)) {
        m_settings.renameFolder(discarded, staged);
        return false;
    }
    deleteFolderRecursive(discarded);
    writeProfile("DownloadedVersionMS", m_settings.offered.ms);
    writeProfile("DownloadedVersionLS", m_settings.offered.ls);
    return true;
}

}  // namespace glossan
