// Captures of a 3D window in the reference host: valid DICOM files carrying
// the window's state, exports as single images and rotation series, a
// dropped capture reopening its series in the captured pose, and the saved
// state of a layout.
#include "DicomHostFixture.h"

#include "CellGrid.h"
#include "HostCell.h"
#include "ImagePanel.h"
#include "collab/PeerState.h"
#include "collab/SessionText.h"
#include "collab/StateText.h"
#include "dicom/StudyDatabase.h"
#include "interact/CapturePixels.h"
#include "plugin/frame/CBackground.h"
#include "plugin/dialogs/CExportDialog.h"
#include "plugin/frame/CPerspective.h"
#include "view/ViewCommands.h"
#include "render/Camera.h"
#include "volume/CVolume.h"

#include "QVMessage.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <cstring>

using namespace v3d;
using hosttest::DicomHost;
using hosttest::dciodvfyErrors;
using hosttest::take;

namespace {


struct RecordingPeers : PeerSender {
    void sendToPeers(const std::string& text) override { sent.push_back(text); }
    std::vector<std::string> sent;
};

class Capture : public DicomHost {
protected:
    void SetUp() override {
        DicomHost::SetUp();
        host->openPaths({phantom("head", {"--size", "48x44x30", "--spacing", "1.2", "--step", "1.5"})});
        ASSERT_TRUE(host->grid().putGroupInCell(host->database().groups().front()->id, 0));
        frame = openWindow(1);
        ASSERT_NE(frame, nullptr);
        qv::sendMessage(frame->handle(), QV_MSG_DROP_PANEL,
                        reinterpret_cast<uintptr_t>(quarvia::CellGrid::handleOf(host->grid().cell(0)->panel())), 0);
        ASSERT_EQ(frame->series.m_bHasSeries, 1);
        frame->camera->setZoom(0.3f);
        frame->view()->changeCamera().orbit(1, 35.0f, frame->volume->center(), true);
        frame->view()->changeCamera().orbit(2, 20.0f, frame->volume->center(), true);
    }
    void TearDown() override {
        for (CBackground* f : frames) delete f;
        DicomHost::TearDown();
    }
    CBackground* openWindow(int cell) {
        CBackground* f = CBackground::createInCell(host->grid().cell(cell));
        if (!f) return nullptr;
        f->setPeerSender(&peers);
        f->view()->resize(300, 300);
        frames.push_back(f);
        return f;
    }
    QStringList written() const { return QDir(options.outputFolder).entryList({"*.dcm"}, QDir::Files, QDir::Time); }
    QString fileOf(const std::string& sop) const {
        return QDir(options.outputFolder).filePath(QString::fromStdString(sop) + ".dcm");
    }
    std::string stringTag(const std::string& id, uint16_t group, uint16_t element) {
        return take(QVGetDicomStringArray(QVGetDicomDataSet(id.c_str()), group, element));
    }
    std::string lastImageId() { return frame->capture.lastCaptureSopUid; }
    std::vector<uint8_t> render(CBackground* f) {
        f->view()->renderForExport(512, 512, nullptr);
        return std::vector<uint8_t>(f->view()->imageBits(), f->view()->imageBits() + ViewCore::kImageSize * ViewCore::kRowBytes);
    }

    // A thousandth of the image.
    static constexpr int kEdgePixels = ViewCore::kImageSize * ViewCore::kImageSize / 1000;
    // Pixels that differ between two renders.
    static int differingPixels(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
        int n = 0;
        for (size_t i = 0; i + 2 < a.size() && i + 2 < b.size(); i += 3)
            n += a[i] != b[i] || a[i + 1] != b[i + 1] || a[i + 2] != b[i + 2];
        return n;
    }

