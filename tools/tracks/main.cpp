// mirelandt-tracks: the show's sync tracks from the command line.
//   --at SECONDS   every track's value at that music time, one `NAME VALUE` line per track
//   --keys         every key, one `TRACK_INDEX NAME ROW VALUE CODE` line per key
//   --plot OUT.png all tracks over the show as one image
#include "content/track_table.h"
#include "sync/evaluate_track.h"
#include "tools/output/stop_signal.h"
#include "tools/tracks/track_plot.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int usage() {
    std::fprintf(stderr, "usage: mirelandt-tracks --at SECONDS\n"
                         "       mirelandt-tracks --keys\n"
                         "       mirelandt-tracks --plot OUT.png\n");
    return 2;
}

bool parseSeconds(const char* text, float& seconds) {
    char* end = nullptr;
    errno = 0;
    seconds = std::strtof(text, &end);
    return end != text && *end == '\0' && errno == 0 && std::isfinite(seconds);
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
    return usage();
}
