#include "tests/music/test_modules.h"

#include "music/replayer.h"

#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

using namespace music;

XmInstrument makeInstrument(std::vector<int16_t> points, XmLoop loop, uint32_t loopStart,
                            uint32_t loopLength) {
    XmInstrument ins;
    XmSample s;
    s.points = std::move(points);
    s.loop = loop;
    s.loopStart = loopStart;
    s.loopLength = loopLength;
    ins.samples.push_back(s);
    return ins;
}

XmModule makeSong(uint16_t rows, uint16_t channels, uint16_t speed) {
    XmModule song;
    song.channels = channels;
    song.speed = speed;
    song.addPattern(rows);
    song.instruments.push_back(makeInstrument(std::vector<int16_t>(1000, 64), XmLoop::Forward, 0, 1000));
    return song;
}

namespace {
// With MIRELANDT_MUSIC_TEST_MODULES naming a folder, every module a test loads is also written there, named
// by its contents, so that scripts/mutate-music.sh can render the same modules with and without a mutant.
void keepModule(const std::vector<uint8_t>& bytes) {
    const char* folder = std::getenv("MIRELANDT_MUSIC_TEST_MODULES");
    if (!folder) return;
    const std::string_view contents(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    const std::string path =
        std::string(folder) + "/" + std::to_string(std::hash<std::string_view>{}(contents)) + ".xm";
    std::ofstream(path, std::ios::binary).write(contents.data(), std::streamsize(contents.size()));
}
} // namespace

PlayerPtr loadPlayer(const std::vector<uint8_t>& bytes, uint32_t rate) {
    keepModule(bytes);
    ModulePlayer* p = nullptr;
    createModulePlayer(bytes.data(), uint32_t(bytes.size()), &p, rate);
    return PlayerPtr(p);
}

void runTicks(ModulePlayer* player, int ticks) {
    for (int i = 0; i < ticks; ++i) advanceTick(player);
}
