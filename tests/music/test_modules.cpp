#include "test_modules.h"

#include "replayer.h"

#include <utility>

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

PlayerPtr loadPlayer(const std::vector<uint8_t>& bytes, uint32_t rate) {
    ModulePlayer* p = nullptr;
    createModulePlayer(bytes.data(), uint32_t(bytes.size()), &p, rate);
    return PlayerPtr(p);
}

void runTicks(ModulePlayer* player, int ticks) {
    for (int i = 0; i < ticks; ++i) advanceTick(player);
}
