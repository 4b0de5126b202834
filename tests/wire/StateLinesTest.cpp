// Line lookup, the escape and the field reader of state texts.
#include "wire/StateLines.h"

#include <gtest/gtest.h>

using namespace v3d;

TEST(StateLines, FirstMatchingLineWinsAndKeysEndInTheirBlank) {
    const std::string text = "J_camvectors 1 2 3\nJ_camera 0 0.5\nJ_camera 1 0.7\n";
    EXPECT_EQ(findLine("J_camera ", text).value_or("?"), "0 0.5");
    EXPECT_EQ(findLine("J_cam", text).value_or("?"), "vectors 1 2 3");
    EXPECT_FALSE(findLine("J_wwwc ", text));
}

TEST(StateLines, LineWithoutItsLineFeedIsNotFound) {
    EXPECT_FALSE(findLine("J_renderer ", "J_frame 1\nJ_renderer 2"));
    EXPECT_FALSE(findLine("J_renderer ", "J_frame 1"));
    EXPECT_EQ(findLine("J_renderer ", "J_renderer \n").value_or("?"), "");
}

TEST(StateLines, EscapeSurvivesLineFeedsAndAsterisks) {
    const std::string value = "a\nb*c**\n*";
    const std::string escaped = escapeValue(value);
    EXPECT_EQ(escaped.find('\n'), std::string::npos);
    EXPECT_EQ(escaped, "a*nb**c*****n**");
    EXPECT_EQ(unescapeValue(escaped), value);
    EXPECT_EQ(findLine("images ", "images " + escaped + "\n").value_or("?"), value);
}

TEST(StateLines, AsteriskBeforeAnyOtherByteOrLastIsALineFeed) {
    EXPECT_EQ(unescapeValue("x*qy"), "x\ny");
    EXPECT_EQ(unescapeValue("x*"), "x\n");
}

TEST(StateLines, FieldReaderRefusesWhatDoesNotFit) {
    int32_t i = 0;
    float f = 0;
    std::string w;
    EXPECT_FALSE(FieldReader("2147483648").readInt(i));
    EXPECT_TRUE(FieldReader("-2147483648").readInt(i));
    EXPECT_FALSE(FieldReader("12abc").readInt(i));
    EXPECT_FALSE(FieldReader("nan").readFloat(f));
    EXPECT_FALSE(FieldReader("inf").readFloat(f));
    EXPECT_FALSE(FieldReader("1e39").readFloat(f));
    EXPECT_TRUE(FieldReader("  -0.375000").readFloat(f));
    EXPECT_FLOAT_EQ(f, -0.375f);
    EXPECT_FALSE(FieldReader(std::string(121, 'x')).readWord(w, 120));
    EXPECT_TRUE(FieldReader(std::string(120, 'x')).readWord(w, 120));
    EXPECT_EQ(w.size(), 120u);
}
