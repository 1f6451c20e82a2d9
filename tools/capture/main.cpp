// mirelandt-capture: the show rendered offline on a deterministic clock (frame n at n / fps) into an
// H.264 video with the music, a folder of PNGs with music.wav, or one still.
#include "capture_options.h"
#include "frame_schedule.h"
#include "frame_writer.h"
#include "music/embedded_module.h"
#include "music_capture.h"
#include "progress_bar.h"
#include "show_setup.h"

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

// The show on a headless device, drawing into an RGBA8 image that is read back after every frame.
struct OffscreenShow {
    gpu::Ref<gpu::Device> device;
    gpu::Ref<gpu::DeviceContext> context;
    gpu::Ref<gpu::Texture2D> image;
    gpu::Ref<gpu::RenderTargetView> view;
    Show show;
    std::vector<uint8_t> rgba, rgb;

    bool open(int width, int height, std::string* error) {
        if (!gpu::CreateDevice({}, &device, &context, error)) return false;
        gpu::Texture2DDesc desc;
        desc.Width = uint32_t(width);
        desc.Height = uint32_t(height);
        desc.Format = gpu::Format::R8G8B8A8_UNORM;
        desc.BindFlags = gpu::BIND_RENDER_TARGET | gpu::BIND_SHADER_RESOURCE;
        image = device->CreateTexture2D(desc, nullptr);
        if (image) view = device->CreateRenderTargetView(image.get(), nullptr);
        if (!view) {
            *error = "cannot create a " + std::to_string(width) + "x" + std::to_string(height) +
                     " image: " + device->GetLastError();
            return false;
        }
        setupShow(show, device.get(), context.get(), view.get(), width, height);
        rgba.resize(size_t(width) * size_t(height) * 4);
        rgb.resize(size_t(width) * size_t(height) * 3);
        return true;
    }

    // Renders the frame at `time` and leaves its pixels in rgb.
    bool render(float time, std::string* error) {
        renderShowFrame(show, time);
        show.state.clock.prevTime = time;
        const int width = show.state.screen.width;
        if (!context->ReadBack(image.get(), 0, rgba.data(), rgba.size(), uint32_t(width) * 4)) {
            *error = "cannot read the frame back: " + device->GetLastError();
            return false;
        }
        // The presented image is opaque; its alpha channel carries nothing to keep.
        for (size_t p = 0, n = rgb.size() / 3; p < n; ++p) std::memcpy(&rgb[3 * p], &rgba[4 * p], 3);
        return true;
    }
};

int captureStill(const CaptureOptions& o) {
    OffscreenShow offscreen;
    std::string error;
    if (!offscreen.open(o.width, o.height, &error)) return fail(error);
    // One frame before the still gives the double-buffered images their previous frame.
    const uint64_t at = audioFramesAtSeconds(o.at);
    const uint64_t before = at >= kAudioRate / 60 ? at - kAudioRate / 60 : 0;
    if (!offscreen.render(showTimeAt(before), &error) || !offscreen.render(showTimeAt(at), &error) ||
        !writePng(o.out, o.width, o.height, offscreen.rgb.data(), &error))
        return fail(error);
    std::fprintf(stderr, "wrote %s (%dx%d, %.3f s)\n", o.out.c_str(), o.width, o.height,
                 double(showTimeAt(at)));
    return 0;
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
        std::FILE* probe = std::fopen(o.out.c_str(), "ab");
        if (!probe) return fail("cannot write " + o.out + ": " + std::strerror(errno));
        std::fclose(probe);
    } else {
        std::error_code ec;
        std::filesystem::create_directories(o.out, ec);
        if (ec) return fail("cannot create " + o.out + ": " + ec.message());
    }
    OffscreenShow offscreen;
    if (!offscreen.open(o.width, o.height, &error)) return fail(error);

    const uint64_t first = videoFrameAt(o.from, o.fps);
    const uint64_t end = videoFrameAt(o.to, o.fps);
    const std::string music = o.output == CaptureOutput::Video ? o.out + ".music.wav" : o.out + "music.wav";
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
            !writer->write(offscreen.rgb.data(), &error))
            return fail(error);
        progress.update(n + 1 - first);
    }
    const bool finished = writer->finish(&error);
    if (o.output == CaptureOutput::Video) std::remove(music.c_str());
    if (!finished) return fail(error);
    std::fprintf(stderr, "wrote %s\n", o.out.c_str());
    return 0;
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
    std::signal(SIGPIPE, SIG_IGN);
    return options.output == CaptureOutput::Still ? captureStill(options) : captureSequence(options);
}
