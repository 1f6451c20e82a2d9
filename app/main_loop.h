// The intro's main loop: the music clock read once per frame drives the show until 67 s, Escape or a
// closed window.
#pragma once

#include "audio_stream.h"
#include "show_frame.h"

// What a pass of the loop needs from the window and the renderer.
class LoopPlatform {
  public:
    virtual ~LoopPlatform() = default;
    // Drains the window's messages; true when a quit arrived. Sets *escapePressed on an Escape press.
    virtual bool pumpMessages(bool* escapePressed) = 0;
    virtual bool escapeDown() = 0;
    virtual void renderScene() = 0;
    virtual void present() = 0;
};

// Runs frames until the clock reaches the end (that frame is not rendered) or a quit request; a quit
// request lets the frame in progress render and present first. True when it ended on a quit request.
bool runMainLoop(LoopPlatform& platform, AudioStream& audio, ShowState& show);
