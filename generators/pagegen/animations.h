// Generators for the animated layers. Each turns finished artwork (a page read from its source) into
// the frames that a layer's frame track steps through. All randomness comes from a hash of the cell
// and frame, so every build produces the same frames.
#pragma once

#include "generators/pagegen/block_letters.h"
#include "generators/pagegen/cells.h"

#include <cstdint>

namespace generators {

// Stateless noise in [0, 1) for a cell of a frame.
double cellNoise(int x, int y, int frame, uint32_t seed);

// One step of the colour towards black along the PC palette's own shades (white, grey, dark grey,
// black; bright colours to their dark twins; dark colours to black).
int darker(int colour);
// The colour after `steps` darkening steps.
int darker(int colour, int steps);

// The logo assembling over `count` frames: sparks, a diagonal wipe that lays down light, medium and
// dark shade and then the finished letters, the rest of the page typing in, a white flash, the
// finished page in the last frame.
Frames logoBuildUp(const Page& logo, int count);

// The finished logo (frame 0) and its variations for the beat-cut section: sliced glitches, wipes,
// blinds, flashes, interlace, dissolve and recoloured flicker frames.
Frames logoEffects(const Page& logo, int count);

// The backdrop behind the logo, drawn as near-black characters over palette backgrounds: scrolling
// copper bands, a tunnel of nested frames and noise fields, one look per third of the frames.
Frames backdrop(int columns, int rows, int count);

// The section title pulsing: frames 0-7 brighten and spread a halo outwards from the title, frame 8
// is a glitch, the rest fall back to dark and dissolve.
Frames titlePulse(const Page& title, int count);

// Spare pages: a chart of every code from 0 to 505 in colour bands, cycling with the frame. Codes
// above 255 lie beyond the 256 glyphs of the font and show only their background.
Frames codeChart(int columns, int rows, int count);

// The cylinder pass's spare page: a plasma of shade characters in the 256-colour palette's ramps, with
// the name in block letters laid over it (colour indices up to 200).
Page cylinderPlasma(const BlockFont& font, int columns, int rows);

} // namespace generators
