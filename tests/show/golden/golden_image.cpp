#include "tests/show/golden/golden_image.h"

#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include <cstdlib>
#include <memory>

namespace {

bool regenerating() {
    const char* value = std::getenv("MIRELANDT_REGENERATE_GOLDENS");
    return value && std::string_view(value) == "1";
}

bool writeRgbPng(const std::string& path, const uint8_t* rgb, int width, int height) {
    return stbi_write_png(path.c_str(), width, height, 3, rgb, width * 3) != 0;
}

} // namespace

bool isGoldenDriver(std::string_view adapterName) {
    return adapterName.find("llvmpipe") != std::string_view::npos;
}

::testing::AssertionResult matchesGolden(const std::string& name, const uint8_t* rgb, int width, int height) {
    const std::string golden = std::string(MIRELANDT_GOLDEN_DIR) + "/" + name;
    if (regenerating()) {
        if (!writeRgbPng(golden, rgb, width, height))
            return ::testing::AssertionFailure() << "cannot write " << golden;
        return ::testing::AssertionSuccess() << "rewrote " << golden;
    }
    int goldenWidth = 0, goldenHeight = 0, channels = 0;
    const std::unique_ptr<uint8_t, void (*)(void*)> expected(
        stbi_load(golden.c_str(), &goldenWidth, &goldenHeight, &channels, 3), stbi_image_free);
    if (!expected)
        return ::testing::AssertionFailure()
               << "cannot read " << golden
               << " (make it with MIRELANDT_REGENERATE_GOLDENS=1, then look at it)";
    if (goldenWidth != width || goldenHeight != height)
        return ::testing::AssertionFailure() << golden << " is " << goldenWidth << "x" << goldenHeight
                                             << ", the picture " << width << "x" << height;

    const StillComparison result = compareStills(rgb, expected.get(), size_t(width) * size_t(height));
    if (result.matches()) return ::testing::AssertionSuccess();
    const std::string actual = std::string(MIRELANDT_GOLDEN_OUTPUT_DIR) + "/" + name;
    writeRgbPng(actual, rgb, width, height);
    return ::testing::AssertionFailure()
           << name << ": " << result.differing << " of " << result.pixels << " pixels differ by more than "
           << kGoldenLevelTolerance << " levels (largest " << result.largest << "); the picture is in "
           << actual;
}

StillComparison compareStills(const uint8_t* rgb, const uint8_t* expected, size_t pixels) {
    StillComparison result;
    result.pixels = pixels;
    for (size_t p = 0; p < pixels; ++p) {
        int worst = 0;
        for (size_t c = 3 * p; c < 3 * p + 3; ++c)
            worst = std::max(worst, std::abs(int(rgb[c]) - int(expected[c])));
        result.largest = std::max(result.largest, worst);
        result.differing += worst > kGoldenLevelTolerance;
    }
    return result;
}
