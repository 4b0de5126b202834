// Host settings the plug-ins read through host functions: the current
// server and the per-user profile, across a restart of the host.
#include "HostWindow.h"

#include "QVHostApi.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <memory>
#include <string>

namespace {

std::string takeString(char* text) {
    std::string value = text ? text : "(null)";
    QVFree(text);
    return value;
}

std::unique_ptr<quarvia::HostWindow> makeHost(const QString& profile, const QString& server = QString()) {
    quarvia::HostOptions options;
    options.pluginFolder = QString();
    options.profilePath = profile;
    options.offscreen = true;
    options.server = server;
    return std::make_unique<quarvia::HostWindow>(options);
}

TEST(CurrentServer, CommandLineServerLosesItsTrailingSlash) {
    QTemporaryDir dir;
    auto host = makeHost(dir.filePath("profile.ini"), "http://127.0.0.1:8123/");
    EXPECT_EQ(takeString(QVGetCurrentServer()), "http://127.0.0.1:8123");
}

TEST(CurrentServer, FallsBackToTheHostSettings) {
    QTemporaryDir dir;
    auto host = makeHost(dir.filePath("profile.ini"));
    host->profile().write("Quarvia", 0, "Settings", "Server", QString("https://pacs.example:9443//"));
    EXPECT_EQ(takeString(QVGetCurrentServer()), "https://pacs.example:9443");
}

TEST(Profile, SurvivesARestartOfTheHost) {
    QTemporaryDir dir;
    const QString file = dir.filePath("profile.ini");
    {
        auto host = makeHost(file);
        QVWriteProfileInt("Orlinex Quarvia Vexel 3D demo", 0, "v3d", "m_iSegLow", -250);
        QVWriteProfileBool("Orlinex Quarvia Vexel 3D demo", 0, "v3d", "m_bNoTumble", 1);
        QVWriteProfileString("Glossan Spellchecker Module", 1, "Glossan Module", "Name", "a/b\\c = d");
        QVWriteProfileInt("Glossan Spellchecker Module", 1, "Glossan Module", "CurrentVersionMS", 7);
    }
    auto host = makeHost(file);
    EXPECT_EQ(QVGetProfileInt("Orlinex Quarvia Vexel 3D demo", 0, "v3d", "m_iSegLow", 0), -250);
    EXPECT_EQ(QVGetProfileBool("Orlinex Quarvia Vexel 3D demo", 0, "v3d", "m_bNoTumble", 0), 1);
    EXPECT_EQ(takeString(QVGetProfileString("Glossan Spellchecker Module", 1, "Glossan Module", "Name", "")), "a/b\\c = d");
    EXPECT_EQ(QVGetProfileInt("Glossan Spellchecker Module", 1, "Glossan Module", "CurrentVersionMS", 0), 7);
    // Keys are told apart by plug-in, scope and section.
    EXPECT_EQ(QVGetProfileInt("Glossan Spellchecker Module", 0, "Glossan Module", "CurrentVersionMS", -1), -1);
    EXPECT_EQ(QVGetProfileInt("Orlinex Quarvia Vexel 3D demo", 0, "other", "m_iSegLow", 3), 3);
}

}  // namespace
