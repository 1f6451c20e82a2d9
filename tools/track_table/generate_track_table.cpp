// Compiles the readable key table (content/data/tracks.txt) into C++ constants.
//
//   generate-track-table NAMES.txt KEYS.txt OUT.cpp
//
// NAMES.txt holds one track name per line in table order. KEYS.txt holds `#` comments, one
// `tempo BEATS_PER_MINUTE ROWS_PER_BEAT` line and key lines `TRACK ROW VALUE INTERPOLATION`, where
// INTERPOLATION is hold, linear, smooth, quadratic or quartic. Rows must rise strictly within a track.
// Any fault stops the build with the file, the line and the reason.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Key {
    unsigned long row;
    float value;
    int code;
};

struct Track {
    std::string name;
    std::vector<Key> keys;
};

struct Table {
    std::vector<Track> tracks;
    float beatsPerMinute = 0.0f;
    unsigned long rowsPerBeat = 0;
};

[[noreturn]] void fail(const std::string& file, int line, const std::string& reason) {
    std::fprintf(stderr, "%s:%d: %s\n", file.c_str(), line, reason.c_str());
    std::exit(1);
}

bool parseRow(const std::string& text, unsigned long& row) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
    errno = 0;
    row = std::strtoul(text.c_str(), nullptr, 10);
    return errno == 0 && row <= 0xFFFFFFFFul;
}

bool parseValue(const std::string& text, float& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtof(text.c_str(), &end);
    return !text.empty() && *end == '\0' && errno == 0 && std::isfinite(value);
}

int interpolationCode(const std::string& word) {
    static const char* const words[] = {"hold", "linear", "smooth", "quadratic", "quartic"};
    for (int code = 0; code < 5; ++code)
        if (word == words[code]) return code;
    return -1;
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
        for (const Track& t : table.tracks)
            if (t.name == w[0]) fail(path, lineNumber, "track " + w[0] + " named twice");
        table.tracks.push_back({w[0], {}});
    }
    if (table.tracks.empty()) fail(path, lineNumber, "no track names");
    return table;
}

void readKeys(const std::string& path, Table& table) {
    std::ifstream in(path);
    if (!in) fail(path, 0, "cannot open");
    std::map<std::string, size_t> index;
    for (size_t i = 0; i < table.tracks.size(); ++i) index[table.tracks[i].name] = i;
    bool tempoSeen = false;
    int lineNumber = 0;
    for (std::string line; std::getline(in, line);) {
        ++lineNumber;
        std::vector<std::string> w = words(line);
        if (w.empty()) continue;
        if (w[0] == "tempo") {
            if (tempoSeen) fail(path, lineNumber, "tempo given twice");
            if (w.size() != 3 || !parseValue(w[1], table.beatsPerMinute) || table.beatsPerMinute <= 0.0f ||
                !parseRow(w[2], table.rowsPerBeat) || table.rowsPerBeat == 0)
                fail(path, lineNumber, "expected `tempo BEATS_PER_MINUTE ROWS_PER_BEAT`, both above 0");
            tempoSeen = true;
            continue;
        }
        if (w.size() != 4) fail(path, lineNumber, "expected `TRACK ROW VALUE INTERPOLATION`");
        auto track = index.find(w[0]);
        if (track == index.end()) fail(path, lineNumber, "unknown track " + w[0]);
        Key key;
        if (!parseRow(w[1], key.row)) fail(path, lineNumber, "row must be a whole number below 2^32");
        if (!parseValue(w[2], key.value)) fail(path, lineNumber, "value must be a finite number");
        key.code = interpolationCode(w[3]);
        if (key.code < 0)
            fail(path, lineNumber, "interpolation must be hold, linear, smooth, quadratic or quartic");
        std::vector<Key>& keys = table.tracks[track->second].keys;
        if (!keys.empty() && keys.back().row >= key.row)
            fail(path, lineNumber, "rows of " + w[0] + " must rise strictly");
        keys.push_back(key);
    }
    if (!tempoSeen) fail(path, lineNumber, "no tempo line");
}

void writeTable(const std::string& path, const Table& table) {
    std::ostringstream out;
    out << "// Generated from content/data/tracks.txt by generate-track-table; edit the table, not this "
           "file.\n"
        << "#include \"track_table.h\"\n\n"
        << "static_assert(trackCount == " << table.tracks.size()
        << ", \"the names file and trackCount differ\");\n\n"
        << "const char* const trackNames[trackCount] = {\n";
    for (const Track& t : table.tracks) out << "    \"" << t.name << "\",\n";
    char number[64];
    std::snprintf(number, sizeof number, "%.9g", table.beatsPerMinute);
    out << "};\n\nconst float trackBeatsPerMinute = " << number << ";\n"
        << "const uint32_t trackRowsPerBeat = " << table.rowsPerBeat << ";\n\n"
        << "const uint32_t trackKeyStart[trackCount + 1] = {";
    size_t total = 0;
    for (const Track& t : table.tracks) {
        out << total << ", ";
        total += t.keys.size();
    }
    out << total << "};\n\nconst uint32_t trackKeyCount = " << total << ";\n\n"
        << "const SyncKey trackKeys[" << (total ? total : 1) << "] = {\n";
    for (const Track& t : table.tracks) {
        if (!t.keys.empty()) out << "    // " << t.name << "\n";
        for (const Key& k : t.keys) {
            std::snprintf(number, sizeof number, "%.9g", k.value);
            out << "    {" << k.row << "u, " << number << ", " << k.code << "},\n";
        }
    }
    out << "};\n";
    std::ofstream file(path);
    file << out.str();
    if (!file.flush()) fail(path, 0, "cannot write");
}

} // namespace

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
