#include "tools/capture/frame_writer.h"

#include "tools/capture/piped_program.h"
#include "tools/output_files/png_file.h"
#include "tools/output_files/safe_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <utility>
#include <vector>

#ifndef _WIN32
#include <unistd.h>
#endif

using namespace output_files;

namespace tools {

namespace {

class PngFolderWriter final : public FrameWriter {
  public:
    PngFolderWriter(std::string folder, int width, int height, uint64_t index)
        : folder_(std::move(folder)), width_(width), height_(height), index_(index) {}

    bool write(const uint8_t* rgb, std::string* error) override {
        char name[32];
        std::snprintf(name, sizeof name, "frame_%06llu.png", static_cast<unsigned long long>(index_++));
        return writePng(folder_ + name, width_, height_, rgb, error);
    }
    bool finish(std::string*) override { return true; }

  private:
    std::string folder_;
    int width_, height_;
    uint64_t index_;
};

// The encoder reads raw frames from a pipe and writes the video under a temporary name that takes the
// final one once the encoder has finished it.
class VideoWriter final : public FrameWriter {
  public:
    VideoWriter(std::unique_ptr<SafeFile> video, std::unique_ptr<PipedProgram> encoder, size_t frameBytes)
        : video_(std::move(video)), encoder_(std::move(encoder)), frameBytes_(frameBytes) {}

    bool write(const uint8_t* rgb, std::string* error) override {
        if (encoder_->write(rgb, frameBytes_)) return true;
        *error = std::string("ffmpeg stopped taking frames: ") + std::strerror(errno);
        return false;
    }

    bool finish(std::string* error) override {
        const int status = encoder_->finish();
        if (status != 0) {
            *error = "ffmpeg failed (exit status " + std::to_string(status) + ")";
            return false;
        }
        std::error_code ec;
        if (std::filesystem::file_size(video_->writtenPath(), ec) == 0 || ec) {
            *error = "ffmpeg left no video in " + video_->writtenPath();
            return false;
        }
        return video_->commit(error);
    }

  private:
    // Declared first, so an unfinished encoder is killed before the temporary video is removed.
    std::unique_ptr<SafeFile> video_;
    std::unique_ptr<PipedProgram> encoder_;
    size_t frameBytes_;
};

// ffmpeg reads "NAME:..." as a protocol ("take:1.mp4" would be one); "file:" makes any path a file.
std::string asFile(const std::string& path) {
    return "file:" + path;
}

} // namespace

std::unique_ptr<FrameWriter> makePngFolderWriter(const std::string& folder, int width, int height,
                                                 uint64_t firstIndex) {
    return std::make_unique<PngFolderWriter>(folder, width, height, firstIndex);
}

std::string findProgram(const char* name) {
#ifdef _WIN32
    constexpr char kSeparator = ';';
    const std::string file = std::string(name) + ".exe";
#else
    constexpr char kSeparator = ':';
    const std::string file = name;
#endif
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(kSeparator, start);
        if (end == std::string::npos) end = dirs.size();
        const std::string candidate = dirs.substr(start, end - start) + "/" + file;
#ifdef _WIN32
        std::error_code ignored;
        if (end > start && std::filesystem::is_regular_file(candidate, ignored)) return candidate;
#else
        if (end > start && access(candidate.c_str(), X_OK) == 0) return candidate;
#endif
        start = end + 1;
    }
    return {};
}

std::unique_ptr<FrameWriter> makeVideoWriter(const std::string& ffmpeg, const std::string& path,
                                             const std::string& musicWav, int width, int height, int fps,
                                             std::string* error) {
    auto video = std::make_unique<SafeFile>();
    if (!video->open(path, error)) return nullptr;
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    const std::string rate = std::to_string(fps);
    // H.264 in 4:2:0 needs even sides; an odd size gets one black row or column.
    std::vector<std::string> args = {ffmpeg,
                                     "-hide_banner",
                                     "-loglevel",
                                     "error",
                                     "-y",
                                     "-f",
                                     "rawvideo",
                                     "-pix_fmt",
                                     "rgb24",
                                     "-s",
                                     size,
                                     "-framerate",
                                     rate,
                                     "-i",
                                     "-",
                                     "-i",
                                     asFile(musicWav),
                                     "-map",
                                     "0:v",
                                     "-map",
                                     "1:a",
                                     "-vf",
                                     "pad=ceil(iw/2)*2:ceil(ih/2)*2",
                                     "-c:v",
                                     "libx264",
                                     "-preset",
                                     "fast",
                                     "-crf",
                                     "18",
                                     "-pix_fmt",
                                     "yuv420p",
                                     "-c:a",
                                     "aac",
                                     "-b:a",
                                     "192k",
                                     "-movflags",
                                     "+faststart",
                                     "-f",
                                     "mp4",
                                     asFile(video->writtenPath())};
    auto encoder = std::make_unique<PipedProgram>();
    if (!encoder->start(args, error)) return nullptr;
    return std::make_unique<VideoWriter>(std::move(video), std::move(encoder),
                                         size_t(width) * size_t(height) * 3);
}

} // namespace tools
