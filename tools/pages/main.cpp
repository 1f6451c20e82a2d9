// mirelandt-pages --out DIR: renders every frame of every cell page to PNG, with the font and palette
// each layer uses, so that the artwork can be reviewed without a GPU. Writes NAME_fNN.png per frame and
// NAME_sheet.png with all frames of a page side by side.
#include "base/command_line.h"
#include "base/exit_codes.h"
#include "content/assets.h"
#include "platform/stop_signal.h"
#include "tools/output_files/output_folder.h"
#include "tools/output_files/png_file.h"
#include "tools/pages/page_preview.h"

#include <cstdio>
#include <cstring>
#include <string>

using namespace base;
using namespace output_files;
using namespace platform;

namespace tools {

namespace {

struct PagePreview {
    const char* name;
    const assets::CellPages& pages;
    LayerLook look;
};

bool writeImage(const std::string& path, const Image& image) {
    std::string error;
    if (writePng(path, image.width, image.height, image.rgb.data(), &error)) return true;
    if (!stopSignal()) std::fprintf(stderr, "mirelandt-pages: %s\n", error.c_str());
    return false;
}

// After SIGINT or SIGTERM: the images written before stay whole, the one being written is not put in place.
int stopped(int written, const std::string& out) {
    return reportStop("mirelandt-pages", " after " + std::to_string(written) +
                                             " frames; the images written before stay in " + out);
}

const char* const kUsage =
    "usage: mirelandt-pages --out DIR   every frame of every text-mode page as DIR/NAME_fNN.png, and\n"
    "                                   NAME_sheet.png with the frames of a page side by side\n"
    "       mirelandt-pages --help | --version\n" MIRELANDT_EXIT_CODES_HELP;

int refuse(const std::string& reason) {
    return refuseCommandLine("mirelandt-pages", reason);
}

} // namespace

} // namespace tools

using namespace tools;

int main(int argc, char** argv) {
    if (answerHelpOrVersion(argc, argv, "mirelandt-pages", kUsage)) return ExitOk;
    if (argc < 2) return refuse("--out DIR is required (--help lists the options)");
    if (std::strcmp(argv[1], "--out") != 0)
        return refuse(std::string("unknown option ") + argv[1] + " (--help lists them)");
    if (argc < 3) return refuse("--out needs a folder");
    if (argc > 3) return refuse(std::string("unexpected argument '") + argv[3] + "' after --out DIR");
    const std::string out = argv[2];
    std::string error;
    if (!makeOutputFolder(out, &error)) {
        std::fprintf(stderr, "mirelandt-pages: %s\n", error.c_str());
        return ExitFailure;
    }
    // Layer 0 draws its characters in its own near-black colour; every other layer takes the
    // foreground from the palette. Layers 4 to 8 use the third font buffer.
    const LayerLook text{assets::c64fontBuffer, assets::colorpalette, true, {}};
    const LayerLook backdrop{assets::c64fontBuffer, assets::colorpalette, false, {0.05f, 0.05f, 0.05f}};
    const LayerLook font3{assets::fontBuffer3, assets::colorpalette, true, {}};
    const LayerLook cylinder{assets::cylinderFont, assets::cylinderPalette, true, {}};
    const PagePreview previews[] = {
        {"textBuffer1", assets::textBuffer1, backdrop},     {"textBuffer2", assets::textBuffer2, text},
        {"textBuffer3", assets::textBuffer3, text},         {"textBuffer4", assets::textBuffer4, text},
        {"textBuffer5", assets::textBuffer5, font3},        {"textBuffer6", assets::textBuffer6, font3},
        {"cylinderCells", assets::cylinderCells, cylinder},
    };
    catchStopSignals();
    int written = 0;
    for (const PagePreview& preview : previews) {
        std::vector<Image> frames;
        for (uint32_t f = 0; f < preview.pages.frames; ++f) {
            if (stopSignal()) return stopped(written, out);
            frames.push_back(renderFrame(preview.pages, f, preview.look));
            char name[32];
            std::snprintf(name, sizeof name, "_f%02u.png", f);
            if (!writeImage(out + "/" + preview.name + name, frames.back()))
                return stopSignal() ? stopped(written, out) : ExitFailure;
            ++written;
        }
        if (frames.size() > 1 &&
            !writeImage(out + "/" + preview.name + "_sheet.png", contactSheet(frames, 4, 2)))
            return stopSignal() ? stopped(written, out) : ExitFailure;
    }
    std::printf("mirelandt-pages: wrote %d frames to %s\n", written, out.c_str());
    return ExitOk;
}
