// The music of a capture: the module played by the intro's own audio stream on a hand-driven device,
// the played bytes taken in order, exactly what a sound card would have received.
#pragma once

#include <cstdint>
#include <string>

namespace tools {

// Writes song frames [startFrame, endFrame) as a 44100 Hz float stereo WAV file. A module that does
// not load gives silence of the same length. False with a reason when the file cannot be written, or when
// SIGINT or SIGTERM asked the capture to stop (then nothing is written).
bool captureMusic(const uint8_t* module, uint32_t moduleSize, uint64_t startFrame, uint64_t endFrame,
                  const std::string& wavPath, std::string* error);

} // namespace tools
