#include "tools/capture/capture_frames.h"

#include "base/exit_codes.h"
#include "platform/stop_signal.h"
#include "tools/capture/frame_schedule.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace base;
using namespace platform;
using namespace show;

namespace tools {

float captureFrameTime(uint64_t frame, int fps) {
    return showTimeAt(audioFramesAt(frame, fps));
}

namespace {

class FramesHere final : public CaptureFrames {
  public:
    FramesHere(OffscreenShow& show, const FrameRange& range) : show_(show), range_(range), n_(range.first) {}

    bool next(const uint8_t** rgb, std::string* error) override {
        if (!show_.render(captureFrameTime(n_++, range_.fps), error)) return false;
        *rgb = show_.rgb();
        return true;
    }

  private:
    OffscreenShow& show_;
    FrameRange range_;
    uint64_t n_;
};

#ifndef _WIN32
bool writeAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

// Reads exactly `size` bytes; false at the end of the stream, on an error, or when asked to stop.
bool readAll(int fd, uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::read(fd, data, size);
        if (n < 0 && errno == EINTR && !stopSignal()) continue;
        if (n <= 0) return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

// llvmpipe, the CPU Vulkan driver, starts a rasterising thread per core in every process; with a worker
// per core, those threads would outnumber the cores several times over. Unless the user chose
// LP_NUM_THREADS, each worker gets its share of the cores: a worker with one core or less rasterises in
// its own thread (0 extra threads), one with more starts a thread per core of its share. Other drivers
// ignore the variable.
void shareCoresAmongWorkers(int jobs) {
    if (std::getenv("LP_NUM_THREADS")) return;
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const unsigned share = cores / unsigned(jobs);
    setenv("LP_NUM_THREADS", std::to_string(share > 1 ? share : 0).c_str(), 1);
}

// A worker's whole life: its own device, every `jobs`-th frame of the range from `first`, each frame's
// pixels down the pipe. Frames of the other workers lie between its own, so before each one it takes
// the state the frame before would have left: counter, previous time and camera.
[[noreturn]] void runWorker(int index, int jobs, const WorkerPicture& picture, const FrameRange& range,
                            int out) {
    restoreStopSignals();
    shareCoresAmongWorkers(jobs);
    OffscreenShow show;
    std::string error;
    bool ok = show.open(picture.width, picture.height, &error, picture.renderer);
    // The parent names the picture that did not fit, once for all the workers.
    if (!ok && show.outOfMemory()) _exit(ExitOutOfMemory);
    const size_t bytes = size_t(picture.width) * size_t(picture.height) * 3;
    for (uint64_t n = range.first + uint64_t(index); ok && n < range.end; n += uint64_t(jobs)) {
        if (n > range.first) show.seek(uint32_t(n - range.first), captureFrameTime(n - 1, range.fps));
        ok = show.render(captureFrameTime(n, range.fps), &error);
        // A closed pipe means the capture has stopped taking frames: nothing to report.
        if (ok && !writeAll(out, show.rgb(), bytes)) _exit(0);
    }
    if (!ok) std::fprintf(stderr, "mirelandt-capture: worker %d: %s\n", index + 1, error.c_str());
    _exit(ok ? 0 : 1);
}

struct Worker {
    pid_t pid = -1;
    int input = -1; // the read end of the worker's pipe
};

class FramesFromWorkers final : public CaptureFrames {
  public:
    FramesFromWorkers(const WorkerPicture& picture, const FrameRange& range)
        : picture_(picture), range_(range), n_(range.first) {}
    ~FramesFromWorkers() override {
        for (Worker& w : workers_) {
            if (w.input >= 0) close(w.input);
            // Workers still rendering were asked for frames nobody will read.
            if (w.pid > 0) {
                kill(w.pid, SIGTERM);
                waitpid(w.pid, nullptr, 0);
                forgetOnStop(w.pid);
            }
        }
    }

    bool start(int jobs, std::string* error, bool* outOfMemory) {
        try {
            frame_.resize(size_t(picture_.width) * size_t(picture_.height) * 3);
        } catch (const std::bad_alloc&) {
            *error = pictureOutOfMemory(picture_.width, picture_.height);
            *outOfMemory = true;
            return false;
        }
        for (int k = 0; k < jobs && range_.first + uint64_t(k) < range_.end; ++k) {
            int fds[2];
            if (pipe2(fds, O_CLOEXEC) != 0) {
                *error = std::string("cannot start a worker: ") + std::strerror(errno);
                return false;
            }
            const pid_t pid = fork();
            if (pid == 0) {
                close(fds[0]);
                for (const Worker& w : workers_) close(w.input);
                runWorker(k, jobs, picture_, range_, fds[1]);
            }
            close(fds[1]);
            if (pid < 0) {
                close(fds[0]);
                *error = std::string("cannot start a worker: ") + std::strerror(errno);
                return false;
            }
            endOnStop(pid);
            workers_.push_back({pid, fds[0]});
        }
        return true;
    }

    bool next(const uint8_t** rgb, std::string* error) override {
        Worker& w = workers_[size_t((n_ - range_.first) % workers_.size())];
        if (!readAll(w.input, frame_.data(), frame_.size())) {
            if (stopSignal()) {
                *error = "stopped";
                return false;
            }
            int status = 0;
            waitpid(w.pid, &status, 0);
            forgetOnStop(w.pid);
            w.pid = -1;
            outOfMemory_ = WIFEXITED(status) && WEXITSTATUS(status) == ExitOutOfMemory;
            if (outOfMemory_) {
                *error = pictureOutOfMemory(picture_.width, picture_.height);
                return false;
            }
            *error = "the worker rendering frame " + std::to_string(n_) + " stopped (" +
                     (WIFEXITED(status) ? "exit code " + std::to_string(WEXITSTATUS(status))
                                        : "signal " + std::to_string(WTERMSIG(status))) +
                     ")";
            return false;
        }
        ++n_;
        *rgb = frame_.data();
        return true;
    }
    bool outOfMemory() const override { return outOfMemory_; }

  private:
    WorkerPicture picture_;
    bool outOfMemory_ = false;
    FrameRange range_;
    uint64_t n_;
    std::vector<uint8_t> frame_;
    std::vector<Worker> workers_;
};

#else
// Worker processes are started by forking, which Windows does not have: there the frames render here,
// on a show of their own.
class FramesOnOwnShow final : public CaptureFrames {
  public:
    explicit FramesOnOwnShow(const FrameRange& range) : frames_(show_, range) {}
    bool open(const WorkerPicture& picture, std::string* error, bool* outOfMemory) {
        if (show_.open(picture.width, picture.height, error, picture.renderer)) return true;
        *outOfMemory = show_.outOfMemory();
        return false;
    }
    bool next(const uint8_t** rgb, std::string* error) override { return frames_.next(rgb, error); }

  private:
    OffscreenShow show_;
    FramesHere frames_;
};
#endif

} // namespace

std::unique_ptr<CaptureFrames> renderHere(OffscreenShow& show, const FrameRange& range) {
    return std::make_unique<FramesHere>(show, range);
}

std::unique_ptr<CaptureFrames> renderInWorkers(int jobs, const WorkerPicture& picture,
                                               const FrameRange& range, std::string* error,
                                               bool* outOfMemory) {
#ifdef _WIN32
    (void)jobs;
    auto frames = std::make_unique<FramesOnOwnShow>(range);
    if (!frames->open(picture, error, outOfMemory)) return nullptr;
#else
    auto frames = std::make_unique<FramesFromWorkers>(picture, range);
    if (!frames->start(jobs, error, outOfMemory)) return nullptr;
#endif
    return frames;
}

} // namespace tools
