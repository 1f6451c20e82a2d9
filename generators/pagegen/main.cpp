// mirelandt-pagegen: builds the font, palette and page tables of the show from content/data and writes
// them as C++ sources for the mirelandt_assets library. Run by the build; any mistake in a source stops
// it with the file and line.
#include "generators/pagegen/animations.h"
#include "generators/pagegen/emit.h"
#include "generators/pagegen/font_table.h"
#include "generators/pagegen/markup.h"
#include "generators/pagegen/palette.h"
#include "generators/pagegen/text_input.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <functional>
#include <stdexcept>
#include <string>

namespace generators {

namespace {

struct Sources {
    std::string data;
    Cp437Table codePage;
    BlockFont blockFont;

    Page page(const std::string& name) const {
        std::string path = data + "/pages/" + name;
        return parsePage(path, readTextFile(path), {codePage, blockFont});
    }
};

struct PageSet {
    const char* name;
    int columns, rows, frames;
    std::function<Frames(const Sources&)> build;
};

Frames single(Page page) {
    return {std::move(page)};
}

const PageSet kPageSets[] = {
    {"textBuffer1", 120, 34, 29, [](const Sources&) { return backdrop(120, 34, 29); }},
    {"textBuffer2", 80, 213, 1, [](const Sources& s) { return single(s.page("credits.page")); }},
    {"textBuffer3", 120, 34, 28, [](const Sources& s) { return logoBuildUp(s.page("logo.page"), 28); }},
    {"textBuffer4", 120, 34, 29, [](const Sources& s) { return logoEffects(s.page("logo.page"), 29); }},
    {"textBuffer5", 120, 34, 29, [](const Sources& s) { return titlePulse(s.page("title.page"), 29); }},
    {"textBuffer6", 80, 25, 16, [](const Sources&) { return codeChart(80, 25, 16); }},
    {"cylinderCells", 80, 212, 1,
     [](const Sources& s) { return single(cylinderPlasma(s.blockFont, 80, 212)); }},
};

// A generator or source that yields pages of the wrong shape would shift every later frame the shaders
// read, so the shape is checked here rather than trusted.
void checkShape(const PageSet& set, const Frames& frames) {
    if (int(frames.size()) != set.frames)
        throw std::runtime_error(std::string(set.name) + ": " + std::to_string(frames.size()) +
                                 " frames, expected " + std::to_string(set.frames));
    for (const Page& frame : frames)
        if (frame.columns != set.columns || frame.rows != set.rows)
            throw std::runtime_error(std::string(set.name) + ": a frame of " + std::to_string(frame.columns) +
                                     " x " + std::to_string(frame.rows) + ", expected " +
                                     std::to_string(set.columns) + " x " + std::to_string(set.rows));
}

int usage() {
    std::fputs("usage: mirelandt-pagegen --data CONTENT_DATA_DIR --font FONT.pcf[.gz] --out DIR\n", stderr);
    return 2;
}

} // namespace

} // namespace generators

using namespace generators;

int main(int argc, char** argv) {
    std::string data, fontPath, out;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--data"))
            data = argv[i + 1];
        else if (!std::strcmp(argv[i], "--font"))
            fontPath = argv[i + 1];
        else if (!std::strcmp(argv[i], "--out"))
            out = argv[i + 1];
        else
            return usage();
    }
    if (argc % 2 == 0 || data.empty() || fontPath.empty() || out.empty()) return usage();
    try {
        Sources sources{
            data, parseCp437Table(readTextFile(data + "/font/cp437.txt")),
            parseBlockFont(data + "/pages/blockfont.txt", readTextFile(data + "/pages/blockfont.txt"))};

        std::vector<int32_t> font = buildFontTable(readPcfFont(readMaybeGzipped(fontPath)), sources.codePage);
        TableSource fonts;
        for (const char* name : {"cylinderFont", "c64fontBuffer", "fontBuffer3"}) fonts.addInts(name, font);
        fonts.write(out + "/assets_fonts.cpp");

        TableSource palettes;
        for (const char* name : {"colorpalette", "cylinderPalette"}) {
            std::string path = data + "/palettes/" + name + ".txt";
            palettes.addFloats(name, parsePalette(path, readTextFile(path)));
        }
        palettes.write(out + "/assets_palettes.cpp");

        for (const PageSet& set : kPageSets) {
            Frames frames = set.build(sources);
            checkShape(set, frames);
            TableSource pages;
            pages.addPages(set.name, frames);
            pages.write(out + "/assets_" + set.name + ".cpp");
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "mirelandt-pagegen: %s\n", error.what());
        return 1;
    }
    return 0;
}
