// The reference host as its own process, capturing from a 3D window while
// the disk fails under it or the process is killed mid-write: the output
// folder never holds a part of an image under an image's name.
#include <gtest/gtest.h>

#include <dcmtk/dcmdata/dctk.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <unistd.h>

#include <memory>

namespace {

class CaptureFault : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(QDir().mkpath(path("output")));
        ASSERT_EQ(QProcess::execute(PHANTOM, {"--out", path("series"), "--size", "96x96x48"}), 0);
        // A 3D window in the second of two large cells, then a quick capture.
        QFile script(path("capture.script"));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(("open " + path("series") +
                      "\nseries 0 0\ncell 1\nmenu &Postprocessing\\Vexel 3D\\&Create\ndrop 0 1\nwait-idle\n"
                      "mouse 1 double 300 300 left\nwait-idle\n")
                         .toUtf8());
    }
    QString path(const QString& name) const { return m_dir.filePath(name); }

    std::unique_ptr<QProcess> startHost(rlim_t fileSizeLimit = RLIM_INFINITY) {
        auto host = std::make_unique<QProcess>();
        host->setChildProcessModifier([fileSizeLimit] {
            const rlimit bound{fileSizeLimit, fileSizeLimit};
            setrlimit(RLIMIT_FSIZE, &bound);
        });
        host->start(QUARVIA_EXECUTABLE, {"--offscreen", "--plugins", VEXEL3D_LIBRARY, "--profile", path("profile.ini"),
                                         "--output", path("output"), "--grid", "2x1", "--window-size", "3200x1600",
                                         "--no-docks", "--script", path("capture.script")});
        return host;
    }

    // Every file of the output folder whose name a reader would take for
    // an image, with its pixel data whole; hidden temporaries are not images.
    void expectOnlyWholeImages() const {
        for (const QString& name : QDir(path("output")).entryList(QDir::Files)) {
            DcmFileFormat file;
            ASSERT_TRUE(file.loadFile(path("output/" + name).toLocal8Bit().constData()).good()) << name.toStdString();
            Uint16 rows = 0, columns = 0, samples = 0, bits = 0;
            DcmDataset& data = *file.getDataset();
            data.findAndGetUint16(DCM_Rows, rows);
            data.findAndGetUint16(DCM_Columns, columns);
            data.findAndGetUint16(DCM_SamplesPerPixel, samples);
            data.findAndGetUint16(DCM_BitsAllocated, bits);
            DcmElement* pixels = nullptr;
            ASSERT_TRUE(data.findAndGetElement(DCM_PixelData, pixels).good()) << name.toStdString();
            EXPECT_GE(pixels->getLength(), Uint32(rows) * columns * samples * (bits / 8)) << name.toStdString();
        }
    }

    QTemporaryDir m_dir;
};

TEST_F(CaptureFault, WriteThatCannotFinishLeavesNoFileAndSaysWhy) {
    // The capture is far larger than the file-size limit: as a full disk,
    // the write fails part-way.
    auto host = startHost(64 * 1024);
    ASSERT_TRUE(host->waitForFinished(120000));
    const std::string errors = host->readAllStandardError().toStdString();
    EXPECT_EQ(host->exitStatus(), QProcess::NormalExit) << errors;
    EXPECT_EQ(host->exitCode(), 0) << errors;
    EXPECT_NE(errors.find("New file not added: cannot write "), std::string::npos) << errors;
    EXPECT_NE(errors.find(": the file is larger than this system allows"), std::string::npos) << errors;
    EXPECT_EQ(QDir(path("output")).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList{});
}

// Killed the moment a file appears in the output folder, three times over
// (a write may win the race to the kill).
TEST_F(CaptureFault, KillMidWriteLeavesNoPartOfAnImage) {
    for (int run = 0; run < 3; ++run) {
        const int watch = inotify_init1(IN_CLOEXEC);
        ASSERT_GE(watch, 0);
        ASSERT_GE(inotify_add_watch(watch, path("output").toLocal8Bit().constData(), IN_CREATE | IN_MOVED_TO), 0);
        auto host = startHost();
        ASSERT_TRUE(host->waitForStarted(30000));
        pollfd event{watch, POLLIN, 0};
        bool killed = false;
        for (int waited = 0; waited < 1200 && !killed && host->state() != QProcess::NotRunning; ++waited)
            if (poll(&event, 1, 100) > 0) killed = ::kill(static_cast<pid_t>(host->processId()), SIGKILL) == 0;
        close(watch);
        ASSERT_TRUE(host->waitForFinished(30000));
        ASSERT_TRUE(killed) << "no capture was written: " << host->readAllStandardError().toStdString();
    }
    expectOnlyWholeImages();
}

}  // namespace
