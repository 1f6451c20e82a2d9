#include "main_loop.h"

bool runMainLoop(LoopPlatform& platform, AudioStream& audio, ShowState& show) {
    bool quit = false;
    for (;;) {
        bool escapePressed = false;
        if (platform.pumpMessages(&escapePressed)) quit = true;
        if (!quit && (escapePressed || platform.escapeDown())) quit = true;
        startPlayback(audio);
        const float time = audioTimeSeconds(audio);
        if (time >= kShowEndSeconds) return false;
        prepareShowFrame(show, time);
        platform.renderScene();
        platform.present();
        show.clock.prevTime = time;
        if (quit) return true;
    }
}
