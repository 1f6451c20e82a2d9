// Reads arbitrary bytes as the key table, the way the director mode reads tracks.txt while it is edited:
// a fault must give one line naming a line of the text, a success every track in ascending row order.
// Text holding a NUL byte is never a key table.
#include "content/track_table.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace Orvo::Gfx;
using namespace sync_tracks;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TrackSet set;
    std::string error;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (!readTrackText(text, "tracks.txt", set, &error)) {
        if (error.rfind("tracks.txt:", 0) != 0 || error.find('\n') != std::string::npos) std::abort();
        return 0;
    }
    if (text.find('\0') != std::string_view::npos) std::abort();
    if (set.tracks.count != kTrackCount) std::abort();
    for (const SyncTrack& track : set.tracks)
        for (uint32_t k = 1; k < track.keys.count; ++k)
            if (track.keys[k - 1].row >= track.keys[k].row) std::abort();
    return 0;
}
