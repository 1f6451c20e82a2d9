#include "main_loop.h"

void runMainLoop(LoopPlatform& platform, AudioStream& audio, ShowState& show) {
    bool quit = false;
    for (;;) {
        bool escapePressed = false;
        if (platform.pumpMessages(&escapePressed)) quit = true;
        if (!quit && (escapePressed || platform.escapeDown())) quit = true;
        startPlayback(audio);
        const float time = audioTimeSeconds(audio);
        if (time >= kShowEndSeconds) return;
        prepareShowFrame(show, time);
        platform.renderScene();
        platform.present();
        show.clock.prevTime = time;
        if (quit) return;
    }
}
