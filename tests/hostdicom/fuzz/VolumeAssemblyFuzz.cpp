// Fuzzes the host's study database and volume assembly with small DICOM
// images built from the input: position, orientation, pixel spacing, size,
// bits, rescale and missing attributes vary, one series at a time with
// per-slice faults. Exhausted or zero input gives a sound three-slice
// axial series, so every byte moves it away from something valid.
#include "SliceBuilder.h"

#include "dicom/HostVolume.h"
#include "dicom/StudyDatabase.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using hosttest::SliceRecipe;
using quarvia::Vec3d;

// A broken promise: say which, then stop as a crash does.
void fail(const char* what, int line) {
    std::fprintf(stderr, "check failed at line %d: %s\n", line, what);
    std::abort();
}
#define check(condition) ((condition) ? (void)0 : fail(#condition, __LINE__))

std::string text(double value) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.12g", value);
    return buffer;
}

// One decimal-string value: usually the sound one, else something odd.
std::string number(FuzzedDataProvider& in, double usual) {
    switch (in.ConsumeIntegralInRange<int>(0, 15)) {
    case 0: return text(usual);
    case 1: return text(usual + in.ConsumeFloatingPointInRange<double>(-1.0, 1.0));
    case 2: return "nan";
    case 3: return "inf";
    case 4: return "-inf";
    case 5: return "1e200";
    case 6: return "-1e200";
    case 7: return "0";
    case 8: return "-0";
    case 9: return "1e-300";
    case 10: return text(in.ConsumeFloatingPoint<double>());
    case 11: return in.ConsumeRandomLengthString(16);
    case 12: return "";
    case 13: return text(usual * (1 + 1e-9));
    case 14: return text(-usual);
    default: return text(in.ConsumeFloatingPointInRange<double>(-1e4, 1e4));
    }
}

// Several values joined by backslashes; sometimes one too few or too many.
std::string numbers(FuzzedDataProvider& in, const std::vector<double>& usual) {
    size_t count = usual.size();
    switch (in.ConsumeIntegralInRange<int>(0, 3)) {
    case 1: count -= 1; break;
    case 2: count += 1; break;
    case 3: count = 1; break;
    default: break;
    }
    std::string joined;
    for (size_t i = 0; i < count; ++i) joined += (i ? "\\" : "") + number(in, i < usual.size() ? usual[i] : 1.0);
    return joined;
}

struct Series {
    Vec3d row{1, 0, 0}, column{0, 1, 0};
    std::string orientation;
    Vec3d origin{-100, -100, -50}, step{0, 0, 2.5};
    SliceRecipe base;
    int slices = 3;
};

Series planSeries(FuzzedDataProvider& in) {
    Series s;
    s.slices = (in.ConsumeIntegralInRange<int>(0, 7) + 2) % 8 + 1;
    s.base.rows = 4 + in.ConsumeIntegralInRange<int>(0, 12);
    s.base.columns = 4 + in.ConsumeIntegralInRange<int>(0, 12);
    switch (in.ConsumeIntegralInRange<int>(0, 4)) {
    case 1: s.base.bitsAllocated = 8, s.base.bitsStored = 8; break;
    case 2: s.base.bitsStored = in.ConsumeIntegralInRange<int>(0, 40); break;
    case 3: s.base.bitsAllocated = in.ConsumeIntegralInRange<int>(0, 40); break;
    case 4: s.base.bitsAllocated = 8, s.base.bitsStored = in.ConsumeIntegralInRange<int>(0, 40); break;
    default: break;
    }
    s.base.isSigned = in.ConsumeBool();
    switch (in.ConsumeIntegralInRange<int>(0, 2)) {
    case 1: s.base.samples = 3; break;
    case 2: s.base.samples = in.ConsumeIntegralInRange<int>(0, 5); break;
    default: break;
    }
    // Orientation: axial, sagittal, coronal, a turned one, or six odd values.
    switch (in.ConsumeIntegralInRange<int>(0, 4)) {
    case 1: s.row = {0, 1, 0}, s.column = {0, 0, -1}; break;
    case 2: s.row = {1, 0, 0}, s.column = {0, 0, -1}; break;
    case 3: {
        const double a = in.ConsumeFloatingPointInRange<double>(-3.2, 3.2);
        s.row = {std::cos(a), std::sin(a), 0};
        s.column = {-std::sin(a) * std::cos(0.3), std::cos(a) * std::cos(0.3), std::sin(0.3)};
        break;
    }
    default: break;
    }
    s.orientation = text(s.row[0]) + "\\" + text(s.row[1]) + "\\" + text(s.row[2]) + "\\" + text(s.column[0]) + "\\" +
                    text(s.column[1]) + "\\" + text(s.column[2]);
    if (in.ConsumeIntegralInRange<int>(0, 4) == 4)
        s.orientation = numbers(in, {s.row[0], s.row[1], s.row[2], s.column[0], s.column[1], s.column[2]});
    const Vec3d normal = quarvia::cross(s.row, s.column);
    const double along = in.ConsumeIntegralInRange<int>(0, 3) == 0 ? 2.5 : in.ConsumeFloatingPointInRange<double>(-20, 20);
    const double lean = in.ConsumeIntegralInRange<int>(0, 3) == 0 ? 0.0 : in.ConsumeFloatingPointInRange<double>(-60, 60);
    for (int i = 0; i < 3; ++i) s.step[size_t(i)] = normal[size_t(i)] * along + s.row[size_t(i)] * lean;
    if (in.ConsumeIntegralInRange<int>(0, 5) == 5) s.origin = {in.ConsumeFloatingPoint<double>(), -100, -50};
    switch (in.ConsumeIntegralInRange<int>(0, 3)) {
    case 1: s.base.pixelSpacing = numbers(in, {0.5, 0.5}); break;
    case 2: s.base.pixelSpacing.reset(); break;
    case 3: s.base.pixelSpacing = number(in, 0.5); break;
    default: break;
    }
    if (in.ConsumeBool()) s.base.sliceThickness = number(in, 2.5);
    if (in.ConsumeBool()) s.base.slope = number(in, 1.0);
    if (in.ConsumeBool()) s.base.intercept = number(in, -1024.0);
    return s;
}