    CBackground* frame = nullptr;
    std::vector<CBackground*> frames;
    RecordingPeers peers;
};

TEST_F(Capture, QuickCaptureWritesAValidColourImageCarryingTheWindowState) {
    peers.sent.clear();
    frame->quickCapture();
    ASSERT_EQ(written().size(), 1);
    const std::string id = lastImageId();
    ASSERT_FALSE(id.empty());
    EXPECT_EQ(dciodvfyErrors(fileOf(id)), "");
    EXPECT_EQ(QVImageGetType(id.c_str()), 2);
    EXPECT_EQ(QVImageGetRows(id.c_str()), 512);
    EXPECT_EQ(stringTag(id, 0x0008, 0x103E).rfind("<SSD> ", 0), 0u);
    EXPECT_EQ(stringTag(id, 0x0028, 0x1050), "128");
    EXPECT_EQ(stringTag(id, 0x0018, 0x1018), "Orlinex Quarvia Vexel 3D demo");
    int32_t length = 0;
    uint8_t* blob = QVGetDicomUint8Array(QVGetDicomDataSet(id.c_str()), 0xF215, 0xBA94, &length);
    const std::optional<std::string> state = stateTextOfBlob(blob, static_cast<size_t>(length));
    QVFree(blob);
    ASSERT_TRUE(state);
    EXPECT_EQ(*state, frame->sessionText(true));
    EXPECT_EQ(frame->capture.captureSeriesUid, take(QVGetSeriesUID(id.c_str())));
    EXPECT_NE(frame->capture.captureSeriesUid, take(QVGetSeriesUID(frame->series.firstImageId.c_str())));
    ASSERT_EQ(peers.sent.size(), 1u);
    EXPECT_EQ(peers.sent[0].rfind("J_justspec dummy\nJ_camvectors ", 0), 0u);
    EXPECT_NE(peers.sent[0].find("\nJ_capture 512 512 " + frame->series.firstImageId + " " + id + " " +
                                 frame->capture.captureSeriesUid + " "),
              std::string::npos);
    // A second quick capture with nothing dropped joins the series and deletes nothing.
    frame->quickCapture();
    EXPECT_EQ(written().size(), 2);
    EXPECT_EQ(take(QVGetSeriesUID(lastImageId().c_str())), frame->capture.captureSeriesUid);
    EXPECT_NE(QVGetDicomDataSet(id.c_str()), nullptr);
}

TEST_F(Capture, MipExportWritesGreyFittingTheLargestPixelAndTheViewsWindow) {
    frame->view()->setRenderMode(RENDER_MIP);
    frame->view()->applyWindowLevel(60, 500);
    frame->exportImages(ExportOptions{256, 256, 0, 1, 9, 1});
    ASSERT_EQ(written().size(), 1);
    const std::string id = lastImageId();
    EXPECT_EQ(dciodvfyErrors(fileOf(id)), "");
    EXPECT_EQ(QVImageGetType(id.c_str()), 1);
    EXPECT_EQ(QVImageGetColumns(id.c_str()), 256);
    EXPECT_EQ(stringTag(id, 0x0028, 0x1050), "60");
    EXPECT_EQ(stringTag(id, 0x0028, 0x1051), "500");
    EXPECT_EQ(stringTag(id, 0x0008, 0x103E).rfind("<MIP> ", 0), 0u);
    // The same render again gives the largest value the file was written from.
    frame->view()->renderForExport(256, 256, nullptr);
    const CapturedPixels pixels = takeCapturePixels(*frame->view(), 256, 256);
    ASSERT_GT(pixels.largest, 1);
    const int bits = std::stoi(stringTag(id, 0x0028, 0x0101));
    EXPECT_EQ(bits, bitsStoredFor(pixels.largest));
    EXPECT_GE(1u << bits, pixels.largest);
    EXPECT_LT(1u << (bits - 1), pixels.largest);
}

TEST_F(Capture, RotationSeriesGoesIntoAFreshSeriesAndRestoresTheCamera) {
    frame->quickCapture();
    const std::string series = frame->capture.captureSeriesUid;
    const Camera before = *frame->camera;
    peers.sent.clear();
    frame->exportImages(ExportOptions{256, 256, 90, 1, 15, 1});
    EXPECT_EQ(written().size(), 1 + 7);
    EXPECT_EQ(peers.sent.size(), 7u);
    const std::string last = lastImageId();
    const std::string rotationSeries = take(QVGetSeriesUID(last.c_str()));
    EXPECT_NE(rotationSeries, series);
    EXPECT_EQ(frame->capture.captureSeriesUid, series);
    EXPECT_EQ(frame->camera->position, before.position);
    EXPECT_EQ(frame->camera->view, before.view);
    EXPECT_EQ(frame->camera->up, before.up);
    int inRotation = 0;
    for (const QString& file : written()) {
        EXPECT_EQ(dciodvfyErrors(QDir(options.outputFolder).filePath(file)), "") << file.toStdString();
        inRotation += take(QVGetSeriesUID(QFileInfo(file).completeBaseName().toUtf8().constData())) == rotationSeries;
    }
    EXPECT_EQ(inRotation, 7);
}

TEST_F(Capture, FailedCreationShowsTheMessageAndSendsNothing) {
    frame->series.firstImageId = "1.2.3.404";
    peers.sent.clear();
    EXPECT_FALSE(frame->captureAndShare(256, 256, false));
    ASSERT_FALSE(host->messageLog().isEmpty());
    EXPECT_EQ(host->messageLog().last(), "Error: Failed to create DICOM image");
    EXPECT_TRUE(peers.sent.empty());
    EXPECT_TRUE(frame->capture.captureSeriesUid.empty());
}

TEST_F(Capture, DroppedCaptureReopensTheSeriesInTheCapturedPoseAndIsReplacedInPlace) {
    frame->view()->setRenderMode(RENDER_OPQ);
    frame->view()->changeVolume().setIsoValue(200);
    frame->quickCapture();
    const std::string captured = lastImageId();
    const std::vector<uint8_t> original = render(frame);
    ASSERT_GT(std::count_if(original.begin(), original.end(), [](uint8_t b) { return b != 0; }), 10000);
    // The capture is now shown in cell 1's panel; show it in cell 2 and drop it on a new window in cell 3.
    ASSERT_TRUE(host->grid().putGroupInCell(host->database().groupOfImage(captured)->id, 2));
    CBackground* second = openWindow(3);
    peers.sent.clear();
    qv::sendMessage(second->handle(), QV_MSG_DROP_PANEL,
                    reinterpret_cast<uintptr_t>(quarvia::CellGrid::handleOf(host->grid().cell(2)->panel())), 0);
    ASSERT_EQ(second->series.m_bHasSeries, 1);
    EXPECT_EQ(second->series.imageIds, frame->series.imageIds);
    EXPECT_EQ(second->view()->m_iRenderMode, RENDER_OPQ);
    EXPECT_EQ(second->capture.replaceableImageId, captured);
    EXPECT_EQ(second->capture.captureSeriesUid, frame->capture.captureSeriesUid);
    ASSERT_EQ(peers.sent.size(), 1u);
    EXPECT_NE(peers.sent[0].find("\nprevseriesid " + frame->capture.captureSeriesUid + "\n"), std::string::npos);
    // The state text keeps the camera to six decimals: a surface edge may
    // fall on the other side of a pixel here and there.
    EXPECT_LE(differingPixels(render(second), original), kEdgePixels) << "the same pose renders the same pixels";

    const std::string sop = take(QVImageSOPInstanceUID(captured.c_str()));
    second->quickCapture();
    const std::string replacement = second->capture.lastCaptureSopUid;
    EXPECT_EQ(replacement, sop);
    EXPECT_EQ(take(QVGetSeriesUID(replacement.c_str())), frame->capture.captureSeriesUid);
    EXPECT_EQ(written().size(), 1) << "the replaced file is the same file";
}

TEST_F(Capture, SavedStateRecreatesTheWindowInItsPose) {
    frame->view()->setRenderMode(RENDER_MIP);
    char* text = nullptr;
    qv::sendMessage(frame->handle(), QV_MSG_GET_STATE, 1, reinterpret_cast<intptr_t>(&text));
    ASSERT_NE(text, nullptr);
    const std::string state = text;
    std::free(text);
    EXPECT_EQ(state, frame->sessionText(true));
    CBackground* restored = openWindow(2);
    EXPECT_EQ(restored->handlePeerText(state.c_str()), 1);
    EXPECT_EQ(buildStateText(*restored->view(), restored->capture, kSavedStateMask),
              buildStateText(*frame->view(), frame->capture, kSavedStateMask));
    EXPECT_LE(differingPixels(render(restored), render(frame)), kEdgePixels);

    char* compact = nullptr;
    qv::sendMessage(frame->handle(), QV_MSG_GET_STATE, 0, reinterpret_cast<intptr_t>(&compact));
    ASSERT_NE(compact, nullptr);
    EXPECT_EQ(std::string(compact).rfind("version 0\ngroup 0 0\nJ_camera ", 0), 0u);
    CBackground* fromGroup = openWindow(3);
    EXPECT_EQ(fromGroup->handlePeerText(compact), 1);
    std::free(compact);
    EXPECT_EQ(fromGroup->series.imageIds, frame->series.imageIds);
    EXPECT_EQ(fromGroup->view()->m_iRenderMode, RENDER_MIP);
}

TEST_F(Capture, ExportDialogStartsAtItsDefaultsAndSeriesBoxEnablesTheRotation) {
    CExportDialog dialog(frame);
    EXPECT_EQ(dialog.resolution()->currentText(), "384x384");
    EXPECT_FALSE(dialog.replaceOriginal()->isEnabled());
    EXPECT_FALSE(dialog.direction()->isEnabled());
    ExportOptions o = dialog.options();
    EXPECT_EQ(o.width, 384);
    EXPECT_EQ(o.rotation, 0);
    EXPECT_EQ(exportImageCount(o), 1);
    dialog.rotationSeries()->setChecked(true);
    EXPECT_TRUE(dialog.step()->isEnabled());
    o = dialog.options();
    EXPECT_EQ(o.rotation, 180);
    EXPECT_EQ(o.step, 9);
    EXPECT_EQ(o.axis, 1);
    EXPECT_EQ(o.sign, 1);
    EXPECT_EQ(exportImageCount(o), 21);
    dialog.direction()->setCurrentText("Down");
    dialog.totalRotation()->setCurrentText("360");
    dialog.step()->setCurrentText("15");
    o = dialog.options();
    EXPECT_EQ(o.axis, 2);
    EXPECT_EQ(o.sign, -1);
    EXPECT_EQ(exportImageCount(o), 24);
    dialog.totalRotation()->setCurrentText("90");
    EXPECT_EQ(exportImageCount(dialog.options()), 7);
}

// With the camera the export put back: a rotation series leaves no peer
// at its last image's pose.
TEST_F(Capture, CaptureCommandSendsTheCameraAndCaptureLineAlsoWhenCancelled) {
    peers.sent.clear();
    QTimer::singleShot(0, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<CExportDialog*>(w)) d->reject();
    });
    frame->dispatchCommand(ID_CAPTURE);
    EXPECT_TRUE(written().isEmpty());
    ASSERT_EQ(peers.sent.size(), 1u);
    EXPECT_EQ(peers.sent[0].rfind("J_justspec dummy\nJ_camvectors ", 0), 0u) << peers.sent[0];
    EXPECT_NE(peers.sent[0].find("\nJ_capture "), std::string::npos) << peers.sent[0];
}

