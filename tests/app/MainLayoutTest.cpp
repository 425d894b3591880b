#include "app/MainLayout.h"

#include <gtest/gtest.h>

TEST(MainLayout, BandsAtDesignSizeAndMaximised) {
    const app::BandGeometry design = app::alignBands({782, 522});
    EXPECT_EQ(design.commandPanel, QRect(499, 0, 283, 248));
    EXPECT_EQ(design.musicPages, QRect(0, 248, 782, 274));
    const app::BandGeometry screen = app::alignBands({1280, 800});
    EXPECT_EQ(screen.commandPanel, QRect(997, 0, 283, 526));
    EXPECT_EQ(screen.musicPages, QRect(0, 526, 1280, 274));
    const app::BandGeometry tiny = app::alignBands({200, 100});
    EXPECT_EQ(tiny.commandPanel, QRect(0, 0, 200, 0));
    EXPECT_EQ(tiny.musicPages, QRect(0, 0, 200, 100));
}

TEST(MainLayout, NavigationListsFillTheTab) {
    const app::NavigationHeights heights = app::navigationHeights(266, 24);
    EXPECT_EQ(heights.folderTree, 242);
    EXPECT_EQ(heights.fileList, 266);
    EXPECT_EQ(heights.playlist, 266);
}

TEST(MainLayout, PlaylistSlidesUpUntilHidden) {
    const struct {
        int top, height, hiddenTop;
    } cases[] = {
        {0, 266, -310}, {0, 155, -155},  {0, 156, -310},
        {0, 0, 0},      {10, 266, -300}, {-400, 266, -400},
    };
    for (const auto& c : cases)
        EXPECT_EQ(app::hiddenPlaylistTop(c.top, c.height), c.hiddenTop) << c.top << " " << c.height;
}
