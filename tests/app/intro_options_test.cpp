// The intro's command line: every option with good, bad and missing values.
#include "app/intro_options.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

using namespace app;

namespace {

struct Parsed {
    bool ok = false;
    IntroOptions options;
    std::string error;
};

Parsed parse(const std::string& line) {
    std::vector<std::string> words{"mirelandt"};
    std::istringstream in(line);
    for (std::string w; in >> w;) words.push_back(w);
    std::vector<const char*> argv;
    for (const std::string& w : words) argv.push_back(w.c_str());
    Parsed p;
    p.ok = parseIntroOptions(int(argv.size()), argv.data(), &p.options, &p.error);
    return p;
}

TEST(IntroOptions, NoArgumentsPlaysOnceFullScreenFromTheStartWithSound) {
    const Parsed p = parse("");
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.options.command, IntroCommand::Play);
    EXPECT_FALSE(p.options.placement.windowed);
    EXPECT_EQ(p.options.placement.display, 0);
    EXPECT_EQ(p.options.from, 0.0);
    EXPECT_FALSE(p.options.loop);
    EXPECT_FALSE(p.options.noAudio);
    EXPECT_TRUE(p.options.vsync);
    EXPECT_EQ(p.options.resolution.width, 0) << "the monitor's own size";
}

TEST(IntroOptions, GoodValuesLandInTheirFields) {
    Parsed p = parse("--window 640x360 --from 30.5 --loop --no-audio --stats 50 --vsync off");
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_FALSE(p.options.vsync);
    EXPECT_TRUE(p.options.placement.windowed);
    EXPECT_EQ(p.options.placement.size.width, 640);
    EXPECT_EQ(p.options.placement.size.height, 360);
    EXPECT_EQ(p.options.from, 30.5);
    EXPECT_TRUE(p.options.loop && p.options.noAudio);
    EXPECT_EQ(p.options.statsEvery, 50);

    p = parse("--fullscreen --display 2 --from 66.99 --resolution 1280x720 --no-dialog");
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_FALSE(p.options.placement.windowed);
    EXPECT_EQ(p.options.resolution.width, 1280);
    EXPECT_EQ(p.options.resolution.height, 720);
    EXPECT_EQ(p.options.placement.display, 2);
    EXPECT_EQ(p.options.from, 66.99);
    EXPECT_TRUE(parse("--vsync off --vsync on").options.vsync);

    EXPECT_EQ(parse("--loop --help").options.command, IntroCommand::Help);
    EXPECT_EQ(parse("--version").options.command, IntroCommand::Version);
}

// Each refusal is one line naming the option and what it takes (and the value given, when there is one).
TEST(IntroOptions, BadAndMissingValuesNameTheOptionAndWhatItTakes) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"--window", "--window takes a size WxH, each side 1 to 16384"},
        {"--window 640", "--window takes a size WxH, each side 1 to 16384, not '640'"},
        {"--window 0x360", "--window takes a size WxH, each side 1 to 16384, not '0x360'"},
        {"--window 640x360x2", "--window takes a size WxH, each side 1 to 16384, not '640x360x2'"},
        {"--window 99999x1", "--window takes a size WxH, each side 1 to 16384, not '99999x1'"},
        {"--resolution 1280", "--resolution takes a size WxH, each side 1 to 16384, not '1280'"},
        {"--display", "--display takes a monitor number 0 to 63"},
        {"--display -1", "--display takes a monitor number 0 to 63, not '-1'"},
        {"--display 1.5", "--display takes a monitor number 0 to 63, not '1.5'"},
        {"--from", "--from takes seconds from 0 to under 67"},
        {"--from -0.1", "--from takes seconds from 0 to under 67, not '-0.1'"},
        {"--from 67.01", "--from takes seconds from 0 to under 67, not '67.01'"},
        {"--from 67", "--from takes seconds from 0 to under 67, not '67'"},
        {"--from nan", "--from takes seconds from 0 to under 67, not 'nan'"},
        {"--from 30s", "--from takes seconds from 0 to under 67, not '30s'"},
        {"--loop --from --loop", "--from takes seconds from 0 to under 67, not '--loop'"},
        {"--stats 0", "--stats takes a frame count 1 to 1000000, not '0'"},
        {"--vsync", "--vsync takes on or off"},
        {"--vsync yes", "--vsync takes on or off, not 'yes'"},
        {"--vsync ON", "--vsync takes on or off, not 'ON'"},
        {"--vsync 0", "--vsync takes on or off, not '0'"},
        {"--from 0x1E", "--from takes seconds from 0 to under 67, not '0x1E'"},
        {"--from inf", "--from takes seconds from 0 to under 67, not 'inf'"},
        {"--display 0x1", "--display takes a monitor number 0 to 63, not '0x1'"},
        {"--stats 99999999999999999999",
         "--stats takes a frame count 1 to 1000000, not '99999999999999999999'"},
        {"--window 1e2x90", "--window takes a size WxH, each side 1 to 16384, not '1e2x90'"},
        {"--fast", "unknown option --fast (--help lists them)"},
        {"30", "unknown option 30 (--help lists them)"},
    };
    for (const auto& [line, message] : cases) {
        const Parsed p = parse(line);
        EXPECT_FALSE(p.ok) << line;
        EXPECT_EQ(p.error, message) << line;
        EXPECT_EQ(p.error.find('\n'), std::string::npos) << line;
    }
}

