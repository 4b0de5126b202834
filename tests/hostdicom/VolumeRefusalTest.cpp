// Series that are not volumes: each is refused, and the host says why in
// words the user understands.
#include "DicomHostFixture.h"
#include "SliceBuilder.h"

#include "dicom/StudyDatabase.h"

#include <gmock/gmock.h>

#include <QStatusBar>

#include <cmath>

namespace hosttest {
namespace {

class NotAVolume : public DicomHost {
protected:
    std::vector<std::string> add(const std::vector<SliceRecipe>& slices) {
        return addSlices(host->database(), slices);
    }
    // Expects QVCreateVolume to refuse and answers what the host told the user.
    std::string refusal(const std::vector<std::string>& ids) {
        host->statusBar()->clearMessage();
        QVVolumeRecord* volume = createVolume(ids);
        EXPECT_EQ(volume, nullptr);
        if (volume) QVReleaseVolume(volume);
        return host->statusBar()->currentMessage().toStdString();
    }
    static std::vector<SliceRecipe> withOrientation(std::vector<SliceRecipe> slices, const std::string& orientation) {
        for (SliceRecipe& s : slices) s.orientation = orientation;
        return slices;
    }
};

using ::testing::HasSubstr;

TEST_F(NotAVolume, RowAndColumn45DegreesApart) {
    const auto ids = add(withOrientation(sliceStack(4, 0, 0, 5), "1\\0\\0\\0.7071068\\0.7071068\\0"));
    ASSERT_EQ(ids.size(), 4u);
    EXPECT_THAT(refusal(ids), HasSubstr("rows and columns that are not at right angles (45.0 degrees apart;"));
}

TEST_F(NotAVolume, ColumnTwentySevenDegreesOffARightAngle) {
    const double c = std::cos(63.0 * M_PI / 180), s = std::sin(63.0 * M_PI / 180);
    const auto ids = add(withOrientation(sliceStack(4, 0, 0, 5), "1\\0\\0\\" + std::to_string(c) + "\\" + std::to_string(s) + "\\0"));
    EXPECT_THAT(refusal(ids), HasSubstr("not at right angles (63.0 degrees apart;"));
}

// Half a degree off square would shear a 500 mm image by 4 mm.
TEST_F(NotAVolume, RowAndColumnHalfADegreeOffSquare) {
    const double c = std::cos(89.5 * M_PI / 180), s = std::sin(89.5 * M_PI / 180);
    const auto ids = add(withOrientation(sliceStack(4, 0, 0, 5), "1\\0\\0\\" + std::to_string(c) + "\\" + std::to_string(s) + "\\0"));
    EXPECT_THAT(refusal(ids), HasSubstr("(89.5 degrees apart; at most 0.05 degrees off a right angle is accepted)"));
}

TEST_F(NotAVolume, SlicesWhoseRowSpacingDiffers) {
    std::vector<SliceRecipe> slices = sliceStack(4, 0, 0, 5);
    slices[2].pixelSpacing = "0.6\\0.5";  // rows apart, then columns
    EXPECT_THAT(refusal(add(slices)), HasSubstr("differ in pixel spacing"));
}

TEST_F(NotAVolume, OneImageWhoseRowIsItsColumn) {
    const auto ids = add(withOrientation(sliceStack(1, 0, 0, 5), "0\\1\\0\\0\\1\\0"));
    ASSERT_EQ(ids.size(), 1u);
    EXPECT_THAT(refusal(ids), HasSubstr("not at right angles (0.0 degrees apart;"));
}

TEST_F(NotAVolume, OrientationOfLength1e200) {
    const auto ids = add(withOrientation(sliceStack(3, 0, 0, 5), "1e200\\0\\0\\0\\1\\0"));
    EXPECT_THAT(refusal(ids), HasSubstr("row or column is not a unit direction"));
}

TEST_F(NotAVolume, PositionThatIsNotANumber) {
    int n = 0;
    for (const char* bad : {"nan\\0\\10", "0\\inf\\10", "0\\0\\-inf"}) {
        std::vector<SliceRecipe> slices = sliceStack(3, 0, 0, 5);
        const std::string series = slices[0].series + "." + std::to_string(++n);
        for (SliceRecipe& s : slices) s.series = series;
        slices[2].position = bad;
        EXPECT_THAT(refusal(add(slices)), HasSubstr("image position that is not a number")) << bad;
    }
    // Alone, such an image would hand its garbage to the volume's origin.
    std::vector<SliceRecipe> one = sliceStack(1, 0, 0, 0);
    one[0].series += ".alone";
    one[0].position = "nan\\nan\\nan";
    EXPECT_THAT(refusal(add(one)), HasSubstr("image position that is not a number"));
}

TEST_F(NotAVolume, GantryTiltOf84Degrees) {
    // 50 mm along the row for 5 mm along the normal.
    EXPECT_THAT(refusal(add(sliceStack(6, 50, 0, 5))),
                HasSubstr("slices are tilted 84.3 degrees against the image plane; at most 30.0 degrees"));
}

TEST_F(NotAVolume, StepLyingInsideTheImagePlane) {
    EXPECT_THAT(refusal(add(sliceStack(6, 100, 0, 0.02))), HasSubstr("slices are tilted 90.0 degrees"));
}

TEST_F(NotAVolume, TiltOf20DegreesIsAVolume) {
    const double along = 5 * std::tan(20 * M_PI / 180);
    QVVolumeRecord* v = createVolume(add(sliceStack(5, 0, along, 5)));
    ASSERT_NE(v, nullptr);
    EXPECT_NEAR(std::acos(v->sliceDir[2]) * 180 / M_PI, 20.0, 1e-6);
    EXPECT_NEAR(v->spacingZ, 5 / std::cos(20 * M_PI / 180), 1e-9);
    QVReleaseVolume(v);
}

TEST_F(NotAVolume, ImagesOfTwoSeriesThatTogetherStepEvenly) {
    // Series 1 at 0, 10, 20 mm and series 2 at 5, 15, 25 mm.
    std::vector<SliceRecipe> a = sliceStack(3, 0, 0, 10), b = sliceStack(3, 0, 0, 10);
    for (SliceRecipe& s : b) {
        s.series += ".2";
        s.seriesNumber = 2;
        const double z = std::stod(s.position->substr(4)) + 5;
        s.position = "0\\0\\" + std::to_string(z);
    }
    std::vector<std::string> ids = add(a), more = add(b);
    ids.insert(ids.end(), more.begin(), more.end());
    ASSERT_EQ(ids.size(), 6u);
    EXPECT_THAT(refusal(ids), HasSubstr("the images belong to different series (series 1 and series 2)"));
}

TEST_F(NotAVolume, NegativeSingleValuedOrMissingPixelSpacing) {
    struct Case {
        std::optional<std::string> spacing;
        const char* said;
    };
    const Case cases[] = {{"-0.5\\-0.5", "pixel spacing that is zero, negative or not a number"},
                          {"0\\0.5", "pixel spacing that is zero, negative or not a number"},
                          {"0.5", "gives one pixel spacing where two (rows and columns) are needed"},
                          {std::nullopt, "does not say how large its pixels are (no pixel spacing)"}};
    int n = 0;
    for (const Case& c : cases) {
        std::vector<SliceRecipe> slices = sliceStack(3, 0, 0, 5);
        const std::string series = slices[0].series + "." + std::to_string(++n);
        for (SliceRecipe& s : slices) {
            s.series = series;
            s.pixelSpacing = c.spacing;
        }
        EXPECT_THAT(refusal(add(slices)), HasSubstr(c.said));
    }
}

TEST_F(NotAVolume, MissingSliceIsNamedWithTheGapAndTheExpectedStep) {
    std::vector<SliceRecipe> slices = sliceStack(20, 0, 0, 5);
    slices.erase(slices.begin() + 12);  // the 13th slice
    EXPECT_THAT(refusal(add(slices)),
                HasSubstr("slices are not evenly spaced: gap of 10 mm after slice 12 where 5 mm was expected"));
}

TEST_F(NotAVolume, SliceHalfAPercentOffIsAcceptedThreePercentIsNot) {
    for (double off : {0.005, 0.03}) {
        std::vector<SliceRecipe> slices = sliceStack(8, 0, 0, 5);
        for (SliceRecipe& s : slices) s.series += off < 0.01 ? ".a" : ".b";
        slices[4].position = "0\\0\\" + std::to_string(20 + 5 * off);
        QVVolumeRecord* v = createVolume(add(slices));
        EXPECT_EQ(v != nullptr, off < 0.01) << off;
        if (v) QVReleaseVolume(v);
    }
}

TEST_F(NotAVolume, TwoSlicesAtOnePlace) {
    std::vector<SliceRecipe> slices = sliceStack(4, 0, 0, 5);
    slices[2].position = slices[1].position;
    EXPECT_THAT(refusal(add(slices)), HasSubstr("slices 2 and 3 lie at the same position"));
}

}  // namespace
}  // namespace hosttest

namespace hosttest {
namespace {

TEST_F(NotAVolume, LoneImageWithoutOrientationTakesNoGarbagePosition) {
    std::vector<SliceRecipe> one = sliceStack(1, 0, 0, 0);
    one[0].position = "nan\\inf\\1e300";
    one[0].orientation.reset();
    QVVolumeRecord* v = createVolume(add(one));
    ASSERT_NE(v, nullptr) << "one image without a place is still a one-slice volume";
    for (double c : v->origin) EXPECT_EQ(c, 0.0);
    QVReleaseVolume(v);
}

}  // namespace
}  // namespace hosttest
