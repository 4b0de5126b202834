// Host functions under failing memory: whatever allocation fails inside one,
// the plug-in gets the function's failure answer and nothing thrown crosses
// into it (a plug-in built with another runtime could not catch it).
#include "DicomHostFixture.h"

#include "CellGrid.h"

#include <QStatusBar>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <new>

namespace {
// -1: no failure armed; n >= 0: the allocation after n more fails.
std::atomic<long> g_failAfter{-1};
}  // namespace

void* operator new(std::size_t size) {
    long n = g_failAfter.load();
    while (n >= 0 && !g_failAfter.compare_exchange_weak(n, n - 1)) {
    }
    if (n == 0) throw std::bad_alloc();
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

// Only the host's code linked into this program allocates through these
// (libraries keep their own, so Qt and DCMTK never see a failure); a block
// made by one and freed by the other still pairs malloc with free, which
// AddressSanitizer's new/delete pairing check would otherwise report.
extern "C" __attribute__((visibility("default"), used)) const char* __asan_default_options() { return "alloc_dealloc_mismatch=0"; }

namespace hosttest {
namespace {

struct Call {
    const char* name;
    std::function<void()> run;
};

TEST_F(DicomHost, HostFunctionsAnswerFailureWhenAnAllocationFails) {
    host->openPaths({phantom("ph", {"--size", "16x16x6"})});
    host->statusBar();  // made before any failure is armed
    const std::vector<std::string> ids = groupIds();
    ASSERT_EQ(ids.size(), 6u);
    std::vector<const char*> names;
    for (const std::string& id : ids) names.push_back(id.c_str());
    QVViewHandle view = QVGetView(QVGetImagePanelOfPlace(quarvia::CellGrid::placeOf(*host->grid().cell(0))), 0);
    QVDatasetHandle dataset = QVGetDicomDataSet(names[0]);
    ASSERT_TRUE(view && dataset);
    auto release = [](QVVolumeRecord* v) {
        if (v) QVReleaseVolume(v);
    };
    const Call calls[] = {
        {"QVCreateVolume", [&] { release(QVCreateVolume(int(names.size()), names.data(), 3)); }},
        {"QVCreateVolume of one image", [&] { release(QVCreateVolume(1, names.data(), 3)); }},
        {"QVGetImageID", [&] { QVFree(QVGetImageID(view)); }},
        {"QVGetActiveImage", [&] { QVFree(QVGetActiveImage()); }},
        {"QVGetGroupImageID", [&] { QVFree(QVGetGroupImageID(QVGetGroupOfImage(names[2]), 2)); }},
        {"QVGetSeriesUID", [&] { QVFree(QVGetSeriesUID(names[1])); }},
        {"QVGetStudyUID", [&] { QVFree(QVGetStudyUID(0)); }},
        {"QVGetDicomStringArray", [&] { QVFree(QVGetDicomStringArray(dataset, 0x0020, 0x0032)); }},
        {"QVGetDicomUint8Array", [&] {
             int32_t length = 0;
             QVFree(QVGetDicomUint8Array(dataset, 0x0028, 0x0030, &length));
         }},
    };
    for (const Call& call : calls) {
        int failures = 0;
        for (long k = 0; k < 500; ++k) {
            bool escaped = false;
            g_failAfter = k;
            try {
                call.run();
            } catch (...) {
                escaped = true;
            }
            const bool reached = g_failAfter.exchange(-1) < 0;
            EXPECT_FALSE(escaped) << call.name << " let the failure of allocation " << k << " through";
            if (!reached) break;
            ++failures;
        }
        EXPECT_GT(failures, 0) << call.name << " allocates nothing: the test does not reach it";
    }
    // And the host still works afterwards.
    QVVolumeRecord* v = QVCreateVolume(int(names.size()), names.data(), 3);
    ASSERT_NE(v, nullptr);
    QVReleaseVolume(v);
}

}  // namespace
}  // namespace hosttest
