// mirelandt-tracks: the show's sync tracks from the command line.
//   --at SECONDS   every track's value at that music time, one `NAME VALUE` line per track
//   --keys         every key, one `TRACK_INDEX NAME ROW VALUE CODE` line per key
//   --plot OUT.png all tracks over the show as one image
//   --reading [TRACKS.txt]  how long each text line of the credits scroller and the title page can be
//                  read (on screen, sharp, cells tall enough at 1280x720), from the compiled-in keys or
//                  from a key table written like content/data/tracks.txt
#include "content/track_table.h"
#include "platform/stop_signal.h"
#include "sync/evaluate_track.h"
#include "tools/tracks/reading_time.h"
#include "tools/tracks/track_plot.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// The least time a line must stay readable to be read.
constexpr float kLeastReadingSeconds = 1.2f;

int usage() {
    std::fprintf(stderr, "usage: mirelandt-tracks --at SECONDS\n"
                         "       mirelandt-tracks --keys\n"
                         "       mirelandt-tracks --plot OUT.png\n"
                         "       mirelandt-tracks --reading [TRACKS.txt]\n");
    return 2;
}

bool parseSeconds(const char* text, float& seconds) {
    char* end = nullptr;
    errno = 0;
    seconds = std::strtof(text, &end);
    return end != text && *end == '\0' && errno == 0 && std::isfinite(seconds);
}

// The lines of one page with the longest time each can be read, then those under the least time.
void printReading(const TrackSet& set, const ReadingLayer& layer, const ReadingSettings& settings) {
    const std::vector<RowReading> rows = measureReading(set, layer, settings);
    std::printf("%s: longest time each line is readable (%ux%u, blur width <= %.1f px, cells >= %.0f px)\n",
                layer.name, settings.width, settings.height, double(settings.sharpSigma),
                double(settings.legibleCellPx));
    std::printf("  row   from   secs  total  cell-px  text\n");
    std::string below;
    uint32_t belowCount = 0;
    for (const RowReading& r : rows) {
        std::printf("  %3u %6.2f %6.2f %6.2f %8.1f  %s\n", r.row, double(r.longestFrom), double(r.longest),
                    double(r.total), double(r.cellPxAtBest), r.text.c_str());
        if (r.longest < kLeastReadingSeconds) {
            below += ' ';
            below += std::to_string(r.row);
            ++belowCount;
        }
    }
    std::printf("  under %.1f s: %u of %zu lines%s%s\n", double(kLeastReadingSeconds), belowCount,
                rows.size(), belowCount != 0 ? ", rows" : "", below.c_str());
}

int reading(const TrackSet& set) {
    ReadingSettings opening;
    opening.toSeconds = 23.0f;
    printReading(set,
                 {"credits scroller (textBuffer2, layer 1)", &assets::textBuffer2, -1, trackIndex("L2_Y"), -1,
                  0.0f, 0.0f, 0.0f, trackIndex("L2TEXT_A"), -1},
                 opening);
    ReadingSettings sectionB;
    sectionB.fromSeconds = 33.0f;
    sectionB.toSeconds = 46.0f;
    printReading(set,
                 {"section B title (textBuffer5, layer 4)", &assets::textBuffer5, -1, trackIndex("L5_Y"),
                  trackIndex("L5_Z"), 0.0f, 0.0f, 0.0f, trackIndex("L5TEXT_A"), trackIndex("L5_FRAME")},
                 sectionB);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    const char* command = argv[1];
    TrackSet set;
    layDownTrackKeys(set);

    if (std::strcmp(command, "--at") == 0 && argc == 3) {
        float seconds;
        if (!parseSeconds(argv[2], seconds)) return usage();
        for (uint32_t i = 0; i < kTrackCount; ++i)
            std::printf("%s %.9g\n", kTrackNames[i], double(evaluateTrack(set, i, seconds)));
        return 0;
    }
    if (std::strcmp(command, "--keys") == 0 && argc == 2) {
        for (uint32_t i = 0; i < kTrackCount; ++i)
            for (const SyncKey& key : set.track(i).keys)
                std::printf("%u %s %u %.9g %d\n", i, kTrackNames[i], key.row, double(key.value),
                            key.interpolation);
        return 0;
    }
    if (std::strcmp(command, "--plot") == 0 && argc == 3) {
        // Ctrl+C or SIGTERM while it draws or writes: the plot is not put in place.
        catchStopSignals();
        std::string error;
        if (!plotTracks(set, kTrackNames, kTrackCount, argv[2], &error)) {
            if (stopSignal())
                return reportStop("mirelandt-tracks", std::string("; ") + argv[2] + " is not written");
            std::fprintf(stderr, "mirelandt-tracks: %s\n", error.c_str());
            return 1;
        }
        return 0;
    }
    if (std::strcmp(command, "--reading") == 0 && argc <= 3) {
        std::string error;
        if (argc == 3 && !readTrackFile(argv[2], set, &error)) {
            std::fprintf(stderr, "mirelandt-tracks: %s\n", error.c_str());
            return 1;
        }
        return reading(set);
    }
    return usage();
}
