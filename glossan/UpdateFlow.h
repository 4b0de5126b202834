#pragma once

#include "Download.h"
#include "FolderOps.h"
#include "InstallMessage.h"
#include "ModuleVersion.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace glossan {

class CProgress;
struct Manifest;

// Where the flow runs, what it offers and how long servers may take. The
// export fills this from the running program; tests point it at a scratch
// folder and shorten the waits.
struct UpdateSettings {
    std::string hostDirectory;
    ModuleVersion offered;
    // Renames a folder, failing when the target exists.
    std::function<bool(const std::string& from, const std::string& to)> renameFolder = glossan::renameFolder;
    DownloadLimits fileLimits = DownloadLimits{};
    DownloadLimits manifestLimits = defaultManifestLimits();
    // The whole check, lock to staging: every request gets what is left.
    long budgetMs = kStartupBudgetMs;

    // A manifest is a list of names: more than 1 MiB of it is not one. Its
    // whole request, start-up's only wait without a window's worth of
    // progress to show, gets 25 seconds.
    static constexpr int64_t kManifestMaxBytes = 1 << 20;
    static constexpr long kManifestTimeMs = 25000;
    // The host's start-up waits for the check: two minutes at most, however
    // slowly or often the server answers. A module that cannot arrive in
    // that time is tried again at the next start.
    static constexpr long kStartupBudgetMs = 120000;
    static DownloadLimits defaultManifestLimits();
};

// The start-up check: when the module folder is missing or older than the
// offered version, downloads the manifest's files from the host's current
// server into a fresh "Glossan_Tmp" and stages them as "Glossan_New" for
// the next restart. One process at a time: another start that finds the
// update under way leaves it alone. Everything the user must know goes to
// host message boxes.
class UpdateFlow {
public:
    explicit UpdateFlow(UpdateSettings settings);
    ~UpdateFlow();

    void run();

    static constexpr char kServerFolder[] = "/download/plugins/glossan/";
    static constexpr char kManifestName[] = "files.txt";
    static constexpr char kLockName[] = "Glossan.lock";

private:
    bool installNeeded() const;
    // Runs with the lock held; answers whether a new module was staged.
    bool update();
    // Downloads every name of the manifest; false (after telling the user)
    // at the first failure or on cancellation.
    bool downloadAll(const Manifest& manifest);
    // Moves the download folder to "Glossan_New"; true when it got there.
    bool stage();
    // A start killed between setting the earlier staging aside and putting
    // the new one in its place left it as "Glossan_Del": it goes back.
    void recoverEarlierStaging();
    // Deletes a folder by first renaming it to "Glossan_Trash", so that a
    // start killed mid-delete leaves the part only under a name that is
    // never restored. False when the folder is still there.
    bool discard(const std::string& path);
    // One request with the time that is left of the budget.
    DownloadResult fetch(const std::string& name, DownloadProgress* progress, DownloadLimits limits,
                         const FileCheck& check = FileCheck{}) const;
    std::string folder(const char* name) const;
    void tell(UpdateEvent event, const std::string& fileName = std::string());

    UpdateSettings m_settings;
    std::chrono::steady_clock::time_point m_deadline;
    std::unique_ptr<CProgress> m_progress;
};

}  // namespace glossan
