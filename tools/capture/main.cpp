// mirelandt-capture: the show rendered offline on a deterministic clock (frame n at n / fps) into an
// H.264 video with the music, a folder of PNGs with music.wav, or one still.
#include "base/command_line.h"
#include "base/exit_codes.h"
#include "content/music/embedded_module.h"
#include "platform/stop_signal.h"
#include "show/offscreen_show.h"
#include "tools/capture/capture_frames.h"
#include "tools/capture/capture_options.h"
#include "tools/capture/frame_schedule.h"
#include "tools/capture/frame_writer.h"
#include "tools/capture/music_capture.h"
#include "tools/capture/progress_bar.h"
#include "tools/capture/timing_table.h"
#include "tools/output_files/output_folder.h"
#include "tools/output_files/png_file.h"
#include "tools/output_files/safe_file.h"

#include <csignal>
#include <cstdio>
#include <vector>

using namespace Orvo::Gfx;
using namespace base;
using namespace output_files;
using namespace platform;
using namespace show;

namespace tools {

namespace {

int fail(const std::string& reason, int code = ExitFailure) {
    std::fprintf(stderr, "mirelandt-capture: %s\n", reason.c_str());
    return code;
}

// A show that did not open: out of memory for its picture, or no device.
int failOpen(const OffscreenShow& offscreen, const std::string& reason) {
    return fail(reason, offscreen.outOfMemory() ? ExitOutOfMemory : ExitFailure);
}

// A file removed when the capture ends, however it ends (an abandoned one included).
struct TemporaryFile {
    explicit TemporaryFile(std::string name) : path(std::move(name)) {
        if (!path.empty()) removeOnStop(path);
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        if (path.empty()) return;
        std::remove(path.c_str());
        keepOnStop(path);
    }
    std::string path;
};

// Frames cost seconds each on a CPU device: an output that cannot be written is refused before them, by a
// look that leaves nothing behind and does not open a FIFO (its reader would see an empty stream). An MP4
// is finished by seeking back, so a video needs a regular file: a FIFO or a device is refused (exit 2).
int checkOut(const CaptureOptions& o) {
    bool direct = false;
    std::string error;
    if (!checkOutput(o.out, &direct, &error)) return fail(error);
    if (direct && o.output == CaptureOutput::Video) {
        std::fprintf(
            stderr,
            "mirelandt-capture: cannot write %s: a video needs a regular file, not a FIFO or a device\n",
            o.out.c_str());
        return ExitUsage;
    }
    return 0;
}

// After a run with --timings (a timer is set): the table on stdout, or why the GPU could not time it.
int printTimings(Orvo::Gfx::PassTimer* timer, const OffscreenShow& offscreen, const CaptureOptions& o) {
    if (!timer) return 0;
    if (!timer->finish()) return fail(timer->error());
    std::fputs(timingTable(*timer, offscreen.adapterName(), o.width, o.height).c_str(), stdout);
    return 0;
}

// What a stop before the still was put in place leaves: nothing written.
std::string stillNotWritten(const CaptureOptions& o) {
    char at[48];
    std::snprintf(at, sizeof at, " before the still at %.3f s; ", o.at);
    return at + o.out + " is not written";
}

int stillStopped(const CaptureOptions& o) {
    return reportStop("mirelandt-capture", stillNotWritten(o));
}

int captureStill(const CaptureOptions& o) {
    OffscreenShow offscreen;
    std::string error;
    if (const int refused = checkOut(o)) return refused;
    setStopDetail(stillNotWritten(o));
    if (!offscreen.open(o.width, o.height, &error, o.renderer))
        return stopSignal() ? stillStopped(o) : failOpen(offscreen, error);
    Orvo::Gfx::PassTimer* timer = o.timings ? &offscreen.measurePasses() : nullptr;
    // One frame before the still gives the double-buffered images their previous frame.
    const uint64_t at = audioFramesAtSeconds(o.at);
    const uint64_t before = at >= kAudioRate / 60 ? at - kAudioRate / 60 : 0;
    // The write itself refuses to put the still in place once a stop is asked for.
    bool outOfMemory = false;
    if (stopSignal() || !offscreen.render(showTimeAt(before), &error) || stopSignal() ||
        !offscreen.render(showTimeAt(at), &error) ||
        !writePng(o.out, o.width, o.height, offscreen.rgb(), &error, &outOfMemory))
        return stopSignal() ? stillStopped(o) : fail(error, outOfMemory ? ExitOutOfMemory : ExitFailure);
    std::fprintf(stderr, "wrote %s (%dx%d, %.3f s)\n", o.out.c_str(), o.width, o.height,
                 double(showTimeAt(at)));
    return printTimings(timer, offscreen, o);
}

// What a stop at frame `n` leaves: the frames before it are written (a folder keeps them); the encoder and
// the workers are stopped and the unfinished video and its music removed.
std::string stoppedAtFrame(const CaptureOptions& o, const FrameRange& range, uint64_t n) {
    const std::string left = o.output == CaptureOutput::Video
                                 ? "the unfinished " + o.out + " is removed"
                                 : std::to_string(n - range.first) + " frames before it stay in " + o.out;
    char at[64];
    std::snprintf(at, sizeof at, " at frame %llu (%.3f s); ", static_cast<unsigned long long>(n),
                  double(captureFrameTime(n, o.fps)));
    return at + left;
}

// After SIGINT or SIGTERM: the caller's locals then do what the line says.
int stopped(const CaptureOptions& o, const FrameRange& range, uint64_t n) {
    std::fputc('\n', stderr);
    return reportStop("mirelandt-capture", stoppedAtFrame(o, range, n));
}

int captureSequence(const CaptureOptions& o) {
    // Frame n shows n / fps: a range shorter than a frame may hold none, which would give a video without a
    // picture.
    const FrameRange range{videoFrameAt(o.from, o.fps), videoFrameAt(o.to, o.fps), o.fps};
    if (range.first >= range.end) {
        std::fprintf(stderr, "mirelandt-capture: --from %g --to %g holds no frame at %d fps\n", o.from, o.to,
                     o.fps);
        return ExitUsage;
    }
    setStopDetail(stoppedAtFrame(o, range, range.first));
    std::string error;
    std::string ffmpeg;
    if (o.output == CaptureOutput::Video) {
        ffmpeg = findProgram("ffmpeg");
        if (ffmpeg.empty())
            return fail(
                "the ffmpeg program is not installed: install it (apt-get install ffmpeg) or write PNGs "
                "with --out DIR/");
        if (const int refused = checkOut(o)) return refused;
    } else if (!makeOutputFolder(o.out, &error)) {
        return fail(error);
    }
    // Timing needs every pass of every frame on one device: that run stays in this process. Otherwise the
    // workers start first, before the encoder or any thread but the idle stop watchdog exists.
    OffscreenShow offscreen;
    Orvo::Gfx::PassTimer* timer = nullptr;
    std::unique_ptr<CaptureFrames> frames;
    if (o.timings) {
        if (!offscreen.open(o.width, o.height, &error, o.renderer)) return failOpen(offscreen, error);
        timer = &offscreen.measurePasses();
        frames = renderHere(offscreen, range);
    } else {
        bool outOfMemory = false;
        frames = renderInWorkers(o.jobs, {o.width, o.height, o.renderer}, range, &error, &outOfMemory);
        if (!frames) return fail(error, outOfMemory ? ExitOutOfMemory : ExitFailure);
    }

    // A video's music goes to a hidden file of its own beside it: its name fits however long the video's
    // is, and it never replaces a file of the user's.
    const std::string music =
        o.output == CaptureOutput::Video ? hiddenNameBeside(o.out, ".music.wav") : o.out + "music.wav";
    // Declared before the writer, so the encoder has finished with the video's music when it goes.
    TemporaryFile videoMusic{o.output == CaptureOutput::Video ? music : std::string()};
    // The music runs from the first frame's time to the end of the last frame, as the frames show it.
    std::fprintf(stderr, "music %.3f-%.3f s -> %s\n", double(captureFrameTime(range.first, o.fps)),
                 double(captureFrameTime(range.end, o.fps)), music.c_str());
    if (!captureMusic(embeddedModuleData(), embeddedModuleSize(), audioFramesAt(range.first, o.fps),
                      audioFramesAt(range.end, o.fps), music, &error))
        return stopSignal() ? stopped(o, range, range.first) : fail(error);

    std::unique_ptr<FrameWriter> writer =
        o.output == CaptureOutput::Video
            ? makeVideoWriter(ffmpeg, o.out, music, o.width, o.height, o.fps, &error)
            : makePngFolderWriter(o.out, o.width, o.height, range.first);
    if (!writer) return fail(error);
    ProgressBar progress(range.end - range.first);
    for (uint64_t n = range.first; n < range.end; ++n) {
        setStopDetail(stoppedAtFrame(o, range, n));
        const uint8_t* rgb = nullptr;
        const bool rendered = !stopSignal() && frames->next(&rgb, &error);
        const bool written = rendered && writer->write(rgb, &error);
        // A signal during the write interrupts it: that is a stop, not a failed write.
        if (stopSignal()) return stopped(o, range, n);
        if (!written) return fail(error, !rendered && frames->outOfMemory() ? ExitOutOfMemory : ExitFailure);
        progress.update(n + 1 - range.first);
    }
    if (!writer->finish(&error)) return stopSignal() ? stopped(o, range, range.end) : fail(error);
    std::fprintf(stderr, "wrote %s\n", o.out.c_str());
    return printTimings(timer, offscreen, o);
}

} // namespace

} // namespace tools

using namespace tools;

int main(int argc, char** argv) {
    if (answerHelpOrVersion(argc, argv, "mirelandt-capture", kCaptureUsage)) return ExitOk;
    CaptureOptions options;
    std::string error;
    if (!parseCaptureOptions(argc, argv, &options, &error)) {
        std::fprintf(stderr, "mirelandt-capture: %s\n", error.c_str());
        return ExitUsage;
    }
    // A dead encoder shows up as a failed write with a message, not as a silent SIGPIPE.
#ifdef SIGPIPE
    std::signal(SIGPIPE, SIG_IGN);
#endif
    catchStopSignals();
    return options.output == CaptureOutput::Still ? captureStill(options) : captureSequence(options);
}
