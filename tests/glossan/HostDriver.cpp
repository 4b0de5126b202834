// A stand-in host for tests that need the installer in processes of its
// own: it loads the plug-in library and calls its start-up export the way
// a host does, with the recording host functions linked in and exported.
// Message boxes go to standard output, one a line ("\n" written as "\\n");
// the profile is a "key=value" file read at start and replaced at the end.
//
//   glossan_host_driver LIBRARY SERVER PROFILE [--go FILE] [--ready FILE]
//                       [--file-size-limit BYTES]
//
// --ready is created once the library is loaded; --go is waited for (at
// most 30 s) before start-up runs, so that several drivers start together.
#include "FakeHost.h"

#include <QApplication>

#include <dlfcn.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace {

bool fileExists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

void readProfile(const std::string& path) {
    std::ifstream file(path);
    for (std::string line; std::getline(file, line);) {
        const size_t equals = line.find('=');
        if (equals != std::string::npos) fakeHost().profile[line.substr(0, equals)] = line.substr(equals + 1);
    }
}

void writeProfile(const std::string& path) {
    const std::string partial = path + ".part." + std::to_string(getpid());
    {
        std::ofstream file(partial);
        for (const auto& [key, value] : fakeHost().profile) file << key << "=" << value << "\n";
    }
    std::rename(partial.c_str(), path.c_str());
}

std::string oneLine(const std::string& text) {
    std::string line;
    for (const char c : text) line += c == '\n' ? std::string("\\n") : std::string(1, c);
    return line;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s LIBRARY SERVER PROFILE [options]\n", argv[0]);
        return 2;
    }
    std::string go, ready;
    for (int i = 4; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--go") == 0) go = argv[i + 1];
        if (std::strcmp(argv[i], "--ready") == 0) ready = argv[i + 1];
        if (std::strcmp(argv[i], "--file-size-limit") == 0) {
            // A full disk, as a file that may grow no further. The signal
            // keeps its default (ending the process): the installer itself
            // must turn the write into an ordinary failure.
            const rlim_t limit = std::strtoull(argv[i + 1], nullptr, 10);
            const rlimit bound{limit, limit};
            if (setrlimit(RLIMIT_FSIZE, &bound) != 0) return 2;
        }
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    readProfile(argv[3]);
    fakeHost().currentServer = argv[2];
    void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    auto* initialize = library ? reinterpret_cast<void (*)()>(dlsym(library, "QVPluginInitialize")) : nullptr;
    if (!initialize) {
        std::fprintf(stderr, "cannot load %s: %s\n", argv[1], dlerror());
        return 2;
    }
    if (!ready.empty()) std::ofstream(ready).close();
    for (int wait = 0; !go.empty() && !fileExists(go) && wait < 30000; ++wait) usleep(1000);

    initialize();

    for (const std::string& box : fakeHost().messageBoxes) std::printf("%s\n", oneLine(box).c_str());
    std::fflush(stdout);
    writeProfile(argv[3]);
    dlclose(library);
    return 0;
}
