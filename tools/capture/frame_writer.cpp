#include "frame_writer.h"

#include "png_file.h"
#include "safe_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

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

class VideoWriter final : public FrameWriter {
  public:
    VideoWriter(std::unique_ptr<SafeFile> video, pid_t encoder, int input, size_t frameBytes)
        : video_(std::move(video)), encoder_(encoder), input_(input), frameBytes_(frameBytes) {}
    ~VideoWriter() override {
        if (input_ >= 0) close(input_);
        if (encoder_ > 0) waitpid(encoder_, nullptr, 0);
    }

    bool write(const uint8_t* rgb, std::string* error) override {
        size_t done = 0;
        while (done < frameBytes_) {
            const ssize_t n = ::write(input_, rgb + done, frameBytes_ - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                *error = std::string("ffmpeg stopped taking frames: ") + std::strerror(errno);
                return false;
            }
            done += size_t(n);
        }
        return true;
    }

    bool finish(std::string* error) override {
        close(input_);
        input_ = -1;
        int status = 0;
        waitpid(encoder_, &status, 0);
        encoder_ = -1;
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            *error = "ffmpeg failed (exit status " +
                     std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + ")";
            return false;
        }
        // The encoder said it finished: the video it left must hold something before it takes the name.
        std::error_code ec;
        if (std::filesystem::file_size(video_->writtenPath(), ec) == 0 || ec) {
            *error = "ffmpeg left no video in " + video_->writtenPath();
            return false;
        }
        return video_->commit(error);
    }

  private:
    std::unique_ptr<SafeFile> video_; // encoded under a temporary name, renamed when whole
    pid_t encoder_;
    int input_;
    size_t frameBytes_;
};

} // namespace

std::unique_ptr<FrameWriter> makePngFolderWriter(const std::string& folder, int width, int height,
                                                 uint64_t firstIndex) {
    return std::make_unique<PngFolderWriter>(folder, width, height, firstIndex);
}

std::string findProgram(const char* name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        const std::string candidate = dirs.substr(start, end - start) + "/" + name;
        if (end > start && access(candidate.c_str(), X_OK) == 0) return candidate;
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
                                     musicWav,
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
                                     video->writtenPath()};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        *error = std::string("cannot start ffmpeg: ") + std::strerror(errno);
        return nullptr;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[0], STDIN_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    posix_spawn_file_actions_addclose(&actions, pipeFds[1]);
    pid_t encoder = -1;
    const int failed = posix_spawn(&encoder, ffmpeg.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[0]);
    if (failed) {
        close(pipeFds[1]);
        *error = std::string("cannot start ffmpeg: ") + std::strerror(failed);
        return nullptr;
    }
    return std::make_unique<VideoWriter>(std::move(video), encoder, pipeFds[1],
                                         size_t(width) * size_t(height) * 3);
}
