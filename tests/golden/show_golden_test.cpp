// The whole show at moments across its sections, rendered headless through the same offscreen show as
// mirelandt-capture and compared with its kept stills: every pass, the tracks, the pages and the output
// pass together, at the capture's clock for each moment.
#include "tests/golden/golden_image.h"

#include "show/offscreen_show.h"
#include "tools/capture/frame_schedule.h"

#include <cstdio>

namespace {

constexpr int kWidth = 320, kHeight = 180;

class ShowGolden : public ::testing::TestWithParam<int> {};

TEST_P(ShowGolden, MatchesTheKeptStill) {
    const int seconds = GetParam();
    OffscreenShow show;
    std::string error;
    ASSERT_TRUE(show.open(kWidth, kHeight, &error)) << error;
    if (!isGoldenDriver(show.adapterName()))
        GTEST_SKIP() << "the stills were made on lavapipe, not " << show.adapterName();
    ASSERT_TRUE(show.render(showTimeAt(audioFramesAtSeconds(seconds)), &error)) << error;
    char name[32];
    std::snprintf(name, sizeof(name), "show_%02d.png", seconds);
    EXPECT_TRUE(matchesGolden(name, show.rgb(), kWidth, kHeight));
}

// The credits scroller with the composite's CRT look (3, 5 s), the mirrors (12 s), the drop (24 s), the
// polyhedra and the cylinder (30 s), the title pulse (35, 40 s), the final build (50, 52 s) and the
// finale (64 s). About 10 s each on lavapipe, so the moments are few.
INSTANTIATE_TEST_SUITE_P(Moments, ShowGolden, ::testing::Values(3, 5, 12, 24, 30, 35, 40, 50, 52, 64));

} // namespace
