#include "app/director/director.h"

#include "app/director/file_watcher.h"
#include "app/director/live_programs.h"
#include "app/director/program_rebuild.h"
#include "content/music/embedded_module.h"
#include "content/sections.h"
#include "content/track_table.h"
#include "gfx/scene.h"
#include "music/audio_stream.h"
#include "music/mixer.h"
#include "platform/stop_signal.h"
#include "platform/wall_clock/wall_clock_wave_out.h"
#include "platform/window.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <filesystem>
#include <iterator>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

using namespace Orvo::Gfx;
using namespace base;
using namespace music;
using namespace platform;
using namespace show;
using namespace sync_tracks;

namespace app {

namespace {

// Where each order position of the song starts: what the title bar names (order, pattern) at a time.
struct SongPlace {
    uint64_t frame;
    uint16_t order;
    uint8_t pattern;
};

// The song rendered once ahead, silently (about a tenth of a second), noting where each position starts.
std::vector<SongPlace> mapSong() {
    std::vector<SongPlace> places;
    ModulePlayer* player = nullptr;
    if (createModulePlayer(embeddedModuleData(), embeddedModuleSize(), &player, kAudioRate) != CreateOk)
        return places;
    setLoopLimit(player, 1);
    std::vector<float> scratch(2 * 256);
    const auto end = uint64_t(kShowEndSeconds * kAudioRate);
    while (player->framesRendered < end) {
        if (places.empty() || places.back().order != player->songPosition)
            places.push_back(
                {player->framesRendered, player->songPosition, player->orderTable[player->songPosition]});
        renderFrames(player, scratch.data(), 256);
    }
    freeModulePlayer(player);
    return places;
}

// The last moment the show holds: the clock stops here rather than run out at its end.
constexpr float kLastMoment = kShowEndSeconds - 0.001f;

// The music clock the director can stop and move: a stream opened at the wanted time, or none while paused.
class DirectorClock {
  public:
    DirectorClock(wave::WaveOutDriver& driver, float start) : driver_(driver) { open(start); }
    ~DirectorClock() { close(); }

    float now() {
        if (paused_ || !audio_) return held_;
        startPlayback(*audio_);
        return audio_->device ? audioTimeSeconds(*audio_) : held_;
    }
    bool paused() const { return paused_; }
    void togglePause() {
        const float t = now();
        paused_ = !paused_;
        if (paused_) {
            close();
            held_ = t;
        } else {
            open(t);
        }
    }
    void seek(float time) {
        const float t = std::clamp(time, 0.0f, kLastMoment);
        if (paused_) {
            held_ = t;
            return;
        }
        close();
        open(t);
    }

  private:
    // The music from `time` on, rendered up to there silently. It starts at the first audio frame at or
    // after `time`, so that a seek to a row's start plays that row, not the last moment of the one before.
    void open(float time) {
        held_ = time;
        audio_ = std::make_unique<AudioStream>();
        openAudioStream(*audio_, driver_, embeddedModuleData(), embeddedModuleSize(),
                        uint32_t(std::ceil(double(time) * kAudioRate)));
    }
    void close() {
        if (audio_) closeAudioStream(*audio_);
        audio_.reset();
    }

    wave::WaveOutDriver& driver_;
    std::unique_ptr<AudioStream> audio_;
    bool paused_ = false;
    float held_ = 0.0f; // the time while paused, or where a stream without a device stands
};

// The key table and the programs of the checkout, taken in as they are saved.
class Watches {
  public:
    Watches(const std::string& source, Show& show)
        : show_(show), dataFolder_(source + "/content/data"), shaderFolder_(source + "/shaders"),
          data_(dataFolder_), shaders_(shaderFolder_), builder_(shaderFolder_), programs_(*show.built.scene) {
        std::fprintf(stderr, "mirelandt: director mode: watching %s/tracks.txt", dataFolder_.c_str());
        if (builder_.available())
            std::fprintf(stderr, " and %s/*.hlsl, *.hlsli\n", shaderFolder_.c_str());
        else
            std::fprintf(stderr, "; programs are not rebuilt: %s\n", builder_.unavailableReason().c_str());
        // The table on disk may differ from the keys built in: it is what the author works on from the start.
        readTracks(true);
    }

    void takeChanges() {
        for (const std::string& name : data_.settledChanges())
            if (name == "tracks.txt") readTracks(false);
        if (!builder_.available()) return;
        for (const std::string& name : shaders_.settledChanges()) {
            if (name.ends_with(".hlsl"))
                rebuild(name.substr(0, name.size() - 5));
            else if (name.ends_with(".hlsli"))
                for (const std::string& program : programs()) rebuild(program, name);
        }
    }

  private:
    // Takes in the key table, or keeps the tracks as they are and says why in one line.
    void readTracks(bool atStart) {
        std::string error;
        if (!readTrackFile((dataFolder_ + "/tracks.txt").c_str(), show_.built.tracks, &error)) {
            std::fprintf(stderr, "%s%s\n", error.c_str(),
                         atStart ? "; playing the built-in keys until it is saved" : "");
            return;
        }
        uint32_t keys = 0;
        for (uint32_t i = 0; i < show_.built.tracks.tracks.count; ++i)
            keys += show_.built.tracks.track(i).keys.count;
        std::fprintf(stderr, "tracks.txt: %s, %u keys\n", atStart ? "read" : "reloaded", keys);
    }

