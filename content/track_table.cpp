#include "content/track_table.h"

#include "sync/track_text.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

using namespace base;
using namespace sync_tracks;

namespace Orvo::Gfx {

void layDownTrackKeys(TrackSet& set) {
    set.beatsPerMinute = kTrackBeatsPerMinute;
    set.rowsPerBeat = kTrackRowsPerBeat;
    set.resize(kTrackCount);
    for (uint32_t i = 0; i < kTrackCount; ++i)
        for (uint32_t k = kTrackKeyStart[i]; k < kTrackKeyStart[i + 1]; ++k)
            set.track(i).addKey(kTrackKeys[k]);
}

namespace {

// A key table is some tens of kilobytes; anything near this is not one.
constexpr long kMaxTrackFileSize = 16 << 20;

} // namespace

bool readTrackText(std::string_view text, const char* fileName, TrackSet& set, std::string* error) {
    TrackTextError fault;
    if (parseTrackText(text, kTrackNames, kTrackCount, set, fault)) return true;
    if (error) *error = std::string(fileName) + ":" + std::to_string(fault.line) + ": " + fault.reason;
    return false;
}

bool readTrackFile(const char* path, TrackSet& set, std::string* error, bool* unreadable) {
    if (unreadable) *unreadable = false;
    auto cannot = [&](const char* why) {
        if (error) *error = std::string(path) + ": cannot read (" + why + ")";
        if (unreadable) *unreadable = true;
        return false;
    };
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path, "rb"), std::fclose);
    if (!file) return cannot(std::strerror(errno));
    std::string text;
    char chunk[1 << 16];
    for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0;) {
        text.append(chunk, got);
        if (text.size() > size_t(kMaxTrackFileSize)) return cannot("larger than 16 MiB");
    }
    if (std::ferror(file.get())) return cannot(std::strerror(errno));
    return readTrackText(text, path, set, error);
}

void appendTrackVariables(DynArray<ContextVariable>& variables) {
    for (uint32_t i = 0; i < kTrackCount; ++i) {
        ContextVariable variable = {};
        std::strncpy(variable.name, kTrackNames[i], sizeof variable.name - 1);
        variable.type = VariableType::Float;
        float value = std::strcmp(kTrackNames[i], "NUMSPHEREZ") == 0 ? 1.0f : 0.0f;
        std::memcpy(variable.value, &value, sizeof value);
        variables.append(variable);
    }
}

} // namespace Orvo::Gfx
