#include "track_table.h"

#include <cstring>

void layDownTrackKeys(TrackSet& set) {
    set.beatsPerMinute = trackBeatsPerMinute;
    set.rowsPerBeat = trackRowsPerBeat;
    set.resize(trackCount);
    for (uint32_t i = 0; i < trackCount; ++i)
        for (uint32_t k = trackKeyStart[i]; k < trackKeyStart[i + 1]; ++k) set.track(i).addKey(trackKeys[k]);
}

void appendTrackVariables(DynArray<ContextVariable>& variables) {
    for (uint32_t i = 0; i < trackCount; ++i) {
        ContextVariable variable = {};
        std::strncpy(variable.name, trackNames[i], sizeof variable.name - 1);
        variable.type = VariableType::Float;
        float value = std::strcmp(trackNames[i], "NUMSPHEREZ") == 0 ? 1.0f : 0.0f;
        std::memcpy(variable.value, &value, sizeof value);
        variables.append(variable);
    }
}
