#include "UpdateFlow.h"

#include "CProgress.h"
#include "Download.h"
#include "Manifest.h"
#include "PluginIdentity.h"
#include "UpdateLock.h"

#include "QVHostApi.h"

#include <QApplication>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <optional>

namespace glossan {

namespace {

uint32_t readProfile(const char* key) {
    return static_cast<uint32_t>(QVGetProfileInt(kPluginId, kProfileScope, kProfileSection, key, 0));
}

void writeProfile(const char* key, uint32_t value) {
    QVWriteProfileInt(kPluginId, kProfileScope, kProfileSection, key, static_cast<int>(value));
}

// At most `size` bytes of the file: what the download reported writing.
std::optional<std::string> readManifestFile(const std::string& path, int32_t size) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    std::string text(static_cast<size_t>(size), '\0');
    file.read(text.data(), size);
    text.resize(static_cast<size_t>(file.gcount()));
    return text;
}

// The manifest's fetch keeps the window alive and honours its Cancel, but
// has no bar of its own to move.
class CancelOnly : public DownloadProgress {
public:
    explicit CancelOnly(DownloadProgress* window) : m_window(window) {}
    void setCurrentPosition(int) override {}
    bool isCancelled() override { return m_window && m_window->isCancelled(); }

private:
    DownloadProgress* m_window;
};

}  // namespace

DownloadLimits UpdateSettings::defaultManifestLimits() {
    DownloadLimits limits;
    limits.maxBytes = kManifestMaxBytes;
    limits.totalTimeMs = kManifestTimeMs;
    return limits;
}

UpdateFlow::UpdateFlow(UpdateSettings settings) : m_settings(std::move(settings)) {}

UpdateFlow::~UpdateFlow() = default;

std::string UpdateFlow::folder(const char* name) const { return m_settings.hostDirectory + "/" + name; }

void UpdateFlow::tell(UpdateEvent event, const std::string& fileName) {
    const InstallMessage message = installMessage(event, fileName);
    QVMessageBox(message.text.c_str(), kInstallCaption, message.flags);
}

bool UpdateFlow::installNeeded() const {
    const ModuleVersion current{readProfile("CurrentVersionMS"), readProfile("CurrentVersionLS")};
    return !pathExists(folder("Glossan/")) || isNewer(m_settings.offered, current);
}

void UpdateFlow::run() {
    m_deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_settings.budgetMs);
    // Decided once without the lock, so that a current module costs no
    // write, and again under it, where it counts.
    if (!installNeeded()) return;
    UpdateLock lock(folder(kLockName));
    switch (lock.acquire()) {
        case UpdateLock::State::Busy: return;  // another start is updating; it tells its own user
        case UpdateLock::State::Unavailable: tell(UpdateEvent::NoLock); return;
        case UpdateLock::State::Held: break;
    }
    recoverEarlierStaging();
    if (!installNeeded()) return;
    const bool staged = update();
    lock.release();
    if (staged) tell(UpdateEvent::Upgraded);
}

bool UpdateFlow::update() {
    // Without a widget application (never the case in a host) the files
    // still download, only without a window to show or cancel them.
    if (qobject_cast<QApplication*>(QCoreApplication::instance())) m_progress = std::make_unique<CProgress>();
    // Whatever an interrupted or failed start left here would be staged
    // with the new files; only this run's downloads may be.
    const std::string downloadFolder = folder("Glossan_Tmp/");
    deleteFolderRecursive(downloadFolder);
    createFolder(downloadFolder);

    CancelOnly manifestProgress(m_progress.get());
    const DownloadResult manifestFile = fetch(kManifestName, &manifestProgress, m_settings.manifestLimits);
    std::optional<std::string> text;
    if (manifestFile.ok()) text = readManifestFile(downloadFolder + kManifestName, manifestFile.bytes);
    std::optional<Manifest> manifest;
    if (text) manifest = parseManifest(*text);
    // An empty list would stage an empty module over a working one.
    if (!manifestFile.ok() || (text && text->empty()) || (manifest && manifest->status != ManifestStatus::Ok)) {
        m_progress.reset();
        tell(manifestFile.ok() ? UpdateEvent::ManifestFailed : manifestFailure(manifestFile.status));
        return false;
    }
    bool staged = false;
    if (manifest) {
        if (downloadAll(*manifest))
            staged = stage();
        else
            deleteFolderRecursive(downloadFolder);
    }
    m_progress.reset();
    return staged;
}

bool UpdateFlow::downloadAll(const Manifest& manifest) {
    for (size_t i = 0; i < manifest.entries.size(); ++i) {
        const std::string& name = manifest.entries[i].name;
        if (m_progress) {
            m_progress->setLabel("Downloading " + name);
            m_progress->setCurrentPosition(0);
            m_progress->setOverallPosition(overallPosition(static_cast<int>(i + 1), manifest.lineFeeds));
        }
        const DownloadResult result = fetch(name, m_progress.get(), m_settings.fileLimits, manifest.entries[i].check);
        if (result.ok()) continue;
        tell(fileFailure(result.status), name);
        return false;
    }
    return true;
}

DownloadResult UpdateFlow::fetch(const std::string& name, DownloadProgress* progress, DownloadLimits limits,
                                 const FileCheck& check) const {
    const long left = static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(m_deadline - std::chrono::steady_clock::now()).count());
    if (left <= 0) return {DownloadStatus::TimedOut, 0};
    limits.totalTimeMs = limits.totalTimeMs > 0 ? std::min(limits.totalTimeMs, left) : left;
    limits.connectTimeoutMs = std::min(limits.connectTimeoutMs, left);
    return Download(kServerFolder, folder("Glossan_Tmp/"), name, progress, limits, check);
}

bool UpdateFlow::discard(const std::string& path) {
    const std::string trash = folder("Glossan_Trash");
    deleteFolderRecursive(trash);
    if (!pathExists(path)) return true;
    return renameFolder(path, trash) && deleteFolderRecursive(trash);
}

void UpdateFlow::recoverEarlierStaging() {
    const std::string staged = folder("Glossan_New");
    const std::string discarded = folder("Glossan_Del");
    deleteFolderRecursive(folder("Glossan_Trash"));
    if (!pathExists(staged) && pathExists(discarded)) m_settings.renameFolder(discarded, staged);
}

bool UpdateFlow::stage() {
    const std::string staged = folder("Glossan_New");
    const std::string discarded = folder("Glossan_Del");
    discard(discarded);
    // An earlier staging that was never completed makes way; there may be none.
    m_settings.renameFolder(staged, discarded);
    if (!m_settings.renameFolder(folder("Glossan_Tmp"), staged)) {
        m_settings.renameFolder(discarded, staged);
        return false;
    }
    discard(discarded);
    writeProfile("DownloadedVersionMS", m_settings.offered.ms);
    writeProfile("DownloadedVersionLS", m_settings.offered.ls);
    return true;
}

}  // namespace glossan
