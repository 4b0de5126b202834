// The 3D window's segmentation saved as a DICOM Segmentation into the study
// of the reference host and read back: the file is valid and, read on its
// own, equals the mask; opened again after a reset it gives the same mask
// and picture; a window following the first takes it over; a segmentation
// of another series is refused with the reason.
#include "DicomHostFixture.h"

#include "CellGrid.h"
#include "HostCell.h"
#include "collab/SegHistoryReplay.h"
#include "dicom/StudyDatabase.h"
#include "plugin/frame/CBackground.h"
#include "plugin/frame/CPerspective.h"
#include "wire/SegRecords.h"
#include "segment/SegmentMask.h"
#include "view/ViewCommands.h"
#include "view/ViewSegmentation.h"
#include "view/ViewToolCommands.h"
#include "volume/CVolume.h"

#include "QVMessage.h"

#include <QDir>
#include <QFile>
#include <QProcess>

using namespace v3d;
using hosttest::DicomHost;
using hosttest::dciodvfyErrors;

namespace {

struct RecordingPeers : PeerSender {
    void sendToPeers(const std::string& text) override { sent.push_back(text); }
    std::vector<std::string> sent;
};

std::vector<uint8_t> keptBits(const CVolume& v) {
    const size_t count = size_t(v.sizeX) * v.sizeY * v.sizeZ;
    std::vector<uint8_t> kept(count);
    for (size_t i = 0; i < count; ++i) kept[i] = (v.maskSlices.front()[i] & kKeptBit) ? 1 : 0;
    return kept;
}

size_t keptCount(const CVolume& v) {
    size_t n = 0;
    for (uint8_t k : keptBits(v)) n += k;
    return n;
}

class SegmentationDicom : public DicomHost {
protected:
    void TearDown() override {
        for (CBackground* f : frames) delete f;
        DicomHost::TearDown();
    }
    // The first group of the folder in cell `panelCell`, dropped into a new 3D window in `cell`.
    CBackground* windowOn(const QString& folder, int panelCell, int cell) {
        const size_t before = host->database().groups().size();
        host->openPaths({folder});
        const auto groups = host->database().groups();
        if (groups.size() == before) return nullptr;
        if (!host->grid().putGroupInCell(groups[before]->id, panelCell)) return nullptr;
        CBackground* f = CBackground::createInCell(host->grid().cell(cell));
        if (!f) return nullptr;
        frames.push_back(f);
        f->setPeerSender(&peers);
        f->view()->resize(300, 300);
        qv::sendMessage(f->handle(), QV_MSG_DROP_PANEL,
                        reinterpret_cast<uintptr_t>(quarvia::CellGrid::handleOf(host->grid().cell(panelCell)->panel())), 0);
        return f->series.m_bHasSeries ? f : nullptr;
    }
    std::vector<uint8_t> picture(CBackground* f) {
        f->view()->renderForExport(512, 512, nullptr);
        return std::vector<uint8_t>(f->view()->imageBits(),
                                    f->view()->imageBits() + ViewCore::kImageSize * ViewCore::kRowBytes);
    }
    QString save(CBackground* f, const char* label) {
        SegSegmentDescription d;
        d.label = label;
        std::string uid, why;
        EXPECT_TRUE(f->saveSegmentationAsDicom(d, uid, why)) << why;
        return QDir(host->outputFolder()).filePath(QString::fromStdString(uid) + ".dcm");
    }
    // The independent reading: 0 equal, 1 different, 77 without pydicom.
    int framesCheck(const QString& seg, const CVolume& v) {
        const std::vector<uint8_t> kept = keptBits(v);
        const QString raw = dir.filePath("mask.raw");
        QFile out(raw);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(reinterpret_cast<const char*>(kept.data()), static_cast<qint64>(kept.size()));
        out.close();
        // Slices in the file's order run along the normal of the image plane, or against it.
        const Vec3 normal = cross(v.axisMatrix.column(0), v.axisMatrix.column(1));
        std::vector<std::string> args{TOOLS_DIR "/seg_frames_check.py", seg.toStdString(), raw.toStdString(),
                                      std::to_string(v.sizeX), std::to_string(v.sizeY), std::to_string(v.sizeZ)};
        if (dot(normal, v.axisMatrix.column(2)) < 0) args.push_back("--descending");
        std::string said;
        const int code = hosttest::runProgram("/usr/bin/python3", args, &said);
        if (code != 0 && code != 77) ADD_FAILURE() << said;
        return code;
    }
    // Export, reset, import: the same kept voxels and the same refined picture.
    void roundTrip(CBackground* f, const char* label) {
        const std::vector<uint8_t> mask = keptBits(*f->volume);
        const std::vector<uint8_t> before = picture(f);
        const QString file = save(f, label);
        EXPECT_EQ(dciodvfyErrors(file), "");
        const int checked = framesCheck(file, *f->volume);
        if (checked == 77) std::printf("pydicom or numpy missing: frames not read independently\n");
        f->dispatchCommand(ID_RESET_SEGMENTATION);
        ASSERT_NE(keptBits(*f->volume), mask);
        std::string why;
        ASSERT_TRUE(f->openSegmentationFile(file.toStdString(), why)) << why;
        EXPECT_EQ(keptBits(*f->volume), mask);
        EXPECT_EQ(picture(f), before);
    }

