// --size and --scale values as the viewers and gridport-batch take them: the
// bounds of a side and what a number may look like.

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>

#include "picture/PictureSize.h"

namespace gridport {
namespace {

TEST(PictureSize, SidesFromOneToTheLimit) {
    for (const auto& [text, width, height] : {std::tuple{"64", 64, 64}, {"7x5", 7, 5}, {"1X16384", 1, 16384}}) {
        const Expected<PictureSize> size = ParseFitSize(text);
        ASSERT_TRUE(size) << text;
        EXPECT_EQ(size->width, static_cast<std::uint64_t>(width)) << text;
        EXPECT_EQ(size->height, static_cast<std::uint64_t>(height)) << text;
    }
    for (const char* bad : {"", "0", "16385", "8x0", "8x", "x8", "8x8x8", "-8", "+8", "8 ", "008x99999", "1e3"}) {
        const Expected<PictureSize> size = ParseFitSize(bad);
        ASSERT_FALSE(size) << bad;
        EXPECT_EQ(size.error().Kind(), ErrorKind::Usage) << bad;
        EXPECT_NE(size.error().Message().find(std::string("\"") + bad + "\""), std::string::npos) << bad;
    }
}

TEST(PictureSize, ScalesArePositiveDecimals) {
    for (const auto& [text, factor] : {std::pair{"2", 2.0}, {"0.25", 0.25}, {".5", 0.5}, {"3.", 3.0}}) {
        const Expected<double> scale = ParseScaleFactor(text);
        ASSERT_TRUE(scale) << text;
        EXPECT_EQ(*scale, factor) << text;
    }
    for (const char* bad : {"", "0", "0.0", ".", "-1", "1e2", "inf", "nan", "1.2.3", "0x10", " 1"}) {
        const Expected<double> scale = ParseScaleFactor(bad);
        ASSERT_FALSE(scale) << bad;
        EXPECT_EQ(scale.error().Kind(), ErrorKind::Usage) << bad;
    }
}

}  // namespace
}  // namespace gridport
