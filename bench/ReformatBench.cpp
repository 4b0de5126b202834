// Paging reformatted planes in the host: one step of a plane through the
// 512 x 512 x 300 synthetic CT (0.7 mm pixels, 1 mm slices), sampled and
// turned into the picture the panel draws, as a panel does on each step.
// Also the corpus chest CT's coronal plane when the corpus is there.

#include "SyntheticCT.h"

#include "ImageRender.h"
#include "dicom/DicomImage.h"
#include "dicom/StudyDatabase.h"
#include "dicom/VolumeRefusal.h"
#include "reading/ReformatVolume.h"

#include <QApplication>
#include <QDir>

#include <dcmtk/dcmdata/dctk.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

using namespace quarvia;

namespace {

constexpr int kX = 512, kY = 512, kZ = 300;

std::unique_ptr<DcmFileFormat> slice(const std::vector<uint16_t>& values, int k) {
    auto file = std::make_unique<DcmFileFormat>();
    DcmDataset& d = *file->getDataset();
    char uid[100];
    d.putAndInsertString(DCM_SOPClassUID, UID_CTImageStorage);
    d.putAndInsertString(DCM_SOPInstanceUID, dcmGenerateUniqueIdentifier(uid));
    d.putAndInsertString(DCM_StudyInstanceUID, "1.2.826.0.1.3680043.9.7781.77");
    d.putAndInsertString(DCM_SeriesInstanceUID, "1.2.826.0.1.3680043.9.7781.77.1");
    d.putAndInsertString(DCM_Modality, "CT");
    d.putAndInsertString(DCM_PhotometricInterpretation, "MONOCHROME2");
    d.putAndInsertUint16(DCM_SamplesPerPixel, 1);
    d.putAndInsertUint16(DCM_Rows, kY);
    d.putAndInsertUint16(DCM_Columns, kX);
    d.putAndInsertUint16(DCM_BitsAllocated, 16);
    d.putAndInsertUint16(DCM_BitsStored, 12);
    d.putAndInsertUint16(DCM_HighBit, 11);
    d.putAndInsertUint16(DCM_PixelRepresentation, 0);
    char position[64];
    std::snprintf(position, sizeof position, "0\\0\\%d", k);
    d.putAndInsertString(DCM_ImagePositionPatient, position);
    d.putAndInsertString(DCM_ImageOrientationPatient, "1\\0\\0\\0\\1\\0");
    d.putAndInsertString(DCM_PixelSpacing, "0.7\\0.7");
    d.putAndInsertString(DCM_RescaleIntercept, "-1024");
    d.putAndInsertString(DCM_RescaleSlope, "1");
    d.putAndInsertUint16Array(DCM_PixelData, values.data() + size_t(k) * kX * kY, kX * kY);
    return file;
}

struct Loaded {
    StudyDatabase database;
    std::unique_ptr<ReformatVolume> volume;
};

Loaded& synthetic() {
    static std::unique_ptr<Loaded> loaded;
    if (loaded) return *loaded;
    loaded = std::make_unique<Loaded>();
    const std::vector<uint16_t> values = makeSyntheticCT(kX, kY, kZ);
    for (int k = 0; k < kZ; ++k) {
        QString error;
        loaded->database.addImage(DicomImage::adopt(slice(values, k), QString(), error));
    }
    VolumeRefusal refusal;
    loaded->volume = ReformatVolume::build(loaded->database, *loaded->database.groups().front(), refusal);
    return *loaded;
}

void pageSteps(benchmark::State& state, ReformatVolume& volume, PlaneKind kind, SlabMode slab, double turn) {
    PlaneAxes axes = kPatientAxes;
    for (Vec3d& a : axes) a = rotated(a, {0, 0, 1}, turn);
    Vec3d point = volume.centre();
    std::vector<float> values;
    int step = 0, pixels = 0;
    for (auto _ : state) {
        // Back and forth over forty planes around the middle.
        const ImagePlane plane = volume.planeThrough(point, axes, kind);
        const double move = ((step++ / 40) % 2 ? -1 : 1) * plane.step;
        for (int i = 0; i < 3; ++i) point[size_t(i)] += move * plane.normal()[size_t(i)];
        volume.sample(plane, slab, 10, values);
        const QImage picture = renderValues(values.data(), plane.columns, plane.rows, 40, 400);
        benchmark::DoNotOptimize(picture.constBits());
        pixels = plane.columns * plane.rows;
    }
    state.counters["pixels"] = pixels;
}

void BM_SyntheticCoronal(benchmark::State& s) { pageSteps(s, *synthetic().volume, PlaneKind::Coronal, SlabMode::Off, 0); }
void BM_SyntheticSagittal(benchmark::State& s) { pageSteps(s, *synthetic().volume, PlaneKind::Sagittal, SlabMode::Off, 0); }
void BM_SyntheticAxial(benchmark::State& s) { pageSteps(s, *synthetic().volume, PlaneKind::Axial, SlabMode::Off, 0); }
void BM_SyntheticObliqueCoronal(benchmark::State& s) { pageSteps(s, *synthetic().volume, PlaneKind::Coronal, SlabMode::Off, 0.5); }
void BM_SyntheticCoronalMip10mm(benchmark::State& s) { pageSteps(s, *synthetic().volume, PlaneKind::Coronal, SlabMode::Mip, 0); }

void BM_ChestCoronal(benchmark::State& state) {
    static Loaded chest;
    static bool tried = false;
    if (!tried) {
        tried = true;
        chest.database.addPaths({QStringLiteral(CORPUS_DIR "/ct-chest-5mm")});
        VolumeRefusal refusal;
        if (!chest.database.groups().empty())
            chest.volume = ReformatVolume::build(chest.database, *chest.database.groups().front(), refusal);
    }
    if (!chest.volume) return state.SkipWithError("corpus chest CT absent");
    pageSteps(state, *chest.volume, PlaneKind::Coronal, SlabMode::Off, 0);
}

BENCHMARK(BM_SyntheticCoronal)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SyntheticSagittal)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SyntheticAxial)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SyntheticObliqueCoronal)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SyntheticCoronalMip10mm)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChestCoronal)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);  // the host's image classes live in a Qt application
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