    std::vector<CBackground*> frames;
    RecordingPeers peers;
};

TEST_F(SegmentationDicom, PhantomOutlineGoesOutAndComesBackTheSameAndAFollowerTakesItOver) {
    CBackground* f = windowOn(phantom("head", {"--size", "48x44x30", "--spacing", "1.2", "--step", "1.5"}), 0, 1);
    ASSERT_NE(f, nullptr);
    const std::vector<Vec3> square{{12, 10, -30}, {36, 10, -30}, {36, 34, -30}, {12, 34, -30}};
    cutWithOutline(*f->view(), square, Vec3(0, 0, 1), -20.0f, 100, true);
    const size_t kept = keptCount(*f->volume);
    ASSERT_GT(kept, 0u);
    ASSERT_LT(kept, size_t(48 * 44 * 30));
    roundTrip(f, "Head");

    // A second window on the same series follows what the first one sends.
    peers.sent.clear();
    f->dispatchCommand(ID_RESET_SEGMENTATION);
    std::string why;
    CBackground* follower = CBackground::createInCell(host->grid().cell(2));
    ASSERT_NE(follower, nullptr);
    frames.push_back(follower);
    qv::sendMessage(follower->handle(), QV_MSG_DROP_PANEL,
                    reinterpret_cast<uintptr_t>(quarvia::CellGrid::handleOf(host->grid().cell(0)->panel())), 0);
    const QString file = save(f, "Again");
    ASSERT_TRUE(f->openSegmentationFile(file.toStdString(), why)) << why;
    ASSERT_FALSE(peers.sent.empty());
    follower->handlePeerText(peers.sent.back().c_str());
    EXPECT_EQ(keptBits(*follower->volume), keptBits(*f->volume));
    EXPECT_EQ(follower->view()->m_segHistory, f->view()->m_segHistory);

    // The study lists the segmentations beside its series.
    EXPECT_EQ(host->database().objects(host->database().studyUid(0)).size(), 2u);

    // A segmentation of this series means nothing on another one.
    CBackground* other = windowOn(phantom("other", {"--size", "48x44x30", "--spacing", "1.2", "--step", "1.5"}), 3, 3);
    ASSERT_NE(other, nullptr);
    const std::vector<uint8_t> otherMask = keptBits(*other->volume);
    EXPECT_FALSE(other->openSegmentationFile(file.toStdString(), why));
    EXPECT_NE(why.find("frame of reference"), std::string::npos) << why;
    EXPECT_EQ(keptBits(*other->volume), otherMask);
    EXPECT_TRUE(other->view()->m_segHistory.empty());
}

// A segmentation file nested ten thousand sequences deep, dropped from the
// desktop onto the 3D window: the host's walk keeps it from the plug-in's
// reader (which would overflow its stack), and opening it says why.
TEST_F(SegmentationDicom, FileNestedTenThousandDeepDroppedOnTheWindowIsRefusedNotRead) {
    CBackground* f = windowOn(phantom("ph", {"--size", "32x32x16"}), 0, 1);
    ASSERT_NE(f, nullptr);
    std::string deep(128, '\0');
    deep += "DICM";
    auto put16 = [&deep](uint16_t v) { deep += char(v & 0xFF), deep += char(v >> 8); };
    put16(0x0002), put16(0x0010), deep += "UI", put16(20), deep += std::string("1.2.840.10008.1.2.1") + '\0';
    for (int i = 0; i < 10000; ++i) {
        put16(0x0062), put16(0x0002), deep += "SQ", put16(0), put16(0xFFFF), put16(0xFFFF);
        put16(0xFFFE), put16(0xE000), put16(0xFFFF), put16(0xFFFF);
    }
    QFile file(dir.filePath("deep-seg.dcm"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(deep.data(), qint64(deep.size()));
    file.close();
    host->grid().cell(1)->setPluginWindow(f, "Vexel 3D");  // as the router holds it
    EXPECT_EQ(host->offerFilesToWindow({file.fileName()}, 1), QStringList{file.fileName()});
    host->grid().cell(1)->setPluginWindow(nullptr);
    const QStringList problems = host->openPaths({file.fileName()});
    ASSERT_EQ(problems.size(), 1);
    EXPECT_TRUE(problems[0].contains("nested more than 128 deep")) << problems[0].toStdString();
}

TEST_F(SegmentationDicom, CorpusChestWithoutItsTableGoesOutAndComesBackTheSame) {
    const QString corpus = hosttest::corpusFolder();
    if (corpus.isEmpty()) GTEST_SKIP() << "no corpus";
    CBackground* f = windowOn(QDir(corpus).filePath("ct-chest-5mm"), 0, 1);
    ASSERT_NE(f, nullptr);
    const CVolume& v = *f->volume;
    // The table: the lowest dense voxel under the middle of the middle slice.
    const int x = v.sizeX / 2, z = v.sizeZ / 2;
    int y = v.sizeY - 1;
    while (y > 0 && v.voxelRows[z][y][x] < v.isoStored) --y;
    ASSERT_GT(y, v.sizeY / 2) << "no table below the body";
    const size_t before = keptCount(v);
    applySegHistory(*f->view(), floodRecords(Vec3(float(x), float(y), float(z)), false, false, {}, v.isoStored, 16383),
                    kReplayEverything);
    const size_t after = keptCount(v);
    EXPECT_LT(after, before);
    EXPECT_GT(after, before * 8 / 10) << "more than the table went";
    roundTrip(f, "Body");
}

}  // namespace
