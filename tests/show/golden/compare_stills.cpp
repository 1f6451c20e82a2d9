// compare_stills A.png B.png: whether two stills of the same moment agree within the golden tolerance
// (used to hold the Windows build's capture against the Linux one). Prints the figures; exit code 0
// when they agree, 1 when not, 2 when a file cannot be read or the sizes differ.
#include "tests/show/golden/golden_image.h"

#include <stb/stb_image.h>

#include <cstdio>
#include <memory>

namespace {

using Pixels = std::unique_ptr<uint8_t, void (*)(void*)>;

Pixels load(const char* path, int* width, int* height) {
    int channels = 0;
    return Pixels(stbi_load(path, width, height, &channels, 3), stbi_image_free);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: compare_stills A.png B.png\n", stderr);
        return 2;
    }
    int widthA = 0, heightA = 0, widthB = 0, heightB = 0;
    const Pixels a = load(argv[1], &widthA, &heightA);
    const Pixels b = load(argv[2], &widthB, &heightB);
    if (!a || !b) {
        std::fprintf(stderr, "compare_stills: cannot read %s\n", a ? argv[2] : argv[1]);
        return 2;
    }
    if (widthA != widthB || heightA != heightB) {
        std::fprintf(stderr, "compare_stills: %dx%d against %dx%d\n", widthA, heightA, widthB, heightB);
        return 2;
    }
    const StillComparison c = compareStills(a.get(), b.get(), size_t(widthA) * size_t(heightA));
    std::printf("%zu of %zu pixels within %d levels in every channel (%.2f %%, %.1f %% needed); largest "
                "difference %d levels\n",
                c.pixels - c.differing, c.pixels, kGoldenLevelTolerance, 100.0 * c.matchingShare(),
                100.0 * kGoldenMatchingShare, c.largest);
    return c.matches() ? 0 : 1;
}
