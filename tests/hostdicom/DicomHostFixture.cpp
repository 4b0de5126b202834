#include "DicomHostFixture.h"

#include <QDir>
#include <sys/wait.h>
#include <unistd.h>

namespace hosttest {

int runProgram(const std::string& program, const std::vector<std::string>& arguments, std::string* output) {
    // fork and exec, not QProcess: Qt starts children in the parent's memory
    // until they run the program, and the child's steps in that time land
    // in ThreadSanitizer's state of the parent (its later locks go unseen,
    // its next thread is taken for a forked child's).
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return -1;
    std::vector<std::string> words{program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        dup2(pipeEnds[1], 1);
        dup2(pipeEnds[1], 2);
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(pipeEnds[1]);
    char buffer[4096];
    for (ssize_t n; (n = read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        if (output) output->append(buffer, static_cast<size_t>(n));
    close(pipeEnds[0]);
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string dciodvfyErrors(const QString& file) {
    std::string said;
    if (runProgram("dciodvfy", {file.toStdString()}, &said) < 0) return "dciodvfy did not run";
    QStringList errors;
    const QString out = QString::fromStdString(said);
    for (const QString& line : out.split('\n'))
        if (line.startsWith("Error")) errors << line;
    return errors.join('\n').toStdString();
}

bool writePhantom(const QString& folder, const QStringList& arguments) {
    QDir().mkpath(folder);
    std::vector<std::string> words{"--out", folder.toStdString()};
    for (const QString& a : arguments) words.push_back(a.toStdString());
    return runProgram(PHANTOM_TOOL, words, nullptr) == 0;
}

QString corpusFolder() {
    const QDir dir(CORPUS_DIR);
    return dir.exists("README.md") ? dir.absolutePath() : QString();
}

std::string take(char* text) {
    std::string value = text ? text : "";
    QVFree(text);
    return value;
}

void DicomHost::SetUp() {
    ASSERT_TRUE(dir.isValid());
    options.pluginFolder = dir.filePath("no-plugins");
    options.profilePath = dir.filePath("profile.ini");
    options.outputFolder = dir.filePath("output");
    options.offscreen = true;
    host = std::make_unique<quarvia::HostWindow>(options);
}

void DicomHost::TearDown() { host.reset(); }

QString DicomHost::phantom(const QString& name, const QStringList& arguments) {
    const QString folder = dir.filePath(name);
    EXPECT_TRUE(writePhantom(folder, arguments)) << name.toStdString();
    return folder;
}

std::vector<std::string> DicomHost::groupIds(int study, int group) {
    std::vector<std::string> ids;
    const std::string uid = take(QVGetStudyUID(study));
    QVGroupHandle g = QVGetGroup(uid.c_str(), group);
    for (int i = 0; i < QVGetImageCount(g); ++i) ids.push_back(take(QVGetGroupImageID(g, i)));
    return ids;
}

QVVolumeRecord* DicomHost::createVolume(const std::vector<std::string>& ids) {
    std::vector<const char*> pointers;
    for (const std::string& id : ids) pointers.push_back(id.c_str());
    return QVCreateVolume(static_cast<int>(pointers.size()), pointers.data(), 3);
}

}  // namespace hosttest
