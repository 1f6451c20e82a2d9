// The intro's main loop: the music clock read once per frame drives the show until 67 s, Escape, a
// closed window or SIGINT/SIGTERM.
#pragma once

#include "music/audio_stream.h"

namespace show {

// What a pass of the loop needs from the window and the renderer.
class LoopPlatform {
  public:
    virtual ~LoopPlatform() = default;
    // Drains the window's messages; true when a quit arrived. Sets *escapePressed on an Escape press.
    virtual bool pumpMessages(bool* escapePressed) = 0;
    virtual bool escapeDown() = 0;
    // False while the window has no area (minimised): nothing is rendered or presented then.
    virtual bool hasArea() = 0;
    // Renders the show's frame at `time` into the window's back buffer.
    virtual void renderFrame(float time) = 0;
    // False when the frame could not be shown: the window or the device is gone.
    virtual bool present() = 0;
};

enum class LoopEnd { ShowEnded, Quit, PresentFailed, Stopped };

// Runs frames until the clock reaches the end (that frame is not rendered), a quit request, a failed
// present or a stop signal (platform/stop_signal.h), which ends it before the next frame. A quit request
// ends the loop wherever the clock is; it lets the frame in progress render and present first. While the
// window has no area the music plays on, messages are read and no frame is rendered; the picture resumes at
// the music's time.
LoopEnd runMainLoop(LoopPlatform& platform, music::AudioStream& audio);

} // namespace show
