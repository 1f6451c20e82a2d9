// mirelandt-tracks: the show's sync tracks from the command line.
//   --at SECONDS   every track's value at that music time (0 to 67), one `NAME VALUE` line per track
//   --keys         every key, one `TRACK_INDEX NAME ROW VALUE CODE` line per key
//   --plot OUT.png all tracks over the show as one image
//   --reading [TRACKS.txt]  how long each text line of the credits scroller and the title page can be
//                  read (on screen, sharp, cells tall enough at 1280x720), from the compiled-in keys or
//                  from a key table written like content/data/tracks.txt
#include "base/command_line.h"
#include "base/exit_codes.h"
#include "base/parse_number.h"
#include "base/show_constants.h"
#include "content/track_table.h"
#include "platform/stop_signal.h"
#include "sync/evaluate_track.h"
#include "tools/tracks/reading_time.h"
#include "tools/tracks/track_plot.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace Orvo::Gfx;
using namespace base;
using namespace platform;
using namespace sync_tracks;

namespace tools {

namespace {

// The least time a line must stay readable to be read.
constexpr float kLeastReadingSeconds = 1.2f;

const char* const kUsage =
    "usage: mirelandt-tracks --at SECONDS     every track's value at that time (0 to 67)\n"
    "       mirelandt-tracks --keys           every key: TRACK_INDEX NAME ROW VALUE CODE\n"
    "       mirelandt-tracks --plot OUT.png   all tracks over the show as one PNG image\n"
    "       mirelandt-tracks --reading [TRACKS.txt]  how long each text line can be read\n"
    "       mirelandt-tracks --help | --version\n" MIRELANDT_EXIT_CODES_HELP;

int refuse(const std::string& reason) {
    return refuseCommandLine("mirelandt-tracks", reason);
}

// The extension of the path's last name, lower case ("" for none: a FIFO, /dev/stdout, "-").
std::string extension(const std::string& path) {
    const std::string name = path.substr(path.find_last_of('/') + 1);
    const size_t dot = name.find_last_of('.');
    std::string ext = dot == std::string::npos || dot == 0 ? std::string() : name.substr(dot);
    for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
    return ext;
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

} // namespace tools

using namespace tools;

int main(int argc, char** argv) {
    if (answerHelpOrVersion(argc, argv, "mirelandt-tracks", kUsage)) return ExitOk;
    if (argc < 2)
        return refuse(
            "give --at SECONDS, --keys, --plot OUT.png or --reading [TRACKS.txt] (--help lists them)");
    const std::string command = argv[1];
    // Each command takes at most one value; --at and --plot need theirs.
    const bool takesValue = command == "--at" || command == "--plot" || command == "--reading";
    if (!takesValue && command != "--keys")
        return refuse("unknown option " + command + " (--help lists them)");
    if ((command == "--at" || command == "--plot") && argc < 3)
        return refuse(command + (command == "--at" ? " needs seconds from 0 to 67" : " needs a .png file"));
    if (argc > (takesValue ? 3 : 2))
        return refuse("unexpected argument '" + std::string(argv[takesValue ? 3 : 2]) + "' after " + command);
    TrackSet set;
    layDownTrackKeys(set);

    if (command == "--at") {
        double seconds = 0.0;
        if (!parseDecimal(argv[2], 0.0, kShowEndSeconds, &seconds))
            return refuse(std::string("--at takes seconds from 0 to 67, not '") + argv[2] + "'");
        for (uint32_t i = 0; i < kTrackCount; ++i)
            std::printf("%s %.9g\n", kTrackNames[i], double(evaluateTrack(set, i, float(seconds))));
        return ExitOk;
    }
    if (command == "--keys") {
        for (uint32_t i = 0; i < kTrackCount; ++i)
            for (const SyncKey& key : set.track(i).keys)
                std::printf("%u %s %u %.9g %d\n", i, kTrackNames[i], key.row, double(key.value),
                            key.interpolation);
        return ExitOk;
    }
    if (command == "--plot") {
        // The plot is a PNG whatever the name says: a name promising another format is refused; one
        // without an extension (a FIFO, a device) takes it as it comes.
        const std::string ext = extension(argv[2]);
        if (!ext.empty() && ext != ".png")
            return refuse(std::string("--plot writes a PNG image: name a .png file, not '") + argv[2] + "'");
        // Ctrl+C or SIGTERM while it draws or writes: the plot is not put in place.
        catchStopSignals();
        std::string error;
        if (!plotTracks(set, kTrackNames, kTrackCount, argv[2], &error)) {
            if (stopSignal())
                return reportStop("mirelandt-tracks", std::string("; ") + argv[2] + " is not written");
            std::fprintf(stderr, "mirelandt-tracks: %s\n", error.c_str());
            return ExitFailure;
        }
        return ExitOk;
    }
    std::string error;
    bool unreadable = false;
    if (argc == 3 && !readTrackFile(argv[2], set, &error, &unreadable)) {
        std::fprintf(stderr, "mirelandt-tracks: %s\n", error.c_str());
        return unreadable ? ExitFailure : ExitInvalidInput;
    }
    return reading(set);
}
