#include "generators/composer/pattern_text.h"

#include <string>

using namespace music;

namespace generators {

namespace composer {
namespace {

std::string quoted(std::string_view s) {
    return "'" + std::string(s) + "'";
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

unsigned parseDecimal(std::string_view s, unsigned max, std::string_view context) {
    if (s.empty() || s.size() > 5) throw NotationError("expected a number in " + quoted(context));
    unsigned v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') throw NotationError("expected a number in " + quoted(context));
        v = v * 10 + unsigned(c - '0');
    }
    if (v > max) throw NotationError("number out of range in " + quoted(context));
    return v;
}

uint8_t parseHexDigit(std::string_view s, std::string_view context) {
    if (s.size() != 1 || hexDigit(s[0]) < 0)
        throw NotationError("expected one hex digit in " + quoted(context));
    return uint8_t(hexDigit(s[0]));
}

// Effect letters continue the hex digits: A-F are 10-15, G is 16 ... Z is 35.
uint8_t parseEffect(std::string_view s, XmCell& cell) {
    if (s.size() != 3) throw NotationError("effect needs a letter and two hex digits: " + quoted(s));
    char e = s[0];
    int number = (e >= '0' && e <= '9') ? e - '0' : (e >= 'A' && e <= 'Z') ? e - 'A' + 10 : -1;
    int hi = hexDigit(s[1]), lo = hexDigit(s[2]);
    if (number < 0 || hi < 0 || lo < 0) throw NotationError("bad effect " + quoted(s));
    cell.effect = uint8_t(number);
    cell.param = uint8_t(hi * 16 + lo);
    return cell.effect;
}

std::string_view nextWord(std::string_view& rest) {
    size_t start = rest.find_first_not_of(" \t\n");
    if (start == std::string_view::npos) {
        rest = {};
        return {};
    }
    rest.remove_prefix(start);
    size_t end = rest.find_first_of(" \t\n");
    std::string_view word = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end);
    return word;
}

void setField(uint8_t& field, uint8_t value, unsigned row, unsigned channel) {
    if (value == 0) return;
    if (field != 0 && field != value) {
        throw NotationError("cell collision at row " + std::to_string(row) + ", channel " +
                            std::to_string(channel));
    }
    field = value;
}

} // namespace

uint8_t parseNote(std::string_view text) {
    if (text == "==") return kXmKeyOff;
    static constexpr std::string_view kNames = "C-C#D-D#E-F-F#G-G#A-A#B-";
    if (text.size() == 3 && text[2] >= '0' && text[2] <= '7') {
        for (size_t semitone = 0; semitone < 12; ++semitone) {
            if (kNames.substr(semitone * 2, 2) == text.substr(0, 2)) {
                return uint8_t(1 + (text[2] - '0') * 12 + semitone);
            }
        }
    }
    throw NotationError("bad note " + quoted(text));
}

XmCell parseCell(std::string_view words) {
    XmCell cell;
    std::string_view rest = words;
    bool volumeSet = false;
    for (std::string_view w = nextWord(rest); !w.empty(); w = nextWord(rest)) {
        if (w == "==" || (w.size() == 3 && (w[1] == '-' || w[1] == '#'))) {
            cell.note = parseNote(w);
        } else if (w[0] == 'i') {
            cell.instrument = uint8_t(parseDecimal(w.substr(1), 128, w));
            if (cell.instrument == 0) throw NotationError("instruments count from 1: " + quoted(w));
        } else if (w[0] == 'x') {
            parseEffect(w.substr(1), cell);
        } else if (w[0] == 'v') {
            if (volumeSet) throw NotationError("two volume column words in " + quoted(words));
            volumeSet = true;
            if (w.size() >= 2 && w[1] >= '0' && w[1] <= '9') {
                cell.volume = uint8_t(0x10 + parseDecimal(w.substr(1), 64, w));
            } else if (w.size() == 3) {
                static constexpr std::string_view kCommands = "dupmv";
                static constexpr uint8_t kBases[] = {0x60, 0x70, 0xC0, 0xF0, 0xB0};
                size_t k = kCommands.find(w[1]);
                if (k == std::string_view::npos) throw NotationError("bad volume command " + quoted(w));
                cell.volume = uint8_t(kBases[k] + parseHexDigit(w.substr(2), w));
            } else {
                throw NotationError("bad volume word " + quoted(w));
            }
        } else {
            throw NotationError("unknown word " + quoted(w));
        }
    }
    return cell;
}

void mergeCell(XmPattern& pattern, unsigned row, unsigned channel, const XmCell& cell) {
    if (row >= pattern.rows || channel >= pattern.channels) {
        throw NotationError("row " + std::to_string(row) + " / channel " + std::to_string(channel) +
                            " outside the pattern");
    }
    XmCell& target = pattern.at(row, channel);
    setField(target.note, cell.note, row, channel);
    setField(target.instrument, cell.instrument, row, channel);
    setField(target.volume, cell.volume, row, channel);
    // Effect 0 with a parameter is an arpeggio, so the pair is checked as one.
    if (cell.effect != 0 || cell.param != 0) {
        if ((target.effect != 0 || target.param != 0) &&
            (target.effect != cell.effect || target.param != cell.param)) {
            throw NotationError("effect collision at row " + std::to_string(row) + ", channel " +
                                std::to_string(channel));
        }
        target.effect = cell.effect;
        target.param = cell.param;
    }
}

std::vector<Event> parsePhrase(std::string_view phrase) {
    std::vector<Event> events;
    while (!phrase.empty()) {
        size_t bar = phrase.find('|');
        std::string_view event = phrase.substr(0, bar);
        phrase.remove_prefix(bar == std::string_view::npos ? phrase.size() : bar + 1);
        std::string_view rest = event;
        std::string_view rowWord = nextWord(rest);
        if (rowWord.empty()) continue;
        // "A-B" repeats the event on every row from A to B, for effects that must run row by row.
        size_t dash = rowWord.find('-');
        unsigned first = parseDecimal(rowWord.substr(0, dash), 255, event);
        unsigned last =
            dash == std::string_view::npos ? first : parseDecimal(rowWord.substr(dash + 1), 255, event);
        if (last < first) throw NotationError("row range runs backwards in " + quoted(event));
        XmCell cell = parseCell(rest);
        for (unsigned row = first; row <= last; ++row) events.push_back({row, cell});
    }
    return events;
}

void writeEvents(XmPattern& pattern, unsigned channel, const std::vector<Event>& events, unsigned rowOffset) {
    for (const Event& e : events) mergeCell(pattern, rowOffset + e.row, channel, e.cell);
}

void writePhrase(XmPattern& pattern, unsigned channel, std::string_view phrase, unsigned rowOffset) {
    writeEvents(pattern, channel, parsePhrase(phrase), rowOffset);
}

void writeGrid(XmPattern& pattern, unsigned channel, std::string_view grid,
               const std::map<char, XmCell>& voices, unsigned rowOffset) {
    unsigned row = rowOffset;
    for (char c : grid) {
        if (c == ' ' || c == '|' || c == '\n') continue;
        if (c != '.') {
            auto voice = voices.find(c);
            if (voice == voices.end())
                throw NotationError(std::string("no voice for grid character '") + c + "'");
            mergeCell(pattern, row, channel, voice->second);
        }
        ++row;
    }
}

} // namespace composer

} // namespace generators
