// The whole show at moments across its sections, rendered headless through the same offscreen show as
// mirelandt-capture and compared with its kept stills: every pass, the tracks, the pages and the output
// pass together, at the capture's clock for each moment.
#include "tests/show/golden/golden_image.h"

#include "show/offscreen_show.h"
#include "tests/platform/gpu_fixture.h"
#include "tools/capture/frame_schedule.h"

#include <cstdio>
#include <vector>

using namespace show;
using namespace tools;

namespace {

constexpr int kWidth = 320, kHeight = 180;

class ShowGolden : public ::testing::TestWithParam<int> {};

TEST_P(ShowGolden, MatchesTheKeptStill) {
    const int seconds = GetParam();
    OffscreenShow show;
    std::string error;
    ASSERT_TRUE(show.open(kWidth, kHeight, &error)) << error;
    ASSERT_TRUE(rendersAsAsked(show.renderer()));
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

// A screen narrower than 16:9 gets the whole 16:9 picture at its full width, with black bands above and
// below: the middle of a 320x240 frame is the 320x180 frame, within the golden tolerance, on any driver.
// The frame at 30 s at a size; one offscreen show at a time, as the frame context is the process's.
std::vector<uint8_t> frameAt30(int width, int height) {
    OffscreenShow show;
    std::string error;
    EXPECT_TRUE(show.open(width, height, &error)) << error;
    if (error.empty()) {
        EXPECT_TRUE(rendersAsAsked(show.renderer()));
    }
    EXPECT_TRUE(show.render(showTimeAt(audioFramesAtSeconds(30)), &error)) << error;
    return error.empty() ? std::vector<uint8_t>(show.rgb(), show.rgb() + size_t(width) * height * 3)
                         : std::vector<uint8_t>(size_t(width) * height * 3);
}

TEST(Letterbox, ANarrowerScreenShowsTheWholePictureBetweenBlackBands) {
    const std::vector<uint8_t> wide = frameAt30(kWidth, kHeight);
    const std::vector<uint8_t> narrow = frameAt30(kWidth, 240);
    constexpr size_t kRow = size_t(kWidth) * 3, kBand = 30 * kRow;
    const StillComparison middle =
        compareStills(narrow.data() + kBand, wide.data(), size_t(kWidth) * kHeight);
    EXPECT_TRUE(middle.matches()) << middle.differing << " of " << middle.pixels << " pixels differ";
    const std::vector<uint8_t> black(kBand, 0);
    EXPECT_EQ(std::vector<uint8_t>(narrow.begin(), narrow.begin() + kBand), black) << "the top band";
    EXPECT_EQ(std::vector<uint8_t>(narrow.end() - kBand, narrow.end()), black) << "the bottom band";
}

} // namespace
