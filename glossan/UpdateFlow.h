#pragma once

#include "FolderOps.h"
#include "ModuleVersion.h"

#include <functional>
#include <memory>
#include <string>

namespace glossan {

class CProgress;
struct Manifest;

// Where the flow runs and what it offers. The export fills this from the
// running program; tests point it at a scratch folder.
struct UpdateSettings {
    std::string hostDirectory;
    ModuleVersion offered;
    // Renames a folder, failing when the target exists.
    std::function<bool(const std::string& from, const std::string& to)> renameFolder = glossan::renameFolder;
};

// The start-up check: when the module folder is missing or older than the
// offered version, downloads the manifest's files from the host's current
// server into "Glossan_Tmp" and stages them as "Glossan_New" for the next
// restart. Everything the user must know goes to host message boxes.
class UpdateFlow {
public:
    explicit UpdateFlow(UpdateSettings settings);
    ~UpdateFlow();

    void run();

    static constexpr char kServerFolder[] = "/download/plugins/glossan/";
    static constexpr char kManifestName[] = "files.txt";

private:
    bool installNeeded() const;
    // Downloads every name of the manifest; false (after telling the user)
    // at the first failure or on cancellation.
    bool downloadAll(const Manifest& manifest);
    // Moves the download folder to "Glossan_New"; true when it got there.
    bool stage();
    std::string folder(const char* name) const;

    UpdateSettings m_settings;
    std::unique_ptr<CProgress> m_progress;
};

}  // namespace glossan