TEST_F(Capture, PeersCaptureLineCreatesTheSameImageAndSendsNothingBack) {
    peers.sent.clear();
    const std::string text = "J_justspec dummy\nJ_capture 384 384 " + frame->series.firstImageId +
                             " 1.2.826.0.1.3680043.9.999.77 1.2.826.0.1.3680043.9.999.78 5\n";
    QByteArray bytes(text.c_str());
    qv::sendMessage(frame->handle(), QV_MSG_PEER_DATA, reinterpret_cast<uintptr_t>(bytes.data()), bytes.size());
    const std::string id = "1.2.826.0.1.3680043.9.999.77";
    ASSERT_NE(QVGetDicomDataSet(id.c_str()), nullptr);
    EXPECT_EQ(take(QVGetSeriesUID(id.c_str())), "1.2.826.0.1.3680043.9.999.78");
    EXPECT_EQ(stringTag(id, 0x0020, 0x0011), "5");
    EXPECT_EQ(QVImageGetColumns(id.c_str()), 384);
    EXPECT_EQ(dciodvfyErrors(fileOf(id)), "");
    EXPECT_EQ(frame->capture.captureSeriesUid, "1.2.826.0.1.3680043.9.999.78");
    EXPECT_TRUE(peers.sent.empty());
}

// Every message carries the whole segmentation history: a text beyond the
// 16 KiB a fixed buffer would hold is still read whole, up to the cap.
TEST_F(Capture, PeerTextBeyond16KiBIsReadWholeAndBeyondTheCapRefusedWhole) {
    std::string history;
    for (int i = 0; history.size() < 20000; ++i)
        history += "SEGBEGIN 1.000000 1.000000 1.000000 1 0 0 0 " + std::to_string(10000 + i) + " 16383JSEGENDJ";
    const std::string text = "J_justspec dummy\nJ_seghistory " + history + "\nJ_renderer 1\n";
    QByteArray bytes(text.c_str());
    qv::sendMessage(frame->handle(), QV_MSG_PEER_DATA, reinterpret_cast<uintptr_t>(bytes.data()), bytes.size());
    EXPECT_EQ(frame->view()->m_iRenderMode, RENDER_MIP);

    std::string huge = "J_justspec dummy\nJ_renderer 2\n";
    huge.resize(kMaxPeerTextBytes + 1, ' ');
    QByteArray hugeBytes(huge.data(), static_cast<qsizetype>(huge.size()));
    qv::sendMessage(frame->handle(), QV_MSG_PEER_DATA, reinterpret_cast<uintptr_t>(hugeBytes.data()), hugeBytes.size());
    EXPECT_EQ(frame->view()->m_iRenderMode, RENDER_MIP);
}

}  // namespace
