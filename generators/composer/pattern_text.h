// A small text notation for writing pattern data by hand.
//
// Phrase: events separated by '|', each "ROW [NOTE] [WORD...]":
//   ROW     decimal row, relative to the offset the phrase is written at; "A-B" repeats the event on
//           every row from A to B (effects such as vibrato or slides act only on rows that carry them)
//   NOTE    C-4, F#2, ... (octaves 0-7) or "==" for key off
//   iN      instrument N (1-based, decimal)
//   vN      volume 0..64 (decimal) in the volume column
//   vdX vuX volume slide down / up by X per tick (hex digit)
//   vpX     panning X (hex digit, 0 left .. F right)
//   vmX     tone portamento at speed X (hex digit)
//   xEPP    effect E (0-9, A-Z as trackers letter them) with parameter PP (two hex digits), e.g. x047, xEC2
// Example: "0 F-2 i4 v48 | 20 F-2 x303 | 30 == "
//
// Grid: one character per row ('.' = nothing; spaces and '|' are ignored so bars can be laid out),
// each other character looked up in a table of cells, e.g. "K...S...|..K.S..." for a drum part.
#pragma once

#include "music/xm_writer.h"

#include <map>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace generators {

namespace composer {

struct NotationError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// "C-4" -> 49, "==" -> key off; throws NotationError for anything else.
uint8_t parseNote(std::string_view text);

// Parses one event's words (everything after the row) into a cell.
music::XmCell parseCell(std::string_view words);

struct Event {
    unsigned row;
    music::XmCell cell;
};

std::vector<Event> parsePhrase(std::string_view phrase);

// Writes events into one channel starting at row offset; events beyond the pattern's last row are a
// mistake and throw NotationError.
void writeEvents(music::XmPattern& pattern, unsigned channel, const std::vector<Event>& events,
                 unsigned rowOffset = 0);

// Writes the phrase's events into one channel starting at row offset. A field that is already set to a
// different value is a composing mistake (two parts claiming one cell) and throws NotationError, as does
// a row outside the pattern.
void writePhrase(music::XmPattern& pattern, unsigned channel, std::string_view phrase,
                 unsigned rowOffset = 0);

void writeGrid(music::XmPattern& pattern, unsigned channel, std::string_view grid,
               const std::map<char, music::XmCell>& voices, unsigned rowOffset = 0);

// Merges the set fields of cell into the pattern cell, with the collision rule above.
void mergeCell(music::XmPattern& pattern, unsigned row, unsigned channel, const music::XmCell& cell);

} // namespace composer

} // namespace generators
