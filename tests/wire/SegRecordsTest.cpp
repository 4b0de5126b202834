// The history records each segmentation appends, byte for byte.
#include "wire/NumberText.h"
#include "wire/SegRecords.h"

#include <gtest/gtest.h>

#include <clocale>

using namespace v3d;

namespace {

TEST(HistoryText, FloodRecordsWithTheirCutPlanes)
{
    const std::vector<v3d::SegmentPlane> planes{{Vec3(1.5f, -2, 3), Vec3(0, 0.5f, -1)},
                                                {Vec3(10, 20, 30), Vec3(1, 0, 0)}};
    EXPECT_EQ(v3d::floodRecords(Vec3(12.25f, 7, -0.5f), true, true, planes, 724, 16383),
              "SEGBEGIN 12.250000 7.000000 -0.500000 1 1 1 2 724 16383J"
              "SEGCUTPLANE 1.500000 -2.000000 3.000000 0.000000 0.500000 -1.000000J"
              "SEGCUTPLANE 10.000000 20.000000 30.000000 1.000000 0.000000 0.000000J"
              "SEGENDJ");
    EXPECT_EQ(v3d::floodRecords(Vec3(1, 2, 3), false, false, {}, 0, 5),
              "SEGBEGIN 1.000000 2.000000 3.000000 1 0 0 0 0 5JSEGENDJ");
}

TEST(HistoryText, OutlineRecordsWithTheirPoints)
{
    EXPECT_EQ(v3d::outlineRecords(Vec3(0, 0.6f, -0.8f), true, {Vec3(1, 2, 3), Vec3(4.5f, 5, 6)}, -12.5f, 431),
              "SEGROIBEGIN 0.000000 0.600000 -0.800000 1 2 -12.500000 431J"
              "SEGROIPOINT 1.000000 2.000000 3.000000J"
              "SEGROIPOINT 4.500000 5.000000 6.000000J"
              "SEGROIENDJ");
    EXPECT_EQ(v3d::outlineRecords(Vec3(1, 0, 0), false, {}, 0, 0),
              "SEGROIBEGIN 1.000000 0.000000 0.000000 0 0 0.000000 0JSEGROIENDJ");
}

TEST(HistoryText, FloatsRoundLikeTheCLocaleUnderAnyProcessLocale)
{
    // A comma locale where one is installed; the C locale otherwise.
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = old ? old : "C";
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) std::setlocale(LC_NUMERIC, "fr_FR.UTF-8");
    EXPECT_EQ(v3d::sixDecimals(220.5f), "220.500000");
    EXPECT_EQ(v3d::sixDecimals(-0.0000004f), "-0.000000");
    EXPECT_EQ(v3d::sixDecimals(0.1234565f), "0.123457");
    EXPECT_EQ(v3d::sixDecimals(1e10f), "10000000000.000000");
    std::setlocale(LC_NUMERIC, saved.c_str());
}

}  // namespace
