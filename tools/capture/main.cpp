// mirelandt-capture: the show rendered offline on a deterministic clock (frame n at n / fps) into an
// H.264 video with the music, a folder of PNGs with music.wav, or one still.
#include "capture_options.h"
#include "frame_schedule.h"
#include "frame_writer.h"
#include "music/embedded_module.h"
#include "music_capture.h"
#include "offscreen_show.h"
#include "progress_bar.h"
#include "timing_table.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

namespace {

int fail(const std::string& reason) {
    std::fprintf(stderr, "mirelandt-capture: %s\n", reason.c_str());
    return 1;
}

// A file removed when the capture ends, however it ends.
struct TemporaryFile {
    std::string path;
    ~TemporaryFile() {
        if (!path.empty()) std::remove(path.c_str());
    }
};

// Frames cost seconds each on a CPU device: an output that cannot be written is refused before them.
bool checkWritable(const std::string& path, std::string* error) {
    std::FILE* probe = std::fopen(path.c_str(), "ab");
    if (!probe) {
        *error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    std::fclose(probe);
    return true;
}

// After a run with --timings (a timer is set): the table on stdout, or why the GPU could not time it.
int printTimings(Orvo::Gfx::PassTimer* timer, const OffscreenShow& offscreen, const CaptureOptions& o) {
    if (!timer) return 0;
    if (!timer->finish()) return fail(timer->error());
    std::fputs(timingTable(*timer, offscreen.adapterName(), o.width, o.height).c_str(), stdout);
    return 0;
}

int captureStill(const CaptureOptions& o) {
    OffscreenShow offscreen;
    std::string error;
    if (!checkWritable(o.out, &error)) return fail(error);
    if (!offscreen.open(o.width, o.height, &error)) return fail(error);
    Orvo::Gfx::PassTimer* timer = o.timings ? &offscreen.measurePasses() : nullptr;
    // One frame before the still gives the double-buffered images their previous frame.
    const uint64_t at = audioFramesAtSeconds(o.at);
    const uint64_t before = at >= kAudioRate / 60 ? at - kAudioRate / 60 : 0;
    if (!offscreen.render(showTimeAt(before), &error) || !offscreen.render(showTimeAt(at), &error) ||
        !writePng(o.out, o.width, o.height, offscreen.rgb(), &error))
        return fail(error);
    std::fprintf(stderr, "wrote %s (%dx%d, %.3f s)\n", o.out.c_str(), o.width, o.height,
                 double(showTimeAt(at)));
    return printTimings(timer, offscreen, o);
}

int captureSequence(const CaptureOptions& o) {
    std::string error;
    std::string ffmpeg;
    if (o.output == CaptureOutput::Video) {
        ffmpeg = findProgram("ffmpeg");
        if (ffmpeg.empty())
            return fail(
                "the ffmpeg program is not installed: install it (apt-get install ffmpeg) or write PNGs "
                "with --out DIR/");
        if (!checkWritable(o.out, &error)) return fail(error);
    } else {
        std::error_code ec;
        std::filesystem::create_directories(o.out, ec);
        if (ec) return fail("cannot create " + o.out + ": " + ec.message());
    }
    OffscreenShow offscreen;
    if (!offscreen.open(o.width, o.height, &error)) return fail(error);
    Orvo::Gfx::PassTimer* timer = o.timings ? &offscreen.measurePasses() : nullptr;

    const uint64_t first = videoFrameAt(o.from, o.fps);
    const uint64_t end = videoFrameAt(o.to, o.fps);
    const std::string music = o.output == CaptureOutput::Video ? o.out + ".music.wav" : o.out + "music.wav";
    // Declared before the writer, so the encoder has finished with the video's music when it goes.
    TemporaryFile videoMusic{o.output == CaptureOutput::Video ? music : std::string()};
    std::fprintf(stderr, "music %.3f-%.3f s -> %s\n", o.from, o.to, music.c_str());
    if (!captureMusic(embeddedModuleData(), embeddedModuleSize(), audioFramesAt(first, o.fps),
                      audioFramesAt(end, o.fps), music, &error))
        return fail(error);

    std::unique_ptr<FrameWriter> writer =
        o.output == CaptureOutput::Video
            ? makeVideoWriter(ffmpeg, o.out, music, o.width, o.height, o.fps, &error)
            : makePngFolderWriter(o.out, o.width, o.height, first);
    if (!writer) return fail(error);
    ProgressBar progress(end - first);
    for (uint64_t n = first; n < end; ++n) {
        if (!offscreen.render(showTimeAt(audioFramesAt(n, o.fps)), &error) ||
            !writer->write(offscreen.rgb(), &error))
            return fail(error);
        progress.update(n + 1 - first);
    }
    if (!writer->finish(&error)) return fail(error);
    std::fprintf(stderr, "wrote %s\n", o.out.c_str());
    return printTimings(timer, offscreen, o);
}

} // namespace

int main(int argc, char** argv) {
    CaptureOptions options;
    std::string error;
    if (!parseCaptureOptions(argc, argv, &options, &error)) {
        std::fprintf(stderr, "mirelandt-capture: %s\n%s", error.c_str(), kCaptureUsage);
        return 2;
    }
    // A dead encoder shows up as a failed write with a message, not as a silent SIGPIPE.
#ifdef SIGPIPE
    std::signal(SIGPIPE, SIG_IGN);
#endif
    return options.output == CaptureOutput::Still ? captureStill(options) : captureSequence(options);
}
