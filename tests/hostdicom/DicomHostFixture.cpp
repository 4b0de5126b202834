#include "DicomHostFixture.h"

#include <QDir>
#include <QProcess>

namespace hosttest {

std::string dciodvfyErrors(const QString& file) {
    QProcess process;
    process.start("dciodvfy", {file});
    if (!process.waitForFinished(60000)) return "dciodvfy did not finish";
    QStringList errors;
    const QString out = QString::fromLocal8Bit(process.readAllStandardError() + process.readAllStandardOutput());
    for (const QString& line : out.split('\n'))
        if (line.startsWith("Error")) errors << line;
    return errors.join('\n').toStdString();
}

bool writePhantom(const QString& folder, const QStringList& arguments) {
    QDir().mkpath(folder);
    QProcess process;
    process.start(PHANTOM_TOOL, QStringList{"--out", folder} + arguments);
    return process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
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