    // Rebuilds `program` and swaps it in; after a change of `header`, only where the compiler read that
    // header, directly or through another. Which programs include a header only a compile can tell, so a
    // header's change rebuilds every program, and one that fails is reported: it may be one that reads it.
    void rebuild(const std::string& program, const std::string& header = {}) {
        RebuiltProgram rebuilt;
        std::string error;
        uint32_t passes = 0;
        const bool built = builder_.rebuild(program, rebuilt, error);
        if (built && !header.empty() && !reads(rebuilt, header)) return;
        if (!built || !programs_.swap(program, std::move(rebuilt), error, &passes)) {
            std::fprintf(stderr, "%s: kept the running program: %s\n", program.c_str(), error.c_str());
            return;
        }
        std::fprintf(stderr, "%s: rebuilt and swapped into %u passes\n", program.c_str(), passes);
    }

    bool reads(const RebuiltProgram& program, const std::string& header) const {
        std::error_code ec;
        const auto wanted = std::filesystem::weakly_canonical(shaderFolder_ + "/" + header, ec);
        return std::any_of(program.sources.begin(), program.sources.end(), [&](const std::string& source) {
            return std::filesystem::weakly_canonical(source, ec) == wanted;
        });
    }

    // The programs of the shader folder, by name.
    std::vector<std::string> programs() const {
        std::vector<std::string> names;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(shaderFolder_, ec)) {
            const std::string name = entry.path().filename().string();
            if (name.ends_with(".hlsl")) names.push_back(name.substr(0, name.size() - 5));
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    Show& show_;
    std::string dataFolder_, shaderFolder_;
    FileWatcher data_, shaders_;
    ProgramBuilder builder_;
    LivePrograms programs_;
};

} // namespace

bool checkDirectorSource(const std::string& source, std::string* error) {
    auto fail = [&](const std::string& reason) {
        *error = "director mode: cannot watch " + source + ": " + reason;
        return false;
    };
    DIR* folder = opendir(source.c_str());
    if (!folder) return fail(std::strerror(errno));
    closedir(folder);
    const std::string tracks = source + "/content/data/tracks.txt";
    struct stat s;
    if (stat(tracks.c_str(), &s) != 0)
        return fail("content/data/tracks.txt: " + std::string(std::strerror(errno)));
    if (!S_ISREG(s.st_mode)) return fail("content/data/tracks.txt is not a file");
    std::FILE* file = std::fopen(tracks.c_str(), "rb");
    if (!file) return fail("content/data/tracks.txt: " + std::string(std::strerror(errno)));
    std::fclose(file);
    return true;
}

bool runDirector(Display& display, Show& show, const IntroOptions& options, const std::string& source) {
    Watches watches(source, show);
    const TrackSet& tracks = show.built.tracks;
    const double rowSeconds = 60.0 / (double(tracks.beatsPerMinute) * double(tracks.rowsPerBeat));
    const double beat = 60.0 / double(tracks.beatsPerMinute);
    // The row at a time, allowing for the float time of a row's start landing a hair below it.
    const auto rowAt = [rowSeconds](float time) { return uint32_t(double(time) / rowSeconds + 1e-4); };
    const std::vector<SongPlace> song = mapSong();
    DirectorClock clock(options.noAudio ? wave::wallClockWaveOutDriver() : wave::systemWaveOutDriver(),
                        float(options.from));

    const ShowSection* looped = nullptr;
    std::string error;
    double fps = 0.0;
    auto last = std::chrono::steady_clock::now();
    for (;;) {
        bool escape = false;
        if (window::pumpMessages(&escape) || escape || stopSignal()) return true;
        float time = clock.now();
        for (window::Key key : window::takeKeyPresses()) {
            switch (key) {
            case window::Key::Space:
                clock.togglePause();
                break;
            case window::Key::Left:
                clock.seek(float(time - beat));
                break;
            case window::Key::Right:
                clock.seek(float(time + beat));
                break;
            case window::Key::PageUp:
                clock.seek(float(time - 4 * beat));
                break;
            case window::Key::PageDown:
                clock.seek(float(time + 4 * beat));
                break;
            case window::Key::Home:
                clock.seek(0.0f);
                break;
            case window::Key::L:
                looped = looped ? nullptr : &sectionAtRow(rowAt(time));
                break;
            }
            time = clock.now();
        }
        // A looped section starts again at its end, or at the show's last moment where it runs past that
        // (the finale does); a show that is not looped holds its last moment instead of ending.
        if (looped && time >= std::min(float(looped->endRow * rowSeconds), kLastMoment)) {
            clock.seek(float(looped->startRow * rowSeconds));
            time = clock.now();
        }
        if (!clock.paused() && time >= kLastMoment) {
            clock.togglePause();
            clock.seek(kShowEndSeconds);
        }
        time = clock.now();

        watches.takeChanges();
        if (!displayHasArea(display)) {
            // Minimised: the clock goes on, the picture resumes at its time.
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        renderShowFrame(show, time);
        if (!presentDisplay(display, &error)) {
            std::fprintf(stderr, "mirelandt: %s\n", error.c_str());
            return false;
        }

        const auto now = std::chrono::steady_clock::now();
        const double seconds = std::chrono::duration<double>(now - last).count();
        last = now;
        fps = fps == 0.0 ? 1.0 / seconds : 0.9 * fps + 0.1 / seconds;
        const auto frame = uint64_t(double(time) * kAudioRate);
        auto place = std::upper_bound(song.begin(), song.end(), frame,
                                      [](uint64_t f, const SongPlace& p) { return f < p.frame; });
        const SongPlace at = place == song.begin() ? SongPlace{0, 0, 0} : *std::prev(place);
        char title[160];
        std::snprintf(
            title, sizeof title, "Mirelandt director - %.3f s, row %u, order %u/pattern %u, %.1f fps%s%s%s",
            double(time), unsigned(rowAt(time)), unsigned(at.order), unsigned(at.pattern), fps,
            clock.paused() ? ", paused" : "", looped ? ", looping " : "", looped ? looped->name : "");
        window::setWindowTitle(title);
    }
}

} // namespace app