// Options that contradict each other, or that do nothing beside another, are refused naming both, in
// either order; --help and --version still answer.
TEST(IntroOptions, ConflictingOptionsNameBoth) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"--window 160x90 --resolution 1920x1080", "--window and --resolution conflict: --resolution sets "
                                                   "the full screen's picture; a window renders at "
                                                   "its size"},
        {"--resolution 1920x1080 --window 160x90", "--window and --resolution conflict: --resolution sets "
                                                   "the full screen's picture; a window renders at "
                                                   "its size"},
        {"--window 640x360 --fullscreen",
         "--window and --fullscreen conflict: a window or the full screen, not both"},
        {"--source /tmp", "--source names the checkout of --edit; without --edit it does nothing"},
        {"--edit --stats 5",
         "--edit and --stats conflict: the director mode shows its frame rate in the title bar"},
        {"--loop --edit",
         "--edit and --loop conflict: the director mode holds the end and loops a section with L"},
        {"--edit --fullscreen", "--edit and --fullscreen conflict: the director mode runs in a window"},
        {"--edit --resolution 640x360",
         "--edit and --resolution conflict: the director mode runs in a window, at its size"},
    };
    for (const auto& [line, message] : cases) {
        const Parsed p = parse(line);
        EXPECT_FALSE(p.ok) << line;
        EXPECT_EQ(p.error, message) << line;
    }
    EXPECT_TRUE(parse("--edit --source /tmp --window 320x180 --from 5 --no-audio --vsync off").ok);
    EXPECT_EQ(parse("--window 160x90 --resolution 1920x1080 --help").options.command, IntroCommand::Help);
}

// The renderer and the present model: what each command line asks for ("RENDERER PRESENT", "default"
// when no renderer is named), or the line refusing it, on Windows and where there is no Direct3D 11.
TEST(IntroOptions, RendererAndPresentModel) {
    const std::string notHere = "--gpu takes vulkan, the one renderer outside Windows, not ";
    const std::string presentNotHere = "--present chooses how Direct3D 11 presents, on Windows only";
    const std::string vulkanPresents =
        "--gpu vulkan and --present conflict: --present chooses how Direct3D 11 presents";
    const struct {
        std::string line, windows, elsewhere;
    } rows[] = {
        {"", "default flip", "default flip"},
        {"--gpu vulkan", "vulkan flip", "vulkan flip"},
        {"--gpu d3d11", "d3d11 flip", notHere + "'d3d11'"},
        {"--gpu d3d11 --gpu vulkan", "vulkan flip", notHere + "'d3d11'"},
        {"--gpu vulkan --gpu d3d11", "d3d11 flip", notHere + "'d3d11'"},
        {"--gpu D3D11", "--gpu takes d3d11 or vulkan, not 'D3D11'", notHere + "'D3D11'"},
        {"--gpu opengl", "--gpu takes d3d11 or vulkan, not 'opengl'", notHere + "'opengl'"},
        {"--gpu", "--gpu takes d3d11 or vulkan", "--gpu takes vulkan, the one renderer outside Windows"},
        {"--gpu --loop", "--gpu takes d3d11 or vulkan, not '--loop'", notHere + "'--loop'"},
        {"--present composition", "default composition", presentNotHere},
        {"--gpu d3d11 --present composition", "d3d11 composition", notHere + "'d3d11'"},
        {"--present composition --present flip", "default flip", presentNotHere},
        {"--present Flip", "--present takes flip or composition, not 'Flip'",
         "--present takes flip or composition, not 'Flip'"},
        {"--present", "--present takes flip or composition", "--present takes flip or composition"},
        {"--gpu vulkan --present flip", vulkanPresents, presentNotHere},
        {"--present composition --gpu vulkan", vulkanPresents, presentNotHere},
        {"--window 320x180 --gpu vulkan --vsync off", "vulkan flip", "vulkan flip"},
        {"--gpu d3d11 --present bogus --help", "help", "help"},
    };
    for (const auto& row : rows) {
        const Parsed p = parse(row.line);
        std::string outcome = p.error;
        if (p.ok && p.options.command == IntroCommand::Help)
            outcome = "help";
        else if (p.ok)
            outcome = std::string(p.options.renderer ? gpu::RendererName(*p.options.renderer) : "default") +
                      (p.options.present == gpu::PresentModel::Flip ? " flip" : " composition");
#ifdef _WIN32
        EXPECT_EQ(outcome, row.windows) << row.line;
#else
        EXPECT_EQ(outcome, row.elsewhere) << row.line;
#endif
    }
}

} // namespace