// The slices of a series, each with the faults its flags ask for.
std::vector<SliceRecipe> makeSlices(FuzzedDataProvider& in, const Series& s) {
    std::vector<SliceRecipe> slices;
    for (int k = 0; k < s.slices; ++k) {
        SliceRecipe recipe = s.base;
        recipe.instance = k + 1;
        recipe.pixelSeed = k;
        recipe.orientation = s.orientation;
        std::vector<double> at(3);
        for (int i = 0; i < 3; ++i) at[size_t(i)] = s.origin[size_t(i)] + k * s.step[size_t(i)];
        recipe.position = text(at[0]) + "\\" + text(at[1]) + "\\" + text(at[2]);
        const auto flags = in.ConsumeIntegral<uint16_t>();
        if (flags & 1) recipe.series += ".other", recipe.seriesNumber = 2;
        if (flags & 2) recipe.rows += 1;
        if (flags & 4) recipe.position.reset();
        if (flags & 8) recipe.position = numbers(in, at);
        if (flags & 16) recipe.orientation.reset();
        if (flags & 32) recipe.pixelValues = in.ConsumeIntegralInRange<size_t>(0, 600);
        if (flags & 64) recipe.sop = s.base.series + ".1";
        if (flags & 128) recipe.pixelSpacing = numbers(in, {0.5, 0.5});
        if (flags & 256) recipe.intercept = number(in, -1000.0);
        if (flags & 512) recipe.isSigned = !recipe.isSigned;
        if (flags & 1024) recipe.study += ".other";
        slices.push_back(recipe);
    }
    return slices;
}

// What a volume handed to a plug-in must hold.
void checkVolume(quarvia::HostVolume& volume, size_t imageCount) {
    const QVVolumeRecord& r = volume.record();
    check(r.slices == static_cast<int32_t>(imageCount) && r.imageCount == r.slices);
    check(r.columns > 0 && r.rows > 0 && r.values);
    for (double v : {r.spacingX, r.spacingY, r.spacingZ}) check(std::isfinite(v) && v > 0);
    const Vec3d slice{r.sliceDir[0], r.sliceDir[1], r.sliceDir[2]};
    const Vec3d row{r.rowDir[0], r.rowDir[1], r.rowDir[2]}, column{r.colDir[0], r.colDir[1], r.colDir[2]};
    check(std::fabs(quarvia::norm(slice) - 1) < 1e-6 && std::fabs(quarvia::norm(row) - 1) < 1e-6);
    check(std::fabs(quarvia::dot(row, column)) < 0.01);
    for (double v : r.origin) check(std::isfinite(v));
    if (r.slices > 1) check(quarvia::angleDegrees(slice, quarvia::cross(row, column)) <= 30.0 + 1e-6);
    const size_t voxels = size_t(r.columns) * size_t(r.rows) * size_t(r.slices);
    unsigned sum = 0;
    for (size_t i = 0; i < voxels; ++i) sum += r.values[i];
    (void)sum;
}

void assemble(quarvia::StudyDatabase& database, const std::vector<std::string>& ids) {
    quarvia::VolumeRefusal refusal;
    std::unique_ptr<quarvia::HostVolume> volume = quarvia::HostVolume::build(database, ids, 1, refusal);
    if (volume) {
        check(!refusal);
        checkVolume(*volume, ids.size());
    } else {
        check(static_cast<bool>(refusal) && !quarvia::describe(refusal).isEmpty());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    quarvia::StudyDatabase database;
    std::vector<std::string> all;
    const int seriesCount = 1 + in.ConsumeIntegralInRange<int>(0, 1);
    for (int n = 0; n < seriesCount; ++n) {
        Series series = planSeries(in);
        if (n > 0) series.base.series += ".second";
        const std::vector<std::string> ids = hosttest::addSlices(database, makeSlices(in, series));
        all.insert(all.end(), ids.begin(), ids.end());
    }
    for (const quarvia::SeriesGroup* group : database.groups()) {
        check(!group->imageIds.empty());
        assemble(database, group->imageIds);
    }
    if (!all.empty()) {
        assemble(database, all);
        // A chosen handful, repeats and unknown names included.
        std::vector<std::string> some;
        const int picks = in.ConsumeIntegralInRange<int>(0, 6);
        for (int i = 0; i < picks; ++i)
            some.push_back(in.ConsumeBool() ? all[in.ConsumeIntegralInRange<size_t>(0, all.size() - 1)] : "1.2.3.404");
        assemble(database, some);
        // A volume outlives images removed under it and refreshes safely.
        quarvia::VolumeRefusal refusal;
        const quarvia::SeriesGroup* first = database.groups().empty() ? nullptr : database.groups().front();
        if (first) {
            auto volume = quarvia::HostVolume::build(database, first->imageIds, first->id, refusal);
            database.removeImage(all[in.ConsumeIntegralInRange<size_t>(0, all.size() - 1)]);
            if (volume) volume->refresh(database);
        }
    }
    return 0;
}
