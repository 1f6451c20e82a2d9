#include "sync/track_text.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <unordered_map>
#include <vector>

namespace sync_tracks {

namespace {

constexpr std::string_view kBlank = " \t\r\v\f";

// The line's words, its comment left out.
std::vector<std::string_view> wordsOf(std::string_view line) {
    line = line.substr(0, line.find('#'));
    std::vector<std::string_view> words;
    for (size_t at = line.find_first_not_of(kBlank); at != std::string_view::npos;
         at = line.find_first_not_of(kBlank, at)) {
        size_t end = std::min(line.find_first_of(kBlank, at), line.size());
        words.push_back(line.substr(at, end - at));
        at = end;
    }
    return words;
}

bool parseRow(std::string_view text, uint32_t& row) {
    if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string_view::npos)
        return false;
    unsigned long long value = std::strtoull(std::string(text).c_str(), nullptr, 10);
    row = uint32_t(value);
    return value <= 0xFFFFFFFFull;
}

bool parseValue(std::string_view text, float& value) {
    const std::string copy(text);
    char* end = nullptr;
    errno = 0;
    value = std::strtof(copy.c_str(), &end);
    // The conversion must take the whole word, not stop at a byte inside it.
    return !copy.empty() && end == copy.c_str() + copy.size() && errno == 0 && std::isfinite(value);
}

int32_t interpolationCode(std::string_view word) {
    static constexpr std::string_view kWords[] = {"hold", "linear", "smooth", "quadratic", "quartic"};
    for (int32_t code = 0; code < 5; ++code)
        if (word == kWords[code]) return code;
    return -1;
}

// A word as a message may quote it: printable, and short.
std::string quoted(std::string_view word) {
    std::string out;
    for (char c : word.substr(0, 40)) out += c > ' ' && c < 127 ? c : '?';
    return word.size() > 40 ? out + "..." : out;
}

struct Line {
    std::string_view text;
    uint32_t number;
};

std::vector<Line> linesOf(std::string_view text) {
    std::vector<Line> lines;
    uint32_t number = 1;
    for (size_t at = 0; at < text.size(); ++number) {
        size_t end = std::min(text.find('\n', at), text.size());
        lines.push_back({text.substr(at, end - at), number});
        at = end + 1;
    }
    return lines;
}

struct Parse {
    float beatsPerMinute = 0.0f;
    uint32_t rowsPerBeat = 0;
    std::vector<std::vector<SyncKey>> keys; // track by track
};

// Adds the key of a key line; what is wrong with the line otherwise.
std::string addKey(const std::vector<std::string_view>& w,
                   const std::unordered_map<std::string_view, uint32_t>& index, Parse& parse) {
    if (w.size() != 4) return "expected `TRACK ROW VALUE INTERPOLATION`";
    auto track = index.find(w[0]);
    if (track == index.end()) return "unknown track " + quoted(w[0]);
    SyncKey key;
    if (!parseRow(w[1], key.row)) return "row must be a whole number below 2^32";
    if (!parseValue(w[2], key.value)) return "value must be a finite number";
    key.interpolation = interpolationCode(w[3]);
    if (key.interpolation < 0) return "interpolation must be hold, linear, smooth, quadratic or quartic";
    std::vector<SyncKey>& keys = parse.keys[track->second];
    if (!keys.empty() && keys.back().row >= key.row)
        return "rows of " + std::string(w[0]) + " must rise strictly";
    keys.push_back(key);
    return {};
}

} // namespace

bool parseTrackText(std::string_view text, const char* const names[], uint32_t count, TrackSet& set,
                    TrackTextError& error) {
    const std::vector<Line> lines = linesOf(text);
    auto fail = [&](uint32_t line, std::string reason) {
        error = {line, std::move(reason)};
        return false;
    };
    // A table without its closing line was cut short; that comes first, as any other fault on the way
    // may be no more than the cut.
    size_t endLine = 0;
    while (endLine < lines.size() && wordsOf(lines[endLine].text) != std::vector<std::string_view>{"end"})
        ++endLine;
    if (endLine == lines.size())
        return fail(uint32_t(lines.size()) + (text.empty() || text.back() == '\n' ? 1 : 0),
                    "the table ends before its `end` line (cut short, or caught while being saved)");

    // A key table is text: a NUL byte, even in a comment, means a damaged or binary file.
    for (const Line& line : lines)
        if (line.text.find('\0') != std::string_view::npos)
            return fail(line.number, "the line holds a NUL byte");

    std::unordered_map<std::string_view, uint32_t> index;
    for (uint32_t i = 0; i < count; ++i) index.emplace(names[i], i);
    Parse parse;
    parse.keys.resize(count);
    bool tempoSeen = false;
    for (size_t i = 0; i < endLine; ++i) {
        const std::vector<std::string_view> w = wordsOf(lines[i].text);
        if (w.empty()) continue;
        if (w[0] == "tempo") {
            if (tempoSeen) return fail(lines[i].number, "tempo given twice");
            if (w.size() != 3 || !parseValue(w[1], parse.beatsPerMinute) || parse.beatsPerMinute <= 0.0f ||
                !parseRow(w[2], parse.rowsPerBeat) || parse.rowsPerBeat == 0)
                return fail(lines[i].number, "expected `tempo BEATS_PER_MINUTE ROWS_PER_BEAT`, both above 0");
            tempoSeen = true;
            continue;
        }
        if (std::string reason = addKey(w, index, parse); !reason.empty())
            return fail(lines[i].number, reason);
    }
    if (!tempoSeen) return fail(lines[endLine].number, "no tempo line before `end`");
    for (size_t i = endLine + 1; i < lines.size(); ++i)
        if (!wordsOf(lines[i].text).empty()) return fail(lines[i].number, "only comments may follow `end`");

    set.beatsPerMinute = parse.beatsPerMinute;
    set.rowsPerBeat = parse.rowsPerBeat;
    set.resize(count);
    for (uint32_t i = 0; i < count; ++i) {
        set.track(i).keys.resize(0);
        for (const SyncKey& key : parse.keys[i]) set.track(i).addKey(key);
    }
    return true;
}

} // namespace sync_tracks
