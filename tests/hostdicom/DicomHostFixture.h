// A host with no plug-ins over phantom series written into a temporary folder.
#pragma once

#include "HostWindow.h"

#include "QVHostApi.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <string>
#include <vector>

namespace hosttest {

// Runs the phantom tool; false when it fails.
bool writePhantom(const QString& folder, const QStringList& arguments);
// Runs a helper program to its end; its exit code (-1 when it could not
// run or did not end normally), with what it wrote in output when asked.
int runProgram(const std::string& program, const std::vector<std::string>& arguments, std::string* output);
// The shared corpus folder, or empty when it is absent.
QString corpusFolder();
// Takes a host string and frees it.
std::string take(char* text);
// dciodvfy's complaints that are errors; empty when the file is valid.
std::string dciodvfyErrors(const QString& file);

class DicomHost : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // A phantom series in its own sub-folder; answers the folder.
    QString phantom(const QString& name, const QStringList& arguments);
    // The ids of the first group that the database has for a study index.
    std::vector<std::string> groupIds(int study = 0, int group = 0);
    QVVolumeRecord* createVolume(const std::vector<std::string>& ids);

    QTemporaryDir dir;
    std::unique_ptr<quarvia::HostWindow> host;
    quarvia::HostOptions options;
};

}  // namespace hosttest
