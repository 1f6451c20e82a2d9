// Where captured frames go: numbered PNGs in a folder, or an H.264 video encoded by the ffmpeg program
// with the captured music muxed in. Frames are tightly packed 8-bit RGB rows, top row first.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace tools {

class FrameWriter {
  public:
    virtual ~FrameWriter() = default;
    virtual bool write(const uint8_t* rgb, std::string* error) = 0;
    // Completes the output; false with a reason when it is not whole.
    virtual bool finish(std::string* error) = 0;
};

// frame_000000.png, frame_000001.png, … numbered from `firstIndex` in `folder` (which ends in '/').
std::unique_ptr<FrameWriter> makePngFolderWriter(const std::string& folder, int width, int height,
                                                 uint64_t firstIndex);

// The ffmpeg program on PATH, or empty.
std::string findProgram(const char* name);

// Starts ffmpeg encoding to a temporary name beside `path`, which the video takes when the encoder has
// finished it; null with a reason when it cannot start.
std::unique_ptr<FrameWriter> makeVideoWriter(const std::string& ffmpeg, const std::string& path,
                                             const std::string& musicWav, int width, int height, int fps,
                                             std::string* error);

} // namespace tools
