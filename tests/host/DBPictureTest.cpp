#include <gtest/gtest.h>

#include <vector>

#include "host/session/DBPicture.h"

using namespace krv::host;

TEST(Picture, LevelsAndAccumulatedLengthsForPicturesOfZeroToSevenLevels) {
    struct Case {
        const char* picture;
        int levels;
        std::vector<int> lengths;  // TamAcNivel of level 0, 1, 2, … one past the last level
    };
    const Case cases[] = {
        {"", 0, {0, 0}},
        {"9999", 1, {0, 4, 4}},
        {"99.999", 2, {0, 2, 5, 5}},
        {"9.99.999.9999", 4, {0, 1, 3, 6, 10, 10}},
        {"9.9.99.9.999.9.9999", 7, {0, 1, 2, 4, 5, 8, 9, 13, 13}},
    };
    for (const Case& c : cases) {
        const TDBPicture picture(c.picture);
        EXPECT_EQ(picture.GetTtNiveis(), c.levels) << c.picture;
        for (size_t level = 0; level < c.lengths.size(); ++level) {
            EXPECT_EQ(picture.TamAcNivel(QString::number(level)), c.lengths[level]) << c.picture << " " << level;
            EXPECT_EQ(picture.TamAcNivel(int(level)), c.lengths[level]) << c.picture << " " << level;
        }
        EXPECT_EQ(picture.TamAcNivel("-1"), 0);
        EXPECT_EQ(picture.TamAcNivel("99"), c.lengths.back());
    }
    EXPECT_EQ(TDBPicture("9.99.999.9999").TamAcNivel(" 3 "), 6);
}

TEST(Picture, MalformedPicturesAndLevelsAreRefused) {
    EXPECT_THROW(TDBPicture("9..99"), std::invalid_argument);
    EXPECT_THROW(TDBPicture("9.99."), std::invalid_argument);
    EXPECT_THROW(TDBPicture("."), std::invalid_argument);
    const TDBPicture four("9.99.999.9999");
    EXPECT_THROW(four.TamAcNivel(""), std::invalid_argument);
    EXPECT_THROW(four.TamAcNivel("dois"), std::invalid_argument);
    EXPECT_THROW(four.TamAcNivel("2.5"), std::invalid_argument);
}

TEST(Picture, FormatsCodesLevelByLevel) {
    const struct {
        const char* picture;
        const char* code;
        const char* shown;
    } cases[] = {
        {"9.99.999.9999", "1010010009", "1.01.001.0009"},
        {"9.99.999.9999", "1010", "1.01.0"},        // shorter: stops where it ends
        {"9.99.999.9999", "101", "1.01"},           // exactly at a level's end: no dot after
        {"9.99.999.9999", "10100100091", "1.01.001.0009.1"},  // longer: one more dot
        {"9.99.999.9999", "", ""},
        {"", "1010010009", "1010010009"},           // no picture: as stored
        {"99", "1234", "12.34"},
    };
    for (const auto& c : cases) EXPECT_EQ(TDBPicture(c.picture).Format(c.code), c.shown) << c.picture << " " << c.code;
}
