// Compiles the readable key table (content/data/tracks.txt) into C++ constants.
//
//   generate-track-table NAMES.txt KEYS.txt OUT.cpp
//
// NAMES.txt holds one track name per line in table order; KEYS.txt is read as sync/track_text.h says,
// by the same reader as the director mode's. Any fault stops the build with the file, the line and the
// reason.
#include "sync/track_text.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace base;
using namespace sync_tracks;

namespace generators {

namespace {

// The names in table order and the keys read against them.
struct Table {
    std::vector<std::string> names;
    TrackSet set;
};

[[noreturn]] void fail(const std::string& file, int line, const std::string& reason) {
    std::fprintf(stderr, "%s:%d: %s\n", file.c_str(), line, reason.c_str());
    std::exit(1);
}

bool isIdentifier(const std::string& name) {
    return !name.empty() && name.size() < 256 &&
           name.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_") ==
               std::string::npos;
}

std::vector<std::string> words(const std::string& line) {
    std::istringstream in(line.substr(0, line.find('#')));
    std::vector<std::string> out;
    for (std::string word; in >> word;) out.push_back(word);
    return out;
}

Table readNames(const std::string& path) {
    std::ifstream in(path);
    if (!in) fail(path, 0, "cannot open");
    Table table;
    int lineNumber = 0;
    for (std::string line; std::getline(in, line);) {
        ++lineNumber;
        std::vector<std::string> w = words(line);
        if (w.empty()) continue;
        if (w.size() != 1 || !isIdentifier(w[0])) fail(path, lineNumber, "expected one track name");
        for (const std::string& name : table.names)
            if (name == w[0]) fail(path, lineNumber, "track " + w[0] + " named twice");
        table.names.push_back(w[0]);
    }
    if (table.names.empty()) fail(path, lineNumber, "no track names");
    return table;
}

void readKeys(const std::string& path, Table& table) {
    std::ifstream in(path, std::ios::binary);
    if (!in) fail(path, 0, "cannot open");
    std::ostringstream text;
    text << in.rdbuf();
    std::vector<const char*> names;
    for (const std::string& name : table.names) names.push_back(name.c_str());
    TrackTextError error;
    if (!parseTrackText(text.str(), names.data(), uint32_t(names.size()), table.set, error))
        fail(path, int(error.line), error.reason);
}

void writeTable(const std::string& path, const Table& table) {
    std::ostringstream out;
    out << "// Generated from content/data/tracks.txt by generate-track-table; edit the table, not this "
           "file.\n"
        << "#include \"content/track_table.h\"\n\n"
        << "namespace Orvo::Gfx {\n\n"
        << "static_assert(kTrackCount == " << table.names.size()
        << ", \"the names file and kTrackCount differ\");\n\n"
        << "const char* const kTrackNames[kTrackCount] = {\n";
    for (const std::string& name : table.names) out << "    \"" << name << "\",\n";
    char number[64];
    std::snprintf(number, sizeof number, "%.9g", table.set.beatsPerMinute);
    out << "};\n\nconst float kTrackBeatsPerMinute = " << number << ";\n"
        << "const uint32_t kTrackRowsPerBeat = " << table.set.rowsPerBeat << ";\n\n"
        << "const uint32_t kTrackKeyStart[kTrackCount + 1] = {";
    size_t total = 0;
    for (const SyncTrack& track : table.set.tracks) {
        out << total << ", ";
        total += track.keys.count;
    }
    out << total << "};\n\nconst uint32_t kTrackKeyCount = " << total << ";\n\n"
        << "const sync_tracks::SyncKey kTrackKeys[" << (total ? total : 1) << "] = {\n";
    for (uint32_t i = 0; i < table.set.tracks.count; ++i) {
        const DynArray<SyncKey>& keys = table.set.track(i).keys;
        if (keys.count) out << "    // " << table.names[i] << "\n";
        for (const SyncKey& k : keys) {
            std::snprintf(number, sizeof number, "%.9g", k.value);
            out << "    {" << k.row << "u, " << number << ", " << k.interpolation << "},\n";
        }
    }
    out << "};\n\n} // namespace Orvo::Gfx\n";
    std::ofstream file(path);
    file << out.str();
    if (!file.flush()) fail(path, 0, "cannot write");
}

} // namespace

} // namespace generators

using namespace generators;

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: generate-track-table NAMES.txt KEYS.txt OUT.cpp\n");
        return 2;
    }
    Table table = readNames(argv[1]);
    readKeys(argv[2], table);
    writeTable(argv[3], table);
    return 0;
}
